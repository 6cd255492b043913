// The socket base against a scripted server and plain Qt listeners on 127.0.0.1: connecting and
// its failures, line reading, the reply reader, sending in blocks, cancel and time-out.
#include "net/NetErrors.h"
#include "net/Psock.h"
#include "support/ClosedPort.h"
#include "support/FakeServer.h"
#include "support/MessageOf.h"

#include <QBuffer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/WaitLoop.h"

using net::TPowersock;
using testsupport::ClosedPort;
using testsupport::FakeServer;
using testsupport::MessageOf;

namespace {

constexpr int kTestTimeOutMs = 10000;

void ConnectTo(TPowersock& socket, quint16 port)
{
    socket.Host = "127.0.0.1";
    socket.Port = port;
    socket.TimeOut = kTestTimeOutMs;
    socket.Connect();
}

// A listener that takes one connection and keeps whatever arrives on it.
class Sink
{
public:
    Sink()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            m_socket = m_server.nextPendingConnection();
            QObject::connect(m_socket, &QTcpSocket::readyRead, [this] { m_data += m_socket->readAll(); });
            QObject::connect(m_socket, &QTcpSocket::disconnected, [this] {
                if (m_socket->bytesAvailable() > 0)
                    m_data += m_socket->readAll();
                m_closed = true;
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // Waits (bounded) until the peer has closed; true when it did.
    bool WaitClosed()
    {
        return platform::WaitUntil([this] { return m_closed; }, kTestTimeOutMs) == platform::WaitResult::Done;
    }
    const QByteArray& data() const { return m_data; }

private:
    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_data;
    bool m_closed = false;
};

} // namespace

TEST(SocketConnect, ConnectsOnceAndRefusesASecondConnect)
{
    FakeServer server({"S: 220 hi", "HOLD"});
    TPowersock socket;
    int connects = 0;
    QObject::connect(&socket, &TPowersock::OnConnect, [&] { ++connects; });
    ConnectTo(socket, server.port());
    EXPECT_TRUE(socket.Connected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.Connect(); }), "Already connected");
    EXPECT_EQ(socket.ReadLn(), "220 hi\r\n");
    server.Finish();
}

TEST(SocketConnect, ARefusedConnectionIsLoggedWithItsNumberAndFails)
{
    TPowersock socket;
    std::vector<std::pair<int, std::string>> errors;
    int failed = 0;
    QObject::connect(&socket, &TPowersock::OnError,
                     [&](int number, const std::string& text) { errors.emplace_back(number, text); });
    QObject::connect(&socket, &TPowersock::OnConnectionFailed, [&] { ++failed; });
    EXPECT_EQ(MessageOf<net::ESockError>([&] { ConnectTo(socket, ClosedPort()); }), "Connection Failed");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, 10061);
    EXPECT_EQ(errors[0].second, "10061:Connection refused");
    EXPECT_EQ(socket.LastErrorNumber(), 10061);
    EXPECT_EQ(failed, 1);
    EXPECT_FALSE(socket.Connected());
}

TEST(SocketConnect, AnUnresolvableHostGivesNullRemoteAddress)
{
    TPowersock socket;
    // Rejected by the resolver itself, so no name server is asked.
    socket.Host = "bad..name";
    socket.Port = 21;
    socket.TimeOut = kTestTimeOutMs;
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.Connect(); }), "Null Remote Address");
    socket.Host = "";
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.Connect(); }), "Null Remote Address");
}

TEST(SocketConnect, AnInvalidHostHandlerMayCorrectTheHostForOneMoreTry)
{
    FakeServer server({"S: 220 hi", "HOLD"});
    TPowersock socket;
    int calls = 0;
    QObject::connect(&socket, &TPowersock::OnInvalidHost, [&](bool& handled) {
        ++calls;
        socket.Host = "127.0.0.1";
        handled = true;
    });
    socket.Host = "bad..name";
    socket.Port = server.port();
    socket.TimeOut = kTestTimeOutMs;
    socket.Connect();
    EXPECT_TRUE(socket.Connected());
    EXPECT_EQ(calls, 1);
    server.Finish();
}

TEST(SocketConnect, HostNamesAreResolved)
{
    FakeServer server({"S: 220 hi", "HOLD"});
    TPowersock socket;
    int resolved = 0;
    QObject::connect(&socket, &TPowersock::OnHostResolved, [&] { ++resolved; });
    socket.Host = "localhost"; // from the hosts file
    socket.Port = server.port();
    socket.TimeOut = kTestTimeOutMs;
    socket.Connect();
    EXPECT_TRUE(socket.Connected());
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(socket.PeerAddress(), QHostAddress(QHostAddress::LocalHost));
    server.Finish();
}

