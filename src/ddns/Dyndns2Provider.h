#pragma once
// The generic dyndns2 protocol ("members NIC update"), which many providers speak: one GET of the
// update path (/nic/update unless the Server setting names another) per host with basic
// authentication, hostname= and myip= (both addresses, comma-separated, when A and AAAA are kept,
// so that servers that replace the whole record set keep both). The answer is a word: good, nochg
// (done, when the address shown is the one sent), badauth, nohost, notfqdn, abuse, badagent,
// !donator, numhost, !yours and "good 127.0.0.1" for a request it ignored (refused: stop), 911,
// dnserr (the provider's trouble: not before 30 minutes).
// The server is the settings' Server: host[:port][/path] over HTTPS, or http://... on the LAN.

#include "ddns/DdnsProvider.h"

namespace ddns {

class Dyndns2Provider final : public DdnsProvider
{
public:
    bool SendsRecordsTogether() const override { return true; }
    std::vector<HostResult> UpdateHost(ProviderContext& context, const std::string& host,
                                       const std::vector<Wanted>& records) override;

protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The update address of a Server setting: "host[:port][/path]" means HTTPS, "http://..." and
// "https://..." are taken as written; no path (or "/") means /nic/update. Invalid (empty) for an
// empty or unusable setting.
QUrl Dyndns2ServerUrl(const std::string& server);
// The verdicts of one answer body of the protocol, one per record sent.
std::vector<HostResult> JudgeDyndns2Answer(const std::string& host, const std::string& body,
                                           const std::vector<Wanted>& records);

} // namespace ddns
