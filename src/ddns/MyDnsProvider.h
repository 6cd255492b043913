#pragma once
// MyDNS.JP: a basic-authenticated GET (the master ID and its password) of its IPv4 or IPv6 update
// page. It takes the address from the request itself, so the request must leave from the address
// being published: for an address of this machine (an IPv6 address, a test's loopback address) the
// connection is bound to it; an IPv4 address that is not this machine's is the router's, which the
// request leaves from anyway through its address translation. It updates every host of the
// account at once. Done only when the page says "Login and IP address notify OK": a wrong ID or
// password may be answered with HTTP 200 and an error page, which is a refusal. It keeps a record
// only for about a week after the last notice, so the record is confirmed daily.

#include "ddns/DdnsProvider.h"

namespace ddns {

class MyDnsProvider final : public DdnsProvider
{
public:
    bool NeedsHosts() const override { return false; }
    bool UpdatesAccount() const override { return true; }
    int RefreshDays() const override { return 1; }

protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The verdict of one answer page (HTTP 200); its answer is the page's text.
HostResult JudgeMyDnsAnswer(const std::string& page);

} // namespace ddns
