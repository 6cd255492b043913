#pragma once
// The IPv6 address that AAAA records publish: this machine's own global address, chosen as the
// settings' [IPv6] section says.

#include <string>

namespace settings {
class TConfig;
}

namespace ddns {

// Empty when the machine has none to publish.
std::string PublishedIpv6Address(const settings::TConfig& config);

} // namespace ddns
