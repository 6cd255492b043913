#pragma once
// The SMTP client with AUTH LOGIN. It keeps a connection of its own, cuts replies into lines, codes
// and multi-line replies by the rules every line protocol client shares (net/Reply.h), and waits for
// each step in the shared wait helper (platform/WaitLoop.h): timers, clicks and socket signals are
// handled while a mail goes out, so no window freezes meanwhile. A handler that runs during such a
// wait must not start another step of the same client. Every wait is bounded by TimeOut (the
// connect, every reply as a whole, every write), so a silent server cannot hold the program for
// longer than that per step, and Abort ends it at once (the abort timer, a stop, the program's end).
//
// Failures are the program's network errors (net/NetErrors.h): ESockError for the connection
// ("10061:Connection refused", "Connection Timed out", a closed connection, a reply line without end),
// ProtocolReplyError with the last reply line for an unexpected reply code, NetError for a refused
// value.

#include "net/IdMessage.h"
#include "net/NetErrors.h"
#include "net/Tls.h"
#include "text/MailCharset.h"

#include <QHostAddress>
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSslSocket;
class QDeadlineTimer;

namespace net {

enum TAuthenticationType : int {
    atNone = 0,
    atLogin = 1,
};

class TIdSMTP : public QObject
{
    Q_OBJECT

public:
    explicit TIdSMTP(QObject* parent = nullptr);
    ~TIdSMTP() override;

    std::string Host;
    int Port = 25;
    std::string UserId;
    std::string Password;
    TAuthenticationType AuthenticationType = atNone;
    std::string MailAgent;
    // Milliseconds allowed for the connect, for each reply and for each write; negative: no limit.
    int TimeOut = 20000;
    // How body lines and header words are coded; the user's locale unless a caller sets another.
    mail::MailCharset Charset = mail::UserMailCharset();
    // The name sent with EHLO and HELO; empty means this machine's host name.
    std::string LocalHostName;
    // Encryption (net/Tls.h): tlsExplicit says EHLO, STARTTLS and EHLO again before anything else;
    // tlsImplicit is in TLS from the first byte. Trust and MayAskTrust as for the socket base.
    int Security = tlsNone;
    TlsTrust* Trust = nullptr;
    bool MayAskTrust = false;

    // Connects, reads the greeting (220) and introduces itself with EHLO, or HELO when EHLO is
    // refused. Any failure disconnects before it is passed on.
    void Connect();
    // AUTH LOGIN with UserId and Password; false without doing anything unless the type is atLogin.
    // A server that offers PLAIN but not LOGIN gets AUTH PLAIN instead.
    bool Authenticate();
    bool Encrypted() const;
    void Send(const TIdMessage& message);
    // Writes "Quit" without waiting for an answer and closes. Never throws.
    void Disconnect();
    // Ends the current wait at once, and every further one until the next Connect: the step fails
    // (EAbortError, or ESockError "... Canceled" while connecting). Safe to call at any time, also
    // from a handler that runs during a wait.
    void Abort();
    bool Connected() const;

    // Reads one reply; fails with ProtocolReplyError when expected is not empty and does not hold
    // the reply's code.
    int FetchReply(const std::vector<int>& expected = {});
    int SendCheckedCommand(std::string_view command, const std::vector<int>& expected = {});

    const std::vector<std::string>& OfferedMechanisms() const { return m_offeredMechanisms; }
    bool LoggedOn() const { return m_loggedOn; }
    int ReplyCode() const { return m_replyCode; }
    const std::vector<std::string>& ReplyLines() const { return m_replyLines; }

signals:
    // The TCP connection stands (the greeting has not been read yet).
    void OnConnected();
    // A step that asked for TLS did not get it; text is the log row (code page 932).
    void OnTlsFailure(const std::string& text);

private:
    QHostAddress ResolveHost(const QDeadlineTimer& deadline);
    std::string ReadLine(const QDeadlineTimer& deadline);
    void Write(std::string_view bytes);
    void CollectMechanisms();
    void Hello();
    void StartTls();
    [[noreturn]] void FailTls(const std::string& text, const std::string& error);
    std::string HostNameForHello() const;
    std::function<bool()> Aborted() const;

    std::unique_ptr<QSslSocket> m_socket;
    std::vector<std::string> m_offeredMechanisms;
    std::vector<std::string> m_replyLines;
    int m_replyCode = 0;
    bool m_loggedOn = false;
    // Abort was called since the last Connect began.
    bool m_aborted = false;
};

} // namespace net
