// `quillmap test-mail` as a user runs it: the settings of the program's folder, the result text in
// UTF-8, the exit status, and the body code chosen by the locale of the environment.
#include "MailServers.h"
#include "TestPaths.h"

#include "settings/ConfigUnit.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QProcessEnvironment>
#include <gtest/gtest.h>

using mailtest::BodyOf;

namespace {

struct RunResult
{
    int exitCode = -1;
    std::string output;
};

RunResult RunTestMail(const QString& home, const QString& lang)
{
    const testsupport::ProgramResult r = testsupport::RunProgram(
        {QStringLiteral("--home"), home, QStringLiteral("test-mail")}, 60000, [&lang](QProcess& process) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("LC_ALL"));
            env.remove(QStringLiteral("LC_CTYPE"));
            env.insert(QStringLiteral("LANG"), lang);
            process.setProcessEnvironment(env);
        });
    return {r.exitCode, r.out};
}

class TestMailCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(smtp.Start()) << smtp.Error().toStdString();
        mailtest::UseSmtpServer(config, smtp);
        config.SmtpLogon = 1;
        config.MailAddress = "owner@example.com";
    }

    void Save() { settings::SaveSettings(config, settings::SaveScope::All); }

    testsupport::TempFolder home;
    mailtest::SmtpServer smtp;
    settings::TConfig config;
};

} // namespace

TEST_F(TestMailCommandTest, AJapaneseLocaleSendsTheBodyInIso2022Jp)
{
    Save();
    const RunResult run = RunTestMail(home.path(), QStringLiteral("ja_JP.UTF-8"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "送信しました。\n");
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].login, mailtest::kUser);
    // ESC $ B, the JIS codes of 通知テストです, ESC ( B.
    EXPECT_EQ(BodyOf(mails[0].data), "\x1b$BDLCN%F%9%H$G$9\x1b(B\r\n");
}

TEST_F(TestMailCommandTest, AnotherLocaleSendsTheCodePage932Body)
{
    Save();
    const RunResult run = RunTestMail(home.path(), QStringLiteral("C"));
    EXPECT_EQ(run.exitCode, 0);
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(BodyOf(mails[0].data), text::Sjis(u8"通知テストです") + "\r\n");
}

TEST_F(TestMailCommandTest, FailuresPrintTheirTextAndExitWithOne)
{
    config.SmtpPass = "wrong";
    Save();
    RunResult run = RunTestMail(home.path(), QStringLiteral("C"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.rfind("SMTP認証に失敗しました。", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("535"), std::string::npos) << run.output;

    config.SmtpLogon = 0;
    config.SmtpPort = mailtest::ClosedPort();
    Save();
    run = RunTestMail(home.path(), QStringLiteral("C"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.rfind("送信できませんでした。", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("接続を拒否されました"), std::string::npos) << run.output;
    EXPECT_TRUE(smtp.Messages().empty());
}
