// The program as a user runs it on a home server: `quillmap --headless` against the router
// simulator, a real FTP server and a real SMTP server on 127.0.0.1, on a short minute.
#include "TestPaths.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "support/FakeServer.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

using testsupport::ReadBytes;
using testsupport::ServerProcess;
using testsupport::WriteBytes;

namespace {

// The service's minute lasts 2 s here, and a check may take up to kTimeOut of them (20 s): a check
// with HTTP, FTP and mail fits in that on a loaded two-core machine. Tests wait for what they expect,
// never for a time, and give up after kWaitMs (several checks).
constexpr int kMinuteMs = 2000;
constexpr int kTimeOut = 10;
constexpr int kWaitMs = 90000;

// Files written by other processes send no event, so the wait looks again every 50 ms.
bool WaitFor(const std::function<bool()>& done, int ms = kWaitMs)
{
    QTimer poll;
    poll.start(50);
    return platform::WaitUntil(done, ms) == platform::WaitResult::Done;
}

// The headless service as a child process; its standard output (the log rows) is collected.
class Service
{
public:
    ~Service() { kill(); }

    void start(const QString& home, const std::map<QString, QString>& more = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A null value takes the variable away.
        for (const auto& [name, value] : more) {
            if (value.isNull())
                env.remove(name);
            else
                env.insert(name, value);
        }
        env.insert(QStringLiteral("QUILLMAP_MINUTE_MS"), QString::number(kMinuteMs));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(QUILLMAP_BINARY),
                        {QStringLiteral("--home"), home, QStringLiteral("--headless")});
        ASSERT_TRUE(m_process.waitForStarted(5000));
    }

    // The log texts (without their time) written so far, in UTF-8.
    std::vector<std::string> rows()
    {
        m_out += m_process.readAllStandardOutput();
        std::vector<std::string> out;
        for (const QByteArray& line : m_out.split('\n')) {
            const int tab = line.indexOf('\t');
            if (tab >= 0)
                out.push_back(line.mid(tab + 1).toStdString());
        }
        return out;
    }
    size_t count(const std::string& text)
    {
        const auto r = rows();
        return static_cast<size_t>(std::count(r.begin(), r.end(), text));
    }
    bool waitForRow(const std::string& text, size_t times = 1)
    {
        return WaitFor([&] { return count(text) >= times; });
    }
    // Ends the service with a signal and returns its exit code (-1 when it did not end in time).
    int terminate(int signalNumber = SIGTERM)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
        return finish();
    }
    int finish()
    {
        bool done = false;
        QObject::connect(&m_process, &QProcess::finished, [&done] { done = true; });
        if (m_process.state() != QProcess::NotRunning && !WaitFor([&] { return done; }))
            return -1;
        rows();
        m_err += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }
    std::string errorText() const { return m_err.toStdString(); }
    std::string output() const { return m_out.toStdString(); }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

std::string Cp932(const std::string& utf8)
{
    return platform::Utf8ToCp932(utf8);
}

class HeadlessServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(home.file(QStringLiteral("site/diary")));
        QDir().mkpath(home.file(QStringLiteral("ftp")));
        QDir().mkpath(home.file(QStringLiteral("mail")));
        setAddress("203.0.113.5");
        ASSERT_TRUE(router.startPython(QStringLiteral("router.py"), {QStringLiteral("--address-file"),
                                                                     home.file(QStringLiteral("address"))}))
            << router.error().toStdString();
        writePage("index.htm", "<html><head></head><body><a href=\"http://192.168.0.2/x.html\">home</a>\r\n"
                               "<!-- Quillmap TimeStamp --></body></html>\r\n");
        writePage("diary/today.htm", "<p><a href=\"http://192.168.0.2:8080/photos/\">album</a></p>\r\n");
        writePage("about.htm", "<p>nothing to rewrite</p>\r\n");
        writePage("third.htm", "<a href=\"http://192.168.0.2/\">again</a>\r\n");
    }

    void setAddress(const std::string& address) { WriteBytes(home.file(QStringLiteral("address")), address); }
    void writePage(const std::string& name, const std::string& bytes)
    {
        WriteBytes(home.file(QStringLiteral("site/") + QString::fromStdString(name)), bytes);
    }
    QString ftpRoot() const { return home.file(QStringLiteral("ftp")); }
    // How many requests the router simulator has answered: one per check that read the status page.
    int routerRequests() const
    {
        return router.httpGet(QStringLiteral("/_control/requests")).trimmed().toInt();
    }
    // Waits until the service has read the status page count more times than seen before.
    bool waitForChecks(int count)
    {
        const int target = routerRequests() + count;
        return WaitFor([&] { return routerRequests() >= target; });
    }

    bool startFtp(const QStringList& extra = {})
    {
        return ftp.startPython(QStringLiteral("ftpserver.py"),
                               QStringList{QStringLiteral("--root"), ftpRoot(), QStringLiteral("--user"),
                                           QStringLiteral("quill"), QStringLiteral("--password"),
                                           QStringLiteral("secret")} +
                                   extra);
    }
    bool startSmtp()
    {
        return smtp.startPython(QStringLiteral("smtpserver.py"),
                                {QStringLiteral("--folder"), home.file(QStringLiteral("mail"))});
    }

    // A settings file for the servers above.
    settings::TConfig baseConfig()
    {
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.GatewayAuto = 0;
        c.GatewayIP = "127.0.0.1:" + std::to_string(router.port());
        c.StatusURL = "/cgi-bin/main.cgi?cc_webname=STATUS";
        c.FtpServer = "127.0.0.1";
        c.FtpPort = ftp.port();
        c.FtpUser = "quill";
        c.FtpPass = "secret";
        c.FtpPasv = 1;
        c.ReplaceFolder = platform::PathToCp932(home.file(QStringLiteral("site")));
        c.ReplaceAllFolder = 1;
        c.ReplaceLink = "192.168.0.2";
        c.ReplaceExt = "*.htm";
        c.Interval = 1;
        c.TimeOut = kTimeOut;
        c.MailNotice = 1;
        c.MailAddress = "owner@example.test";
        c.MailAddressFrom = "quillmap@example.test";
        c.SmtpServer = "127.0.0.1";
        c.SmtpPort = smtp.port();
        c.NoticeItem = 7;
        c.MailHanKana = 0;
        return c;
    }
    void save(const settings::TConfig& c) { settings::SaveSettings(c, settings::SaveScope::All); }

    std::vector<QString> mails() const
    {
        QDir dir(home.file(QStringLiteral("mail")));
        std::vector<QString> out;
        for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
            out.push_back(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        return out;
    }
    std::string iniValue(const std::string& key)
    {
        const std::string ini = ReadBytes(home.file(QStringLiteral("Quillmap.ini")));
        const size_t at = ini.find("\r\n" + key + "=");
        if (at == std::string::npos)
            return "<missing>";
        const size_t start = at + key.size() + 3;
        return ini.substr(start, ini.find("\r\n", start) - start);
    }

    testsupport::TempFolder home;
    ServerProcess router;
    ServerProcess ftp;
    ServerProcess smtp;
    Service service;
};

} // namespace

