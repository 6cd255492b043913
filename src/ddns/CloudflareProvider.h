#pragma once
// Cloudflare's API (v4) with an API token (bearer): for each host, its zone (the longest of the
// token's zones that the host ends in), then the host's record of the type, then a PATCH of the
// record's content when it differs. Answers are JSON with "success"; a 401 or 403, or a host without
// a zone or a record, stops the updates (the program does not create records the user did not).

#include "ddns/DdnsProvider.h"

namespace ddns {

class CloudflareProvider final : public DdnsProvider
{
public:
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

} // namespace ddns
