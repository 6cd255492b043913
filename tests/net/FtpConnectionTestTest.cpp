// The settings dialog's FTP test and `quillmap test-ftp`, against pyftpdlib on 127.0.0.1.
#include "core/FtpConnectionTest.h"
#include "TestPaths.h"
#include "net/NMFtp.h"
#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"
#include "support/ClosedPort.h"
#include "support/RunProgram.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace {

std::string Utf8(const std::string& cp932)
{
    return platform::Cp932ToUtf8(cp932);
}

class FtpConnectionTestTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(m_root.path()).mkpath(QStringLiteral("public_html")));
        ASSERT_TRUE(m_server.startPython(QStringLiteral("ftpserver.py"),
                                         {QStringLiteral("--root"), m_root.path(), QStringLiteral("--user"),
                                          QStringLiteral("quill"), QStringLiteral("--password"),
                                          QStringLiteral("secret")}))
            << m_server.error().toStdString();
        m_parameters.Server = "127.0.0.1";
        m_parameters.PortText = std::to_string(m_server.port());
        m_parameters.User = "quill";
        m_parameters.Password = "secret";
        m_parameters.Passive = true;
    }

    core::FtpTestResult Run() { return core::RunFtpConnectionTest(m_client, m_parameters); }

    testsupport::TempFolder m_root{false};
    testsupport::ServerProcess m_server;
    core::FtpTestParameters m_parameters;
    net::TNMFTP m_client;
};

} // namespace

TEST_F(FtpConnectionTestTest, LogOnWithoutFolder)
{
    const core::FtpTestResult result = Run();
    EXPECT_TRUE(result.Success);
    EXPECT_FALSE(result.Warning);
    EXPECT_EQ(Utf8(result.Text), "FTPｻｰﾊﾞｰへの接続に成功しました。");
    EXPECT_FALSE(m_client.Connected());
    EXPECT_EQ(m_client.TimeOut, core::kFtpTestTimeOutMs);
}

TEST_F(FtpConnectionTestTest, LogOnAndFolder)
{
    m_parameters.Directory = "public_html";
    const core::FtpTestResult result = Run();
    EXPECT_TRUE(result.Success);
    EXPECT_EQ(Utf8(result.Text), "FTPｻｰﾊﾞｰへの接続に成功しました、ﾃﾞｨﾚｸﾄﾘにもｱｸｾｽできました。");
    EXPECT_FALSE(m_client.Connected());
}

TEST_F(FtpConnectionTestTest, AMissingFolderIsAWarningAfterALogOn)
{
    m_parameters.Directory = "missing";
    const core::FtpTestResult result = Run();
    EXPECT_FALSE(result.Success);
    EXPECT_TRUE(result.Warning);
    EXPECT_EQ(Utf8(result.Text).rfind("FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。", 0), 0u);
    EXPECT_FALSE(m_client.Connected());
}

TEST_F(FtpConnectionTestTest, AFailedLogOnSaysWhyInASentenceOfItsOwn)
{
    const std::string notConnected = "FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。\r\n\r\n";
    const auto expectWhy = [&](const std::string& why, const char* what) {
        const core::FtpTestResult result = Run();
        EXPECT_FALSE(result.Success) << what;
        EXPECT_TRUE(result.Warning) << what;
        EXPECT_EQ(Utf8(result.Text).substr(0, notConnected.size()), notConnected) << what;
        EXPECT_NE(Utf8(result.Text).find(why), std::string::npos) << what << ": " << Utf8(result.Text);
        return Utf8(result.Text);
    };
    // pyftpdlib's answer to a wrong password, with the server's own words.
    m_parameters.Password = "wrong";
    const std::string wrong = expectWhy("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞが違います。\r\nｻｰﾊﾞｰの応答: 530 ", "wrong password");
    EXPECT_EQ(wrong.find("\r\n\r\n", notConnected.size()), std::string::npos) << wrong;

    m_parameters.Password = "secret";
    for (const char* port : {"abc", "", "-", "21x", "0", "70000"}) {
        m_parameters.PortText = port;
        expectWhy("ﾎﾟｰﾄには1から65535までの整数を入力してください。", port);
    }

    m_parameters.PortText = std::to_string(testsupport::ClosedPort());
    int errors = 0;
    QObject::connect(&m_client, &net::TNMFTP::OnError, [&](int number, const std::string&) {
        EXPECT_EQ(number, 10061);
        ++errors;
    });
    expectWhy("接続を拒否されました", "closed port");
    EXPECT_EQ(errors, 1);
}

TEST_F(FtpConnectionTestTest, ASilentServerIsATimeOutAndAPlainServerRefusesTls)
{
    // Connected, but no greeting ever comes: nobody accepts the connection waiting in the backlog.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    silent.pauseAccepting();
    m_parameters.PortText = std::to_string(silent.serverPort());
    m_parameters.TimeOutMs = 300;
    core::FtpTestResult result = Run();
    EXPECT_FALSE(result.Success);
    EXPECT_NE(Utf8(result.Text).find("制限時間(1秒)内にｻｰﾊﾞｰから応答がありませんでした(ﾀｲﾑｱｳﾄ)。"), std::string::npos)
        << Utf8(result.Text);

    // pyftpdlib without TLS answers AUTH TLS with a refusal.
    m_parameters.PortText = std::to_string(m_server.port());
    m_parameters.TimeOutMs = core::kFtpTestTimeOutMs;
    m_parameters.Security = 1;
    result = Run();
    EXPECT_FALSE(result.Success);
    const std::string text = Utf8(result.Text);
    EXPECT_NE(text.find("TLSで暗号化できませんでした。"), std::string::npos) << text;
    EXPECT_NE(text.find("ｻｰﾊﾞｰの応答: 5"), std::string::npos) << text;
}

TEST_F(FtpConnectionTestTest, ARefusedFolderShowsTheServersReply)
{
    m_parameters.Directory = "missing";
    const std::string text = Utf8(Run().Text);
    EXPECT_EQ(text.find("FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。\r\nｻｰﾊﾞｰの応答: 550 "), 0u)
        << text;
}

TEST_F(FtpConnectionTestTest, TheCommandLineRunsTheTestWithTheSettingsFile)
{
    testsupport::TempFolder home;
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    config.FtpServer = "127.0.0.1";
    config.FtpPort = m_server.port();
    config.FtpUser = "quill";
    config.FtpPass = "secret";
    config.FtpDir = "public_html";
    config.FtpPasv = 1;
    settings::SaveSettings(config, settings::SaveScope::All);

    const auto run = [&home](int& exitCode) {
        const testsupport::ProgramResult r = testsupport::RunProgram(
            {QStringLiteral("--home"), home.path(), QStringLiteral("test-ftp")}, 60000);
        exitCode = r.exitCode;
        return r.out;
    };
    int exitCode = -1;
    EXPECT_EQ(run(exitCode), "FTPｻｰﾊﾞｰへの接続に成功しました、ﾃﾞｨﾚｸﾄﾘにもｱｸｾｽできました。\n");
    EXPECT_EQ(exitCode, 0);

    config.FtpPass = "wrong";
    settings::SaveSettings(config, settings::SaveScope::All);
    const std::string refused = run(exitCode);
    EXPECT_EQ(refused.rfind("FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。\n", 0), 0u) << refused;
    EXPECT_NE(refused.find("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞが違います。"), std::string::npos) << refused;
    EXPECT_EQ(exitCode, 1);
}
