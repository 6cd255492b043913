// The notice sender and the test mail against aiosmtpd and dovecot: both send paths, POP before
// SMTP, the repeat rule, the narrowing of katakana, the log line and the restored settings.
#include "MailServers.h"

#include "mail/NoticeMail.h"
#include "mail/TestMail.h"
#include "platform/Codepage.h"
#include "platform/ScriptedUserInterface.h"
#include "text/Sjis.h"

#include <QHostInfo>
#include <QTcpServer>
#include <gtest/gtest.h>

using namespace mail;
using mailtest::BodyOf;
using mailtest::HeaderLines;

namespace {

class NoticeMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(smtp.Start()) << smtp.Error().toStdString();
        mailtest::UseSmtpServer(config, smtp);
        config.MailAddress = "owner@example.com";
        mailer.IdSMTP1().Charset = {"ISO-8859-1", 'Q', false};
    }

    size_t Mails() const { return smtp.Messages().size(); }
    std::string FailureLine() const { return text::Sjis(u8"通知ﾒｰﾙの送信に失敗しました。"); }

    mailtest::SmtpServer smtp;
    settings::TConfig config;
    core::OperationLog log;
    TNoticeMailer mailer{config, &log};
};

} // namespace

TEST_F(NoticeMailTest, ThePlainPathSendsTheNoticeAsItIs)
{
    const std::string text = text::Sjis(u8"グローバルIPが変わりました\r\n192.0.2.7");
    ASSERT_TRUE(mailer.SendMailPlain(text));
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].helo, mailtest::kUser);
    EXPECT_EQ(mails[0].login, "");
    EXPECT_EQ(mails[0].mailFrom, "owner@example.com");
    EXPECT_EQ(mails[0].data, "From: Quillmap<owner@example.com>\r\n"
                             "To: owner@example.com\r\n"
                             "Subject: Quma Notice\r\n"
                             "Mime-Version: 1.0\r\n"
                             "Content-Type: text/plain; charset=Shift_JIS\r\n"
                             "Content-Transfer-Encoding: 8bit\r\n"
                             "\r\n"
                             "\r\n" +
                                 text + "\r\n");
}

TEST_F(NoticeMailTest, WithoutAnSmtpUserThePlainPathGreetsWithThisMachinesName)
{
    // A bare "HELO" is refused by mail servers (this one answers 501), so the default empty user
    // setting must not end in it.
    config.SmtpUser.clear();
    ASSERT_TRUE(mailer.SendMailPlain("test"));
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].helo, QHostInfo::localHostName().toStdString());
}

TEST_F(NoticeMailTest, HalfWidthKatakanaGoOutAsSingleBytesOnThePlainPath)
{
    config.MailHanKana = 1;
    config.MailAddressFrom = "router@example.com";
    ASSERT_TRUE(mailer.SendMailPlain(text::Sjis(u8"グローバルＩＰが変わりました")));
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "router@example.com");
    EXPECT_EQ(HeaderLines(mails[0].data)[0], "From: Quillmap<router@example.com>");
    const std::string narrow = text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました");
    EXPECT_EQ(BodyOf(mails[0].data), "\r\n" + narrow + "\r\n");
    // Each katakana is one byte now: ｸ ﾞ ﾛ ｰ ﾊ ﾞ ﾙ.
    EXPECT_EQ(narrow.substr(0, 7), "\xB8\xDE\xDB\xB0\xCA\xDE\xD9");
}

TEST_F(NoticeMailTest, TheAuthenticatingPathLogsOnAndSendsToEveryRecipient)
{
    config.SmtpLogon = 1;
    config.MailAddress = "one@example.com, two@example.com";
    config.MailAddressFrom = "router@example.com";
    EXPECT_EQ(mailer.SendMailAuth(text::Sjis(u8"テスト")), srSent);
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].login, mailtest::kUser);
    EXPECT_EQ(mails[0].mailFrom, "router@example.com");
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"one@example.com", "two@example.com"}));
    const auto header = HeaderLines(mails[0].data);
    ASSERT_GE(header.size(), 4u);
    EXPECT_EQ(header[0], "From: router@example.com");
    EXPECT_EQ(header[1], "Subject: Quma Notice");
    EXPECT_EQ(header[2], "To: one@example.com, two@example.com");
    EXPECT_EQ(header[3], "Content-Type: text/plain;");
    EXPECT_EQ(BodyOf(mails[0].data), text::Sjis(u8"テスト") + "\r\n");
}

