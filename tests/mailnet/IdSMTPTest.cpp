// The authenticating SMTP client against aiosmtpd: the commands, the header in its order, the body in
// the user's mail charset, the address lists and the failures.
#include "MailServers.h"

#include "net/IdSMTP.h"
#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace net;
using mailtest::BodyOf;
using mailtest::HeaderLines;

namespace {

const mail::MailCharset kJapanese{"ISO-2022-JP", 'B', true};
const mail::MailCharset kWestern{"ISO-8859-1", 'Q', false};

std::string Iso2022Jp(std::u8string_view utf8)
{
    std::string out;
    EXPECT_TRUE(
        platform::ConvertEncoding(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()),
                                  "UTF-8", "ISO-2022-JP", out));
    return out;
}

// The message as the notice sender builds it.
TIdMessage NoticeMessage(const std::string& body, const std::string& recipients)
{
    TIdMessage message;
    message.Body.push_back(body);
    message.Subject = "Quma Notice";
    message.Recipients.SetText(recipients);
    message.From.Address = "quillmap@example.com";
    message.ContentType = "text/plain";
    return message;
}

class IdSmtpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start()) << server.Error().toStdString();
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.UserId = mailtest::kUser;
        client.Password = mailtest::kPassword;
        client.AuthenticationType = atLogin;
        client.LocalHostName = "quill-host";
        client.TimeOut = 10000;
    }

    void SendOne(const TIdMessage& message)
    {
        client.Connect();
        ASSERT_TRUE(client.Authenticate());
        client.Send(message);
        client.Disconnect();
    }

    mailtest::SmtpServer server;
    TIdSMTP client;
};

} // namespace

TEST_F(IdSmtpTest, SendsTheNoticeWithItsHeaderInOrderAndAJapaneseBody)
{
    client.Charset = kJapanese;
    bool connectedSignal = false;
    QObject::connect(&client, &TIdSMTP::OnConnected, [&] { connectedSignal = true; });
    const std::string text = text::Sjis(u8"グローバルIPが変わりました\r\n192.0.2.7");
    SendOne(NoticeMessage(text, "owner@example.com"));
    EXPECT_TRUE(connectedSignal);
    EXPECT_FALSE(client.Connected());

    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    const mailtest::ReceivedMail& mail = mails[0];
    EXPECT_EQ(mail.helo, "quill-host");
    EXPECT_EQ(mail.login, mailtest::kUser);
    EXPECT_EQ(mail.mailFrom, "quillmap@example.com");
    EXPECT_EQ(mail.rcptTos, std::vector<std::string>{"owner@example.com"});

    const auto header = HeaderLines(mail.data);
    ASSERT_EQ(header.size(), 7u) << mail.data;
    EXPECT_EQ(header[0], "From: quillmap@example.com");
    EXPECT_EQ(header[1], "Subject: Quma Notice");
    EXPECT_EQ(header[2], "To: owner@example.com");
    EXPECT_EQ(header[3], "Content-Type: text/plain;");
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [1-9]\d? )"
                                          R"((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} )"
                                          R"(\d\d:\d\d:\d\d [+-]\d{4}$)"))
            .match(QString::fromStdString(header[4]))
            .hasMatch())
        << header[4];
    EXPECT_EQ(header[5], "X-Priority: 3");
    EXPECT_EQ(header[6], "X-Library: Indy 8.0.25");
    EXPECT_EQ(BodyOf(mail.data), Iso2022Jp(u8"グローバルIPが変わりました\r\n192.0.2.7\r\n"));
}

TEST_F(IdSmtpTest, AnotherLocaleSendsTheCodePage932BytesUnchanged)
{
    client.Charset = kWestern;
    const std::string text = text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました");
    SendOne(NoticeMessage(text, "owner@example.com"));
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(BodyOf(mails[0].data), text + "\r\n");
}

TEST_F(IdSmtpTest, HalfWidthKatakanaArriveFullWidthUnderAJapaneseLocale)
{
    client.Charset = kJapanese;
    SendOne(NoticeMessage(text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙ"), "owner@example.com"));
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(BodyOf(mails[0].data), Iso2022Jp(u8"グローバル\r\n"));
}

TEST_F(IdSmtpTest, EachParsedRecipientGetsItsOwnRcpt)
{
    client.Charset = kWestern;
    SendOne(NoticeMessage("x", "first@example.com, \"Second, Jr.\" <second@example.com>,,"));
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"first@example.com", "second@example.com"}));
    EXPECT_EQ(HeaderLines(mails[0].data)[2], "To: first@example.com, \"Second, Jr.\" <second@example.com>");
}

