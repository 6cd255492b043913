// The upload run over several connections at once, against a real FTP server (pyftpdlib): the files
// shared among the connections with the right types, each folder made once before its files, a
// refused file, a time-out, and a server that turns the extra connections away.
#include "UploadFixture.h"

#include "upload/UploadRun.h"

#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <set>

using namespace uploadtest;
using upload::UploadPages;

namespace {

class ParallelUploadTest : public UploadTest
{
protected:
    ParallelUploadTest() { Config().FtpParallel = 4; }

    // Pages in the top folder and in two levels of folders, and binary files beside them.
    void WriteMixedSite()
    {
        m_state.UploadAll = true;
        for (int i = 0; i < 6; ++i) {
            const QString n = QString::number(i);
            WriteSite(QStringLiteral("p%1.htm").arg(n), LinkedPage("p" + n.toStdString()));
            WriteSite(QStringLiteral("a/q%1.htm").arg(n), LinkedPage("q" + n.toStdString()));
            WriteSite(QStringLiteral("a/b/r%1.bin").arg(n), BinaryBytes(3000 + i, static_cast<unsigned>(i)));
            WriteSite(QStringLiteral("c/s%1.html").arg(n), LinkedPage("s" + n.toStdString()));
        }
    }

    // The remote paths of the rows that say a file went, sorted.
    std::vector<std::string> SentRows() const
    {
        std::vector<std::string> sent;
        const std::string suffix = Row(2, u8" ｱｯﾌﾟﾛｰﾄﾞ").substr(2);
        for (const std::string& row : LogRows()) {
            if (row.starts_with("2 ") && row.ends_with(suffix))
                sent.push_back(row.substr(2, row.size() - 2 - suffix.size()));
        }
        std::sort(sent.begin(), sent.end());
        return sent;
    }

    // Every file a row says was sent is on the server whole.
    void ExpectSentFilesOnServer() const
    {
        for (const std::string& path : SentRows()) {
            SCOPED_TRACE(path);
            const QString name = QString::fromStdString(path);
            const std::string local = testsupport::ReadBytes(m_site.file(name));
            if (name.endsWith(u".bin"))
                EXPECT_EQ(OnServer(name), local);
            else
                EXPECT_NE(OnServer(name).find("http://203.0.113.5/index.html"), std::string::npos);
        }
    }

    void ExpectEveryConnectionClosed() const
    {
        EXPECT_FALSE(m_ftp.Connected());
        EXPECT_TRUE(m_state.UploadStatus.empty());
        EXPECT_EQ(m_state.UploadFilesSent, 0);
        EXPECT_EQ(m_state.UploadFilesTotal, 0);
        // A connection stopped before its log-on was through has nothing to log off from.
        for (const auto& [port, commands] : CommandsByConnection()) {
            SCOPED_TRACE(port.toStdString());
            const bool stored = commands.indexOf(QRegularExpression(QStringLiteral("^STOR "))) >= 0;
            const qsizetype quits = commands.count(QStringLiteral("QUIT"));
            if (stored)
                EXPECT_EQ(quits, 1);
            else
                EXPECT_LE(quits, 1);
        }
    }
};

} // namespace

TEST_F(ParallelUploadTest, SharesTheFilesAmongConnectionsAndMakesEachFolderOnceBeforeItsFiles)
{
    StartServer();
    WriteMixedSite();
    const auto before = Snapshot(m_site.path());

    EXPECT_TRUE(UploadPages(m_context, false));

    std::vector<std::string> expected;
    for (const auto& [path, bytes] : before)
        expected.push_back(path.toStdString());
    EXPECT_EQ(SentRows(), expected);
    EXPECT_EQ(LogRows().size(), expected.size());
    ExpectSentFilesOnServer();
    EXPECT_EQ(OnServer(QStringLiteral("a/q3.htm")), LinkedPageOnServer("q3"));
    EXPECT_EQ(Snapshot(m_site.path()), before);
    EXPECT_FALSE(UploadCopyExists());
    ExpectEveryConnectionClosed();

    const std::map<QString, QStringList> connections = CommandsByConnection();
    EXPECT_EQ(connections.size(), 4u);
    std::map<QString, QString> types;
    for (const auto& [port, commands] : connections) {
        SCOPED_TRACE(port.toStdString());
        EXPECT_EQ(commands.mid(0, 2), (QStringList{"USER quill", "PASS secret"}));
        // Each connection tells the server the type of its first file, and then only changes.
        QString last;
        for (const QString& line : commands) {
            if (!line.startsWith(u"TYPE "))
                continue;
            EXPECT_NE(line, last);
            last = line;
        }
        types.merge(TypesAtStore(commands));
    }
    for (const auto& [path, type] : types)
        EXPECT_EQ(type, path.endsWith(u".bin") ? u"I" : u"A") << path.toStdString();
    EXPECT_EQ(types.size(), expected.size());

    // Each folder is entered (and made) by one connection only, before any file goes into it.
    const QStringList all = Commands();
    for (const QString& folder : {QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("c")}) {
        SCOPED_TRACE(folder.toStdString());
        const QString enter = QStringLiteral("CWD ") + folder;
        EXPECT_EQ(std::count_if(connections.begin(), connections.end(),
                                [&](const auto& c) { return c.second.contains(enter); }),
                  1);
        const qsizetype entered = all.lastIndexOf(enter);
        const QString store = QStringLiteral("STOR ") + folder + u'/';
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i].startsWith(store) && !all[i].mid(store.size()).contains(u'/')) {
                EXPECT_GT(i, entered) << all[i].toStdString();
            }
        }
    }
}