TEST_F(NoticeMailTest, TheAuthenticatingPathTellsWhichStepFailed)
{
    config.SmtpLogon = 1;
    config.SmtpPass = "wrong";
    EXPECT_EQ(mailer.SendMailAuth("x"), srSmtpAuthFailed);
    EXPECT_FALSE(mailer.IdSMTP1().Connected());
    config.SmtpPort = mailtest::ClosedPort();
    EXPECT_EQ(mailer.SendMailAuth("x"), srSmtpConnectFailed);
    config.SmtpPort = 70000;
    EXPECT_EQ(mailer.SendMailAuth("x"), srSmtpConnectFailed);
    EXPECT_EQ(Mails(), 0u);
}

TEST_F(NoticeMailTest, OnlyAChangedAddressIsMailedAgainAndAgain)
{
    mailer.SendNoticeMail(nkStatusUnreachable, "unreachable");
    mailer.SendNoticeMail(nkStatusUnreachable, "unreachable");
    EXPECT_EQ(Mails(), 1u);
    EXPECT_EQ(mailer.LastNoticeKind(), nkStatusUnreachable);
    mailer.SendNoticeMail(nkAddressChanged, "changed");
    mailer.SendNoticeMail(nkAddressChanged, "changed");
    EXPECT_EQ(Mails(), 3u);
    mailer.SendNoticeMail(nkStatusUnreachable, "unreachable");
    EXPECT_EQ(Mails(), 4u);
    EXPECT_TRUE(log.Rows().empty());
}

TEST_F(NoticeMailTest, AFailedNoticeIsLoggedAndTriedAgain)
{
    config.SmtpPort = mailtest::ClosedPort();
    mailer.SendNoticeMail(nkAddressNotFound, "not found");
    mailer.SendNoticeMail(nkAddressNotFound, "not found");
    ASSERT_EQ(log.Rows().size(), 2u);
    EXPECT_EQ(log.Rows()[0].Text, FailureLine());
    EXPECT_EQ(log.Rows()[0].Kind, core::lkRunFailure);
    EXPECT_EQ(mailer.LastNoticeKind(), 0);
    config.SmtpPort = smtp.Port();
    mailer.SendNoticeMail(nkAddressNotFound, "not found");
    EXPECT_EQ(Mails(), 1u);
    EXPECT_EQ(mailer.LastNoticeKind(), nkAddressNotFound);
    EXPECT_EQ(log.Rows().size(), 2u);
}

TEST_F(NoticeMailTest, ARefusedLogOnIsLoggedLikeAnyFailure)
{
    config.SmtpLogon = 1;
    config.SmtpPass = "wrong";
    mailer.SendNoticeMail(nkUploadFailed, "upload failed");
    ASSERT_EQ(log.Rows().size(), 1u);
    EXPECT_EQ(log.Rows()[0].Text, FailureLine());
    EXPECT_EQ(Mails(), 0u);
}

TEST_F(NoticeMailTest, NoticesOffMeanNoConnectionAndNoLog)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    config.MailNotice = 0;
    config.SmtpPort = listener.serverPort();
    config.PopLogon = 1;
    config.PopServer = "127.0.0.1";
    config.PopPort = listener.serverPort();
    for (const int kind : {0, 1, 2, 3})
        mailer.SendNoticeMail(kind, "x");
    config.SmtpLogon = 1;
    mailer.SendNoticeMail(0, "x");
    EXPECT_FALSE(listener.waitForNewConnection(0));
    EXPECT_TRUE(log.Rows().empty());
}

TEST_F(NoticeMailTest, AnUnreachablePopServerStopsBeforeSmtp)
{
    QTcpServer smtpListener;
    ASSERT_TRUE(smtpListener.listen(QHostAddress::LocalHost, 0));
    config.SmtpPort = smtpListener.serverPort();
    config.PopLogon = 1;
    config.PopServer = "127.0.0.1";
    config.PopPort = mailtest::ClosedPort();
    config.PopUser = mailtest::kUser;
    config.PopPass = mailtest::kPassword;
    EXPECT_FALSE(mailer.SendMailPlain("x"));
    EXPECT_EQ(mailer.SendMailAuth("x"), srPopFailed);
    EXPECT_FALSE(smtpListener.waitForNewConnection(0));
}

