#include "platform/Ipv6AddressWatcher.h"

#include <QSocketNotifier>
#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

Ipv6AddressWatcher::Ipv6AddressWatcher(QObject* parent) : QObject(parent)
{
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV6_IFADDR;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        m_error = errno;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Ipv6AddressWatcher::ReadMessages);
}

Ipv6AddressWatcher::~Ipv6AddressWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void Ipv6AddressWatcher::ReadMessages()
{
    bool changed = false;
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            // ENOBUFS: the kernel dropped announcements because we read too slowly. Something
            // changed all the same, and the receiver reads the whole table anyway.
            if (errno == ENOBUFS)
                changed = true;
            break; // EAGAIN: everything read
        }
        if (received == 0)
            break;
        int left = static_cast<int>(received);
        for (const auto* h = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(h, left);
             h = NLMSG_NEXT(h, left))
            if (h->nlmsg_type == RTM_NEWADDR || h->nlmsg_type == RTM_DELADDR)
                changed = true;
    }
    if (changed)
        emit addressesChanged();
}

} // namespace platform
