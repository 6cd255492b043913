// The FTP client against the scripted server, for what a real server does not do on request:
// multi-line greetings, USER answered by 230, refusals at every step, odd PASV replies, final
// replies that refuse the file, servers that close or stop answering, firewall log-on forms.
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "support/ClosedPort.h"
#include "support/FakeServer.h"
#include "support/MessageOf.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QFile>
#include <gtest/gtest.h>

using net::TNMFTP;
using testsupport::FakeServer;
using testsupport::MessageOf;

namespace {

constexpr int kTestTimeOutMs = 10000;

const QStringList kLogOn = {"S: 220 ready", "C: USER u", "S: 331 Password required", "C: PASS p",
                            "S: 230 Logged in"};
const QStringList kQuit = {"C: QUIT", "S: 221 Bye", "AWAIT-CLOSE"};

QString PasvReply(const char* address)
{
    return QStringLiteral("S: 227 Entering Passive Mode (%1,{DATA_PORT_HI},{DATA_PORT_LO})")
        .arg(QLatin1String(address));
}

void Prepare(TNMFTP& ftp, quint16 port)
{
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.UserID = "u";
    ftp.Password = "p";
    ftp.TimeOut = kTestTimeOutMs;
}

// Records the events that the callers of the client rely on.
struct Events
{
    explicit Events(TNMFTP& ftp, bool handleFailures = false)
    {
        QObject::connect(&ftp, &TNMFTP::OnConnect, [this] { ++connects; });
        QObject::connect(&ftp, &TNMFTP::OnConnectionFailed, [this] { ++connectionFailures; });
        QObject::connect(&ftp, &TNMFTP::OnSuccess, [this](int kind) { successes.push_back(kind); });
        QObject::connect(&ftp, &TNMFTP::OnUnSupportedFunction,
                         [this](int kind) { unsupported.push_back(kind); });
        QObject::connect(&ftp, &TNMFTP::OnFailure, [this, handleFailures](bool& handled, int kind) {
            EXPECT_FALSE(handled);
            failures.push_back(kind);
            handled = handleFailures;
        });
    }
    int connects = 0;
    int connectionFailures = 0;
    std::vector<int> successes;
    std::vector<int> failures;
    std::vector<int> unsupported;
};

std::string MakeFile(testsupport::TempFolder& folder, const QString& name, qint64 size)
{
    std::string bytes(static_cast<size_t>(size), '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    testsupport::WriteBytes(folder.file(name), bytes);
    return folder.filePath(name);
}

} // namespace

TEST(FtpLogOn, AMultiLineGreetingIsReadWholeBeforeUser)
{
    FakeServer server(QStringList{"S: 220-Welcome", "S: 220 Ready", "C: USER u", "S: 331 Password required",
                                  "C: PASS p", "S: 230 Logged in"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(events.connects, 1);
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpLogOn, FreeTextInsideAMultiLineGreetingDoesNotEndIt)
{
    FakeServer server(QStringList{"S: 220-Welcome", "S: Members only.", "S: 220 Ready", "C: USER u",
                                  "S: 331 Password required", "C: PASS p", "S: 230 Logged in"} +
                      kQuit);
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Connect();
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpLogOn, AUserAnsweredBy230GetsNoPassword)
{
    FakeServer server(QStringList{"S: 220 hi", "C: USER u", "S: 230 No password needed"} + kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_EQ(events.connects, 1);
    // Connecting again while connected does nothing at all.
    ftp.Connect();
    EXPECT_EQ(events.connects, 1);
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpLogOn, ARefusedGreetingOrPasswordFailsAndCloses)
{
    {
        FakeServer server({"S: 421 Too many users", "AWAIT-CLOSE"});
        TNMFTP ftp;
        Events events(ftp);
        Prepare(ftp, server.port());
        EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.Connect(); }), "421 Too many users");
        EXPECT_EQ(events.connectionFailures, 1);
        EXPECT_EQ(events.connects, 0);
        EXPECT_FALSE(ftp.Connected());
        server.Finish();
    }
    {
        FakeServer server(
            {"S: 220 hi", "C: USER u", "S: 331 pw", "C: PASS p", "S: 530 Login incorrect.", "AWAIT-CLOSE"});
        TNMFTP ftp;
        Events events(ftp);
        Prepare(ftp, server.port());
        EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.Connect(); }), "530 Login incorrect.");
        EXPECT_EQ(events.connectionFailures, 1);
        EXPECT_FALSE(ftp.Connected());
        server.Finish();
    }
}

