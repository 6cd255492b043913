#pragma once
// MyDNS.JP: a basic-authenticated GET (the master ID and its password) of its IPv4 or IPv6 update
// page. It takes the address from the request itself, so the request must leave from the address
// being published: for an address of this machine (an IPv6 address, a test's loopback address) the
// connection is bound to it; an IPv4 address that is not this machine's is the router's, which the
// request leaves from anyway through its address translation. It updates every host of the
// account at once; a 200 means done, a 401 a refused ID.

#include "ddns/DdnsProvider.h"

namespace ddns {

class MyDnsProvider final : public DdnsProvider
{
public:
    bool NeedsHosts() const override { return false; }
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

} // namespace ddns