TEST_F(ParallelUploadTest, ARefusedFileFailsTheRunAndNoLaterFileStarts)
{
    StartServer({QStringLiteral("--refuse-store"), QStringLiteral("f05.htm")});
    Config().FtpParallel = 3;
    for (int i = 0; i < 40; ++i)
        WriteSite(QStringLiteral("f%1.htm").arg(i, 2, 10, QLatin1Char('0')), LinkedPage(std::to_string(i)));

    EXPECT_FALSE(UploadPages(m_context, false));

    const std::vector<std::string> rows = LogRows();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), Row(1, u8"f05.htm ｱｯﾌﾟﾛｰﾄﾞ失敗")), 1);
    EXPECT_EQ(
        std::count_if(rows.begin(), rows.end(), [](const std::string& r) { return r.starts_with("1 "); }), 1);
    EXPECT_FALSE(ExistsOnServer(QStringLiteral("f05.htm")));
    ExpectSentFilesOnServer();
    // The connection that was refused starts no other file; the files already on their way on the
    // other connections finish, each with its row.
    for (const auto& [port, commands] : CommandsByConnection()) {
        const qsizetype refused = commands.indexOf(QStringLiteral("STOR f05.htm"));
        if (refused >= 0) {
            EXPECT_EQ(commands.mid(refused + 1), QStringList{"QUIT"});
        }
    }
    const QStringList all = Commands();
    const auto stores =
        std::count_if(all.begin(), all.end(), [](const QString& c) { return c.startsWith(u"STOR "); });
    EXPECT_EQ(static_cast<qsizetype>(SentRows().size()), stores - 1);
    ExpectEveryConnectionClosed();
}

TEST_F(ParallelUploadTest, ATimeOutStopsEveryConnectionAndTheCountFollowsTheRows)
{
    StartServer();
    Config().FtpParallel = 3;
    for (int i = 0; i < 60; ++i)
        WriteSite(QStringLiteral("sub/f%1.htm").arg(i, 2, 10, QLatin1Char('0')),
                  LinkedPage(std::to_string(i)));
    // When the fifth file has gone, the abort timer runs out: it reads the count for its row, then
    // stops the component as the check cycle does.
    int sent = 0;
    std::pair<int, int> seen{-1, -1};
    size_t sentRowsThen = 0;
    QObject::connect(&m_log, &core::OperationLog::RowAdded, &m_ftp, [&](const core::LogRow& row) {
        if (row.Kind != core::lkEvent || ++sent != 5)
            return;
        QTimer::singleShot(0, &m_ftp, [&] {
            seen = {m_state.UploadFilesSent, m_state.UploadFilesTotal};
            sentRowsThen = SentRows().size();
            m_ftp.Abort();
            m_ftp.Cancel();
        });
    });

    EXPECT_FALSE(UploadPages(m_context, false));

    EXPECT_EQ(seen.first, static_cast<int>(sentRowsThen));
    EXPECT_EQ(seen.second, 60);
    EXPECT_LT(SentRows().size(), 60u);
    ExpectSentFilesOnServer();
    // The stop is no refusal by the server, and every connection that logged on has logged off.
    const std::vector<std::string> rows = LogRows();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const std::string& r) { return r.find("FTP") != std::string::npos; }),
              0);
    ExpectEveryConnectionClosed();
}

TEST_F(ParallelUploadTest, AServerThatRefusesMoreConnectionsLeavesTheRunWithTheOneItHas)
{
    StartServer({QStringLiteral("--max-cons-per-ip"), QStringLiteral("1")});
    for (int i = 0; i < 8; ++i)
        WriteSite(QStringLiteral("d/f%1.htm").arg(i), LinkedPage(std::to_string(i)));

    EXPECT_TRUE(UploadPages(m_context, false));

    const std::vector<std::string> rows = LogRows();
    EXPECT_EQ(std::count(rows.begin(), rows.end(),
                         Row(2, u8"FTPサーバーが追加の接続を断ったため、1本の接続で送信します")),
              1)
        << testing::PrintToString(rows);
    EXPECT_EQ(SentRows().size(), 8u);
    EXPECT_EQ(rows.size(), 9u);
    ExpectSentFilesOnServer();
    EXPECT_EQ(CommandsByConnection().size(), 1u);
    EXPECT_FALSE(m_ftp.Connected());
}

TEST_F(ParallelUploadTest, TheClosingUploadOfThePagesGoesOverEveryConnectionAlike)
{
    StartServer();
    for (int i = 0; i < 6; ++i)
        WriteSite(QStringLiteral("f%1.htm").arg(i), LinkedPage(std::to_string(i)));

    EXPECT_TRUE(UploadPages(m_context, true));

    EXPECT_EQ(SentRows().size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const std::string page = OnServer(QStringLiteral("f%1.htm").arg(i));
        EXPECT_EQ(page.find("192.168.0.2"), std::string::npos) << page;
        EXPECT_EQ(page.find("<a href"), std::string::npos) << page;
        EXPECT_NE(page.find(Sjis(u8"<p>ただいま休止中です</p>")), std::string::npos) << page;
    }
    ExpectEveryConnectionClosed();
}
