#pragma once
// The IPv6 address to publish: this machine's stable global address, or, with a suffix, the address
// of another machine of the same /64 network. The choice reads the kernel's address table (flags and
// lifetimes) through platform/, so tests feed recorded tables.
//
// The rules, in order: an address must be global unicast (2000::/3): unique-local (fc00::/7),
// link-local, loopback and multicast addresses are passed over; so are temporary (privacy) addresses,
// deprecated ones (flag set or preferred lifetime 0), and addresses still in, or failed by, duplicate
// address detection. Among the rest an address without expiry comes first, then the longest preferred
// lifetime; on a tie the kernel's order. That ranking decides only when nothing is published yet or
// the published address has become unusable: while the published address is still there and passes
// the rules above it stays chosen, so that two good addresses whose lifetimes are refreshed at
// different moments (two routers, SLAAC beside DHCPv6) do not take turns. With a suffix the published
// address is the chosen address's /64 prefix followed by the suffix's interface identifier.

#include "platform/Ipv6Addresses.h"

#include <string>
#include <vector>

namespace netinfo {

struct Ipv6Candidate
{
    std::string interfaceName;
    std::string address;
    bool chosen = false;
    std::string reason; // why passed over, code page 932; empty when chosen
};

struct Ipv6Choice
{
    std::string address; // to publish (suffix applied), empty when none
    std::string interfaceName;
    std::vector<Ipv6Candidate> candidates;
    // Why there is no address (code page 932): no usable address, an unknown interface, a suffix that
    // is no interface identifier, a table that could not be read. Empty when address is set.
    std::string error;
};

// Reads this machine's addresses from the kernel and chooses (platform::ReadMachineIpv6Addresses: a
// recorded table named by QUILLMAP_IPV6_ADDRESSES stands in for the kernel's). published: the address
// published now (suffix applied), empty when none.
Ipv6Choice ChooseIpv6Address(const std::string& interfaceName, const std::string& suffix,
                             const std::string& published = {});
// The same choice over a table read elsewhere (recorded, or from another source).
Ipv6Choice ChooseIpv6Address(const platform::Ipv6AddressTable& table, const std::string& interfaceName,
                             const std::string& suffix, const std::string& published = {});

// Whether suffix (e.g. "::10") is a usable interface identifier: an IPv6 address whose upper 64 bits
// are zero and whose lower 64 bits are not. An empty suffix is valid (none).
bool IsValidIpv6Suffix(const std::string& suffix);
// The /64 network of an address in text form ("2001:db8:1:2::"), or empty when it is not one.
std::string Ipv6Prefix64(const std::string& address);
// Whether two addresses lie in different /64 networks (false when either is not an address).
bool Ipv6PrefixChanged(const std::string& previous, const std::string& current);

// The lines that `find-address --ipv6` and the settings dialog's test show: the result, then every
// candidate with why it was passed over. Code page 932.
std::vector<std::string> ExplainIpv6Choice(const Ipv6Choice& choice);

} // namespace netinfo