TEST_F(HeadlessServiceTest, AChangedAddressIsPublishedMailedLoggedAndKeptThroughTwoChanges)
{
    ASSERT_TRUE(startFtp()) << ftp.error().toStdString();
    ASSERT_TRUE(startSmtp()) << smtp.error().toStdString();
    save(baseConfig());
    const std::string localIndex = ReadBytes(home.file(QStringLiteral("site/index.htm")));
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。")) << service.output();
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 1; }));

    const std::string index = ReadBytes(ftpRoot() + QStringLiteral("/index.htm"));
    EXPECT_NE(index.find("http://203.0.113.5/x.html"), std::string::npos) << index;
    EXPECT_NE(
        ReadBytes(ftpRoot() + QStringLiteral("/diary/today.htm")).find("http://203.0.113.5:8080/photos/"),
        std::string::npos);
    // A page without a link to the home server is not uploaded; the local page is untouched.
    EXPECT_FALSE(QFile::exists(ftpRoot() + QStringLiteral("/about.htm")));
    EXPECT_EQ(ReadBytes(home.file(QStringLiteral("site/index.htm"))), localIndex);
    const std::string mail = ReadBytes(mails()[0]);
    EXPECT_NE(mail.find(Cp932("グローバルIPが変わりました(203.0.113.5)、ホームページを更新しました。")),
              std::string::npos)
        << mail;

    setAddress("203.0.113.77");
    ASSERT_TRUE(service.waitForRow("ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.77")) << service.output();
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。", 2));
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 2; }));
    EXPECT_NE(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")).find("http://203.0.113.77/x.html"),
              std::string::npos);

    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    const std::vector<std::string> expected = {
        "ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.5",
        "diary/today.htm ｱｯﾌﾟﾛｰﾄﾞ",
        "index.htm ｱｯﾌﾟﾛｰﾄﾞ",
        "third.htm ｱｯﾌﾟﾛｰﾄﾞ",
        "ｱｯﾌﾟﾛｰﾄﾞ完了しました。",
    };
    const auto rows = service.rows();
    ASSERT_GE(rows.size(), 10u) << service.output();
    // The files of the top folder come before those of its subfolders.
    EXPECT_EQ(rows[0], expected[0]);
    EXPECT_EQ(rows[1], "index.htm ｱｯﾌﾟﾛｰﾄﾞ");
    EXPECT_EQ(rows[2], "third.htm ｱｯﾌﾟﾛｰﾄﾞ");
    EXPECT_EQ(rows[3], "diary/today.htm ｱｯﾌﾟﾛｰﾄﾞ");
    EXPECT_EQ(rows[4], expected[4]);
    // Log.txt holds the same rows, in code page 932, one CR LF line each.
    const std::string logFile = ReadBytes(home.file(QStringLiteral("Log.txt")));
    EXPECT_EQ(static_cast<size_t>(std::count(logFile.begin(), logFile.end(), '\n')), rows.size());
    EXPECT_NE(logFile.find("\t" + Cp932(rows[0]) + "\r\n"), std::string::npos);
    // The address reached the settings file when the service ended.
    EXPECT_EQ(iniValue("PrevIP"), "203.0.113.77");
}

TEST_F(HeadlessServiceTest, TheAuthenticatingPathMailsTheNoticeToo)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    settings::TConfig c = baseConfig();
    c.SmtpLogon = 1;
    c.SmtpUser = "quill";
    c.SmtpPass = "secret";
    save(c);
    service.start(home.path());
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 1; })) << service.output();
    const std::string mail = ReadBytes(mails()[0]);
    EXPECT_NE(mail.find("203.0.113.5"), std::string::npos);
    const std::string meta = ReadBytes(mails()[0].chopped(4) + QStringLiteral(".json"));
    EXPECT_NE(meta.find("\"quill\""), std::string::npos) << meta;
    EXPECT_EQ(service.terminate(), 0);
}

TEST_F(HeadlessServiceTest, AnUnchangedAddressLogsNothingAndAnUnreachableRouterIsMailedOnce)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    settings::TConfig c = baseConfig();
    c.PrevIP = "203.0.113.5";
    save(c);
    service.start(home.path());
    // Checks go by without a row: two have ended once the router has seen the third.
    ASSERT_TRUE(waitForChecks(3)) << service.output();
    EXPECT_TRUE(service.rows().empty()) << service.output();

    // The router goes away: every minute's check fails, but only one mail is sent.
    router.stop();
    const std::string unreachable = "ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした｡";
    ASSERT_TRUE(service.waitForRow(unreachable, 2)) << service.output();
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 1; }));
    EXPECT_NE(ReadBytes(mails()[0]).find(Cp932("ルータのステータスページにアクセスできませんでした。")),
              std::string::npos);
    // Two more failed checks, still one mail.
    ASSERT_TRUE(service.waitForRow(unreachable, 4)) << service.output();
    EXPECT_EQ(mails().size(), 1u);
    EXPECT_EQ(service.terminate(), 0);
    EXPECT_EQ(iniValue("PrevIP"), "203.0.113.5");
}

