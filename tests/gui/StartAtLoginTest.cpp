// "ログイン時に起動する" on the main window: the tick writes and removes the desktop's autostart entry
// in $XDG_CONFIG_HOME/autostart, and the window reads the tick back from that entry at start.
#include "platform/Autostart.h"
#include "text/Sjis.h"

#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using platform::ScriptedUserInterface;
using testsupport::MainWindowFixture;

namespace {

class StartAtLoginTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        m_saved = qgetenv("XDG_CONFIG_HOME");
        m_hadValue = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        if (m_hadValue)
            qputenv("XDG_CONFIG_HOME", m_saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString entry() const
    {
        return config.path() + QStringLiteral("/autostart/io.github.quillmap.Quillmap.desktop");
    }
    QString entryText() const
    {
        QFile file(entry());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }
    void writeEntry(const QByteArray& text) const
    {
        QDir().mkpath(config.path() + QStringLiteral("/autostart"));
        QFile file(entry());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir config;

private:
    QByteArray m_saved;
    bool m_hadValue = false;
};

} // namespace

TEST_F(StartAtLoginTest, TickingWritesTheEntryAndUntickingRemovesIt)
{
    create();
    auto* box = child<QCheckBox>("chkStartAtLogin");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("ログイン時に起動する"));
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(platform::AutostartFile(), entry());

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked());
    const QString text = entryText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") +
                              platform::DesktopExecArgument(QCoreApplication::applicationFilePath()) +
                              u'\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=io.github.quillmap.Quillmap\n")));
    // Nothing of it reaches the settings file.
    EXPECT_FALSE(testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini"))).find("Login") !=
                 std::string::npos);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(QFileInfo::exists(entry()));
    EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(StartAtLoginTest, TheTickAtStartComesFromTheEntry)
{
    writeEntry("[Desktop Entry]\nType=Application\nExec=quillmap\n");
    create();
    EXPECT_TRUE(child<QCheckBox>("chkStartAtLogin")->isChecked());
}

TEST_F(StartAtLoginTest, AnEntrySwitchedOffByTheDesktopIsUnticked)
{
    writeEntry("[Desktop Entry]\nType=Application\nExec=quillmap\nHidden=true\n");
    create();
    auto* box = child<QCheckBox>("chkStartAtLogin");
    EXPECT_FALSE(box->isChecked());
    // Ticking it again replaces the switched-off entry with a working one.
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(entryText().contains(QStringLiteral("Hidden=true")));
    EXPECT_TRUE(platform::StartsAtLogin());
}

TEST_F(StartAtLoginTest, AnUnwritableFolderIsReportedAndTheTickStaysOff)
{
    // A file where the autostart folder should be: neither root nor anyone else can write in it.
    QFile blocker(config.path() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    create();
    auto* box = child<QCheckBox>("chkStartAtLogin");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Warning);
    EXPECT_NE(ui.Calls()[0].text.find(text::Sjis(u8" に書き込めません")), std::string::npos);
}

TEST(DesktopExecArgument, QuotesAndEscapesOnlyWhatTheDesktopWouldMisread)
{
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/usr/bin/quillmap")),
              QStringLiteral("/usr/bin/quillmap"));
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/home/me/my programs/quillmap")),
              QStringLiteral("\"/home/me/my programs/quillmap\""));
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/a/$x/q")), QStringLiteral("\"/a/\\\\$x/q\""));
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/a/100%/q")), QStringLiteral("/a/100%%/q"));
}
