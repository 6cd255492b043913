// The plain SMTP client against aiosmtpd and the POP3 client against dovecot.
#include "MailServers.h"

#include "net/NMpop3.h"
#include "net/NMsmtp.h"
#include "net/NetErrors.h"
#include "text/Sjis.h"

#include <QTcpServer>
#include <gtest/gtest.h>

using namespace net;
using mailtest::BodyOf;
using mailtest::HeaderLines;

namespace {

class PlainSmtpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start()) << server.Error().toStdString();
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.TimeOut = 10000;
        client.UserID = "quill-user";
        client.Charset = "ISO-2022-JP";
        client.PostMessage.FromAddress = "quillmap@example.com";
        client.PostMessage.FromName = "Quillmap";
        client.PostMessage.Subject = "Quma Notice";
        client.PostMessage.ToAddress = {"owner@example.com"};
    }

    mailtest::SmtpServer server;
    TNMSMTP client;
};

} // namespace

TEST_F(PlainSmtpTest, SendsTheHeaderTwoEmptyLinesAndTheBodyUnconverted)
{
    int connects = 0;
    int successes = 0;
    QObject::connect(&client, &TNMSMTP::OnConnect, [&] { ++connects; });
    QObject::connect(&client, &TNMSMTP::OnSuccess, [&] { ++successes; });
    const std::string body = text::Sjis(u8"グローバルIPが変わりました\r\n192.0.2.7");
    client.PostMessage.Body = {body};
    client.Connect();
    EXPECT_EQ(connects, 1);
    EXPECT_FALSE(client.Busy());
    client.SendMail();
    EXPECT_EQ(successes, 1);
    client.Disconnect();
    EXPECT_FALSE(client.Connected());

    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].helo, "quill-user");
    EXPECT_EQ(mails[0].mailFrom, "quillmap@example.com");
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"owner@example.com"});
    EXPECT_EQ(mails[0].data, "From: Quillmap<quillmap@example.com>\r\n"
                             "To: owner@example.com\r\n"
                             "Subject: Quma Notice\r\n"
                             "Mime-Version: 1.0\r\n"
                             "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
                             "\r\n"
                             "\r\n" +
                                 body + "\r\n");
    // The recipients are emptied after the send; subject and body stay.
    EXPECT_TRUE(client.PostMessage.ToAddress.empty());
    EXPECT_EQ(client.PostMessage.Body.size(), 1u);
}

TEST_F(PlainSmtpTest, EveryLineBeginningWithAFullStopKeepsIt)
{
    client.PostMessage.Body = {".one", "two\r\n.three", "."};
    client.Connect();
    client.SendMail();
    client.Disconnect();
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(BodyOf(mails[0].data), "\r\n.one\r\ntwo\r\n.three\r\n.\r\n");
}

TEST_F(PlainSmtpTest, IncompleteHeadersAndLineBreaksAreRefusedBeforeSending)
{
    client.Connect();
    client.PostMessage.ToAddress.clear();
    EXPECT_THROW(client.SendMail(), NetError);
    EXPECT_FALSE(client.Busy());
    client.PostMessage.ToAddress = {"owner@example.com>\r\nRCPT TO:<other@example.com"};
    EXPECT_THROW(client.SendMail(), NetError);
    client.PostMessage.ToAddress = {"owner@example.com"};
    client.PostMessage.Subject = "Quma\r\nBcc: other@example.com";
    EXPECT_THROW(client.SendMail(), NetError);
    client.PostMessage.Subject = "Quma Notice";
    client.PostMessage.Body = {"fine"};
    client.SendMail();
    client.Disconnect();
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"owner@example.com"});
    EXPECT_EQ(HeaderLines(mails[0].data)[2], "Subject: Quma Notice");
}

TEST_F(PlainSmtpTest, AUserNameWithALineBreakNeverConnects)
{
    client.UserID = "quill\r\nMAIL FROM:<x@example.com>";
    EXPECT_THROW(client.Connect(), ProtocolReplyError);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
}

