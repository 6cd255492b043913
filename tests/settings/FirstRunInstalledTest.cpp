// The first run of an installed copy: the program file lies in <prefix>/bin, Readme.txt in the
// package's documentation folder, and the program's folder in ~/.config/quillmap.
#include "platform/ScriptedUserInterface.h"
#include "settings/FirstRun.h"
#include "support/TempFolder.h"

#include <QDir>
#include <gtest/gtest.h>

using platform::ScriptedUserInterface;
using testsupport::TempFolder;

TEST(FirstRunInstalled, TheReadmeComesFromTheDocumentationFolderUnlessOneLiesBesideTheProgram)
{
    TempFolder prefix(false);
    const QString bin = prefix.file(QStringLiteral("bin"));
    const QString doc = prefix.file(QStringLiteral("share/doc/quillmap"));
    QDir().mkpath(bin);
    QDir().mkpath(doc);
    testsupport::WriteBytes(doc + QStringLiteral("/Readme.txt"), "installed\r\n");
    EXPECT_EQ(settings::ReadmeSourceFolder(bin), QDir::cleanPath(doc));

    TempFolder home;
    ScriptedUserInterface ui;
    settings::ShowFirstRunHelp(&ui, home.path(), settings::ReadmeSourceFolder(bin));
    EXPECT_EQ(testsupport::ReadBytes(home.file(QStringLiteral("Readme.txt"))), "installed\r\n");
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Open);

    // A portable copy keeps its own Readme.txt beside the program file.
    testsupport::WriteBytes(bin + QStringLiteral("/Readme.txt"), "portable\r\n");
    EXPECT_EQ(settings::ReadmeSourceFolder(bin), bin);
    EXPECT_EQ(settings::ReadmeSourceFolder(QString()), QString());
}
