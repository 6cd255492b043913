#pragma once
// The router's LAN address: the default gateway of the machine's wired Ethernet adapter. The adapters
// come from a NetworkSource (the machine itself, or a recorded folder in tests).

#include "netinfo/NetworkSource.h"

#include <string>
#include <vector>

namespace netinfo {

// Adapter types, numbered as the platform's adapter list numbers them.
enum AdapterType : int {
    atOther = 1,
    atEthernet = 6,
    atPpp = 23,
    atLoopback = 24,
    atWireless = 71,
    atTunnel = 131,
};

struct AdapterRecord
{
    std::string name; // the system's name (UTF-8 on Linux)
    int index = 0;
    AdapterType type = atOther;
    std::string description;
    std::vector<std::string> addresses; // IPv4, dotted, primary first
    std::string gateway;                // default gateway through this adapter (lowest metric), or empty
};

struct DefaultRoute
{
    std::string iface;
    std::string gateway;
    long metric = 0;
};

struct AdapterListing
{
    int error = 0;                           // 0, or the code that ErrorMessage texts are chosen by
    std::vector<AdapterRecord> adapters;     // in system order, loopback left out
    std::vector<DefaultRoute> defaultRoutes; // lowest metric first
};

AdapterListing ListAdapters(const NetworkSource& source);
// Default routes with a gateway from /proc/net/route text, lowest metric first (table order on ties).
std::vector<DefaultRoute> ParseDefaultRoutes(const std::string& routeTable);

// The chosen adapter. Texts are code page 932, all empty when not set.
struct TIpInfo
{
    std::string AdapterName;
    std::string AdapterAddress;
    std::string GatewayAddress;
    std::string ErrorMessage;
};

// One row of the adapter tree shown in the settings: depth 0 for the adapter, 1 for its details.
struct TreeRow
{
    int depth = 0;
    std::string text; // code page 932
    friend bool operator==(const TreeRow&, const TreeRow&) = default;
};
using AdapterTree = std::vector<TreeRow>;

// The error texts for the listing's error codes.
std::string AdapterErrorMessage(int error);

// Lists the adapters, describes the chosen one in tree (cleared first) and returns it: the first wired
// Ethernet adapter; when that has no default gateway (or there is none) but the system's default route
// goes through another wired, else a wireless, adapter, that adapter.
TIpInfo GetAdapterInfo(AdapterTree& tree, const NetworkSource& source);
TIpInfo GetAdapterInfo(AdapterTree& tree);

// The router's address: the chosen adapter's gateway, or empty when there is none or it cannot be known.
std::string DetectRouterAddress(const NetworkSource& source);
std::string DetectRouterAddress();

} // namespace netinfo