TEST(FtpLogOn, AServerThatClosesDuringTheGreetingFailsTheConnect)
{
    FakeServer server({"S: 220-Welcome", "CLOSE"});
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.Connect(); }), "Connection closed by the server");
    EXPECT_EQ(events.connectionFailures, 1);
    EXPECT_EQ(events.connects, 0);
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpLogOn, AServerThatStopsAnsweringTimesOutAndIsClosed)
{
    FakeServer server({"S: 220 hi", "C: USER u", "HOLD"});
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.TimeOut = 1500;
    EXPECT_EQ(MessageOf<net::EAbortError>([&] { ftp.Connect(); }), "Socket readln aborted");
    EXPECT_TRUE(ftp.TimedOut);
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpLogOn, LineBreaksInTheLogOnValuesAreRefusedBeforeConnecting)
{
    FakeServer server(QStringList{});
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.UserID = "u\r\nDELE index.html";
    EXPECT_THROW(ftp.Connect(), net::FTPException);
    ftp.UserID = "u";
    ftp.Password = "p\n";
    EXPECT_THROW(ftp.Connect(), net::FTPException);
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
    EXPECT_EQ(server.connections(), 0);
}

TEST(FtpFirewall, UserAtHostLogOn)
{
    FakeServer server(
        QStringList{"S: 220 proxy", "C: USER u@ftp.example.jp", "S: 331 pw", "C: PASS p", "S: 230 ok"} +
        kQuit);
    TNMFTP ftp;
    Prepare(ftp, 21);
    // The host is named to the firewall, never looked up.
    ftp.Host = "ftp.example.jp";
    ftp.Proxy = "127.0.0.1";
    ftp.ProxyPort = server.port();
    ftp.Connect();
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpFirewall, OpenAndSiteLogOnAndFirewallAuthentication)
{
    FakeServer server(QStringList{"S: 220 proxy", "C: USER fw", "S: 331 pw", "C: PASS fwp", "S: 230 fw ok",
                                  "C: OPEN ftp.example.jp", "S: 220 connected", "C: USER u", "S: 331 pw",
                                  "C: PASS p", "S: 230 ok"} +
                      kQuit);
    TNMFTP ftp;
    Prepare(ftp, 21);
    ftp.Host = "ftp.example.jp";
    ftp.Proxy = "127.0.0.1";
    ftp.ProxyPort = server.port();
    ftp.FirewallType = TNMFTP::FTOpen;
    ftp.FWAuthenticate = true;
    ftp.FWUserID = "fw";
    ftp.FWPassword = "fwp";
    ftp.Connect();
    ftp.Disconnect();
    server.Finish();

    FakeServer site(
        QStringList{"S: 220 proxy", "C: SITE ftp.example.jp", "S: 200 ok", "C: USER u", "S: 230 ok"} + kQuit);
    TNMFTP viaSite;
    Prepare(viaSite, 21);
    viaSite.Host = "ftp.example.jp";
    viaSite.Proxy = "127.0.0.1";
    viaSite.ProxyPort = site.port();
    viaSite.FirewallType = TNMFTP::FTSite;
    viaSite.Connect();
    viaSite.Disconnect();
    site.Finish();
}

