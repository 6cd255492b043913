#pragma once
// Cloudflare's API (v4) with an API token (bearer; it needs Zone Read and DNS Edit): for each host,
// its zone found by name (GET /zones?name= for the host and each parent, longest first, so a token
// limited to one zone works), then every record of the host of the type, then a PATCH of each
// record's content that differs. Done only when every matching record holds the address; a
// failure names the records left behind. Answers are JSON with "success"; a 401 or 403, or a host
// without a zone or a record, stops the updates (the program does not create records the user
// did not).

#include "ddns/DdnsProvider.h"

namespace ddns {

class CloudflareProvider final : public DdnsProvider
{
protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The names a host's zone may have: the host and each parent of at least two labels, longest first.
std::vector<std::string> ZoneCandidates(const std::string& host);

} // namespace ddns
