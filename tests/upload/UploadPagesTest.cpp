// The upload run over the page folder against a real FTP server (pyftpdlib): mirrored folders, the
// first full upload, skipped pages, refusals at each step and the log lines, status texts and
// results they give; the local pages are never touched.
#include "UploadFixture.h"

#include "platform/ProgramFolder.h"
#include "rewrite/Annotations.h"
#include "rewrite/PageFile.h"
#include "support/FakeServer.h"
#include "upload/UploadRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <unistd.h>

using namespace uploadtest;
using upload::UploadPages;

namespace {

class UploadPagesTest : public UploadTest
{
};

class UploadPagesModeTest : public UploadTest, public testing::WithParamInterface<bool>
{
};

} // namespace

TEST_P(UploadPagesModeTest, PagesGoToTheFoldersThatMirrorTheirLocalFolders)
{
    StartServer();
    Config().FtpPasv = GetParam() ? 1 : 0;
    Config().FtpDir = "public_html/home";
    ASSERT_TRUE(QDir().mkpath(m_root.file(QStringLiteral("public_html/home/sub"))));
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("sub/a.htm"), LinkedPage("a"));
    WriteSite(QStringLiteral("sub/deeper/b.html"), LinkedPage("b"));
    WriteSite(QStringLiteral("sub2/c.htm"), LinkedPage("c"));
    WriteSite(QStringLiteral("sub2/notes.txt"), "not a page\r\n");
    const auto before = Snapshot(m_site.path());

    EXPECT_TRUE(UploadPages(m_context, false));

    // FtpDir in one command; back up one "../" per level; "MKD" only where "CWD" failed; the type
    // once, since every file is a page.
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "CWD public_html/home", "TYPE A",
                                       "STOR index.htm", "CWD sub", "STOR a.htm", "CWD ../", "CWD sub/deeper",
                                       "MKD sub/deeper", "CWD sub/deeper", "STOR b.html", "CWD ../../",
                                       "CWD sub2", "MKD sub2", "CWD sub2", "STOR c.htm", "QUIT"}));
    EXPECT_EQ(OnServer(QStringLiteral("public_html/home/index.htm")), LinkedPageOnServer("top"));
    EXPECT_EQ(OnServer(QStringLiteral("public_html/home/sub/a.htm")), LinkedPageOnServer("a"));
    EXPECT_EQ(OnServer(QStringLiteral("public_html/home/sub/deeper/b.html")), LinkedPageOnServer("b"));
    EXPECT_EQ(OnServer(QStringLiteral("public_html/home/sub2/c.htm")), LinkedPageOnServer("c"));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("public_html/home/sub2/notes.txt")));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{
                             Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ"), Row(2, u8"sub/a.htm ｱｯﾌﾟﾛｰﾄﾞ"),
                             Row(2, u8"sub/deeper/b.html ｱｯﾌﾟﾛｰﾄﾞ"), Row(2, u8"sub2/c.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(Snapshot(m_site.path()), before);
    EXPECT_FALSE(UploadCopyExists());
    EXPECT_FALSE(m_ftp.Connected());
    EXPECT_TRUE(m_state.UploadStatus.empty());
    // The status bar names each file with "\" separators while it is sent.
    const auto status = StatusTexts();
    EXPECT_NE(std::find(status.begin(), status.end(), Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\deeper\\b.html")),
              status.end());
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back(), Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, UploadPagesModeTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Passive" : "Active";
                         });

TEST_F(UploadPagesTest, WithoutSubfoldersOnlyTheTopFolderIsSentAndNoFolderChanged)
{
    StartServer();
    Config().ReplaceAllFolder = 0;
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("sub/a.htm"), LinkedPage("a"));

    EXPECT_TRUE(UploadPages(m_context, false));

    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "TYPE A", "STOR index.htm", "QUIT"}));
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), LinkedPageOnServer("top"));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("sub")));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
}

