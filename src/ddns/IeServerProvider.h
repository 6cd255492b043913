#pragma once
// ieServer.net: one GET per host of its update script with the sub-domain as user name, the domain
// (myname.dip.jp: myname and dip.jp), the password and updatehost=1. The answer is an HTML page in
// EUC-JP: a refusal page (titled "Error", saying in Japanese that the user name or password is
// wrong) is read first, as such a page may show the caller's address too; otherwise the update went
// through when the page shows the address. IPv4 only (the service takes the address from the
// request). Its own script asks for ten minutes between tries.

#include "ddns/DdnsProvider.h"

namespace ddns {

class IeServerProvider final : public DdnsProvider
{
public:
    bool SupportsAAAA() const override { return false; }
    int FirstRetryMinutes() const override { return 10; }

protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The verdict of an answer page (EUC-JP bytes as received); its answer is the page's text in code
// page 932.
HostResult JudgeIeServerAnswer(const std::string& host, const std::string& eucPage,
                               const std::string& address);

} // namespace ddns
