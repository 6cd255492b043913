#pragma once
// DDO.jp: one GET per host of its update page with the host name, the host's update password and
// the address (dn, pw, ip). A short answer in EUC-JP: "SUCCESS: host ..." done (unless it shows
// another address than the one sent), "FAILURE..." a refused name or password (stop), anything
// else tried again later. IPv4 only.

#include "ddns/DdnsProvider.h"

namespace ddns {

class DdoProvider final : public DdnsProvider
{
public:
    bool SupportsAAAA() const override { return false; }

protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The verdict of one answer (EUC-JP bytes as received, HTTP 200); its answer is the text in code
// page 932.
HostResult JudgeDdoAnswer(const std::string& host, const std::string& eucBody, const std::string& address);

} // namespace ddns
