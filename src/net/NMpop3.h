#pragma once
// The POP3 client on the socket base, as far as POP before SMTP needs it: log-on with USER and PASS,
// STAT, and QUIT. It keeps processing events while it waits, like every client on the socket base.

#include "net/Psock.h"

#include <string>

namespace net {

class TNMPOP3 : public TPowersock
{
    Q_OBJECT

public:
    explicit TNMPOP3(QObject* parent = nullptr);

    std::string UserID;
    std::string Password;
    // Mail retrieval options; the log-on does not use them.
    bool Parse = false;
    bool DeleteOnRead = false;

    bool Busy() const { return m_busy; }
    // The number of messages that STAT reported at the last log-on.
    int MailCount() const { return m_mailCount; }

    // Logs on (greeting, USER, PASS) and asks STAT; with Security tlsExplicit "STLS" and the
    // handshake come before USER, with tlsImplicit the connection is in TLS from the start. OnConnect follows
    // an accepted USER and PASS, even when STAT fails afterwards. On failure the client logs off before the
    // error is passed on.
    void Connect() override;
    // QUIT, only when connected; the connection is closed in every case.
    void Disconnect() override;

protected:
    // The connection alone is not yet a log-on: OnConnect waits for PASS.
    void SocketConnected() override {}

private:
    bool m_busy = false;
    int m_mailCount = 0;
};

} // namespace net