TEST_F(NoticeMailTest, TheTestMailShowsTheResultOfEachPath)
{
    platform::ScriptedUserInterface ui;
    config.SmtpLogon = 1;
    TestMailOutcome outcome = RunTestMail(mailer, config, {});
    EXPECT_TRUE(outcome.Sent);
    EXPECT_EQ(outcome.Text, text::Sjis(u8"送信しました。"));
    ShowTestMailOutcome(ui, outcome);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, platform::ScriptedUserInterface::Kind::Information);
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(BodyOf(mails[0].data), text::Sjis(u8"通知テストです") + "\r\n");

    // Each failure names its step and says why: the server's reply, a refused connection.
    const auto expectOutcome = [&](std::u8string_view headline, std::u8string_view why) {
        const TestMailOutcome failed = RunTestMail(mailer, config, {});
        EXPECT_FALSE(failed.Sent);
        EXPECT_TRUE(failed.Warning);
        EXPECT_EQ(failed.Text.rfind(text::Sjis(headline) + "\r\n\r\n", 0), 0u) << platform::Cp932ToUtf8(failed.Text);
        EXPECT_NE(failed.Text.find(text::Sjis(why)), std::string::npos) << platform::Cp932ToUtf8(failed.Text);
        return failed;
    };
    config.SmtpPass = "wrong";
    outcome = expectOutcome(u8"SMTP認証に失敗しました。", u8"SMTP認証(AUTH)で失敗しました。\r\nｻｰﾊﾞｰの応答: 535");
    ShowTestMailOutcome(ui, outcome);
    EXPECT_EQ(ui.Calls().back().kind, platform::ScriptedUserInterface::Kind::Warning);

    config.SmtpPort = mailtest::ClosedPort();
    expectOutcome(u8"SMTPサーバーに接続できませんでした。", u8"SMTPｻｰﾊﾞｰへの接続で失敗しました。\r\n接続を拒否されました");
    config.PopLogon = 1;
    config.PopServer = "127.0.0.1";
    config.PopPort = mailtest::ClosedPort();
    config.PopUser = "u";
    config.PopPass = "p";
    expectOutcome(u8"POPサーバーに接続できませんでした。", u8"POPｻｰﾊﾞｰへのﾛｸﾞｵﾝで失敗しました。\r\n接続を拒否されました");
    // The plain path names the step as well.
    config.SmtpLogon = 0;
    expectOutcome(u8"送信できませんでした。", u8"POPｻｰﾊﾞｰへのﾛｸﾞｵﾝで失敗しました。");
    config.PopLogon = 0;
    expectOutcome(u8"送信できませんでした。", u8"SMTPｻｰﾊﾞｰへの接続で失敗しました。\r\n接続を拒否されました");
}

TEST_F(NoticeMailTest, TheTestMailUsesTheEntriesOnScreenAndRestoresTheSettings)
{
    config.SmtpPort = mailtest::ClosedPort();
    config.MailAddress = "saved@example.com";
    config.MailNotice = 0; // the test mail does not look at it
    const quint16 port = smtp.Port();
    const TestMailOutcome outcome = RunTestMail(mailer, config, [port](settings::TConfig& live) {
        live.SmtpPort = port;
        live.MailAddress = "onscreen@example.com";
        live.MailHanKana = 1;
    });
    EXPECT_TRUE(outcome.Sent);
    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"onscreen@example.com"});
    EXPECT_EQ(BodyOf(mails[0].data), "\r\n" + text::Sjis(u8"通知ﾃｽﾄです") + "\r\n");
    EXPECT_EQ(config.MailAddress, "saved@example.com");
    EXPECT_NE(config.SmtpPort, port);
    EXPECT_EQ(config.MailHanKana, 0);
    EXPECT_TRUE(log.Rows().empty());
    EXPECT_EQ(mailer.LastNoticeKind(), 0);
}

namespace {

class PopBeforeSmtpTest : public NoticeMailTest
{
protected:
    static void SetUpTestSuite()
    {
        pop = new mailtest::Pop3Server;
        if (!pop->Start())
            popError = pop->Error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete pop;
        pop = nullptr;
    }
    void SetUp() override
    {
        NoticeMailTest::SetUp();
        ASSERT_TRUE(popError.empty()) << popError;
        config.PopLogon = 1;
        config.PopServer = "127.0.0.1";
        config.PopPort = pop->Port();
        config.PopUser = mailtest::kUser;
        config.PopPass = mailtest::kPassword;
    }

    static mailtest::Pop3Server* pop;
    static std::string popError;
};

mailtest::Pop3Server* PopBeforeSmtpTest::pop = nullptr;
std::string PopBeforeSmtpTest::popError;

} // namespace

TEST_F(PopBeforeSmtpTest, TheRightPasswordOpensBothPaths)
{
    EXPECT_TRUE(mailer.SendMailPlain("plain"));
    config.SmtpLogon = 1;
    EXPECT_EQ(mailer.SendMailAuth("auth"), srSent);
    EXPECT_EQ(Mails(), 2u);
}

TEST_F(PopBeforeSmtpTest, AWrongPasswordStopsBeforeAnySmtpConnection)
{
    QTcpServer smtpListener;
    ASSERT_TRUE(smtpListener.listen(QHostAddress::LocalHost, 0));
    config.SmtpPort = smtpListener.serverPort();
    config.PopPass = "wrong";
    EXPECT_FALSE(mailer.SendMailPlain("x"));
    config.SmtpLogon = 1;
    EXPECT_EQ(mailer.SendMailAuth("x"), srPopFailed);
    EXPECT_FALSE(smtpListener.waitForNewConnection(0));
}
