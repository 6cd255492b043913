#pragma once
// Where the adapter list comes from. On Linux the kernel describes its network interfaces under
// /sys/class/net and its routing table in /proc/net/route; the IPv4 addresses come from getifaddrs.
// A folder with the same layout (sys/class/net/<if>/..., proc/net/route) and a recorded
// `ip -o -4 addr show` output (ip-addr.txt) stands in for the machine in tests and for diagnosis.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace netinfo {

class NetworkSource
{
public:
    virtual ~NetworkSource() = default;

    // Names of the interfaces, in any order. Nothing when the list cannot be read; error is then the
    // errno value.
    virtual std::optional<std::vector<std::string>> InterfaceNames(int& error) const = 0;
    // Contents of a file of the interface's sysfs folder ("type", "ifindex", "uevent", ...), or nothing.
    virtual std::optional<std::string> ReadInterfaceFile(const std::string& iface,
                                                         const std::string& entry) const = 0;
    // Whether an entry (file, folder or link) exists in the interface's sysfs folder.
    virtual bool HasInterfaceEntry(const std::string& iface, const std::string& entry) const = 0;
    // The name of the driver of the interface's device (the last part of device/driver), or empty.
    virtual std::string DriverName(const std::string& iface) const = 0;
    // The routing table in the form of /proc/net/route; nothing when it cannot be read.
    virtual std::optional<std::string> RouteTable() const = 0;
    // Every IPv4 address as (interface name, dotted address), in the system's order.
    virtual std::vector<std::pair<std::string, std::string>> Ipv4Addresses() const = 0;
};

// A folder laid out like the system's: <root>/sys/class/net, <root>/proc/net/route and, for the
// addresses, <root>/ip-addr.txt holding the output of `ip -o -4 addr show`.
class FolderNetworkSource : public NetworkSource
{
public:
    explicit FolderNetworkSource(std::string root);

    std::optional<std::vector<std::string>> InterfaceNames(int& error) const override;
    std::optional<std::string> ReadInterfaceFile(const std::string& iface,
                                                 const std::string& entry) const override;
    bool HasInterfaceEntry(const std::string& iface, const std::string& entry) const override;
    std::string DriverName(const std::string& iface) const override;
    std::optional<std::string> RouteTable() const override;
    std::vector<std::pair<std::string, std::string>> Ipv4Addresses() const override;

protected:
    std::string InterfaceFolder(const std::string& iface) const;

private:
    std::string m_root;
};

// This machine: the folder "/" with the addresses from getifaddrs.
class SystemNetworkSource : public FolderNetworkSource
{
public:
    SystemNetworkSource();
    std::vector<std::pair<std::string, std::string>> Ipv4Addresses() const override;
};

// Parses `ip -o -4 addr show` output into (interface, dotted address) pairs.
std::vector<std::pair<std::string, std::string>> ParseIpAddrOutput(const std::string& output);

} // namespace netinfo
