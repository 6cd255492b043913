#include "settings/FirstRun.h"

#include "platform/ProgramFolder.h"
#include "platform/UserInterface.h"
#include "text/Sjis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace settings {

namespace {

// The program's title; the settings layer sits below the unit that defines it for the windows.
constexpr const char* kCaption = "Quillmap";

} // namespace

QString ReadmeSourceFolder(const QString& programFileFolder)
{
    if (programFileFolder.isEmpty() || QFileInfo::exists(programFileFolder + QStringLiteral("/Readme.txt")))
        return programFileFolder;
    return QDir::cleanPath(programFileFolder + QStringLiteral("/../share/doc/quillmap"));
}

void ShowFirstRunHelp(platform::UserInterface* ui, const QString& programFolder, const QString& installFolder)
{
    const QString readme = QDir(programFolder).filePath(QStringLiteral("Readme.txt"));
    if (!QFileInfo::exists(readme) && !installFolder.isEmpty()) {
        const QString shipped = QDir(installFolder).filePath(QStringLiteral("Readme.txt"));
        if (QFileInfo(shipped).isFile() && QFileInfo(shipped) != QFileInfo(readme))
            QFile::copy(shipped, readme);
    }
    if (!ui)
        return;
    // When no program could be started to show the file, the message at least says what to read.
    if (QFileInfo(readme).isFile() &&
        ui->OpenDocument(platform::PathToCp932(QDir::toNativeSeparators(readme))))
        return;
    ui->ShowMessage(
        text::Sjis(u8"初めての方は付属しているはずのReadme.txtをご覧になってからお使いください。"), kCaption);
}

} // namespace settings