TEST_F(UploadPagesTest, TheFirstFullUploadSendsPagesAsTextAndEverythingElseUnchanged)
{
    StartServer();
    m_state.UploadAll = true;
    // A list ending in ";" holds an empty mask, which must not turn "LICENSE" into a page.
    Config().ReplaceExt = "*.htm;*.HTML;";
    const std::string logo = BinaryBytes(70000, 1);
    const std::string photo = BinaryBytes(5000, 2);
    const std::string licence = BinaryBytes(3000, 3);
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("plain.html"), PlainPage("plain"));
    WriteSite(QStringLiteral("logo.gif"), logo);
    WriteSite(QStringLiteral("LICENSE"), licence);
    WriteSite(QStringLiteral("img/photo.JPG"), photo);
    const auto before = Snapshot(m_site.path());

    EXPECT_TRUE(UploadPages(m_context, false));

    // The type only where it changes; the server still has pages in text and the rest in binary.
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "TYPE A", "STOR index.htm", "TYPE I",
                                       "STOR LICENSE", "STOR logo.gif", "TYPE A", "STOR plain.html",
                                       "CWD img", "MKD img", "CWD img", "TYPE I", "STOR photo.JPG", "QUIT"}));
    EXPECT_EQ(TypesAtStore(), (std::map<QString, QString>{{"index.htm", "A"},
                                                          {"LICENSE", "I"},
                                                          {"logo.gif", "I"},
                                                          {"plain.html", "A"},
                                                          {"photo.JPG", "I"}}));
    // A new connection knows nothing of the last one's type: its first file tells it again.
    const qsizetype before2 = Commands().size();
    EXPECT_TRUE(UploadPages(m_context, false));
    EXPECT_EQ(Commands().mid(before2, 4),
              (QStringList{"USER quill", "PASS secret", "TYPE A", "STOR index.htm"}));
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), LinkedPageOnServer("top"));
    // Under the first full upload a page without links goes too, as its (unchanged) copy.
    EXPECT_EQ(
        OnServer(QStringLiteral("plain.html")),
        "<html>\n<head><title>plain</title></head>\n<body>\n<p>nothing to rewrite</p>\n</body>\n</html>\n");
    EXPECT_EQ(OnServer(QStringLiteral("logo.gif")), logo);
    EXPECT_EQ(OnServer(QStringLiteral("LICENSE")), licence);
    EXPECT_EQ(OnServer(QStringLiteral("img/photo.JPG")), photo);
    EXPECT_EQ(Snapshot(m_site.path()), before);
    EXPECT_FALSE(UploadCopyExists());
}

TEST_F(UploadPagesTest, CopiesAreMadeInMemoryWithNoFileWrittenOnTheWay)
{
    StartServer();
    Config().RobotUse = 1;
    Config().RobotNo = 1;
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("sub/a.htm"), LinkedPage("a"));
    const auto site = Snapshot(m_site.path());
    const auto home = Snapshot(m_home.path());
    // While each file is on its way, neither the program's folder nor the site holds anything new.
    int checked = 0;
    QObject::connect(&m_ftp, &net::TNMFTP::OnTransactionStart, [&] {
        ++checked;
        EXPECT_EQ(Snapshot(m_home.path()), home);
        EXPECT_EQ(Snapshot(m_site.path()), site);
    });

    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing);
        EXPECT_TRUE(UploadPages(m_context, closing));
        // Every step went into the bytes sent: links, robots tag, version, and the notice.
        const std::string page = OnServer(QStringLiteral("sub/a.htm"));
        EXPECT_NE(page.find("<meta name=\"robots\" content=\"noindex,nofollow\">\n</head>"),
                  std::string::npos)
            << page;
        EXPECT_NE(page.find("<p>v" + rewrite::VersionNumberText() + "</p>"), std::string::npos) << page;
        EXPECT_EQ(page.find("192.168.0.2"), std::string::npos) << page;
        EXPECT_EQ(page.find(Sjis(u8"ただいま休止中です")) != std::string::npos, closing) << page;
    }
    EXPECT_EQ(checked, 4);
    EXPECT_FALSE(UploadCopyExists());
}

TEST_F(UploadPagesTest, APageWithoutAReplacedLinkIsSkippedUnlessEveryPageIsWanted)
{
    StartServer();
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));
    WriteSite(QStringLiteral("plain.htm"), PlainPage("plain"));

    EXPECT_TRUE(UploadPages(m_context, false));
    EXPECT_TRUE(ExistsOnServer(QStringLiteral("index.htm")));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("plain.htm")));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ")}));

    Config().ReplaceOnly = 0;
    EXPECT_TRUE(UploadPages(m_context, false));
    EXPECT_TRUE(ExistsOnServer(QStringLiteral("plain.htm")));
    EXPECT_EQ(LogRows().size(), 3u);
}

