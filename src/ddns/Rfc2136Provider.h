#pragma once
// The user's own DNS server: one DNS UPDATE per host and record (RFC 2136), signed with the TSIG key
// of the settings, sent over UDP to the zone's primary server. The answer's RCODE decides:
// NOERROR (signed with the key) is done; NOTAUTH (with BADKEY, BADSIG or none), REFUSED, NOTZONE,
// FORMERR and NOTIMP are refusals that stop; SERVFAIL, BADTIME, a doubtful answer, no answer within
// the time limit or a stopped run are tried again later.

#include "ddns/DdnsProvider.h"

namespace ddns {

struct DnsUpdateAnswer;

// The time the server has to answer one update, in all (the request's own time limit, when shorter,
// bounds it as well); the update is sent again once a second meanwhile, as resolvers do over UDP.
inline constexpr int kDnsAnswerWaitMs = 5000;
inline constexpr int kDnsResendMs = 1000;
// The records' time to live: short, because the address they hold changes.
inline constexpr int kDnsRecordTtl = 300;

class Rfc2136Provider final : public DdnsProvider
{
protected:
    HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                            const std::string& address) override;
};

// The verdict and the row text for the server's answer to the update of host's record.
HostResult JudgeDnsAnswer(const std::string& host, RecordType type, const DnsUpdateAnswer& answer);

} // namespace ddns