TEST(FtpFirewall, ARefusedUserAtHostIsAFailedLogOn)
{
    FakeServer server({"S: 220 proxy", "C: USER u@ftp.example.jp", "S: 530 Unknown host", "AWAIT-CLOSE"});
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, 21);
    ftp.Host = "ftp.example.jp";
    ftp.Proxy = "127.0.0.1";
    ftp.ProxyPort = server.port();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.Connect(); }), "530 Unknown host");
    EXPECT_EQ(events.connects, 0);
    server.Finish();
}

TEST(FtpCommands, SuccessesReportTheirCommandKind)
{
    FakeServer server(kLogOn +
                      QStringList{"C: CWD pub", "S: 250 ok", "C: MKD sub", "S: 257 \"sub\" created",
                                  "C: TYPE A", "S: 200 ok", "C: TYPE I", "S: 200 ok", "C: TYPE L 8",
                                  "S: 200 ok", "C: PWD", "S: 257 \"/pub\""} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    ftp.ChangeDirectory("pub");
    ftp.MakeDirectory("sub");
    ftp.SetTransferType(TNMFTP::ttAscii);
    ftp.SetTransferType(TNMFTP::ttBinary);
    ftp.SetTransferType(TNMFTP::ttLocal8);
    ftp.SendCommand("PWD");
    EXPECT_EQ(events.successes, (std::vector<int>{0, 1, 14, 14, 14, 15}));
    EXPECT_THROW(ftp.SetTransferType(7), net::FTPException);
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpCommands, A550IsAFailureEvenWithAFailureHandlerAssigned)
{
    FakeServer server(kLogOn + QStringList{"C: CWD missing", "S: 550 No such directory"} + kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.ChangeDirectory("missing"); }), "550 No such directory");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdChangeDir}));
    EXPECT_TRUE(events.successes.empty());
    EXPECT_TRUE(events.unsupported.empty());
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpCommands, AFailureHandlerThatHandlesItStopsTheException)
{
    FakeServer server(kLogOn + QStringList{"C: MKD x", "S: 450 busy"} + kQuit);
    TNMFTP ftp;
    Events events(ftp, /*handleFailures=*/true);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_NO_THROW(ftp.MakeDirectory("x"));
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdMakeDir}));
    EXPECT_TRUE(events.successes.empty());
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpCommands, UnsupportedCommandsAreReportedAsSuch)
{
    FakeServer server(kLogOn +
                      QStringList{"C: SITE CHMOD 644 a", "S: 502 Not implemented", "C: NOOP",
                                  "S: 399 odd but fine", "C: NOOP", "S: 600 beyond the range"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_THROW(ftp.SendCommand("SITE CHMOD 644 a"), net::FTPException);
    EXPECT_EQ(events.unsupported, (std::vector<int>{TNMFTP::cmdMisc}));
    // Only 400 to 599 is a failure.
    EXPECT_NO_THROW(ftp.SendCommand("NOOP"));
    EXPECT_NO_THROW(ftp.SendCommand("NOOP"));
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpCommands, LineBreaksInArgumentsAreRefusedBeforeAnythingIsSent)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.htm"), 10);
    FakeServer server(kLogOn + kQuit);
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_THROW(ftp.ChangeDirectory("pub\r\nDELE index.html"), net::FTPException);
    EXPECT_THROW(ftp.MakeDirectory("a\nb"), net::FTPException);
    EXPECT_THROW(ftp.SendCommand("NOOP\r"), net::FTPException);
    EXPECT_THROW(ftp.StoreFile(local, "a.htm\r\nDELE b.htm"), net::FTPException);
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpCommands, ARefusedQuitStillClosesTheConnection)
{
    FakeServer server(kLogOn + QStringList{"C: QUIT", "S: 500 what?", "AWAIT-CLOSE"});
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.Disconnect(); }), "500 what?");
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpCommands, AServerThatStopsAnsweringACommandTimesOut)
{
    FakeServer server(kLogOn + QStringList{"C: CWD x", "HOLD"});
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Connect();
    ftp.TimeOut = 200;
    EXPECT_EQ(MessageOf<net::EAbortError>([&] { ftp.ChangeDirectory("x"); }), "Socket readln aborted");
    server.Finish();
}