TEST_F(UploadPagesTest, ARefusedThirdFileEndsTheRunAndKeepsTheFirstTwo)
{
    StartServer({QStringLiteral("--refuse-store"), QStringLiteral("c.htm")});
    for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"})
        WriteSite(QString::fromLatin1(name), LinkedPage(name));
    const auto before = Snapshot(m_site.path());

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(OnServer(QStringLiteral("a.htm")), LinkedPageOnServer("a.htm"));
    EXPECT_EQ(OnServer(QStringLiteral("b.htm")), LinkedPageOnServer("b.htm"));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("c.htm")));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("d.htm")));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"a.htm ｱｯﾌﾟﾛｰﾄﾞ"), Row(2, u8"b.htm ｱｯﾌﾟﾛｰﾄﾞ"),
                                                   Row(1, u8"c.htm ｱｯﾌﾟﾛｰﾄﾞ失敗")}));
    EXPECT_EQ(Commands().back(), "QUIT");
    EXPECT_FALSE(m_ftp.Connected());
    EXPECT_EQ(Snapshot(m_site.path()), before);
    // Logged off, so the next run logs on again instead of finding a stale connection.
    EXPECT_FALSE(UploadPages(m_context, false));
    EXPECT_EQ(Commands().count(QStringLiteral("USER quill")), 2);
    EXPECT_EQ(LogRows().size(), 6u);
}

TEST_F(UploadPagesTest, AFileTheServerDidNotStoreFailsTheRun)
{
    // The server takes every byte and then says its disk is full.
    testsupport::FakeServer server(
        {"S: 220 ready", "C: USER quill", "S: 331 Password required", "C: PASS secret", "S: 230 Logged in",
         "C: TYPE A", "S: 200 Type set to A", "C: PASV",
         "S: 227 Entering Passive Mode (127,0,0,1,{DATA_PORT_HI},{DATA_PORT_LO})", "C: STOR a.htm",
         "S: 150 go", "DATA-EOF", "S: 552 Requested file action aborted. Exceeded storage allocation",
         "C: QUIT", "S: 221 Bye", "AWAIT-CLOSE"});
    Config().FtpPort = server.port();
    WriteSite(QStringLiteral("a.htm"), LinkedPage("a"));
    WriteSite(QStringLiteral("b.htm"), LinkedPage("b"));

    EXPECT_FALSE(UploadPages(m_context, false));

    server.Finish();
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"a.htm ｱｯﾌﾟﾛｰﾄﾞ失敗")}));
    EXPECT_FALSE(m_ftp.Connected());
}

TEST_F(UploadPagesTest, ARefusedLogOnIsLoggedAndNothingIsSent)
{
    StartServer();
    Config().FtpPass = "wrong";
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"FTPサーバーへ接続できませんでした")}));
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS wrong"}));
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("index.htm")));
    EXPECT_FALSE(m_ftp.Connected());
    EXPECT_EQ(m_hooks.stopAbortTimer, 0);
}

TEST_F(UploadPagesTest, AnUnreachableServerGoesThroughTheErrorHandler)
{
    // Nothing listens on the configured port.
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"Winsockｴﾗｰ 10061:10061:Connection refused"),
                                                   Row(1, u8"FTPサーバーへ接続できませんでした")}));
    EXPECT_EQ(m_hooks.stopAbortTimer, 1);
    EXPECT_EQ(m_hooks.cancelLookup, 1);
    EXPECT_EQ(m_hooks.stopBrowser, 1);
    EXPECT_EQ(m_hooks.stopMail, std::vector<bool>{true});
    // The handlers belong to the run: later errors of the component do not reach the log.
    emit m_ftp.OnError(10060, "10060:Connection timed out");
    EXPECT_EQ(LogRows().size(), 2u);
}

TEST_F(UploadPagesTest, AMissingFtpDirEndsTheRunBeforeAnyFile)
{
    StartServer();
    Config().FtpDir = "nothere";
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。")}));
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "CWD nothere", "QUIT"}));
}

TEST_F(UploadPagesTest, NothingToUploadMakesNoConnection)
{
    StartServer();
    WriteSite(QStringLiteral("notes.txt"), "no page here\r\n");

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_TRUE(LogRows().empty());
    EXPECT_TRUE(Commands().isEmpty());
}

