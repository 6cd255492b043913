// How the authenticating SMTP client waits: the servers here run in the test's own thread, so they
// only get to answer while the client keeps the event loop running. Also the bound on each reply and
// the cap on a reply line.
#include "core/CycleMediator.h"
#include "core/MainState.h"
#include "core/OperationLog.h"
#include "cycle/MainComponents.h"
#include "mail/NoticeMail.h"
#include "net/IdSMTP.h"
#include "net/Reply.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "support/FakeServer.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace net;
using testsupport::FakeServer;

namespace {

// Sends its lines one by one to the first client, the first at once and each further one
// intervalMs later, from a timer of the test's thread.
class PacedServer
{
public:
    PacedServer(QByteArrayList lines, int intervalMs) : m_lines(std::move(lines))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            m_client = m_server.nextPendingConnection();
            SendNext();
            m_timer.start();
        });
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { SendNext(); });
    }
    quint16 port() const { return m_server.serverPort(); }
    qsizetype sent() const { return m_sent; }

private:
    void SendNext()
    {
        if (m_sent >= m_lines.size()) {
            m_timer.stop();
            return;
        }
        m_client->write(m_lines[m_sent++] + "\r\n");
    }

    QTcpServer m_server;
    QTimer m_timer;
    QTcpSocket* m_client = nullptr;
    QByteArrayList m_lines;
    qsizetype m_sent = 0;
};

void Aim(TIdSMTP& client, quint16 port, int timeOutMs)
{
    client.Host = "127.0.0.1";
    client.Port = port;
    client.LocalHostName = "quill-host";
    client.TimeOut = timeOutMs;
}

std::string ConnectFailure(TIdSMTP& client)
{
    try {
        client.Connect();
    } catch (const ESockError& e) {
        return e.what();
    }
    return "connected";
}

// Runs action once, from the event loop, as soon as the server has received line: a stop that comes
// while the client waits for exactly that step.
class WhenReceived
{
public:
    WhenReceived(const FakeServer& server, const QString& line, std::function<void()> action)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, &server, line, action = std::move(action)] {
            if (server.clientLines().contains(line)) {
                m_poll.stop();
                action();
            }
        });
        m_poll.start(10);
    }

private:
    QTimer m_poll;
};

// A server that answers STARTTLS and then says nothing, neither TLS nor anything else.
QStringList StallingStartTls()
{
    return {"S: 220 ready",    "C~ ehlo .+", "S: 250-quillmap-test", "S: 250 STARTTLS", "C: STARTTLS",
            "S: 220 go ahead", "HOLD"};
}

} // namespace

TEST(IdSmtpWaits, ASlowReplyIsAwaitedWhileTimersRun)
{
    // The reply to EHLO comes from the server's timer, which only fires while the client waits.
    PacedServer server({"220 ready", "250 hello"}, 300);
    TIdSMTP client;
    Aim(client, server.port(), 5000);
    QElapsedTimer elapsed;
    elapsed.start();
    client.Connect();
    EXPECT_GE(elapsed.elapsed(), 250);
    EXPECT_EQ(server.sent(), 2);
    EXPECT_EQ(client.ReplyCode(), 250);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
}

TEST(IdSmtpWaits, ASilentServerFailsTheStepAtTheBoundWhileTheProgramRuns)
{
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "HOLD"});
    TIdSMTP client;
    Aim(client, server.port(), 400);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(ConnectFailure(client), "Read timed out");
    EXPECT_GE(elapsed.elapsed(), 350);
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.Finish());
}

TEST(IdSmtpWaits, TheBoundHoldsForAReplyAsAWhole)
{
    // Continuation lines every 50 ms for two seconds: each line comes in time, the reply never does.
    PacedServer server(QByteArrayList(40, "220-still greeting"), 50);
    TIdSMTP client;
    Aim(client, server.port(), 400);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(ConnectFailure(client), "Read timed out");
    EXPECT_LT(elapsed.elapsed(), 1500);
    EXPECT_FALSE(client.Connected());
}

TEST(IdSmtpWaits, ADisconnectFromAHandlerDuringAWaitFailsTheStep)
{
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "HOLD"});
    TIdSMTP client;
    Aim(client, server.port(), 5000);
    QTimer::singleShot(100, &client, [&client] { client.Disconnect(); });
    EXPECT_EQ(ConnectFailure(client), "Not connected");
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.Finish());
    platform::WaitUntil([&server] { return server.clientLines().size() >= 2; }, 5000);
    EXPECT_EQ(server.clientLines(), (QStringList{"ehlo quill-host", "Quit"}));
}

