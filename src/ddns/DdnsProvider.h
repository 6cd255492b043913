#pragma once
// A dynamic DNS provider: turns "this record of these hosts now holds this address" into the
// provider's own requests and reads its answers into verdicts. Each provider is one small file; the
// rules around them (when to send, stop, back off, what to log) live in DdnsUpdater.

#include "net/HttpClient.h"

#include <memory>
#include <string>
#include <vector>

namespace settings {
class TConfig;
}

namespace ddns {

enum class RecordType {
    A,
    AAAA,
};

const char* RecordName(RecordType type);

enum class Verdict {
    Good,     // the record now holds the address
    NoChange, // it held it already
    Fatal,    // credentials or host names refused: no more updates until the settings change
    Retry,    // the provider or the network failed for now: try again later
};

struct HostResult
{
    std::string Host{};
    RecordType Type = RecordType::A;
    Verdict Outcome = Verdict::Retry;
    // The provider's answer (code page 932), or what went wrong on the way. Whole: the updater masks
    // the secrets in it before it cuts it to one line.
    std::string Answer{};
    // The least number of minutes before the next try (the provider's own rule, such as 30 for 911).
    int RetryMinutes = 0;
};

// One record of one host to bring to an address.
struct Wanted
{
    RecordType Type = RecordType::A;
    std::string Address{};
};

// What a provider needs for one update.
struct ProviderContext
{
    net::HttpClient& Http;
    const settings::TConfig& Config;
    int TimeOutMs = 20000;
};

// Days after which a record is sent again although its address has not changed.
inline constexpr int kRefreshDays = 25;

class DdnsProvider
{
public:
    virtual ~DdnsProvider() = default;
    // Whether the provider keeps AAAA records through this interface.
    virtual bool SupportsAAAA() const { return true; }
    // Whether it needs host names in the settings (MyDNS knows them from the account).
    virtual bool NeedsHosts() const { return true; }
    // Whether one request updates the whole account (MyDNS): the updater then sends once, under the
    // name of the hosts (or the account).
    virtual bool UpdatesAccount() const { return false; }
    // Whether one request carries all records of a host, and must (a server that replaces the whole
    // record set would drop the family left out).
    virtual bool SendsRecordsTogether() const { return false; }
    // Days after which an unchanged record is confirmed again (the provider forgets names that are
    // never refreshed, and takes more frequent repeats as abuse).
    virtual int RefreshDays() const { return kRefreshDays; }
    // The first pause after a failure; later ones double up to an hour.
    virtual int FirstRetryMinutes() const { return 5; }
    // Brings the records of one host to their addresses: one result per record in the order given;
    // a record left out of the results was not sent (an earlier one failed). The default sends one
    // request per record and stops after a failure.
    virtual std::vector<HostResult> UpdateHost(ProviderContext& context, const std::string& host,
                                               const std::vector<Wanted>& records);

protected:
    // One record of one host.
    virtual HostResult UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                    const std::string& address) = 0;
};

// The provider the settings name (case-insensitive); null for a name the program does not know.
std::unique_ptr<DdnsProvider> MakeProvider(const std::string& name);
// The names, in the order the settings dialog offers them.
const std::vector<std::string>& ProviderNames();

// Shared by the providers.

// The base address of the provider: its own, or the test address of the settings ([DDNS] TestURL:
// "URL" for both records, or "URL-for-A,URL-for-AAAA").
QUrl BaseUrl(const settings::TConfig& config, const char* ownUrl, RecordType type);
// "Basic <base64 of user:pass>".
std::string BasicAuthorization(const std::string& user, const std::string& pass);
// A query value, percent-encoded (code page 932 bytes sent as they are, encoded).
QString QueryValue(const std::string& value);
// A host name as it goes on the wire: labels of other than ASCII characters as punycode (the name in
// the settings is code page 932). Empty for a name that cannot be one.
std::string AceHost(const std::string& host);
// A page's text without its tags (ieServer and MyDNS answer with HTML).
std::string WithoutTags(const std::string& page);
// The answer's text in one line fit for a log row: control characters become blanks, at most 120
// bytes, a double-byte character never cut in half.
std::string OneLine(const std::string& text);
// The verdict for a request that got no usable answer: the transport failed (Retry), the server
// refused the credentials (401: Fatal), failed (5xx: Retry). Fills result and returns true when
// the answer was one of these, false when the provider should read the answer itself.
bool JudgeTransport(const net::HttpResponse& response, HostResult& result);
// For a provider that takes the address from the request itself: the request leaves from the
// published address when it is this machine's (an IPv6 address, a test's loopback address); an IPv4
// address that is not this machine's is the router's, which the request leaves from anyway through
// its address translation. False (with the reason in failure) when the address cannot be the source.
bool LeaveFromPublished(net::HttpRequest& request, RecordType type, const std::string& address,
                        HostResult& failure);

} // namespace ddns