TEST_F(IdSmtpTest, AJapaneseDisplayNameIsEncodedInTheHeader)
{
    client.Charset = kJapanese;
    SendOne(NoticeMessage("x", text::Sjis(u8"山田 <yamada@example.com>")));
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"yamada@example.com"});
    // ESC $ B ";3" "ED" ESC ( B (the JIS codes of the two kanji) in Base64.
    EXPECT_EQ(HeaderLines(mails[0].data)[2], "To: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.com>");
}

TEST_F(IdSmtpTest, LinesBeginningWithAFullStopKeepIt)
{
    client.Charset = kWestern;
    TIdMessage message = NoticeMessage(".first", "owner@example.com");
    message.Body.push_back("second\r\n.\r\n..third");
    SendOne(message);
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    // Without the extra dots the server would drop one from each line, and the lone "." inside the
    // second entry would have ended the data there.
    EXPECT_EQ(BodyOf(mails[0].data), ".first\r\nsecond\r\n.\r\n..third\r\n");
}

TEST_F(IdSmtpTest, TheEhloReplyTellsTheOfferedMechanisms)
{
    client.Connect();
    const auto& mechanisms = client.OfferedMechanisms();
    EXPECT_NE(std::find(mechanisms.begin(), mechanisms.end(), "LOGIN"), mechanisms.end());
    EXPECT_NE(std::find(mechanisms.begin(), mechanisms.end(), "PLAIN"), mechanisms.end());
    client.Disconnect();
}

TEST_F(IdSmtpTest, AWrongPasswordIsAProtocolReplyError)
{
    client.Password = "wrong";
    client.Connect();
    try {
        client.Authenticate();
        FAIL() << "the server accepted a wrong password";
    } catch (const ProtocolReplyError& e) {
        EXPECT_EQ(client.ReplyCode(), 535);
        EXPECT_TRUE(std::string(e.what()).starts_with("535")) << e.what();
    }
    EXPECT_FALSE(client.LoggedOn());
    client.Disconnect();
    EXPECT_TRUE(server.Messages().empty());
}

TEST_F(IdSmtpTest, AuthenticationNeedsTheLoginType)
{
    client.AuthenticationType = atNone;
    client.Connect();
    EXPECT_FALSE(client.Authenticate());
    client.Disconnect();
}

TEST_F(IdSmtpTest, LineBreaksInAddressesSubjectOrUserAreRefusedBeforeSending)
{
    client.Charset = kWestern;
    client.Connect();
    ASSERT_TRUE(client.Authenticate());
    TIdMessage badRecipient = NoticeMessage("x", "a@example.com");
    badRecipient.Recipients.Clear();
    TIdEMailAddressItem item;
    item.Address = "a@example.com>\r\nRCPT TO:<b@example.com";
    badRecipient.Recipients.Add(item);
    EXPECT_THROW(client.Send(badRecipient), NetError);
    TIdMessage badSender = NoticeMessage("x", "a@example.com");
    badSender.From.Address = "q@example.com>\nRCPT TO:<c@example.com";
    EXPECT_THROW(client.Send(badSender), NetError);
    TIdMessage badSubject = NoticeMessage("x", "a@example.com");
    badSubject.Subject = "Quma\r\nBcc: c@example.com";
    EXPECT_THROW(client.Send(badSubject), NetError);
    // The connection is still in step: a sound message goes through after the refused ones.
    client.Send(NoticeMessage("ok", "a@example.com"));
    client.Disconnect();
    const auto mails = server.Messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"a@example.com"});

    client.UserId = "quill\r\nMAIL FROM:<x@example.com>";
    client.Connect();
    EXPECT_THROW(client.Authenticate(), NetError);
    client.Disconnect();
}

TEST(IdSmtpConnect, ARefusedConnectionFailsAtOnce)
{
    const quint16 closedPort = mailtest::ClosedPort();
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = closedPort;
    try {
        client.Connect();
        FAIL() << "connected to a closed port";
    } catch (const ESockError& e) {
        EXPECT_STREQ(e.what(), "10061:Connection refused");
    }
    EXPECT_FALSE(client.Connected());
}