TEST(SocketConnect, ACancelledConnectSaysSo)
{
    TPowersock socket;
    socket.Port = ClosedPort();
    // A cancel that comes while the host is looked up stops the connect before it starts.
    QObject::connect(&socket, &TPowersock::OnHostResolved, [&] { socket.Cancel(); });
    socket.Host = "localhost";
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.Connect(); }), "Connection Canceled");
    EXPECT_FALSE(socket.Canceled);
}

TEST(SocketState, OperationsOnAnUnconnectedSocketFail)
{
    TPowersock socket;
    int required = 0;
    QObject::connect(&socket, &TPowersock::OnConnectionRequired, [&] { ++required; });
    EXPECT_EQ(MessageOf<net::NetError>([&] { socket.CheckConnected(); }), "Not Connected");
    EXPECT_EQ(required, 1);
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.ReadLn(); }), "10057:Socket is not connected");
    EXPECT_EQ(MessageOf<net::ESockError>([&] { socket.Writeln("NOOP"); }), "10057:Socket is not connected");
}

TEST(SocketReadLn, ReturnsOneLineWithItsLineEndAndLosesNoByteBetweenLines)
{
    FakeServer server({"S= 220-a\r\nb\r\nc", "C: NEXT", "S: d", "HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.ReadLn(), "220-a\r\n");
    EXPECT_EQ(socket.ReadLn(), "b\r\n");
    socket.Writeln("NEXT");
    // "c" arrived with the first lines, "d" only after the command: one line of both.
    EXPECT_EQ(socket.ReadLn(), "cd\r\n");
    server.Finish();
}

TEST(SocketReadLn, APeerThatClosesGivesWhatItSentThenAnEmptyLine)
{
    FakeServer server({"S: 221 bye", "S= tail", "CLOSE"});
    TPowersock socket;
    int disconnects = 0;
    QObject::connect(&socket, &TPowersock::OnDisconnect, [&] { ++disconnects; });
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.ReadLn(), "221 bye\r\n");
    EXPECT_EQ(socket.ReadLn(), "tail");
    EXPECT_FALSE(socket.Connected());
    EXPECT_EQ(disconnects, 1);
    server.Finish();
}

TEST(SocketReadLn, ClosingRightAfterTheGreetingGivesAnEmptyLine)
{
    FakeServer server({"CLOSE"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.ReadLn(), "");
    EXPECT_FALSE(socket.Connected());
    server.Finish();
}

TEST(SocketReadLn, ALineOfTheLimitIsReadAndALongerOneIsRefused)
{
    const QString longest(TPowersock::kMaxLineLength - 2, u'x');
    const QString endless(TPowersock::kMaxLineLength + 5000, u'y');
    FakeServer server({QStringLiteral("S: ") + longest, QStringLiteral("S= ") + endless, "HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.ReadLn().size(), static_cast<size_t>(TPowersock::kMaxLineLength));
    const std::string message = MessageOf<net::ESockError>([&] { socket.ReadLn(); });
    EXPECT_EQ(message, "Reply line longer than 65536 bytes without a line feed");
    EXPECT_FALSE(socket.Connected());
    server.Finish();
}

TEST(SocketReadLn, CancelEndsTheWait)
{
    FakeServer server({"HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    QTimer::singleShot(0, &socket, [&] { socket.Cancel(); });
    EXPECT_EQ(MessageOf<net::EAbortError>([&] { socket.ReadLn(); }), "Socket readln aborted");
    EXPECT_FALSE(socket.Canceled);
    server.Finish();
}

TEST(SocketReadLn, TimeOutEndsTheWait)
{
    FakeServer server({"HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    socket.TimeOut = 100;
    EXPECT_EQ(MessageOf<net::EAbortError>([&] { socket.ReadLn(); }), "Socket readln aborted");
    EXPECT_TRUE(socket.TimedOut);
    server.Finish();
}

TEST(SocketReplies, TransactionKeepsCodeAndFirstLine)
{
    FakeServer server({"C: HELO me", "S: 250 hello me", "C: WHAT", "S: what?", "HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.Transaction("HELO me"), 250);
    EXPECT_EQ(socket.ReplyText, "250 hello me");
    EXPECT_EQ(socket.Transaction("WHAT"), 0);
    EXPECT_EQ(socket.ReplyText, "what?");
    server.Finish();
}

TEST(SocketReplies, MultiLineRepliesAreReadWholeSoTheNextReplyStaysInStep)
{
    FakeServer server({"C: FEAT", "S: 211-Features:", "S:  MDTM", "S: plain text line", "S: 211 End",
                       "C: NOOP", "S: 200 ok", "HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    socket.Transaction("FEAT");
    socket.ReadReplyRest();
    EXPECT_EQ(socket.ReplyCode, 211);
    EXPECT_EQ(socket.ReplyText, "211-Features:");
    EXPECT_EQ(socket.ReplyLines,
              (std::vector<std::string>{"211-Features:", " MDTM", "plain text line", "211 End"}));
    EXPECT_EQ(socket.Transaction("NOOP"), 200);
    server.Finish();
}

TEST(SocketReplies, ReadReplyReadsAGreetingWhole)
{
    FakeServer server({"S: 220-Welcome", "S: 220-to the test", "S: 220 Ready", "HOLD"});
    TPowersock socket;
    ConnectTo(socket, server.port());
    EXPECT_EQ(socket.ReadReply(), 220);
    EXPECT_EQ(socket.ReplyLines.size(), 3u);
    EXPECT_FALSE(socket.ReplyMissing());
    EXPECT_FALSE(socket.DataAvailable());
    server.Finish();
}

TEST(SocketSend, StreamsGoOutInBlocksWithOneEventPerBlock)
{
    Sink sink;
    TPowersock socket;
    ConnectTo(socket, sink.port());
    QByteArray payload(200000, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    QBuffer buffer(&payload);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(1234); // SendStream starts at the beginning whatever the position
    std::vector<qint64> progress;
    QObject::connect(&socket, &TPowersock::OnPacketSent, [&] { progress.push_back(socket.BytesDone); });
    socket.SendStream(buffer);
    EXPECT_EQ(progress, (std::vector<qint64>{65536, 131072, 196608, 200000}));
    EXPECT_EQ(socket.BytesTotal, 200000);
    socket.Disconnect();
    ASSERT_TRUE(sink.WaitClosed());
    EXPECT_EQ(sink.data(), payload);
}

TEST(SocketSend, CancelDuringSendFileEndsIt)
{
    Sink sink;
    TPowersock socket;
    ConnectTo(socket, sink.port());
    QByteArray payload(1 << 20, 'z');
    QBuffer buffer(&payload);
    buffer.open(QIODevice::ReadOnly);
    int packets = 0;
    QObject::connect(&socket, &TPowersock::OnPacketSent, [&] {
        if (++packets == 2)
            socket.Cancel();
    });
    EXPECT_EQ(MessageOf<net::EAbortError>([&] { socket.SendStream(buffer); }), "Socket send aborted");
    EXPECT_EQ(packets, 2);
    EXPECT_FALSE(socket.Canceled);
}

TEST(SocketSend, AMissingFileIsReportedBeforeAnythingIsSent)
{
    Sink sink;
    TPowersock socket;
    ConnectTo(socket, sink.port());
    EXPECT_THROW(socket.SendFile("/nonexistent/quillmap/file"), net::NetError);
    socket.Disconnect();
    ASSERT_TRUE(sink.WaitClosed());
    EXPECT_TRUE(sink.data().isEmpty());
}

TEST(SocketListen, AcceptsOneConnectionAndTurnsOthersAway)
{
    TPowersock listener;
    listener.TimeOut = kTestTimeOutMs;
    listener.Listen(QHostAddress(QHostAddress::LocalHost));
    ASSERT_NE(listener.ListeningPort(), 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, listener.ListeningPort());
    listener.Accept(QHostAddress(QHostAddress::LocalHost));
    EXPECT_TRUE(listener.Connected());
    client.write("hello\r\n");
    EXPECT_EQ(listener.ReadLn(), "hello\r\n");

    TPowersock picky;
    picky.TimeOut = kTestTimeOutMs;
    picky.Listen(QHostAddress(QHostAddress::LocalHost));
    QTcpSocket stranger;
    // Turned away means closed: that is when the wait is given up.
    QObject::connect(&stranger, &QTcpSocket::disconnected, [&] { picky.Cancel(); });
    stranger.connectToHost(QHostAddress::LocalHost, picky.ListeningPort());
    // Only 10.0.0.5 may come in; the connection from 127.0.0.1 is not taken.
    EXPECT_EQ(MessageOf<net::ESockError>([&] { picky.Accept(QHostAddress(QStringLiteral("10.0.0.5"))); }),
              "Accepting Canceled");
    EXPECT_FALSE(picky.Connected());
}