TEST_F(HeadlessServiceTest, ARefusedThirdFileFailsTheRunAndTheNextCheckUploadsAgain)
{
    ASSERT_TRUE(startFtp({QStringLiteral("--refuse-store"), QStringLiteral("today.htm")}))
        << ftp.error().toStdString();
    ASSERT_TRUE(startSmtp());
    save(baseConfig());
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞに失敗しました。")) << service.output();
    EXPECT_EQ(service.count("diary/today.htm ｱｯﾌﾟﾛｰﾄﾞ失敗"), 1u);
    EXPECT_TRUE(QFile::exists(ftpRoot() + QStringLiteral("/index.htm")));
    EXPECT_TRUE(QFile::exists(ftpRoot() + QStringLiteral("/third.htm")));
    // PrevIP stays empty, so the next check sees the change and tries again.
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞに失敗しました。", 2)) << service.output();
    EXPECT_EQ(service.count("ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.5"), 2u);
    EXPECT_EQ(service.terminate(), 0);
    EXPECT_EQ(iniValue("PrevIP"), "");
}

TEST_F(HeadlessServiceTest, AHangingFtpServerIsCutOffByTheTimeOut)
{
    testsupport::FakeServer hanging({QStringLiteral("HOLD")});
    ASSERT_TRUE(startSmtp());
    settings::TConfig c = baseConfig();
    c.FtpPort = hanging.port();
    // Two minutes (4 s): time enough to read the status page first on a loaded machine.
    c.TimeOut = 2;
    c.NoticeItem = 0;
    save(c);
    service.start(home.path());
    // The row says how far the upload came: no file of the four pages was sent.
    ASSERT_TRUE(service.waitForRow("ﾀｲﾑｱｳﾄにより切断します (4ﾌｧｲﾙ中0ﾌｧｲﾙ送信済み)")) << service.output();
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞに失敗しました。")) << service.output();
    EXPECT_EQ(service.count("FTPサーバーへ接続できませんでした"), 1u) << service.output();
    EXPECT_EQ(service.terminate(), 0);
}

TEST_F(HeadlessServiceTest, TerminationDuringAnUploadRunsTheClosingRunOnceAndSaves)
{
    // The FTP server takes the log-on and then never answers the next command.
    testsupport::FakeServer slow({QStringLiteral("S: 220 ready"), QStringLiteral("C: USER quill"),
                                  QStringLiteral("S: 331 password"), QStringLiteral("C: PASS secret"),
                                  QStringLiteral("S: 230 in"), QStringLiteral("HOLD")});
    ASSERT_TRUE(startSmtp());
    settings::TConfig c = baseConfig();
    c.FtpPort = slow.port();
    c.TimeOut = 100;
    // The closing run uploads a prepared folder that is empty, so it makes no connection.
    c.ClosedUse = 1;
    c.ClosedMode = 1;
    QDir().mkpath(home.file(QStringLiteral("closed")));
    c.ClosedFile = platform::PathToCp932(home.file(QStringLiteral("closed")));
    save(c);
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow("ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.5")) << service.output();
    ASSERT_TRUE(WaitFor([&] { return slow.clientLines().size() >= 3; }));
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    EXPECT_EQ(service.count("ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"), 1u) << service.output();
    // The interrupted check stopped there: no failure line and no mail after the signal.
    EXPECT_EQ(service.count("ｱｯﾌﾟﾛｰﾄﾞに失敗しました。"), 0u) << service.output();
    EXPECT_EQ(iniValue("PrevIP"), "");
    EXPECT_EQ(iniValue("AutoRun"), "0");
}