TEST(IdMessageHeader, DatesAreEnglishWithTheOffsetOfTheTime)
{
    const QDate date(2026, 3, 1); // a Sunday
    EXPECT_EQ(FormatMailDate(QDateTime(date, QTime(9, 5, 3), QTimeZone(9 * 3600))),
              "Sun, 1 Mar 2026 09:05:03 +0900");
    EXPECT_EQ(
        FormatMailDate(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59), QTimeZone(-(3 * 3600 + 1800)))),
        "Wed, 31 Dec 2025 23:59:59 -0330");
    EXPECT_EQ(FormatMailDate(QDateTime(QDate(2024, 7, 15), QTime(0, 0, 0), QTimeZone::utc())),
              "Mon, 15 Jul 2024 00:00:00 +0000");
}

TEST(IdMessageHeader, NamesAreQuotedWithEscapesAndLongLinesFolded)
{
    TIdEMailAddressItem item;
    item.Address = "a@example.com";
    item.Name = "Say \"hi\" \\ now";
    EXPECT_EQ(FormatAddressItem(item, kWestern), "\"Say \\\"hi\\\" \\\\ now\" <a@example.com>");

    TIdHeaderList header;
    header.SetValue("To", std::string(40, 'a') + "@example.com, " + std::string(40, 'b') + "@example.com");
    header.SetValue("Subject", "kept");
    header.SetValue("subject", "replaced");
    header.SetValue("X-Gone", "x");
    header.SetValue("x-gone", "");
    const auto lines = header.FoldedLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "To: " + std::string(40, 'a') + "@example.com,");
    EXPECT_EQ(lines[1], " " + std::string(40, 'b') + "@example.com");
    EXPECT_EQ(lines[2], "Subject: replaced");
}

TEST(IdEMailAddress, ItemsReadTheirNamedAndBareForms)
{
    TIdEMailAddressItem item("  \"Taro Yamada\" < taro@example.com >");
    EXPECT_EQ(item.Address, "taro@example.com");
    EXPECT_EQ(item.Name, "Taro Yamada");
    item.SetText("taro@example.com (  'Taro'  )");
    EXPECT_EQ(item.Address, "taro@example.com");
    EXPECT_EQ(item.Name, "Taro");
    item.SetText("\"'nested'\" <n@example.com>");
    EXPECT_EQ(item.Name, "nested");
    item.SetText("plain@example.com");
    EXPECT_EQ(item.Address, "plain@example.com");
    EXPECT_EQ(item.Name, "");
    // Only a closing bracket: nothing of the text is lost.
    item.SetText("odd@example.com>");
    EXPECT_EQ(item.Address, "odd@example.com>");
}

TEST(IdEMailAddress, ListsSplitAtCommasOutsideAnOpenQuote)
{
    TIdEMailAddressList list;
    list.SetText("a@example.com,\"Doe, John\" <j@example.com> , , b@example.com");
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list[0].Address, "a@example.com");
    EXPECT_EQ(list[1].Address, "j@example.com");
    EXPECT_EQ(list[1].Name, "Doe, John");
    EXPECT_EQ(list[2].Address, "b@example.com");
    list.SetText("   ");
    EXPECT_TRUE(list.Empty());
}

TEST(MailCharset, TheLocaleLanguagePicksTheCharset)
{
    EXPECT_EQ(mail::MailCharsetForLocale("ja_JP.UTF-8"), kJapanese);
    EXPECT_EQ(mail::MailCharsetForLocale("ja"), kJapanese);
    EXPECT_EQ(mail::MailCharsetForLocale("zh_CN.GB2312").Name, "GB2312");
    EXPECT_EQ(mail::MailCharsetForLocale("zh_SG").Name, "GB2312");
    EXPECT_EQ(mail::MailCharsetForLocale("zh_TW.UTF-8").Name, "Big5");
    EXPECT_EQ(mail::MailCharsetForLocale("zh_HK").Letter, 'B');
    EXPECT_EQ(mail::MailCharsetForLocale("ko_KR.eucKR").Name, "EUC-KR");
    EXPECT_EQ(mail::MailCharsetForLocale("C"), kWestern);
    EXPECT_EQ(mail::MailCharsetForLocale(""), kWestern);
    EXPECT_EQ(mail::MailCharsetForLocale("jam_JM"), kWestern);
}
