#pragma once
// The generic dyndns2 protocol ("members NIC update"), which many providers speak: one GET of
// /nic/update?hostname=HOST&myip=ADDRESS per host with basic authentication, answered by a word:
// good, nochg (done), badauth, nohost, notfqdn, abuse, badagent, !donator, numhost, !yours (refused:
// stop), 911, dnserr (the provider's trouble: not before 30 minutes).
// The server is the settings' Server: host[:port] over HTTPS, or http://host[:port] on the LAN.

#include "ddns/DdnsProvider.h"

namespace ddns {

class Dyndns2Provider final : public DdnsProvider
{
public:
    std::vector<HostResult> Update(ProviderContext& context, RecordType type,
                                   const std::string& address) override;
};

// The base address of a Server setting: "host[:port]" means HTTPS, "http://host[:port]" and
// "https://host[:port]" are taken as written. Invalid (empty) for an empty or unusable setting.
QUrl Dyndns2ServerUrl(const std::string& server);
// The verdict of one answer body of the protocol.
HostResult JudgeDyndns2Answer(const std::string& host, const std::string& body);

} // namespace ddns
