#include "ddns/PublishedIpv6.h"

#include "netinfo/Ipv6Choice.h"
#include "settings/ConfigUnit.h"

namespace ddns {

std::string PublishedIpv6Address(const settings::TConfig& config)
{
    // The same choice as the pages' IPv6 address: the interface and the suffix of [IPv6], and the
    // published address while it is usable.
    return netinfo::ChooseIpv6Address(config.Ipv6Interface, config.Ipv6Suffix, config.PrevIPv6).address;
}

} // namespace ddns
