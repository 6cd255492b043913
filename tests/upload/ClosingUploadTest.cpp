// The closing run against a real FTP server (pyftpdlib), and against the scripted server for the
// refusals a real one does not give: both closing modes, the once-only rule, the Shutdown save read
// back from the settings file, and the settings released whatever happened.
#include "UploadFixture.h"

#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "rewrite/Annotations.h"
#include "settings/ConfigUnit.h"
#include "support/FakeServer.h"
#include "upload/ClosingUpload.h"

#include <QDir>
#include <QRegularExpression>

using namespace uploadtest;
using upload::RunClosingUpload;
using upload::UploadClosedFolder;

namespace {

class ClosingUploadTest : public UploadTest
{
protected:
    ClosingUploadTest()
    {
        m_state.chkClosed = true;
        m_state.chkClosedEnabled = true;
    }

    // The settings file as the next start of the program reads it.
    settings::TConfig SavedSettings()
    {
        settings::TConfig saved;
        settings::LoadSettings(saved, nullptr);
        return saved;
    }

    // A settings file with every key, so that a save of one share can be told from the rest.
    void SaveAllSettings() { settings::SaveSettings(Config(), settings::SaveScope::All); }
};

const QString kPreparedPage = QStringLiteral("index.htm");

std::string PreparedPage()
{
    return "<html>\r\n<body>\r\n<p>closed since <!-- Quillmap TimeStamp --></p>\r\n"
           "<p><a href=\"http://192.168.0.2/\">left as it is</a></p>\r\n</body>\r\n</html>\r\n";
}

} // namespace

TEST_F(ClosingUploadTest, PageModeDisablesTheLinksAndInsertsTheNotice)
{
    StartServer();
    SaveAllSettings();
    Config().ClosedMode = 0;
    Config().PrevIPv6 = "2001:db8:e0:5::10";
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("sub/a.htm"), LinkedPage("a"));
    const auto before = Snapshot(m_site.path());

    RunClosingUpload(m_context);

    const std::string expected = "<html>\n<head><title>top</title></head>\n<body>\n<p>home</p>\n<p>v" +
                                 rewrite::VersionNumberText() + "</p>\n" +
                                 Sjis(u8"<p>ただいま休止中です</p>") + "\n</body>\n</html>\n";
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), expected);
    EXPECT_NE(OnServer(QStringLiteral("sub/a.htm")).find(Sjis(u8"<p>ただいま休止中です</p>")),
              std::string::npos);
    EXPECT_EQ(OnServer(QStringLiteral("sub/a.htm")).find("192.168.0.2"), std::string::npos);
    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{Row(2, u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"), Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ"),
                                        Row(2, u8"sub/a.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(Snapshot(m_site.path()), before);
    EXPECT_TRUE(m_state.ClosingDone);
    EXPECT_FALSE(m_state.Settings);
    EXPECT_EQ(m_hooks.releaseSettings, 1);
    // PrevIP cleared, so that the next start uploads the normal pages again; over IPv6 as well.
    EXPECT_EQ(SavedSettings().PrevIP, "");
    EXPECT_EQ(SavedSettings().PrevIPv6, "");
    const auto status = StatusTexts();
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front(), Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
    EXPECT_EQ(status.back(), "");
}

TEST_F(ClosingUploadTest, FolderModeMirrorsThePreparedFolderAndLeavesItsFilesAlone)
{
    StartServer();
    SaveAllSettings();
    Config().ClosedMode = 1;
    Config().FtpDir = "www";
    ASSERT_TRUE(QDir().mkpath(m_root.file(QStringLiteral("www"))));
    const std::string logo = BinaryBytes(90000, 7);
    WritePrepared(kPreparedPage, PreparedPage());
    WritePrepared(QStringLiteral("img/logo.gif"), logo);
    const auto before = Snapshot(m_prepared.path());

    RunClosingUpload(m_context);

    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "CWD www", "TYPE A", "STOR index.htm",
                                       "CWD img", "MKD img", "CWD img", "TYPE I", "STOR logo.gif", "QUIT"}));
    // The page is stamped (its marker replaced by the time), its link is not touched.
    const QString page = QString::fromStdString(OnServer(QStringLiteral("www/index.htm")));
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^<html>\n<body>\n<p>closed since \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d</p>\n"
                                   "<p><a href=\"http://192.168.0.2/\">left as it is</a></p>\n"
                                   "</body>\n</html>\n$"))
                    .match(page)
                    .hasMatch())
        << page.toStdString();
    EXPECT_EQ(OnServer(QStringLiteral("www/img/logo.gif")), logo);
    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{Row(2, u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"), Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ"),
                                        Row(2, u8"img/logo.gif ｱｯﾌﾟﾛｰﾄﾞ")}));
    // The prepared files keep their markers for the next closing run; no copy is left behind.
    EXPECT_EQ(Snapshot(m_prepared.path()), before);
    EXPECT_FALSE(UploadCopyExists());
    EXPECT_EQ(SavedSettings().PrevIP, "");
    EXPECT_FALSE(m_state.Settings);
}

