#pragma once
// The dynamic DNS update with the providers' own rules:
// - a record of a host is sent only when its address differs from the one the provider last
//   confirmed, or when that confirmation is older than the provider's refresh (25 days, MyDNS one);
//   a retry sends only what is not confirmed yet;
// - a forced send (the dialog's test, `ddns-update --force`) goes to a host at most once in 10
//   minutes;
// - a refusal (credentials, host names: badauth, nohost, notfqdn, abuse, badagent, a 401) stops all
//   updates until the DDNS settings change, reported once;
// - the provider's trouble (911, a 5xx) or the network's is tried again after a back-off that grows
//   with each failure, from 5 minutes (ieServer 10) up to an hour (911: not before 30 minutes);
// - passwords and tokens never reach a row, a line or a mail: answers that echo them are masked.
// The state lives in the settings object ([DDNS] state keys); the caller saves it (SaveScope::DdnsState).

#include "ddns/DdnsProvider.h"

#include <QDateTime>
#include <functional>
#include <string>
#include <vector>

namespace settings {
class TConfig;
}

namespace ddns {

// The least time between two forced sends to one host.
inline constexpr int kForcedSendMinutes = 10;

struct DdnsOptions
{
    // The addresses to publish (dotted IPv4, IPv6 text); empty: none for that record.
    std::string AddressA;
    std::string AddressAAAA;
    // Send even when the record holds the address already (not during a back-off or a stop, and to
    // one host at most once in kForcedSendMinutes).
    bool Force = false;
    // Say what would be sent, send nothing, change nothing.
    bool DryRun = false;
};

struct DdnsResult
{
    // Every record the settings name holds its address after the run.
    bool UpToDate = false;
    // Something was sent.
    bool Sent = false;
    // This run stopped the updates (a refusal).
    bool StoppedNow = false;
    // The updates are stopped (now or earlier).
    bool Stopped = false;
    // One line per host and record: "host (A): answer" (code page 932).
    std::vector<std::string> Lines;
    // The one log row of the run and its kind (0 failure, 2 event); empty when nothing was sent.
    std::string LogText;
    int LogKind = 2;
    // The line for the notice mail (full-width form; the row is its half-width form); empty when
    // nothing was sent.
    std::string MailLine;
};

class DdnsUpdater
{
public:
    DdnsUpdater();

    // Who decides about certificates, and whether a person may be asked (the dialog's test, the
    // command line on a terminal).
    void SetTrust(net::TlsTrust* trust, bool mayAsk);
    // The length of a minute for the back-off in milliseconds (tests run on a short minute).
    int MinuteMs = 60000;
    // The clock (UTC); tests set it.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTimeUtc(); };
    // Each request's time limit.
    int TimeOutMs = 20000;

    // One update run with config (its [DDNS] state is read and changed in place).
    DdnsResult Run(settings::TConfig& config, const DdnsOptions& options);
    // Ends a run that waits for the network: nothing more is sent, and what is left counts as a
    // failure for now (tried again after the back-off).
    void Stop() { m_http.Stop(); }

private:
    net::HttpClient m_http;
};

// The records the settings ask for: 4 A, 6 AAAA, 46 both (anything else: A).
std::vector<RecordType> RecordsOf(const settings::TConfig& config);
// The hosts of the settings: the comma-separated names, trimmed, empty ones left out.
std::vector<std::string> HostsOf(const settings::TConfig& config);
// What in the settings the state belongs to: a change of any DDNS setting gives another value.
std::string DdnsSettingsKey(const settings::TConfig& config);
// Why the settings cannot be used (code page 932, full-width), empty when they can.
std::string DdnsSettingsProblem(const settings::TConfig& config);
// The back-off in minutes after the n-th failure in a row (first, twice that ... up to 60).
int BackOffMinutes(int failures, int first = 5);
// The User-Agent of the requests: the program, its version and where it lives, as dyndns2
// providers ask.
std::string UserAgent();

} // namespace ddns