TEST(IdSmtpWaits, AReplyLineMayFillTheCapButNotExceedIt)
{
    // "220 ", the text and CR LF: exactly the cap is still a reply line.
    const qsizetype longest = kMaxReplyLineLength - 6;
    {
        FakeServer server({"S: 220 " + QString(longest, u'x'), "C: ehlo quill-host", "S: 250 hello",
                           "C: Quit", "AWAIT-CLOSE"});
        TIdSMTP client;
        Aim(client, server.port(), 5000);
        client.Connect();
        client.Disconnect();
        EXPECT_TRUE(server.Finish());
    }
    FakeServer server({"S: 220 " + QString(longest + 1, u'x'), "C: Quit", "AWAIT-CLOSE"});
    TIdSMTP client;
    Aim(client, server.port(), 5000);
    EXPECT_EQ(ConnectFailure(client), "Reply line longer than 65536 bytes without a line feed");
    EXPECT_FALSE(client.Connected());
    // The refused reply ends the step cleanly: the server still gets the farewell, then the close.
    EXPECT_TRUE(server.Finish());
}

TEST(IdSmtpWaits, AbortEndsAStalledHandshakeAndASlowReplyAtOnce)
{
    // The client's own bound (the program's 20 s) is not what ends these steps.
    {
        FakeServer server(StallingStartTls());
        TIdSMTP client;
        Aim(client, server.port(), 20000);
        client.Security = tlsExplicit;
        std::vector<std::string> rows;
        QObject::connect(&client, &TIdSMTP::OnTlsFailure,
                         [&rows](const std::string& text) { rows.push_back(text); });
        WhenReceived stop(server, "STARTTLS", [&client] { client.Abort(); });
        EXPECT_EQ(ConnectFailure(client), "TLS Handshake Canceled");
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(rows.size(), 1u);
    }
    FakeServer server({"S: 220 ready", "C: ehlo quill-host", "HOLD"});
    TIdSMTP client;
    Aim(client, server.port(), 20000);
    WhenReceived stop(server, "ehlo quill-host", [&client] { client.Abort(); });
    try {
        client.Connect();
        ADD_FAILURE() << "connected";
    } catch (const EAbortError& e) {
        EXPECT_STREQ(e.what(), "Socket readln aborted");
    }
    EXPECT_FALSE(client.Connected());
    // Nothing more is waited for: not even the farewell goes out after the stop.
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.clientLines(), QStringList{"ehlo quill-host"});
}

TEST(IdSmtpWaits, TheChecksStopEndsTheAuthenticatingMailAsItEndsThePlainOne)
{
    // The stop of the abort timer and of the program's end, as the check wires its mailer.
    testsupport::TempFolder folder;
    auto server = std::make_unique<FakeServer>(StallingStartTls());
    core::MainState state;
    state.Settings = std::make_unique<settings::TConfig>();
    settings::TConfig& c = *state.Settings;
    settings::LoadSettings(c, nullptr);
    c.MailNotice = 1;
    c.SmtpLogon = 1;
    c.SmtpServer = "127.0.0.1";
    c.SmtpPort = server->port();
    c.SmtpSecurity = tlsExplicit;
    c.SmtpUser = "quill";
    c.SmtpPass = "secret";
    c.MailAddress = "notice@example.jp";
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    core::MainComponents steps(core::CycleMediator{state, log, ui, {}});
    WhenReceived stop(*server, "STARTTLS", [&steps] { steps.AbortNetwork(); });
    // Should the stop not reach the client, the server's going away ends the step instead, well
    // before the client's own 20 s.
    bool stopMissed = false;
    QTimer::singleShot(15000, [&] {
        stopMissed = true;
        server.reset();
    });
    steps.SendNoticeMail(mail::nkAddressChanged, "changed");
    EXPECT_FALSE(stopMissed);
    ASSERT_FALSE(log.Rows().empty());
    EXPECT_EQ(log.Rows().back().Text, text::Sjis(u8"通知ﾒｰﾙの送信に失敗しました。"));
}
