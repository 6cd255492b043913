#include "netinfo/AdaptersInfo.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <sstream>

namespace netinfo {

namespace {

// Link types of the kernel (ARPHRD_*).
constexpr int kLinkEther = 1;
constexpr int kLinkPpp = 512;
constexpr int kLinkLoopback = 772;
constexpr int kLinkNone = 65534; // tun, wireguard
constexpr int kTunnelLinks[] = {768, 769, 776, 778, 823};

// Platform error codes whose texts the settings dialog shows.
constexpr int kNotSupported = 50;
constexpr int kNoData = 232;

constexpr unsigned kRouteUp = 0x1;
constexpr unsigned kRouteGateway = 0x2;

std::string Trimmed(std::string s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
    return s;
}

int ReadNumber(const NetworkSource& source, const std::string& iface, const std::string& entry, int fallback)
{
    const std::optional<std::string> text = source.ReadInterfaceFile(iface, entry);
    if (!text)
        return fallback;
    try {
        return std::stoi(Trimmed(*text));
    } catch (const std::exception&) {
        return fallback;
    }
}

// The DEVTYPE line of the interface's uevent file ("bridge", "wlan", "vlan", ...), or empty.
std::string DeviceType(const NetworkSource& source, const std::string& iface)
{
    const std::optional<std::string> uevent = source.ReadInterfaceFile(iface, "uevent");
    if (!uevent)
        return {};
    std::istringstream lines(*uevent);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with("DEVTYPE="))
            return Trimmed(line.substr(8));
    return {};
}

struct Kind
{
    AdapterType type;
    std::string text;
};

// Wired Ethernet is a physical Ethernet device: not loopback, not wireless, not a bridge, veth, tun,
// VLAN or other device that the kernel made up.
Kind Classify(const NetworkSource& source, const std::string& iface)
{
    const int link = ReadNumber(source, iface, "type", -1);
    const std::string devType = DeviceType(source, iface);
    if (link == kLinkLoopback)
        return {atLoopback, "Loopback"};
    if (link == kLinkPpp)
        return {atPpp, "PPP"};
    if (link == kLinkNone ||
        std::find(std::begin(kTunnelLinks), std::end(kTunnelLinks), link) != std::end(kTunnelLinks))
        return {atTunnel, "Tunnel"};
    if (link != kLinkEther)
        return {atOther, "Other"};
    if (source.HasInterfaceEntry(iface, "wireless") || source.HasInterfaceEntry(iface, "phy80211") ||
        devType == "wlan")
        return {atWireless, "Wireless LAN"};
    if (devType == "wwan")
        return {atOther, "Mobile broadband"};
    const bool madeUp = !source.HasInterfaceEntry(iface, "device") ||
                        source.HasInterfaceEntry(iface, "bridge") ||
                        source.HasInterfaceEntry(iface, "tun_flags") || devType == "bridge" ||
                        devType == "vlan" || devType == "bond";
    if (madeUp)
        return {atOther, devType.empty() ? std::string("Virtual Ethernet") : "Virtual Ethernet, " + devType};
    return {atEthernet, "Ethernet"};
}

std::string DottedFromRouteHex(const std::string& hex)
{
    // The table prints the address as the native integer holding the network-order bytes.
    std::uint32_t value = 0;
    try {
        value = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    } catch (const std::exception&) {
        return {};
    }
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
           std::to_string(bytes[3]);
}

const AdapterRecord* FindByName(const std::vector<AdapterRecord>& adapters, const std::string& name)
{
    for (const AdapterRecord& a : adapters)
        if (a.name == name)
            return &a;
    return nullptr;
}

// The adapter whose settings find the router (see GetAdapterInfo), or null.
const AdapterRecord* ChooseAdapter(const AdapterListing& listing)
{
    const AdapterRecord* firstWired = nullptr;
    for (const AdapterRecord& a : listing.adapters)
        if (a.type == atEthernet) {
            firstWired = &a;
            break;
        }
    if (firstWired && !firstWired->gateway.empty())
        return firstWired;
    // Linux machines often list virtual or wireless adapters besides an unused wired one; the
    // adapter that carries the system's default route then knows the router.
    for (const AdapterType wanted : {atEthernet, atWireless})
        for (const DefaultRoute& route : listing.defaultRoutes) {
            const AdapterRecord* a = FindByName(listing.adapters, route.iface);
            if (a && a->type == wanted)
                return a;
        }
    return firstWired;
}

} // namespace

