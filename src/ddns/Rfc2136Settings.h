#pragma once
// The settings of the user's own DNS server (Provider=rfc2136): where its primary server listens,
// the zone the host names are in, and the TSIG key that may change them. Read and checked here, so
// that the update, the settings dialog and the command line judge them alike.

#include <QString>
#include <string>

namespace settings {
class TConfig;
}

namespace ddns {

struct Rfc2136Target
{
    QString Host; // a host name or an address (without brackets)
    quint16 Port = 53;
    std::string Zone; // lower case, without the final dot
    std::string KeyName;
    std::string Algorithm; // normalised: "hmac-sha256" and the like
    std::string Secret;    // base64, without blanks
};

// Whether the settings name this provider (the name's case does not matter).
bool IsRfc2136(const std::string& provider);
// The server's host and port from "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address;
// false for an empty host or a port outside 1-65535.
bool ParseDnsServer(const std::string& text, QString& host, quint16& port);
// Whether host is zone or a name below it (case-insensitive; final dots ignored).
bool InZone(const std::string& host, const std::string& zone);
// The settings read for an update (call after Rfc2136Problem said nothing).
Rfc2136Target Rfc2136TargetOf(const settings::TConfig& config);
// Why the settings cannot be used (code page 932, full-width) and the [DDNS] key that is at fault;
// both empty when they can be used.
struct Rfc2136Refusal
{
    const char* Key = "";
    std::string Text;
};
Rfc2136Refusal Rfc2136Check(const settings::TConfig& config);
// Its text alone.
std::string Rfc2136Problem(const settings::TConfig& config);

} // namespace ddns