TEST_F(UploadPagesTest, MissingFoldersAreMadeOneLevelAtATime)
{
    // The server makes only the last level of a path: "MKD x/y" is refused while x/ is missing.
    StartServer();
    WriteSite(QStringLiteral("x/y/z.htm"), LinkedPage("z"));
    WriteSite(QStringLiteral("x/y/zz.htm"), LinkedPage("zz"));
    WriteSite(QStringLiteral("x/y2/w.htm"), LinkedPage("w"));

    EXPECT_TRUE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{Row(2, u8"x/y/z.htm ｱｯﾌﾟﾛｰﾄﾞ"), Row(2, u8"x/y/zz.htm ｱｯﾌﾟﾛｰﾄﾞ"),
                                        Row(2, u8"x/y2/w.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "CWD x/y", "MKD x/y", "MKD x", "MKD x/y",
                                       "CWD x/y", "TYPE A", "STOR z.htm", "STOR zz.htm", "CWD ../../",
                                       "CWD x/y2", "MKD x/y2", "CWD x/y2", "STOR w.htm", "QUIT"}));
    EXPECT_EQ(OnServer(QStringLiteral("x/y/z.htm")), LinkedPageOnServer("z"));
    EXPECT_EQ(OnServer(QStringLiteral("x/y2/w.htm")), LinkedPageOnServer("w"));
}

TEST_F(UploadPagesTest, AFolderThatCannotBeMadeEndsTheRunWithItsRows)
{
    StartServer();
    // A file where the folder should be: no level of x/y can be made.
    testsupport::WriteBytes(m_root.file(QStringLiteral("x")), "in the way");
    WriteSite(QStringLiteral("x/y/z.htm"), LinkedPage("z"));
    WriteSite(QStringLiteral("x/y/zz.htm"), LinkedPage("zz"));

    EXPECT_FALSE(UploadPages(m_context, false));

    const std::string local = platform::PathToCp932(m_site.path()) + "/x/y/z.htm";
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"x/y/z.htm ｱｯﾌﾟﾛｰﾄﾞ失敗"),
                                                   Row(1, local + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"))}));
    EXPECT_EQ(Commands(),
              (QStringList{"USER quill", "PASS secret", "CWD x/y", "MKD x/y", "MKD x", "MKD x/y", "QUIT"}));
    EXPECT_EQ(OnServer(QStringLiteral("x")), "in the way");
}

TEST_F(UploadPagesTest, TheProgressTextCountsBytesWithThousandsSeparators)
{
    StartServer();
    m_state.UploadAll = true;
    WriteSite(QStringLiteral("sub/big.bin"), BinaryBytes(200000, 4));

    EXPECT_TRUE(UploadPages(m_context, false));

    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\big.bin"),
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\big.bin - 32% (65,536/200,000bytes)"),
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\big.bin - 65% (131,072/200,000bytes)"),
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\big.bin - 98% (196,608/200,000bytes)"),
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\big.bin - 100% (200,000/200,000bytes)"),
                                 Utf8(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."),
                             }));
}

TEST_F(UploadPagesTest, AnAbortDuringAnUploadFailsTheRunAndTheNextRunSucceeds)
{
    StartServer();
    m_state.UploadAll = true;
    WriteSite(QStringLiteral("big.bin"), BinaryBytes(4 << 20, 5));
    // What the abort timer does when the time is up.
    int packets = 0;
    const auto abort = QObject::connect(&m_ftp, &net::TNMFTP::OnPacketSent, [&] {
        if (++packets == 2) {
            m_ftp.Abort();
            m_ftp.Cancel();
        }
    });

    EXPECT_FALSE(UploadPages(m_context, false));
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"big.bin ｱｯﾌﾟﾛｰﾄﾞ失敗")}));
    EXPECT_FALSE(m_ftp.Connected());

    QObject::disconnect(abort);
    EXPECT_TRUE(UploadPages(m_context, false));
    EXPECT_EQ(OnServer(QStringLiteral("big.bin")).size(), size_t(4) << 20);
}

TEST_F(UploadPagesTest, AnUnwritableUploadCopyPlaceNoLongerStopsTheRun)
{
    StartServer();
    // A folder where the copy on disk used to go: the copies no longer need the disk.
    const QString place = platform::PathFromCp932(rewrite::UploadCopyPath());
    ASSERT_TRUE(QDir().mkpath(place + QStringLiteral("/keep")));
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_TRUE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), LinkedPageOnServer("top"));
    EXPECT_TRUE(QFileInfo(place + QStringLiteral("/keep")).isDir());
    EXPECT_FALSE(m_ftp.Connected());
}