TEST_F(HeadlessServiceTest, SettingsThatCannotWorkAndASecondCopyEndWithTheirStatus)
{
    ASSERT_TRUE(startFtp());
    settings::TConfig c = baseConfig();
    c.FtpServer.clear();
    save(c);
    service.start(home.path());
    EXPECT_EQ(service.finish(), 2);
    // The settings' check at start names the problem, with its key, in the first rows.
    EXPECT_NE(service.output().find("FTP.Server: FTPｻｰﾊﾞｰが未設定です。"), std::string::npos) << service.output();

    c = baseConfig();
    c.LeavePlural = 0;
    c.PrevIP = "203.0.113.5";
    save(c);
    Service first;
    const int before = routerRequests();
    first.start(home.path());
    // Once it has read the status page, the first copy holds the lock and handles signals.
    ASSERT_TRUE(WaitFor([&] { return routerRequests() > before; })) << first.output();
    Service second;
    second.start(home.path());
    EXPECT_EQ(second.finish(), 3);
    EXPECT_NE(second.errorText().find("「Quillmap」はすでに起動しています。"), std::string::npos)
        << second.errorText();
    EXPECT_EQ(first.terminate(SIGINT), 0);
}

TEST_F(HeadlessServiceTest, TheClosingRunPublishesClosedPagesOrThePreparedFolder)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    writePage("index.htm", "<a href=\"http://192.168.0.2/x.html\">home</a>\r\n<!-- Quillmap Closed -->\r\n");
    settings::TConfig c = baseConfig();
    c.ClosedUse = 1;
    c.ClosedMode = 0;
    c.ClosedString = platform::Utf8ToCp932("本日は終了しました。");
    save(c);
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。")) << service.output();
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    EXPECT_EQ(service.count("ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"), 1u);
    const std::string closed = ReadBytes(ftpRoot() + QStringLiteral("/index.htm"));
    EXPECT_EQ(closed.find("http://"), std::string::npos) << closed;
    EXPECT_NE(closed.find(Cp932("本日は終了しました。")), std::string::npos) << closed;
    EXPECT_EQ(iniValue("PrevIP"), "");

    // The prepared folder variant mirrors the folder as it is.
    QDir().mkpath(home.file(QStringLiteral("closed/img")));
    WriteBytes(home.file(QStringLiteral("closed/index.htm")), "<p>closed for today</p>\r\n");
    WriteBytes(home.file(QStringLiteral("closed/img/logo.gif")), std::string("GIF89a\0\x01\x02", 9));
    c = baseConfig();
    c.ClosedUse = 1;
    c.ClosedMode = 1;
    c.ClosedFile = platform::PathToCp932(home.file(QStringLiteral("closed")));
    c.PrevIP = "203.0.113.5";
    save(c);
    Service second;
    const int before = routerRequests();
    second.start(home.path());
    // Once it has read the status page, the service handles signals.
    ASSERT_TRUE(WaitFor([&] { return routerRequests() > before; })) << second.output();
    EXPECT_EQ(second.terminate(), 0) << second.errorText();
    // A page goes in text mode: the server stores its own line ends.
    EXPECT_EQ(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")), "<p>closed for today</p>\n");
    EXPECT_EQ(ReadBytes(ftpRoot() + QStringLiteral("/img/logo.gif")), std::string("GIF89a\0\x01\x02", 9));
    EXPECT_EQ(second.count("img/logo.gif ｱｯﾌﾟﾛｰﾄﾞ"), 1u) << second.output();
}

// The reachable address: the router's UPnP gateway standing in for a page behind carrier-grade NAT,
// and the published page read back from a web space that serves the FTP server's folder.

