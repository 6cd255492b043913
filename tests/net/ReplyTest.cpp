// The pure parts of the line protocols: reply codes, where a multi-line reply ends, the PASV and
// PORT arguments, command kinds and the socket error texts.
#include "net/Reply.h"
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "net/SocketErrors.h"

#include <gtest/gtest.h>

using namespace net;

TEST(ReplyCode, IsTheNumberOfTheLeadingDigits)
{
    EXPECT_EQ(ReplyCodeOf("220 Ready\r\n"), 220);
    EXPECT_EQ(ReplyCodeOf("331-More\r\n"), 331);
    EXPECT_EQ(ReplyCodeOf("+OK hello"), 0);
    EXPECT_EQ(ReplyCodeOf("abc"), 0);
    EXPECT_EQ(ReplyCodeOf(""), 0);
    EXPECT_EQ(ReplyCodeOf("5"), 5);
}

TEST(ReplyCode, LongDigitRunsAreCappedInsteadOfWrappingIntoASmallCode)
{
    // 65936 would wrap to 400 in a 16-bit code and 65756 to 220, both meaningful codes.
    EXPECT_EQ(ReplyCodeOf("65936 x"), kMaxReplyCode);
    EXPECT_EQ(ReplyCodeOf("65756 x"), kMaxReplyCode);
    EXPECT_EQ(ReplyCodeOf("99999999999999999999"), kMaxReplyCode);
    EXPECT_EQ(ReplyCodeOf("32767"), 32767);
}

TEST(ReplyLines, LineEndsAreCutOff)
{
    EXPECT_EQ(WithoutLineEnd("220 a\r\n"), "220 a");
    EXPECT_EQ(WithoutLineEnd("220 a\n"), "220 a");
    EXPECT_EQ(WithoutLineEnd("220 a"), "220 a");
}

TEST(ReplyLines, ASingleLineReplyEndsAtOnce)
{
    EXPECT_FALSE(ReplyContinues("220 Ready\r\n", "220 Ready\r\n"));
    EXPECT_FALSE(ReplyContinues("200\r\n", "200\r\n"));
}

TEST(ReplyLines, AHyphenReplyGoesOnUntilALineWithCodeAndBlank)
{
    const std::string first = "220-Welcome\r\n";
    EXPECT_TRUE(ReplyContinues(first, first));
    EXPECT_TRUE(ReplyContinues(first, "220-second\r\n"));
    EXPECT_TRUE(ReplyContinues(first, " indented\r\n"));
    // Free text between the first and the last line belongs to the reply too.
    EXPECT_TRUE(ReplyContinues(first, "This server is for members only\r\n"));
    EXPECT_TRUE(ReplyContinues(first, "\r\n"));
    EXPECT_FALSE(ReplyContinues(first, "220 Ready\r\n"));
    EXPECT_FALSE(ReplyContinues(first, "220\r\n"));
}

TEST(ReplyLines, OtherRepliesGoOnWhileLinesBeginWithABlankOrHaveAHyphenFourth)
{
    const std::string first = " odd first line\r\n";
    EXPECT_TRUE(ReplyContinues(first, first));
    EXPECT_TRUE(ReplyContinues(first, "250-more\r\n"));
    EXPECT_FALSE(ReplyContinues(first, "250 end\r\n"));
    EXPECT_FALSE(ReplyContinues(first, "text\r\n"));
}

TEST(ReplyLines, NothingFollowsALineCutByTheClose)
{
    EXPECT_FALSE(ReplyContinues("220-Welcome\r\n", ""));
    EXPECT_FALSE(ReplyContinues("220-Welcome\r\n", "220-Wel"));
}

TEST(PasvReply, PortComesFromTheLastTwoNumbers)
{
    quint16 port = 0;
    ASSERT_TRUE(TNMFTP::ParsePasvPort("227 Entering Passive Mode (10,0,0,5,19,137)", port));
    EXPECT_EQ(port, 5001);
    ASSERT_TRUE(TNMFTP::ParsePasvPort("227 Entering Passive Mode 127,0,0,1,200,10", port));
    EXPECT_EQ(port, 200 * 256 + 10);
    ASSERT_TRUE(TNMFTP::ParsePasvPort("227 =127,0,0,1,0,21", port));
    EXPECT_EQ(port, 21);
}