TEST(FtpUpload, OnlyAPositiveFinalReplyMakesAnUploadDone)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 150000);
    // Every byte went out, and the server still did not store the file: a full disk, a local
    // error, a broken data connection, a reply that is no reply, or none at all.
    const QStringList endings[] = {
        {"S: 552 Quota exceeded"},
        {"S: 452 Insufficient storage space"},
        {"S: 451 Local error in processing"},
        {"S: 426 Connection closed; transfer aborted"},
        {"S: 150 Still going"},
        {"S: garbage"},
    };
    for (const QStringList& ending : endings) {
        SCOPED_TRACE(ending.join(u' ').toStdString());
        FakeServer server(
            kLogOn +
            QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 150 go", "DATA-EOF"} +
            ending + kQuit);
        TNMFTP ftp;
        Events events(ftp);
        Prepare(ftp, server.port());
        ftp.Passive = true;
        int packets = 0;
        QObject::connect(&ftp, &TNMFTP::OnPacketSent, [&] { ++packets; });
        ftp.Connect();
        const std::string reply = ending.front().mid(3).toStdString();
        EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }), reply);
        EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
        EXPECT_TRUE(events.successes.empty());
        EXPECT_EQ(packets, 3);
        EXPECT_EQ(ftp.BytesDone, 150000);
        // The control connection stays in step: the log-off is answered by its own reply.
        ftp.Disconnect();
        server.Finish();
        EXPECT_EQ(server.dataReceived().size(), 150000);
    }
}

TEST(FtpUpload, AServerThatClosesInsteadOfTheFinalReplyFailsTheUpload)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 1000);
    FakeServer server(kLogOn + QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 150 go",
                                           "DATA-EOF", "CLOSE"});
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }),
              "Connection closed by the server");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.successes.empty());
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpUpload, ADataConnectionResetAfterTheLastWriteFailsTheUpload)
{
    // The whole file fits into the system's buffers, so the send itself succeeds; the reset only
    // shows in what the server says afterwards.
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.htm"), 3000);
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.htm", "S: 150 go",
                                  "DATA-DROP 1000", "S: 426 Connection reset; transfer aborted"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_THROW(ftp.StoreFile(local, "a.htm"), net::NetError);
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.successes.empty());
    try {
        ftp.Disconnect();
    } catch (const net::FTPException&) {
        // The 426 may arrive after a send error and answer the QUIT instead.
    }
    server.Finish();
}

TEST(FtpUpload, AFileThatShrinksWhileItIsSentFailsTheUpload)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 300000);
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 150 go", "DATA-EOF",
                                  "S: 226 Transfer complete"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    // Another program rewrites the page while it is being sent.
    QObject::connect(&ftp, &TNMFTP::OnPacketSent, [&] {
        if (ftp.BytesDone == TNMFTP::kBlockSize) {
            ASSERT_TRUE(QFile::resize(folder.file(QStringLiteral("a.bin")), 100000));
        }
    });
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }),
              "Data connection ended after 100000 of 300000 bytes");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.successes.empty());
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, ThePassiveDataConnectionGoesToTheControlHostNotToTheReplysAddress)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("page.htm"), 1000);
    // The data listener is on 127.0.0.1; the reply names 10.0.0.5. The file's own name is used
    // when no remote name is given.
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("10,0,0,5"), "C: STOR page.htm", "S: 150 go",
                                  "DATA-EOF", "S: 226 done"} +
                      kQuit);
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    ftp.StoreFile(local, "");
    ftp.Disconnect();
    server.Finish();
    EXPECT_EQ(server.dataReceived().size(), 1000);
}

