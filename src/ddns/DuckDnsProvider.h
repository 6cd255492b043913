#pragma once
// DuckDNS: one GET per host of its update page with the sub-domain (name.duckdns.org or name), the
// account's token and the address (ip= or ipv6=), verbose. "OK" (with UPDATED or NOCHANGE on its
// fourth line) is done; "KO" is a refused token or domain: stop.

#include "ddns/DdnsProvider.h"

namespace ddns {

class DuckDnsProvider final : public DdnsProvider
{
public:
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

} // namespace ddns
