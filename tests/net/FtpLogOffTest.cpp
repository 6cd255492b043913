// The log-off after a stop: a server that hangs does not hold the program for the whole time-out.
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "support/FakeServer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using net::TNMFTP;
using testsupport::FakeServer;

namespace {

// The program's time-out for the clients; the log-off after a stop must end far sooner.
constexpr int kClientTimeOutMs = 20000;
constexpr int kFewSecondsMs = 4000;

const QStringList kLogOn = {"S: 220 ready", "C: USER u", "S: 331 Password required", "C: PASS p",
                            "S: 230 Logged in"};

void Prepare(TNMFTP& ftp, quint16 port)
{
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.UserID = "u";
    ftp.Password = "p";
    ftp.TimeOut = kClientTimeOutMs;
}

} // namespace

TEST(FtpLogOff, AfterAStopTheQuitToAHangingServerWaitsOnlyBriefly)
{
    // The server answers the log-on, then nothing at all any more.
    FakeServer server(kLogOn + QStringList{"C: CWD www", "HOLD"});
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Connect();
    // The abort timer (or a termination signal) stops the waiting step as the check cycle does.
    QTimer::singleShot(100, [&] {
        ftp.Abort();
        ftp.Cancel();
    });
    EXPECT_THROW(ftp.ChangeDirectory("www"), net::NetError);

    QElapsedTimer elapsed;
    elapsed.start();
    ftp.Abort();
    EXPECT_THROW(ftp.Disconnect(), net::NetError);
    EXPECT_LT(elapsed.elapsed(), kFewSecondsMs);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_TRUE(server.clientLines().contains(QStringLiteral("QUIT")));
}

TEST(FtpLogOff, TheNextConnectionHasItsFullTimeOutAgain)
{
    // After a stop, a new connection waits as long as the time-out says, not the brief log-off time.
    FakeServer first(kLogOn + QStringList{"C: QUIT", "HOLD"});
    TNMFTP ftp;
    Prepare(ftp, first.port());
    ftp.Connect();
    ftp.Cancel();
    EXPECT_THROW(ftp.Disconnect(), net::NetError);

    FakeServer second(kLogOn + QStringList{"C: CWD slow", "HOLD"});
    ftp.Port = second.port();
    ftp.TimeOut = 4000;
    ftp.Connect();
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_THROW(ftp.ChangeDirectory("slow"), net::NetError);
    EXPECT_GE(elapsed.elapsed(), ftp.TimeOut - 100);
    ftp.Abort();
    EXPECT_THROW(ftp.Disconnect(), net::NetError);
}
