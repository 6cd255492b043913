// The mail clients against the scripted fake server, for what real servers never do: multi-line
// greetings, refused HELO and EHLO, a refused recipient, AUTH LOGIN refused after the password, a
// server that stops answering or closes, a QUIT refused after an accepted message. The transcripts
// also pin the exact command lines of both paths.
#include "MailServers.h"

#include "mail/NoticeMail.h"
#include "net/IdSMTP.h"
#include "net/NMsmtp.h"
#include "support/FakeServer.h"

#include <gtest/gtest.h>

using testsupport::FakeServer;

namespace {

class ScriptedMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        config.MailNotice = 1;
        config.SmtpServer = "127.0.0.1";
        config.SmtpUser = "quill";
        config.SmtpPass = "s3cret";
        config.MailAddress = "owner@example.com";
        config.MailAddressFrom = "router@example.com";
        mailer.IdSMTP1().LocalHostName = "quill-host";
        mailer.IdSMTP1().Charset = {"ISO-8859-1", 'Q', false};
    }

    settings::TConfig config;
    core::OperationLog log;
    mail::TNoticeMailer mailer{config, &log};
};

const QStringList kPlainHeader = {
    QStringLiteral("C: From: Quillmap<router@example.com>"),
    QStringLiteral("C: To: owner@example.com"),
    QStringLiteral("C: Subject: Quma Notice"),
    QStringLiteral("C: Mime-Version: 1.0"),
    QStringLiteral("C: Content-Type: text/plain; charset=Shift_JIS"),
    QStringLiteral("C: Content-Transfer-Encoding: 8bit"),
    QStringLiteral("C: "),
    QStringLiteral("C: "),
};

} // namespace

TEST_F(ScriptedMailTest, AMultiLineGreetingIsReadWholeBeforeHelo)
{
    FakeServer server({"S: 220-mail.example.com ESMTP", "S: 220-more text", "S: 220 ready", "C: HELO quill",
                       "S: 250 hello", "C: QUIT", "S: 221 bye"});
    net::TNMSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.TimeOut = 5000;
    client.UserID = "quill";
    client.Connect();
    client.Disconnect();
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, AHeloRefusedWith501FailsAndCloses)
{
    FakeServer server(
        {"S: 220 ready", "C: HELO quill", "S: 501 syntax error", "C: QUIT", "S: 221 bye", "AWAIT-CLOSE"});
    net::TNMSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.TimeOut = 5000;
    client.UserID = "quill";
    bool connected = false;
    QObject::connect(&client, &net::TNMSMTP::OnConnect, [&] { connected = true; });
    try {
        client.Connect();
        FAIL() << "HELO was refused";
    } catch (const net::ProtocolReplyError& e) {
        EXPECT_STREQ(e.what(), "Authentication failed");
    }
    EXPECT_FALSE(connected);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, AServerThatClosesInsteadOfAnsweringHeloIsNoConnection)
{
    FakeServer server({"S: 220 ready", "C: HELO quill", "CLOSE"});
    net::TNMSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.TimeOut = 5000;
    client.UserID = "quill";
    EXPECT_THROW(client.Connect(), net::NetError);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, ThePlainPathSendsOneRcptForTheWholeSettingAndFailsWhenDataIsRefused)
{
    config.MailAddress = "a@example.com,b@example.com";
    FakeServer server({"S: 220 ready", "C: HELO quill", "S: 250 hello", "C: RSET", "S: 250 ok",
                       "C: MAIL FROM:<router@example.com>", "S: 250 ok",
                       "C: RCPT TO:<a@example.com,b@example.com>", "S: 550 no such user", "C: DATA",
                       "S: 503 need RCPT", "C: QUIT", "S: 221 bye"});
    config.SmtpPort = server.port();
    EXPECT_FALSE(mailer.SendMailPlain("x"));
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, AQuitRefusedAfterAnAcceptedMessageStillCountsAsSent)
{
    // RSET answered in two lines: the rest of a reply is never taken for the next one.
    QStringList transcript = {"S: 220 ready",
                              "C: HELO quill",
                              "S: 250 hello",
                              "C: RSET",
                              "S: 250-resetting",
                              "S: 250 done",
                              "C: MAIL FROM:<router@example.com>",
                              "S: 250 ok",
                              "C: RCPT TO:<owner@example.com>",
                              "S: 250 ok",
                              "C: DATA",
                              "S: 354 go ahead"};
    transcript << kPlainHeader << "C: ..hidden dot"
               << "C: ."
               << "S: 250 accepted"
               << "C: QUIT"
               << "S: 500 what?";
    FakeServer server(transcript);
    config.SmtpPort = server.port();
    mailer.SendNoticeMail(mail::nkStatusUnreachable, ".hidden dot");
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(mailer.LastNoticeKind(), mail::nkStatusUnreachable);
    EXPECT_TRUE(log.Rows().empty());
}

