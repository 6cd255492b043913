#include "platform/TcpConnect.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

QHostAddress PreferredAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

namespace {

// The address in the system's form; false for anything but IPv4 and IPv6.
bool ToSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage& out, socklen_t& length)
{
    std::memset(&out, 0, sizeof out);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
        return true;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6->sin6_addr, bytes.c, sizeof bytes.c);
        v6->sin6_scope_id = address.scopeId().toUInt();
        length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

} // namespace

TcpConnectAttempt::TcpConnectAttempt(const QHostAddress& address, quint16 port, const QHostAddress& source)
{
    sockaddr_storage target{};
    socklen_t length = 0;
    if (!ToSockaddr(address, port, target, length)) {
        m_finished = true;
        m_error = EAFNOSUPPORT;
        return;
    }
    m_fd = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_finished = true;
        m_error = errno;
        return;
    }
    if (!source.isNull()) {
        sockaddr_storage from{};
        socklen_t fromLength = 0;
        if (!ToSockaddr(source, 0, from, fromLength) || from.ss_family != target.ss_family) {
            m_finished = true;
            m_error = EAFNOSUPPORT;
            return;
        }
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&from), fromLength) != 0) {
            m_finished = true;
            m_error = errno;
            return;
        }
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), length) == 0) {
        m_finished = true;
        return;
    }
    if (errno != EINPROGRESS) {
        m_finished = true;
        m_error = errno;
        return;
    }
    // Writable means the connect has ended, one way or the other.
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Check(); });
}

TcpConnectAttempt::~TcpConnectAttempt()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void TcpConnectAttempt::Check()
{
    m_notifier->setEnabled(false);
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    m_error = error;
    m_finished = true;
}

qintptr TcpConnectAttempt::Take()
{
    if (!m_finished || m_error != 0 || m_fd < 0)
        return -1;
    m_notifier.reset();
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

} // namespace platform