TEST(FtpUpload, ARefusedDataConnectionAfterStorWentOutFailsAndClosesTheOutOfStepConnection)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 10);
    const quint16 closed = testsupport::ClosedPort();
    // STOR is on its way while the data connection is made; the server would answer it only when its
    // own wait for the data connection ends, so the client does not stay to read that answer.
    FakeServer server(kLogOn + QStringList{"C: PASV",
                                           QStringLiteral("S: 227 Entering Passive Mode (127,0,0,1,%1,%2)")
                                               .arg(closed >> 8)
                                               .arg(closed & 0xFF),
                                           "C: STOR a.bin", "AWAIT-CLOSE"});
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_THROW(ftp.StoreFile(local, "a.bin"), net::ESockError);
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_FALSE(ftp.Connected());
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, APasvReplyWithoutAPortFailsTheUpload)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 10);
    FakeServer server(kLogOn + QStringList{"C: PASV", "S: 227 Entering Passive Mode"} + kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_THROW(ftp.StoreFile(local, "a.bin"), net::FTPException);
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.successes.empty());
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, ARefusedStoreIsReportedOnceAndUnsupportedOnlyFor500To502)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 10);
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 553 Not allowed",
                                  "C: PASV", "S: 502 No passive mode"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }), "553 Not allowed");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.unsupported.empty());
    // A PASV refusal is a failure of the upload as well, without an unsupported-function report.
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }), "502 No passive mode");
    EXPECT_EQ(events.failures.size(), 2u);
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, AStoreAnsweredBy500ReportsAnUnsupportedFunction)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 10);
    FakeServer server(
        kLogOn + QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 500 Unknown command"} +
        kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_THROW(ftp.StoreFile(local, "a.bin"), net::FTPException);
    EXPECT_EQ(events.unsupported, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, AMissingLocalFileSendsNothingToTheServer)
{
    FakeServer server(kLogOn + kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile("/nonexistent/a.htm", "a.htm"); }),
              "Cannot open file /nonexistent/a.htm");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, ARefusedPortFailsAnActiveUpload)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 10);
    FakeServer server(kLogOn + QStringList{"C~ PORT 127,0,0,1,\\d{1,3},\\d{1,3}", "S: 500 PORT not allowed"} +
                      kQuit);
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Passive = false;
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "a.bin"); }), "500 PORT not allowed");
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpUpload, AServerThatDropsTheDataConnectionMidwayFailsTheUpload)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("big.bin"), 8 << 20);
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR big.bin", "S: 150 go",
                                  "DATA-DROP 65536", "S: 426 Connection closed; transfer aborted"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    EXPECT_EQ(MessageOf<net::ESockError>([&] { ftp.StoreFile(local, "big.bin"); }),
              "10054:Connection reset by peer");
    EXPECT_EQ(events.failures, (std::vector<int>{TNMFTP::cmdUpload}));
    EXPECT_TRUE(events.successes.empty());
    EXPECT_LT(ftp.BytesDone, 8 << 20);
    // Depending on when the server's 426 arrives, QUIT may read it instead of its own reply; the
    // connection is closed either way.
    try {
        ftp.Disconnect();
    } catch (const net::FTPException&) {
    }
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
}

TEST(FtpUpload, ASecondUploadFromInsideTheFirstIsRefused)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.bin"), 300000);
    FakeServer server(kLogOn +
                      QStringList{"C: PASV", PasvReply("127,0,0,1"), "C: STOR a.bin", "S: 150 go", "DATA-EOF",
                                  "S: 226 done"} +
                      kQuit);
    TNMFTP ftp;
    Events events(ftp);
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    std::string nested;
    QObject::connect(&ftp, &TNMFTP::OnPacketSent, [&] {
        if (nested.empty())
            nested = MessageOf<net::FTPException>([&] { ftp.StoreFile(local, "b.bin"); });
    });
    ftp.StoreFile(local, "a.bin");
    EXPECT_EQ(nested, "An upload is already running");
    EXPECT_EQ(events.successes, (std::vector<int>{TNMFTP::cmdUpload}));
    ftp.Disconnect();
    server.Finish();
    EXPECT_EQ(server.dataReceived().size(), 300000);
}

