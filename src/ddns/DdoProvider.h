#pragma once
// DDO.jp: one GET per host of its update page with the host name, the host's update password and
// the address (dn, pw, ip). A plain-text answer: "SUCCESS..." done, "FAILURE..." a refused name or
// password (stop), anything else tried again later. IPv4 only.

#include "ddns/DdnsProvider.h"

namespace ddns {

class DdoProvider final : public DdnsProvider
{
public:
    bool SupportsAAAA() const override { return false; }
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

} // namespace ddns