TEST(PasvReply, RepliesWithoutSixByteNumbersAreRefused)
{
    quint16 port = 77;
    EXPECT_FALSE(TNMFTP::ParsePasvPort("227 Entering Passive Mode", port));
    EXPECT_FALSE(TNMFTP::ParsePasvPort("227 (10,0,0,5,19)", port));
    EXPECT_FALSE(TNMFTP::ParsePasvPort("227 (10,0,0,5,19,1370)", port));
    EXPECT_FALSE(TNMFTP::ParsePasvPort("227 (10,0,0,256,19,137)", port));
    EXPECT_FALSE(TNMFTP::ParsePasvPort("227 (10,0,0,5,0,0)", port));
    EXPECT_FALSE(TNMFTP::ParsePasvPort("", port));
    EXPECT_EQ(port, 77);
}

TEST(PortCommand, AddressWithCommasThenThePortBytes)
{
    EXPECT_EQ(TNMFTP::PortArgument(QHostAddress(QStringLiteral("192.168.1.10")), 5001),
              "192,168,1,10,19,137");
    EXPECT_EQ(TNMFTP::PortArgument(QHostAddress(QStringLiteral("127.0.0.1")), 255), "127,0,0,1,0,255");
    EXPECT_THROW(TNMFTP::PortArgument(QHostAddress(QStringLiteral("::1")), 21), FTPException);
}

TEST(CommandKind, FollowsTheCommandWord)
{
    EXPECT_EQ(TNMFTP::CommandKindOf("CWD pub"), TNMFTP::cmdChangeDir);
    EXPECT_EQ(TNMFTP::CommandKindOf("MKD sub"), TNMFTP::cmdMakeDir);
    EXPECT_EQ(TNMFTP::CommandKindOf("DELE a"), TNMFTP::cmdDelete);
    EXPECT_EQ(TNMFTP::CommandKindOf("RMD d"), TNMFTP::cmdRemoveDir);
    EXPECT_EQ(TNMFTP::CommandKindOf("PWD"), TNMFTP::cmdCurrentDir);
    EXPECT_EQ(TNMFTP::CommandKindOf("PWD x"), TNMFTP::cmdMisc);
    EXPECT_EQ(TNMFTP::CommandKindOf("TYPE A"), TNMFTP::cmdMisc);
    EXPECT_EQ(TNMFTP::CommandKindOf("CWD"), TNMFTP::cmdMisc);
}

TEST(SocketErrors, TextsCarryTheirNumber)
{
    EXPECT_EQ(SocketErrorMessage(10061), "10061:Connection refused");
    EXPECT_EQ(SocketErrorMessage(10054), "10054:Connection reset by peer");
    EXPECT_EQ(SocketErrorMessage(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(SocketErrorMessage(12345), "Unknown Error No. 12345");
}

TEST(SocketErrors, WouldBlockAndSmallNumbersAreNotReported)
{
    EXPECT_FALSE(IsReportedSocketError(10035));
    EXPECT_FALSE(IsReportedSocketError(10000));
    EXPECT_FALSE(IsReportedSocketError(5));
    EXPECT_TRUE(IsReportedSocketError(10061));
}

TEST(SocketErrors, QtErrorsMapOntoTheSameNumbersEverywhere)
{
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::ConnectionRefusedError), 10061);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::RemoteHostClosedError), 10054);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::HostNotFoundError), 11001);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::AddressInUseError), 10048);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::SocketTimeoutError), 10060);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::NetworkError, QStringLiteral("Network unreachable")), 10051);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::NetworkError, QStringLiteral("Host unreachable")), 10065);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::NetworkError, QStringLiteral("Connection timed out")),
              10060);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::NetworkError), 10050);
    // Whatever Qt cannot name still gets a number that is logged, not one that is ignored.
    EXPECT_TRUE(IsReportedSocketError(SocketErrorNumber(QAbstractSocket::UnknownSocketError)));
}