TEST_F(HeadlessServiceTest, BehindCarrierGradeNatTheUpnpAddressIsPublished)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    setAddress("100.64.7.8");
    router.httpGet(QStringLiteral("/_control/upnp?value=198.51.100.20"));
    settings::TConfig c = baseConfig();
    c.Source2 = 1;
    save(c);
    service.start(home.path(), {{QStringLiteral("QUILLMAP_UPNP_DESCRIPTION_URL"),
                                 QStringLiteral("http://127.0.0.1:%1/igd.xml").arg(router.port())}});
    ASSERT_TRUE(service.waitForRow("ｽﾃｰﾀｽﾍﾟｰｼﾞにｸﾞﾛｰﾊﾞﾙIPがないため、UPnPのｱﾄﾞﾚｽを使います。198.51.100.20"))
        << service.output();
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。")) << service.output();
    EXPECT_NE(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")).find("http://198.51.100.20/x.html"),
              std::string::npos);
    // The router refuses the action: nothing usable, so the not-found row names the CGN address.
    router.httpGet(QStringLiteral("/_control/upnp?value=fault"));
    setAddress("100.64.7.9");
    ASSERT_TRUE(service.waitForRow("100.64.7.9はｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ(100.64.0.0/10)のため使えません。"
                                   "外からは届きません。ﾙｰﾀにｸﾞﾛｰﾊﾞﾙIPが割り当てられていません。"))
        << service.output();
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    EXPECT_EQ(iniValue("PrevIP"), "198.51.100.20");
}

TEST_F(HeadlessServiceTest, ThePublishedPageIsReadBackFromTheWebSpace)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    ServerProcess web;
    ASSERT_TRUE(web.startPython(QStringLiteral("webspace.py"), {QStringLiteral("--root"), ftpRoot()}))
        << web.error().toStdString();
    settings::TConfig c = baseConfig();
    c.FtpCheckURL = "http://127.0.0.1:" + std::to_string(web.port()) + "/index.htm";
    save(c);
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow("公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽがあることを確認しました。203.0.113.5"))
        << service.output();
    EXPECT_EQ(service.count("ｱｯﾌﾟﾛｰﾄﾞ完了しました。"), 1u);
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
}

TEST_F(HeadlessServiceTest, APublishedPageWithoutTheNewAddressIsTriedAgainAndNotified)
{
    ASSERT_TRUE(startFtp());
    ASSERT_TRUE(startSmtp());
    // The web space shows another folder than the one the pages go to.
    QDir().mkpath(ftpRoot() + QStringLiteral("/public"));
    WriteBytes(ftpRoot() + QStringLiteral("/public/index.htm"),
               "<a href=\"http://203.0.113.1/x.html\">old</a>");
    ServerProcess web;
    ASSERT_TRUE(web.startPython(QStringLiteral("webspace.py"),
                                {QStringLiteral("--root"), ftpRoot() + QStringLiteral("/public")}))
        << web.error().toStdString();
    settings::TConfig c = baseConfig();
    c.FtpCheckURL = "http://127.0.0.1:" + std::to_string(web.port()) + "/index.htm";
    c.Interval = 30; // no second check meanwhile
    save(c);
    service.start(home.path());
    ASSERT_TRUE(
        service.waitForRow("公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽ(203.0.113.5)がありません。1分後にもう一度確認します。"))
        << service.output();
    ASSERT_TRUE(service.waitForRow(
        "公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽ(203.0.113.5)がありません。ｱｯﾌﾟﾛｰﾄﾞしたﾍﾟｰｼﾞが公開されていません。"))
        << service.output();
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 2; })) << service.output();
    const std::string mail = ReadBytes(mails()[1]);
    EXPECT_NE(mail.find(Cp932("公開されているホームページに新しいアドレスがありません。")), std::string::npos)
        << mail;
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    // The upload itself went well: the address is kept.
    EXPECT_EQ(iniValue("PrevIP"), "203.0.113.5");
}