TEST_F(PlainSmtpTest, SendingWithoutAConnectionFails)
{
    client.PostMessage.Body = {"x"};
    try {
        client.SendMail();
        FAIL() << "sent without a connection";
    } catch (const NetError& e) {
        EXPECT_STREQ(e.what(), "Not Connected");
    }
    EXPECT_FALSE(client.Busy());
}

TEST(PlainSmtpAddresses, TheRecipientAddressIsTakenFromItsEntry)
{
    EXPECT_EQ(RecipientAddress("Owner <owner@example.com>"), "owner@example.com");
    EXPECT_EQ(RecipientAddress("<cut@example.com"), "cut@example.com");
    EXPECT_EQ(RecipientAddress("smtp:owner@example.com:x"), "owner@example.com");
    EXPECT_EQ(RecipientAddress("a@example.com,b@example.com"), "a@example.com,b@example.com");
}

TEST(PlainSmtpHeader, BuildMessageFollowsTheValueRules)
{
    TNMSMTP client;
    client.PostMessage.FromAddress = "f@example.com";
    client.PostMessage.ToAddress = {"a@example.com", "b@example.com"};
    client.PostMessage.ToCarbonCopy = {"c@example.com"};
    client.PostMessage.Subject = "S";
    client.PostMessage.Date = "today";
    client.PostMessage.Body = {"x"};
    client.BuildMessage();
    EXPECT_EQ(client.FinalHeader.Lines(),
              (std::vector<std::string>{"From: <f@example.com>", "To: a@example.com,b@example.com",
                                        "CC: c@example.com", "Subject: S", "Date: today", "Mime-Version: 1.0",
                                        "Content-Type: text/plain; charset=us-ascii"}));
    EXPECT_EQ(client.BodyBytes(), QByteArray("x\r\n"));

    TExStringList list;
    list.SetValue("Subject", "one");
    list.SetValue("SUBJECT", "two");
    EXPECT_EQ(list.Lines(), std::vector<std::string>{"SUBJECT: two"});
    list.SetValue("subject", "");
    EXPECT_TRUE(list.Lines().empty());
}

namespace {

class Pop3Test : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new mailtest::Pop3Server;
        if (!server->Start())
            startError = server->Error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(startError.empty()) << startError;
        client.Host = "127.0.0.1";
        client.Port = server->Port();
        client.TimeOut = 10000;
        client.UserID = mailtest::kUser;
        client.Password = mailtest::kPassword;
        QObject::connect(&client, &TNMPOP3::OnConnect, [this] { ++connects; });
    }

    static mailtest::Pop3Server* server;
    static std::string startError;
    TNMPOP3 client;
    int connects = 0;
};

mailtest::Pop3Server* Pop3Test::server = nullptr;
std::string Pop3Test::startError;

} // namespace

TEST_F(Pop3Test, LogsOnAndOff)
{
    client.Connect();
    EXPECT_EQ(connects, 1);
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.MailCount(), 0);
    EXPECT_FALSE(client.Busy());
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3Test, AWrongPasswordFailsAndClosesTheConnection)
{
    client.Password = "wrong";
    try {
        client.Connect();
        FAIL() << "dovecot accepted a wrong password";
    } catch (const ProtocolReplyError& e) {
        EXPECT_STREQ(e.what(), "Authentication failed");
    }
    EXPECT_EQ(connects, 0);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Busy());
}

TEST(Pop3Offline, EmptyCredentialsOrLineBreaksFailWithoutConnecting)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    TNMPOP3 client;
    client.Host = "127.0.0.1";
    client.Port = listener.serverPort();
    client.TimeOut = 5000;
    const std::pair<const char*, const char*> cases[] = {
        {"quill", ""}, {"", "pw"}, {"quill\r\nDELE 1", "pw"}, {"quill", "pw\nDELE 1"}};
    for (const auto& [user, password] : cases) {
        client.UserID = user;
        client.Password = password;
        try {
            client.Connect();
            ADD_FAILURE() << "logged on with " << user;
        } catch (const ProtocolReplyError& e) {
            EXPECT_STREQ(e.what(), "Authentication failed");
        }
    }
    EXPECT_FALSE(listener.waitForNewConnection(0));
}