std::vector<DefaultRoute> ParseDefaultRoutes(const std::string& routeTable)
{
    std::vector<DefaultRoute> routes;
    std::istringstream lines(routeTable);
    std::string line;
    std::getline(lines, line); // the header
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string iface, destination, gateway, flags, refCount, use, metric, mask;
        if (!(words >> iface >> destination >> gateway >> flags >> refCount >> use >> metric >> mask))
            continue;
        unsigned flagBits = 0;
        long metricValue = 0;
        try {
            flagBits = static_cast<unsigned>(std::stoul(flags, nullptr, 16));
            metricValue = std::stol(metric);
        } catch (const std::exception&) {
            continue;
        }
        const bool isDefault =
            DottedFromRouteHex(destination) == "0.0.0.0" && DottedFromRouteHex(mask) == "0.0.0.0";
        if (!isDefault || (flagBits & kRouteUp) == 0 || (flagBits & kRouteGateway) == 0)
            continue;
        const std::string dotted = DottedFromRouteHex(gateway);
        if (dotted.empty() || dotted == "0.0.0.0")
            continue;
        routes.push_back({iface, dotted, metricValue});
    }
    std::stable_sort(routes.begin(), routes.end(),
                     [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
    return routes;
}

AdapterListing ListAdapters(const NetworkSource& source)
{
    AdapterListing listing;
    int error = 0;
    const std::optional<std::vector<std::string>> names = source.InterfaceNames(error);
    if (!names) {
        // A system without the interface list cannot answer at all.
        listing.error = error == ENOENT || error == ENOTDIR ? kNotSupported : (error ? error : kNotSupported);
        return listing;
    }
    if (const std::optional<std::string> table = source.RouteTable())
        listing.defaultRoutes = ParseDefaultRoutes(*table);
    const auto addresses = source.Ipv4Addresses();
    for (const std::string& name : *names) {
        const Kind kind = Classify(source, name);
        if (kind.type == atLoopback)
            continue;
        AdapterRecord record;
        record.name = name;
        record.index = ReadNumber(source, name, "ifindex", INT_MAX);
        record.type = kind.type;
        const std::string driver = source.DriverName(name);
        record.description = driver.empty() ? kind.text : kind.text + " (" + driver + ")";
        for (const auto& [iface, address] : addresses)
            if (iface == name)
                record.addresses.push_back(address);
        for (const DefaultRoute& route : listing.defaultRoutes)
            if (route.iface == name) {
                record.gateway = route.gateway;
                break;
            }
        listing.adapters.push_back(std::move(record));
    }
    std::sort(listing.adapters.begin(), listing.adapters.end(),
              [](const AdapterRecord& a, const AdapterRecord& b) {
                  return a.index != b.index ? a.index < b.index : a.name < b.name;
              });
    if (listing.adapters.empty())
        listing.error = kNoData;
    return listing;
}

std::string AdapterErrorMessage(int error)
{
    switch (error) {
    case 0:
        return {};
    case 50:
        return text::Sjis(u8"ネットワーク要求はサポートされていません。");
    case 87:
        return text::Sjis(u8"パラメータが不正です。");
    case 232:
        return text::Sjis(u8"アダプタ情報が存在しません。");
    default:
        return "(" + std::to_string(error) + ")" + text::Sjis(u8"アダプタ情報は取得できません。");
    }
}

TIpInfo GetAdapterInfo(AdapterTree& tree, const NetworkSource& source)
{
    tree.clear();
    TIpInfo info;
    const AdapterListing listing = ListAdapters(source);
    if (listing.error != 0) {
        info.ErrorMessage = AdapterErrorMessage(listing.error);
        return info;
    }
    const AdapterRecord* chosen = ChooseAdapter(listing);
    if (!chosen)
        return info;
    info.AdapterName = platform::Utf8ToCp932(chosen->name);
    tree.push_back({0, text::Sjis(u8"ｱﾀﾞﾌﾟﾀ名: ") + info.AdapterName});
    tree.push_back({1, text::Sjis(u8"説明: ") + platform::Utf8ToCp932(chosen->description)});
    if (!chosen->addresses.empty()) {
        info.AdapterAddress = chosen->addresses.front();
        tree.push_back({1, text::Sjis(u8"IPｱﾄﾞﾚｽ: ") + info.AdapterAddress});
    }
    info.GatewayAddress = chosen->gateway;
    tree.push_back({1, text::Sjis(u8"ｹﾞｰﾄｳｪｲ: ") + info.GatewayAddress});
    return info;
}

TIpInfo GetAdapterInfo(AdapterTree& tree)
{
    return GetAdapterInfo(tree, SystemNetworkSource());
}

std::string DetectRouterAddress(const NetworkSource& source)
{
    AdapterTree tree;
    const TIpInfo info = GetAdapterInfo(tree, source);
    // 0.0.0.0 would send the status page request to this machine itself.
    if (!info.ErrorMessage.empty() || info.GatewayAddress == "0.0.0.0")
        return {};
    return info.GatewayAddress;
}

std::string DetectRouterAddress()
{
    return DetectRouterAddress(SystemNetworkSource());
}

} // namespace netinfo