// Publishing over IPv6 on a DS-Lite line: the router shows 192.0.0.2 and no inbound IPv4 exists. The
// machine's address table is a recorded one (the live kernel is the namespace test's business).
TEST_F(HeadlessServiceTest, OverIpv6TheMachinesAddressIsPublishedInBracketsAndARenumberingIsMailed)
{
    ASSERT_TRUE(startFtp()) << ftp.error().toStdString();
    ASSERT_TRUE(startSmtp()) << smtp.error().toStdString();
    setAddress("192.0.0.2");
    const QString table = home.file(QStringLiteral("ipv6-addresses.txt"));
    const auto record = [&](const char* fixture) {
        WriteBytes(table, ReadBytes(QStringLiteral(QUILLMAP_TESTS_DIR "/fixtures/netinfo/ipv6/") +
                                    QString::fromLatin1(fixture)));
    };
    record("eui64-privacy.txt");
    settings::TConfig c = baseConfig();
    c.Ipv6Use = 1;
    save(c);
    service.start(home.path(), {{QStringLiteral("QUILLMAP_IPV6_ADDRESSES"), table}});
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。")) << service.output();
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 1; }));
    const std::string first = "2001:db8:a0:1:21e:6ff:fe33:4455";
    EXPECT_NE(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")).find("http://[" + first + "]/x.html"),
              std::string::npos);
    EXPECT_NE(
        ReadBytes(ftpRoot() + QStringLiteral("/diary/today.htm")).find("http://[" + first + "]:8080/photos/"),
        std::string::npos);
    EXPECT_NE(ReadBytes(mails()[0])
                  .find(Cp932("グローバルIPが変わりました(" + first + ")、ホームページを更新しました。")),
              std::string::npos)
        << ReadBytes(mails()[0]);
    EXPECT_EQ(ReadBytes(mails()[0]).find(Cp932("プレフィックス")), std::string::npos)
        << "nothing published before";

    // The provider renumbers: the old prefix is deprecated, the new one takes over.
    record("renumbered.txt");
    const std::string second = "2001:db8:e0:5:21e:6ff:fe33:4455";
    ASSERT_TRUE(service.waitForRow("ｸﾞﾛｰﾊﾞﾙIPが変わりました。" + second)) << service.output();
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。", 2)) << service.output();
    ASSERT_TRUE(WaitFor([&] { return mails().size() == 2; }));
    EXPECT_NE(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")).find("http://[" + second + "]/x.html"),
              std::string::npos);
    EXPECT_NE(
        ReadBytes(mails()[1]).find(Cp932("IPv6のプレフィックスが変わりました(以前は2001:db8:a0:1::/64)。")),
        std::string::npos)
        << ReadBytes(mails()[1]);

    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    const auto rows = service.rows();
    // The DS-Lite address is said once, never as a failure that would be mailed.
    EXPECT_EQ(
        std::count(rows.begin(), rows.end(), "ｽﾃｰﾀｽﾍﾟｰｼﾞにIPv4のｸﾞﾛｰﾊﾞﾙIPはありません(IPv6で公開します)。"),
        1)
        << service.output();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), "ｸﾞﾛｰﾊﾞﾙIPが見つかりませんでした｡"), 0)
        << service.output();
    EXPECT_EQ(iniValue("PrevIPv6"), second);
    EXPECT_EQ(iniValue("PrevIP"), "") << "the pages hold no IPv4 address";
}