TEST_F(UploadPagesTest, ARefusedTransferTypeEndsTheRunAsAnErrorAndStillLogsOff)
{
    testsupport::FakeServer server({"S: 220 ready", "C: USER quill", "S: 331 Password required",
                                    "C: PASS secret", "S: 230 Logged in", "C: TYPE A",
                                    "S: 504 Type not implemented", "C: QUIT", "S: 221 Bye", "AWAIT-CLOSE"});
    Config().FtpPort = server.port();
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_FALSE(UploadPages(m_context, false));

    server.Finish();
    const std::string local = platform::PathToCp932(m_site.path()) + "/index.htm";
    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, local + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗")),
                                                   Row(1, u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。")}));
    EXPECT_FALSE(m_ftp.Connected());
}

TEST_F(UploadPagesTest, WithoutSettingsThereIsNoRun)
{
    m_state.Settings.reset();
    EXPECT_FALSE(UploadPages(m_context, false));
    EXPECT_TRUE(LogRows().empty());
}

TEST_F(UploadPagesTest, AnUnreadablePageIsNamedInTheRowsThatEndTheRun)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file; the refused transfer type covers the same rows";
    StartServer();
    WriteSite(QStringLiteral("a.htm"), LinkedPage("a"));
    WriteSite(QStringLiteral("b.htm"), LinkedPage("b"));
    ASSERT_TRUE(QFile::setPermissions(m_site.file(QStringLiteral("b.htm")), QFileDevice::WriteOwner));

    EXPECT_FALSE(UploadPages(m_context, false));

    const std::string local = platform::PathToCp932(m_site.path()) + "/b.htm";
    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{Row(2, u8"a.htm ｱｯﾌﾟﾛｰﾄﾞ"), Row(1, local + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗")),
                                        Row(1, u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。")}));
}

TEST_F(UploadPagesTest, ANameWithALineBreakIsRefusedAndShownOnOneRow)
{
    StartServer();
    m_log.SetRecLog(true);
    WriteSite(QStringLiteral("evil\r\n10:00:00\tforged.htm"), LinkedPage("evil"));

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(LogRows(), (std::vector<std::string>{Row(1, u8"evil??10:00:00?forged.htm ｱｯﾌﾟﾛｰﾄﾞ失敗")}));
    EXPECT_EQ(Commands(), (QStringList{"USER quill", "PASS secret", "TYPE A", "QUIT"}));
    // One row, one line of the file.
    const std::string file = testsupport::ReadBytes(m_home.file(QStringLiteral("Log.txt")));
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 1);
}

TEST_F(UploadPagesTest, APageWhoseNameHasNoCodePage932FormGetsARowAndTheOthersGo)
{
    StartServer();
    // U+00E9 and U+1F600 have no code page 932 form.
    WriteSite(QStringLiteral("caf\u00e9.htm"), LinkedPage("cafe"));
    WriteSite(QString::fromUtf8("\xF0\x9F\x98\x80/a.htm"), LinkedPage("a"));
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_TRUE(UploadPages(m_context, false));

    const std::string site = platform::PathToCp932(m_site.path());
    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{
                  Row(1, site + Sjis(u8"/caf?.htm ﾌｧｲﾙ名をShift_JISに変換できないため送信しません")),
                  Row(1, site + Sjis(u8"/?/ ﾌｧｲﾙ名をShift_JISに変換できないため送信しません")),
                  Row(2, u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ")}));
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), LinkedPageOnServer("top"));
}

TEST_F(UploadPagesTest, TheRunKeepsCountOfTheFilesSentForATimeOut)
{
    StartServer();
    for (const char* name : {"a.htm", "b.htm", "c.htm"})
        WriteSite(QString::fromLatin1(name), LinkedPage(name));
    // What a time-out in the middle of each file would see.
    std::vector<std::pair<int, int>> seen;
    QObject::connect(&m_ftp, &net::TNMFTP::OnTransactionStart,
                     [&] { seen.emplace_back(m_state.UploadFilesSent, m_state.UploadFilesTotal); });

    EXPECT_TRUE(UploadPages(m_context, false));

    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
    EXPECT_EQ(m_state.UploadFilesSent, 0);
    EXPECT_EQ(m_state.UploadFilesTotal, 0);
}