TEST_F(ScriptedMailTest, AServerThatStopsAnsweringFailsTheSendWithinTheTimeOut)
{
    FakeServer server({"S: 220 ready", "C: HELO quill", "S: 250 hello", "C: RSET", "HOLD"});
    config.SmtpPort = server.port();
    mailer.NMSMTP1().TimeOut = 1000;
    mailer.SendNoticeMail(mail::nkAddressNotFound, "x");
    ASSERT_EQ(log.Rows().size(), 1u);
    EXPECT_EQ(log.Rows()[0].Kind, core::lkRunFailure);
    EXPECT_EQ(mailer.LastNoticeKind(), 0);
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, NoticesOffNeverReachTheServer)
{
    FakeServer server(QStringList{});
    config.MailNotice = 0;
    config.SmtpPort = server.port();
    mailer.SendNoticeMail(mail::nkAddressChanged, "x");
    config.SmtpLogon = 1;
    mailer.SendNoticeMail(mail::nkStatusUnreachable, "x");
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(ScriptedMailTest, TheAuthenticatingPathFallsBackToHeloAndSendsItsExactLines)
{
    config.SmtpLogon = 1;
    config.MailAddress = "one@example.com, Two <two@example.com>";
    FakeServer server(
        {"S: 220-welcome",
         "S: 220 ready",
         "C: ehlo quill-host",
         "S: 502 not implemented",
         "C: Helo quill-host",
         "S: 250 hello",
         "C: auth LOGIN",
         "S: 334 VXNlcm5hbWU6",
         "C: cXVpbGw=",
         "S: 334 UGFzc3dvcmQ6",
         "C: czNjcmV0",
         "S: 235 welcome",
         "C: Rset",
         "S: 250 ok",
         "C: Mail from:<router@example.com>",
         "S: 250 ok",
         "C: RCPT to:<one@example.com>",
         "S: 250 ok",
         "C: RCPT to:<two@example.com>",
         "S: 250 ok",
         "C: Data",
         "S: 354 go ahead",
         "C: From: router@example.com",
         "C: Subject: Quma Notice",
         "C: To: one@example.com, \"Two\" <two@example.com>",
         "C: Content-Type: text/plain;",
         R"(C~ Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d{1,2} [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d [+-]\d{4})",
         "C: X-Priority: 3",
         "C: X-Library: Indy 8.0.25",
         "C: ",
         "C: ..first",
         "C: .",
         "S: 250 queued",
         "C: Quit",
         "AWAIT-CLOSE"});
    config.SmtpPort = server.port();
    EXPECT_EQ(mailer.SendMailAuth(".first"), mail::srSent);
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, AuthLoginRefusedAfterThePasswordIsAnAuthenticationFailure)
{
    config.SmtpLogon = 1;
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "S: 250-mail.example.com", "S: 250 AUTH LOGIN",
                       "C: auth LOGIN", "S: 334 VXNlcm5hbWU6", "C: cXVpbGw=", "S: 334 UGFzc3dvcmQ6",
                       "C: czNjcmV0", "S: 535 5.7.8 credentials invalid", "C: Quit", "AWAIT-CLOSE"});
    config.SmtpPort = server.port();
    EXPECT_EQ(mailer.SendMailAuth("x"), mail::srSmtpAuthFailed);
    EXPECT_TRUE(server.Finish());
    EXPECT_FALSE(mailer.IdSMTP1().Connected());
}

TEST_F(ScriptedMailTest, ASilentServerEndsTheAuthenticatingConnectWithinTheTimeOut)
{
    config.SmtpLogon = 1;
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "HOLD"});
    config.SmtpPort = server.port();
    mailer.IdSMTP1().TimeOut = 1000;
    EXPECT_EQ(mailer.SendMailAuth("x"), mail::srSmtpConnectFailed);
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, TheEhloReplyListsEachMechanismOnce)
{
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "S: 250-mail.example.com",
                       "S: 250-AUTH=LOGIN PLAIN", "S: 250-auth login cram-md5", "S: 250-AUTHX NOPE",
                       "S: 250 SIZE 1000", "C: Quit", "AWAIT-CLOSE"});
    net::TIdSMTP& client = mailer.IdSMTP1();
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.Connect();
    EXPECT_EQ(client.OfferedMechanisms(), (std::vector<std::string>{"LOGIN", "PLAIN", "CRAM-MD5"}));
    EXPECT_EQ(client.ReplyCode(), 250);
    client.Disconnect();
    EXPECT_TRUE(server.Finish());
}

TEST_F(ScriptedMailTest, AnEndlessReplyLineIsRefusedNotBuffered)
{
    FakeServer server({"S= 220 " + QString(70000, u'x'), "C: Quit", "AWAIT-CLOSE"});
    net::TIdSMTP& client = mailer.IdSMTP1();
    client.Host = "127.0.0.1";
    client.Port = server.port();
    EXPECT_THROW(client.Connect(), net::ESockError);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.Finish());
}
