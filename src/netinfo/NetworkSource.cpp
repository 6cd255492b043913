#include "netinfo/NetworkSource.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ifaddrs.h>
#include <iterator>
#include <netinet/in.h>
#include <sstream>
#include <system_error>

namespace netinfo {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "eth0:1" (an address label) and "eth0@if5" (a link shown with its peer) both name eth0.
std::string BaseInterfaceName(std::string name)
{
    const size_t cut = name.find_first_of(":@");
    if (cut != std::string::npos)
        name.erase(cut);
    return name;
}

} // namespace

FolderNetworkSource::FolderNetworkSource(std::string root) : m_root(std::move(root)) {}

std::string FolderNetworkSource::InterfaceFolder(const std::string& iface) const
{
    return (fs::path(m_root) / "sys/class/net" / iface).string();
}

std::optional<std::vector<std::string>> FolderNetworkSource::InterfaceNames(int& error) const
{
    std::error_code ec;
    fs::directory_iterator it(fs::path(m_root) / "sys/class/net", ec);
    if (ec) {
        error = ec.value();
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] != '.')
            names.push_back(name);
    }
    error = 0;
    return names;
}

std::optional<std::string> FolderNetworkSource::ReadInterfaceFile(const std::string& iface,
                                                                  const std::string& entry) const
{
    return ReadWholeFile(fs::path(InterfaceFolder(iface)) / entry);
}

bool FolderNetworkSource::HasInterfaceEntry(const std::string& iface, const std::string& entry) const
{
    std::error_code ec;
    // A link counts even when its target is not there (recorded folders keep links, not their targets).
    return fs::exists(fs::symlink_status(fs::path(InterfaceFolder(iface)) / entry, ec));
}

std::string FolderNetworkSource::DriverName(const std::string& iface) const
{
    std::error_code ec;
    const fs::path target = fs::read_symlink(fs::path(InterfaceFolder(iface)) / "device" / "driver", ec);
    if (ec)
        return {};
    return target.filename().string();
}

std::optional<std::string> FolderNetworkSource::RouteTable() const
{
    return ReadWholeFile(fs::path(m_root) / "proc/net/route");
}

std::vector<std::pair<std::string, std::string>> FolderNetworkSource::Ipv4Addresses() const
{
    const std::optional<std::string> text = ReadWholeFile(fs::path(m_root) / "ip-addr.txt");
    return text ? ParseIpAddrOutput(*text) : std::vector<std::pair<std::string, std::string>>{};
}

SystemNetworkSource::SystemNetworkSource() : FolderNetworkSource("/") {}

std::vector<std::pair<std::string, std::string>> SystemNetworkSource::Ipv4Addresses() const
{
    std::vector<std::pair<std::string, std::string>> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        char buffer[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &in->sin_addr, buffer, sizeof buffer))
            result.emplace_back(BaseInterfaceName(a->ifa_name), buffer);
    }
    freeifaddrs(list);
    return result;
}

std::vector<std::pair<std::string, std::string>> ParseIpAddrOutput(const std::string& output)
{
    // "4: eth0    inet 192.0.2.2/24 brd 192.0.2.255 scope global eth0\       valid_lft forever ..."
    std::vector<std::pair<std::string, std::string>> result;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string index, name, family, address;
        if (!(words >> index >> name >> family >> address) || family != "inet")
            continue;
        address.erase(std::min(address.find('/'), address.size()));
        in_addr parsed{};
        if (inet_pton(AF_INET, address.c_str(), &parsed) == 1)
            result.emplace_back(BaseInterfaceName(name), address);
    }
    return result;
}

} // namespace netinfo
