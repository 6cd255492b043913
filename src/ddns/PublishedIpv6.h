#pragma once
// The IPv6 address that AAAA records publish: this machine's stable global address (or, with a suffix,
// another machine's of the same /64 network), chosen as the settings' [IPv6] Interface and Suffix say.

#include <string>

namespace settings {
class TConfig;
}

namespace ddns {

// Empty when the machine has none to publish.
std::string PublishedIpv6Address(const settings::TConfig& config);

} // namespace ddns
