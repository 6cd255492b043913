#pragma once
// DuckDNS: one GET per host and record of its update page with the sub-domain (name.duckdns.org or
// name), the account's token and the address (ip= or ipv6=), verbose. The verbose answer is four
// lines: "OK", the IPv4 address, the IPv6 address, UPDATED or NOCHANGE; it is done only when the
// line of the record shows the address sent. "KO" is a refused token or domain: stop.

#include "ddns/DdnsProvider.h"

namespace ddns {

class DuckDnsProvider final : public DdnsProvider
{
protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The verdict of one answer body (HTTP 200).
HostResult JudgeDuckDnsAnswer(const std::string& body, RecordType type, const std::string& address);

} // namespace ddns