// The browser engine: the service runs it in a child process for each check, and a router whose page
// gets its address from a script is published like any other.
TEST_F(HeadlessServiceTest, WithTheEngineAPageFilledByItsScriptsIsPublished)
{
#if !QUILLMAP_HAS_ENGINE
    GTEST_SKIP() << "built without the browser engine";
#endif
    ASSERT_TRUE(startFtp()) << ftp.error().toStdString();
    ASSERT_TRUE(startSmtp()) << smtp.error().toStdString();
    settings::TConfig c = baseConfig();
    c.StatusURL = "/script-json.html";
    c.StatusEngine = 1;
    save(c);
    service.start(home.path(), {{QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1")}});
    ASSERT_TRUE(service.waitForRow("ｱｯﾌﾟﾛｰﾄﾞ完了しました。")) << service.output();
    EXPECT_NE(ReadBytes(ftpRoot() + QStringLiteral("/index.htm")).find("http://203.0.113.5/x.html"),
              std::string::npos);
    setAddress("203.0.113.77");
    ASSERT_TRUE(service.waitForRow("ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.77")) << service.output();
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    EXPECT_EQ(service.rows()[0], "ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.5") << service.output();
}

// Read with the HTTP client, a page whose scripts hold the address has none: the log says what to try.
// As root, without the user's QTWEBENGINE_DISABLE_SANDBOX=1, the engine is not used, and the log says
// why, once.
TEST_F(HeadlessServiceTest, AScriptPageReadOverHttpSuggestsTheEngineAndRootFallsBackToHttp)
{
    ASSERT_TRUE(startSmtp()) << smtp.error().toStdString();
    settings::TConfig c = baseConfig();
    c.StatusURL = "/script-write.html";
    c.FtpUpload = 0;
    c.NoticeItem = 0;
    save(c);
    const std::string notFound = "ｸﾞﾛｰﾊﾞﾙIPが見つかりませんでした｡";
    const std::string suggestion =
        "ｽﾃｰﾀｽﾍﾟｰｼﾞにｽｸﾘﾌﾟﾄがあります。ｽｸﾘﾌﾟﾄがｱﾄﾞﾚｽを書くﾙｰﾀなら、設定の｢ﾌﾞﾗｳｻﾞｴﾝｼﾞﾝ使用｣を試してください。";
    service.start(home.path());
    ASSERT_TRUE(service.waitForRow(notFound)) << service.output();
    EXPECT_EQ(service.terminate(), 0) << service.errorText();
    std::vector<std::string> rows = service.rows();
    const auto at = std::find(rows.begin(), rows.end(), notFound);
    ASSERT_NE(at, rows.end());
    ASSERT_NE(at + 1, rows.end()) << service.output();
    EXPECT_EQ(*(at + 1), suggestion);

    // A page without scripts gets no such row.
    c.StatusURL = "/dns.html?none";
    c.GlobalIPAuto = 0;
    c.GlobalIPKey = "nothing-like-this";
    save(c);
    Service plain;
    plain.start(home.path());
    ASSERT_TRUE(plain.waitForRow(notFound)) << plain.output();
    EXPECT_EQ(plain.terminate(), 0);
    EXPECT_EQ(plain.count(suggestion), 0U) << plain.output();

    if (::geteuid() != 0)
        return;
    c = baseConfig();
    c.StatusURL = "/script-write.html";
    c.FtpUpload = 0;
    c.NoticeItem = 0;
    c.StatusEngine = 1;
    save(c);
    const std::string refusal = "rootではﾌﾞﾗｳｻﾞｴﾝｼﾞﾝのｻﾝﾄﾞﾎﾞｯｸｽが動かないため、HTTPでｽﾃｰﾀｽﾍﾟｰｼﾞを読みます。"
                                "(QTWEBENGINE_DISABLE_SANDBOX=1で許可)";
    Service asRoot;
    asRoot.start(home.path(), {{QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QString()}});
    ASSERT_TRUE(asRoot.waitForRow(notFound, 2)) << asRoot.output();
    EXPECT_EQ(asRoot.terminate(), 0);
#if QUILLMAP_HAS_ENGINE
    EXPECT_EQ(asRoot.count(refusal), 1U) << asRoot.output();
    EXPECT_EQ(asRoot.rows()[0], refusal);
#endif
    // The engine was chosen: no suggestion to choose it.
    EXPECT_EQ(asRoot.count(suggestion), 0U) << asRoot.output();
}
