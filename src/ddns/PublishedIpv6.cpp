#include "ddns/PublishedIpv6.h"

#include "settings/ConfigUnit.h"

namespace ddns {

std::string PublishedIpv6Address(const settings::TConfig&)
{
    // The machine's addresses are not consulted yet: AAAA records need the address given by hand
    // (quillmap ddns-update --address).
    return {};
}

} // namespace ddns