TEST_F(ClosingUploadTest, FolderModeGoesOnAfterAFileOrAFolderThatFails)
{
    StartServer({QStringLiteral("--refuse-store"), QStringLiteral("b.gif")});
    WritePrepared(QStringLiteral("a.gif"), BinaryBytes(100, 1));
    WritePrepared(QStringLiteral("b.gif"), BinaryBytes(100, 2));
    // A file "x" on the server keeps the folder x/y from being made.
    testsupport::WriteBytes(m_root.file(QStringLiteral("x")), "in the way");
    WritePrepared(QStringLiteral("x/y/f.gif"), BinaryBytes(100, 3));
    WritePrepared(QStringLiteral("zz/g.gif"), BinaryBytes(100, 4));

    EXPECT_TRUE(UploadClosedFolder(m_context));

    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{Row(2, u8"a.gif ｱｯﾌﾟﾛｰﾄﾞ"), Row(1, u8"b.gif ｱｯﾌﾟﾛｰﾄﾞ失敗"),
                                        Row(1, u8"x/y/f.gif ｱｯﾌﾟﾛｰﾄﾞ失敗"), Row(2, u8"zz/g.gif ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(OnServer(QStringLiteral("zz/g.gif")), BinaryBytes(100, 4));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("b.gif")));
    EXPECT_EQ(Commands().back(), "QUIT");
}

TEST_F(ClosingUploadTest, FolderModeWithAnEmptyFolderConnectsNowhere)
{
    StartServer();
    Config().ClosedMode = 1;

    RunClosingUpload(m_context);

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始")}));
    EXPECT_TRUE(Commands().isEmpty());
}

TEST_F(ClosingUploadTest, FolderModeDoesNotLogARefusedLogOn)
{
    StartServer();
    Config().FtpPass = "wrong";
    WritePrepared(QStringLiteral("a.gif"), BinaryBytes(100, 1));

    EXPECT_FALSE(UploadClosedFolder(m_context));

    EXPECT_TRUE(LogRows().empty());
    EXPECT_FALSE(m_ftp.Connected());
}

TEST_F(ClosingUploadTest, TheClosingRunHappensOnlyOnce)
{
    StartServer();
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    RunClosingUpload(m_context);
    const auto rows = LogRows();
    const QStringList commands = Commands();
    // A second request (the session's end after the window's close) changes nothing.
    m_state.Settings = std::make_unique<settings::TConfig>();
    m_state.Settings->PrevIP = "203.0.113.9";
    RunClosingUpload(m_context);

    EXPECT_EQ(LogRows(), rows);
    EXPECT_EQ(Commands(), commands);
    EXPECT_EQ(commands.count(QStringLiteral("STOR index.htm")), 1);
    EXPECT_EQ(m_hooks.releaseSettings, 1);
    EXPECT_EQ(m_state.Settings->PrevIP, "203.0.113.9");
    // Network work was stopped before and after the closing upload.
    EXPECT_EQ(m_hooks.cancelLookup, 2);
    EXPECT_EQ(m_hooks.stopBrowser, 2);
    EXPECT_EQ(m_hooks.stopMail, (std::vector<bool>{false, false}));
}

TEST_F(ClosingUploadTest, WithTheBoxUncheckedNothingIsSentAndPrevIPIsKept)
{
    StartServer();
    SaveAllSettings();
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    m_state.chkClosed = false;
    m_state.chkShowWindow = true; // "起動時にこの画面は表示しない"
    m_state.chkAutoRun = true;
    m_state.chkRecLog = false;
    Config().ShowWindow = 1;
    Config().AutoRun = 0;
    Config().RecLog = 1;
    // Only the Shutdown share is written: a changed interval stays out of the file.
    Config().Interval = 77;

    RunClosingUpload(m_context);

    EXPECT_TRUE(LogRows().empty());
    EXPECT_TRUE(Commands().isEmpty());
    const settings::TConfig saved = SavedSettings();
    EXPECT_EQ(saved.PrevIP, "203.0.113.5");
    EXPECT_EQ(saved.ShowWindow, 0);
    EXPECT_EQ(saved.AutoRun, 1);
    EXPECT_EQ(saved.RecLog, 0);
    EXPECT_NE(saved.Interval, 77);
    EXPECT_FALSE(m_state.Settings);
}

TEST_F(ClosingUploadTest, AnUnwritableSettingsFileIsReportedAndTheSettingsAreStillReleased)
{
    // A folder where the settings file should be: it can be neither read nor replaced.
    ASSERT_TRUE(QDir().mkpath(m_home.file(QStringLiteral("Quillmap.ini/keep"))));
    m_state.chkClosed = false;

    EXPECT_NO_THROW(RunClosingUpload(m_context));

    ASSERT_EQ(m_ui.Count(platform::ScriptedUserInterface::Kind::Warning), 1u);
    for (const auto& call : m_ui.Calls()) {
        if (call.kind != platform::ScriptedUserInterface::Kind::Warning)
            continue;
        EXPECT_TRUE(call.text.ends_with(Sjis(u8" に書き込めません"))) << platform::Cp932ToUtf8(call.text);
        EXPECT_EQ(call.caption, "Quillmap");
    }
    EXPECT_FALSE(m_state.Settings);
    EXPECT_EQ(m_hooks.releaseSettings, 1);
}

TEST_F(ClosingUploadTest, WithoutAReleaseHookTheSettingsObjectIsReset)
{
    m_context.Hooks.ReleaseSettings = nullptr;
    m_state.chkClosed = false;
    RunClosingUpload(m_context);
    EXPECT_FALSE(m_state.Settings);
}

TEST_F(ClosingUploadTest, FolderModeCatchesARefusedTransferTypeAndStillSaves)
{
    testsupport::FakeServer server({"S: 220 ready", "C: USER quill", "S: 331 Password required",
                                    "C: PASS secret", "S: 230 Logged in", "C: TYPE A",
                                    "S: 504 Type not implemented", "C: QUIT", "S: 221 Bye", "AWAIT-CLOSE"});
    SaveAllSettings();
    Config().FtpPort = server.port();
    Config().ClosedMode = 1;
    WritePrepared(kPreparedPage, PreparedPage());
    const auto before = Snapshot(m_prepared.path());

    RunClosingUpload(m_context);

    server.Finish();
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"),
                                                   Row(1, u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。")}));
    EXPECT_EQ(SavedSettings().PrevIP, "");
    EXPECT_FALSE(m_state.Settings);
    EXPECT_EQ(Snapshot(m_prepared.path()), before);
    EXPECT_FALSE(UploadCopyExists());
}

TEST_F(ClosingUploadTest, FolderModeEndsWhenTheWayBackToFtpDirFails)
{
    testsupport::FakeServer server({"S: 220 ready",
                                    "C: USER quill",
                                    "S: 331 Password required",
                                    "C: PASS secret",
                                    "S: 230 Logged in",
                                    "C: CWD a",
                                    "S: 250 ok",
                                    "C: TYPE I",
                                    "S: 200 ok",
                                    "C: PASV",
                                    "S: 227 Entering Passive Mode (127,0,0,1,{DATA_PORT_HI},{DATA_PORT_LO})",
                                    "C: STOR x.gif",
                                    "S: 150 go",
                                    "DATA-EOF",
                                    "S: 226 done",
                                    "C: CWD ../",
                                    "S: 550 No way back",
                                    "C: QUIT",
                                    "S: 221 Bye",
                                    "AWAIT-CLOSE"});
    Config().FtpPort = server.port();
    WritePrepared(QStringLiteral("a/x.gif"), BinaryBytes(1000, 8));
    WritePrepared(QStringLiteral("b/y.gif"), BinaryBytes(1000, 9));

    EXPECT_FALSE(UploadClosedFolder(m_context));

    server.Finish();
    EXPECT_EQ(server.dataReceived().toStdString(), BinaryBytes(1000, 8));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"a/x.gif ｱｯﾌﾟﾛｰﾄﾞ")}));
}
