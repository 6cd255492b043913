#pragma once
// One TCP connection attempt, made with the system's own non-blocking connect.
//
// Qt's socket, when the peer resets a connection between its accept and Qt's check of the connect,
// calls connect() again on the reset socket and so opens one new connection after another until
// one survives the check: a server that resets every connection sees a storm. Here the connect is
// made once; its outcome is read from the socket's pending error, and a connected descriptor is
// handed to the caller (QTcpSocket::setSocketDescriptor) or closed with the object.

#include <QHostAddress>
#include <memory>

class QSocketNotifier;

namespace platform {

// The address to connect to among a name's addresses: the program speaks IPv4 where it can (FTP's
// PORT cannot name anything else), so an IPv4 address wins; null when there is none at all.
QHostAddress PreferredAddress(const QList<QHostAddress>& addresses);

class TcpConnectAttempt
{
public:
    // Starts connecting; a start that fails at once is Finished with its error. A source address,
    // when given, is bound first: the connection leaves from it (a provider that records the
    // caller's address must see the one being published).
    TcpConnectAttempt(const QHostAddress& address, quint16 port, const QHostAddress& source = QHostAddress());
    ~TcpConnectAttempt();
    TcpConnectAttempt(const TcpConnectAttempt&) = delete;
    TcpConnectAttempt& operator=(const TcpConnectAttempt&) = delete;

    // The connect has succeeded or failed (the event loop delivers this).
    bool Finished() const { return m_finished; }
    // The system's error number of a failed connect (errno values), 0 when it succeeded.
    int Error() const { return m_error; }
    // The connected descriptor, now the caller's to close; -1 when the connect did not succeed.
    qintptr Take();

private:
    void Check();

    int m_fd = -1;
    bool m_finished = false;
    int m_error = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace platform