namespace {

// A command line as the scripted server compares it: the bytes one character each.
QString Line(const char* prefix, const std::string& bytes)
{
    return QLatin1String(prefix) + QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TEST(FtpNames, AServerThatListsUtf8GetsItsNamesInUtf8AfterTheOption)
{
    testsupport::TempFolder folder(false);
    const std::string local = MakeFile(folder, QStringLiteral("a.htm"), 10);
    const std::string folderName = text::Sjis(u8"資料");
    const std::string fileName = text::Sjis(u8"表示.htm");
    FakeServer server(kLogOn +
                      QStringList{"C: CWD www", "S: 250 ok", "C: FEAT", "S: 211-Features:", "S:  MDTM",
                                  "S:  UTF8", "S: 211 End", "C: OPTS UTF8 ON", "S: 200 UTF8 set to on",
                                  Line("C: MKD ", "資料"), "S: 257 made", Line("C: CWD ", "資料"),
                                  "S: 250 ok", "C: PASV", PasvReply("127,0,0,1"),
                                  Line("C: STOR ", "表示.htm"), "S: 150 go", "DATA-EOF", "S: 226 done"} +
                      kQuit);
    TNMFTP ftp;
    Prepare(ftp, server.port());
    ftp.Passive = true;
    ftp.Connect();
    ftp.ChangeDirectory("www");
    EXPECT_FALSE(ftp.Utf8Names());
    ftp.MakeDirectory(folderName);
    EXPECT_TRUE(ftp.Utf8Names());
    ftp.ChangeDirectory(folderName);
    ftp.StoreFile(local, fileName);
    ftp.Disconnect();
    server.Finish();
}

TEST(FtpNames, AServerWithoutUtf8GetsCodePage932AndIsAskedOnlyOnce)
{
    const std::string name = text::Sjis(u8"資料");
    for (const QStringList& feat : {QStringList{"S: 500 FEAT not understood"},
                                    QStringList{"S: 211-Features:", "S:  MDTM", "S:  UTF8X", "S: 211 End"}}) {
        FakeServer server(
            kLogOn + QStringList{"C: FEAT"} + feat +
            QStringList{Line("C: MKD ", name), "S: 257 made", Line("C: CWD ", name), "S: 250 ok"} + kQuit);
        TNMFTP ftp;
        Prepare(ftp, server.port());
        ftp.Connect();
        ftp.MakeDirectory(name);
        ftp.ChangeDirectory(name);
        EXPECT_FALSE(ftp.Utf8Names());
        ftp.Disconnect();
        server.Finish();
    }
}

TEST(FtpNames, TheQuestionIsAskedAgainOnANewConnection)
{
    const std::string name = text::Sjis(u8"資料");
    const QStringList session = kLogOn +
                                QStringList{"C: FEAT",
                                            "S: 211-Features:",
                                            "S:  UTF8",
                                            "S: 211 End",
                                            "C: OPTS UTF8 ON",
                                            "S: 501 Invalid argument",
                                            Line("C: CWD ", "資料"),
                                            "S: 250 ok"} +
                                kQuit;
    for (int round = 0; round < 2; ++round) {
        FakeServer server(session);
        TNMFTP ftp;
        Prepare(ftp, server.port());
        ftp.Connect();
        ftp.ChangeDirectory(name);
        ftp.Disconnect();
        server.Finish();
    }
}

TEST(FtpNames, FeatureListsAreReadLineByLine)
{
    EXPECT_TRUE(TNMFTP::ListsUtf8({"211-Features:", " MDTM", " UTF8", "211 End"}));
    EXPECT_TRUE(TNMFTP::ListsUtf8({"211-Features:", " utf8 ", "211 End"}));
    EXPECT_TRUE(TNMFTP::ListsUtf8({"211-Features:", " UTF8 ON", "211 End"}));
    EXPECT_FALSE(TNMFTP::ListsUtf8({"211-Features:", " UTF8X", " MLST size*;", "211 End"}));
    EXPECT_FALSE(TNMFTP::ListsUtf8({"211 UTF8"}));
    EXPECT_FALSE(TNMFTP::ListsUtf8({}));
}
