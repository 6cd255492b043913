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
    EXPECT_EQ(Utf8(result.Text), "FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。");
    EXPECT_FALSE(m_client.Connected());
}

TEST_F(FtpConnectionTestTest, ARefusedLogOnABadPortTextOrNoServerIsNoConnection)
{
    const std::string notConnected = "FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。";
    m_parameters.Password = "wrong";
    core::FtpTestResult result = Run();
    EXPECT_FALSE(result.Success);
    EXPECT_TRUE(result.Warning);
    EXPECT_EQ(Utf8(result.Text), notConnected);

    m_parameters.Password = "secret";
    for (const char* port : {"abc", "", "-", "21x", "0", "70000"}) {
        m_parameters.PortText = port;
        EXPECT_EQ(Utf8(Run().Text), notConnected) << port;
    }

    m_parameters.PortText = std::to_string(testsupport::ClosedPort());
    int errors = 0;
    QObject::connect(&m_client, &net::TNMFTP::OnError, [&](int number, const std::string&) {
        EXPECT_EQ(number, 10061);
        ++errors;
    });
    EXPECT_EQ(Utf8(Run().Text), notConnected);
    EXPECT_EQ(errors, 1);
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
    EXPECT_EQ(run(exitCode), "FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。\n");
    EXPECT_EQ(exitCode, 1);
}
