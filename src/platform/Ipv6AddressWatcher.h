#pragma once
// Tells when the kernel adds, changes or removes an IPv6 address: a new prefix from the router, a
// renumbering, an address that becomes deprecated (that arrives as a new-address message with the
// flag). The kernel announces them on its routing socket (netlink) at once, so the program need not
// wait for its next interval to notice a change. Nothing is read here: the receiver reads the table
// again when it hears of a change.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace platform {

class Ipv6AddressWatcher : public QObject
{
    Q_OBJECT
public:
    explicit Ipv6AddressWatcher(QObject* parent = nullptr);
    ~Ipv6AddressWatcher() override;

    // False when the kernel's announcements cannot be heard (no netlink, no IPv6); errno then says why.
    bool IsWatching() const { return m_fd >= 0; }
    int Error() const { return m_error; }

signals:
    // One or more IPv6 addresses changed; emitted once per burst the socket delivered at a time.
    void addressesChanged();

private:
    void ReadMessages();

    int m_fd = -1;
    int m_error = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace platform
