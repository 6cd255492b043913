#pragma once
// ieServer.net: one GET per host of its update script with the sub-domain as user name, the domain
// (myname.dip.jp: myname and dip.jp), the password and updatehost=1. The answer is an HTML page in
// EUC-JP: it shows the new address when the update went through, and says in Japanese that the
// name or password is wrong when it was refused. IPv4 only (the service takes the address from the
// request).

#include "ddns/DdnsProvider.h"

namespace ddns {

class IeServerProvider final : public DdnsProvider
{
public:
    bool SupportsAAAA() const override { return false; }
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

// The verdict of an answer page (EUC-JP bytes as received).
HostResult JudgeIeServerAnswer(const std::string& host, const std::string& eucPage,
                               const std::string& address);

} // namespace ddns
