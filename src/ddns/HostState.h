#pragma once
// What the updates learned per host and record ([DDNS] HostState): the address the provider last
// confirmed, when, and when the host was last asked. It lets a retry after one host failed leave
// the hosts that succeeded alone, refresh each record on the provider's own schedule, and limit
// forced sends per host.

#include "ddns/DdnsProvider.h"

#include <QDateTime>
#include <string>
#include <vector>

namespace ddns {

struct HostRecordState
{
    std::string Host;
    RecordType Type = RecordType::A;
    std::string Address; // confirmed by the provider; empty when not (or no longer) known
    QDateTime Confirmed;
    QDateTime Tried;
};

class HostStates
{
public:
    // The state of the settings; a file of an older release (SentA, SentAAAA, Updated only) gives
    // each host of the settings those addresses.
    static HostStates Of(const settings::TConfig& config);
    // The text for [DDNS] HostState.
    std::string Text() const;

    const HostRecordState* Find(const std::string& host, RecordType type) const;
    HostRecordState& Entry(const std::string& host, RecordType type);
    // When the host was last asked, for any record (invalid: never).
    QDateTime LastTried(const std::string& host) const;
    // Keeps only these hosts.
    void KeepHosts(const std::vector<std::string>& hosts);
    const std::vector<HostRecordState>& Entries() const { return m_entries; }
    // The settings changed: no address is known to be held any more; the times asked stay.
    void ForgetAddresses();

private:
    std::vector<HostRecordState> m_entries;
};

// Carries the times the hosts were asked from one copy of the settings to another (the dialog's
// test runs on a copy; its sends count against the limit of forced sends all the same).
void KeepTriedTimes(const settings::TConfig& from, settings::TConfig& to);

} // namespace ddns
