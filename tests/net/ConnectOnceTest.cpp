// One connect makes one connection, also against a server that resets every connection right after
// accepting it (tests/servers/reset_server.py counts what it accepted).
#include "net/IdSMTP.h"
#include "net/NMsmtp.h"
#include "net/NetErrors.h"
#include "net/Psock.h"
#include "platform/WaitLoop.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

constexpr int kTestTimeOutMs = 10000;

class ResetServer
{
public:
    ResetServer() : m_countFile(m_folder.file(QStringLiteral("count")))
    {
        m_ok = m_server.startPython(QStringLiteral("reset_server.py"),
                                    {QStringLiteral("--count-file"), m_countFile});
        if (!m_ok)
            ADD_FAILURE() << m_server.error().toStdString();
    }
    bool ok() const { return m_ok; }
    quint16 port() const { return m_server.port(); }

    // What the count file says now ("accepted N" or "synced N").
    QString State() const
    {
        QFile file(m_countFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : QString();
    }

    // Blocks this thread (no events) until the server has reset its first connection: the state of a
    // machine so busy that the reset arrives before the client looks at its connect again.
    bool BlockUntilFirstReset() const
    {
        const QDeadlineTimer deadline(kTestTimeOutMs);
        while (State() == QLatin1String("accepted 0") || State().isEmpty()) {
            if (deadline.hasExpired())
                return false;
            QThread::usleep(200);
        }
        return true;
    }

    // Every connection the server has accepted, counted after it took all that were queued.
    int Accepted()
    {
        m_server.send("SYNC\n");
        // The answer on standard error wakes the wait (a file that changes does not).
        platform::WaitUntil([this] { return m_server.errorOutput().contains(QLatin1String("synced")); },
                            kTestTimeOutMs);
        const QString state = State();
        return state.startsWith(QLatin1String("synced")) ? state.section(u' ', 1).toInt() : -1;
    }

private:
    testsupport::TempFolder m_folder{false};
    QString m_countFile;
    testsupport::ServerProcess m_server;
    bool m_ok = false;
};

// Runs connect while the first event handled inside its wait blocks until the reset has happened.
template <typename Client> std::string ConnectDuringAReset(Client& client, const ResetServer& server)
{
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.TimeOut = kTestTimeOutMs;
    bool blocked = false;
    QTimer::singleShot(0, [&] { blocked = server.BlockUntilFirstReset(); });
    std::string failure;
    try {
        client.Connect();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    EXPECT_TRUE(blocked) << "the server never reset the connection";
    return failure;
}

} // namespace

TEST(ConnectOnce, ASocketThatIsResetAtOnceMakesOneConnectionAndFails)
{
    for (int round = 0; round < 3; ++round) {
        ResetServer server;
        ASSERT_TRUE(server.ok());
        net::TPowersock socket;
        int failedEvents = 0;
        QObject::connect(&socket, &net::TPowersock::OnConnectionFailed, [&] { ++failedEvents; });
        std::string failure = ConnectDuringAReset(socket, server);
        // Either the connect itself saw the reset, or it succeeded and the first read sees it.
        if (failure.empty()) {
            // Nothing arrives on a reset connection: an empty line or a socket error.
            try {
                EXPECT_EQ(socket.ReadLn(), "");
            } catch (const net::ESockError&) {
            }
        } else {
            EXPECT_EQ(failedEvents, 1);
            EXPECT_EQ(failure, "Connection Failed");
            EXPECT_EQ(socket.LastErrorNumber(), 10054);
        }
        EXPECT_EQ(server.Accepted(), 1) << "round " << round;
        EXPECT_FALSE(socket.Connected());
    }
}

TEST(ConnectOnce, ANoticeToAnSmtpServerThatResetsMakesOneConnection)
{
    ResetServer server;
    ASSERT_TRUE(server.ok());
    net::TNMSMTP smtp;
    smtp.UserID = "quillmap";
    EXPECT_FALSE(ConnectDuringAReset(smtp, server).empty());
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_FALSE(smtp.Connected());
}

TEST(ConnectOnce, AnAuthenticatedNoticeToAServerThatResetsMakesOneConnection)
{
    ResetServer server;
    ASSERT_TRUE(server.ok());
    net::TIdSMTP smtp;
    EXPECT_FALSE(ConnectDuringAReset(smtp, server).empty());
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_FALSE(smtp.Connected());
}
