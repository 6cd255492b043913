#pragma once
// The settings object and the settings file "Quillmap.ini" in the program's folder. Strings are
// code page 932 bytes; flags are 32-bit integers where any non-zero value means on.

#include "text/VB.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {
class UserInterface;
}

namespace settings {

using Flag = std::int32_t;

class TConfig
{
public:
    std::string Version;
    Flag LeavePlural = 0;
    Flag ShowWindow = 0;
    Flag AutoRun = 0;
    Flag RecLog = 0;
    std::int32_t Interval = 0;
    std::int32_t TimeOut = 0;
    Flag GatewayAuto = 0;
    std::string GatewayIP;
    std::string StatusURL;
    std::string StatusPost;
    Flag StatusLogon = 0;
    std::string StatusUser;
    std::string StatusPass;
    Flag GlobalIPAuto = 0;
    std::string GlobalIPKey;
    Flag NoScript = 0;
    Flag FtpUpload = 0;
    std::string FtpServer;
    std::string FtpUser;
    std::string FtpPass;
    std::string FtpDir;
    Flag FtpPasv = 0;
    std::int32_t FtpPort = 0;
    // How many connections an upload run uses at once (1 to 8; 1, one file after the other, when
    // the key is missing).
    std::int32_t FtpParallel = 1;
    Flag MailNotice = 0;
    std::string MailAddress;
    std::string MailAddressFrom;
    Flag MailHanKana = 0;
    std::string SmtpServer;
    std::string SmtpUser;
    Flag SmtpLogon = 0;
    std::string SmtpPass;
    std::int32_t SmtpPort = 0;
    Flag PopLogon = 0;
    std::string PopServer;
    std::string PopUser;
    std::string PopPass;
    std::int32_t PopPort = 0;
    std::int32_t NoticeItem = 0;
    std::string ReplaceFolder;
    Flag ReplaceAllFolder = 0;
    std::string ReplaceLink;
    std::string ReplaceExt;
    Flag ReplaceOnly = 0;
    std::int32_t LogRowMax = 0;
    std::string PrevIP;
    Flag RobotUse = 0;
    Flag RobotNo = 0;
    // The keyword lists exist only after LoadSettings or AssignSettings (a fresh object has none).
    std::unique_ptr<text::StringList> KeywordsJP;
    std::string DescriptionJP;
    std::unique_ptr<text::StringList> KeywordsEN;
    std::string DescriptionEN;
    Flag ClosedUse = 0;
    std::int32_t ClosedMode = 0;
    Flag ClosedFast = 0;
    std::string ClosedString;
    std::string ClosedFile;
    Flag IPtoURL = 0;
    // The second source of the global address: 0 none, 1 the router's UPnP gateway, 2 EchoURL.
    std::int32_t Source2 = 0;
    std::string EchoURL;
    // The published copy of an uploaded page, read back after an upload; empty: not read.
    std::string FtpCheckURL;
    // Encrypted connections of the FTP, SMTP and POP3 clients: 0 none, 1 explicit (AUTH TLS,
    // STARTTLS, STLS), 2 implicit (TLS from the first byte). Values of net::TlsMode.
    std::int32_t FtpSecurity = 0;
    std::int32_t SmtpSecurity = 0;
    std::int32_t PopSecurity = 0;
    // Publishing over IPv6 ([IPv6]): Use 1 puts this machine's stable global IPv6 address in the links
    // instead of the router's IPv4 address. Interface empty chooses among every interface; Suffix (an
    // interface identifier such as "::10") names another machine of the same /64 network. PrevIPv6 is
    // the address last published, learned by the program like PrevIP.
    std::int32_t Ipv6Use = 0;
    std::string Ipv6Interface;
    std::string Ipv6Suffix;
    std::string PrevIPv6;
    // What reads the router's status page: 0 the HTTP client, 1 the browser engine (scripts run).
    std::int32_t StatusEngine = 0;
    // Certificates the user chose to trust although the system does not vouch for them:
    // CertificateKey(host, port) -> SHA-256 fingerprint ("AB:CD:..."). Learned by the program, like
    // PrevIP, so AssignSettings leaves it alone.
    std::map<std::string, std::string> TrustedCertificates;
    // Dynamic DNS ([DDNS]): the host names that follow the address, and the provider that keeps them.
    Flag DdnsUse = 0;
    // dyndns2, mydns, ddo, ieserver, duckdns, cloudflare or rfc2136.
    std::string DdnsProvider;
    // Comma-separated host names.
    std::string DdnsHosts;
    std::string DdnsUser;
    std::string DdnsPass;  // scrambled in the file, like the other passwords
    std::string DdnsToken; // likewise
    // Which records follow the address: 4 A, 6 AAAA, 46 both.
    std::int32_t DdnsRecords = 0;
    // The dyndns2 server: host[:port] (HTTPS), or http://host[:port] for a server on the LAN; for
    // rfc2136 the primary DNS server: host[:port] (53 when left out), an IPv6 address in brackets.
    std::string DdnsServer;
    // rfc2136 (the user's own DNS server, Server being its primary): the zone the host names are in,
    // the TSIG key's name and algorithm; the key's base64 secret is the Token.
    std::string DdnsZone;
    std::string DdnsKeyName;
    std::string DdnsKeyAlgorithm;
    // Replaces the provider's own address; only the tests set it.
    std::string DdnsTestURL;
    // What the program learned about the provider, like PrevIP (AssignSettings leaves it alone): the
    // address last sent per record, when the last update went through, a stop after a refusal with
    // its reason, the settings the state belongs to, and the back-off after a failure.
    std::string DdnsSentA;
    std::string DdnsSentAAAA;
    std::string DdnsUpdated;
    Flag DdnsStopped = 0;
    std::string DdnsStopReason;
    std::string DdnsStateOf;
    std::string DdnsRetryAt;
    std::int32_t DdnsFailures = 0;
    // Per host and record: the address the provider confirmed, when, and when it was last asked
    // (ddns::HostStates reads and writes it).
    std::string DdnsHostState;
    // [Config] Keyring: the passwords live in the desktop's keyring, and the file holds them empty.
    Flag Keyring = 0;
    // Not stored: which passwords (bits 1 << PasswordService) the keyring could not give at loading,
    // and its reason (code page 932). Nothing copies them: they describe what this object read.
    unsigned KeyringUnread = 0;
    std::string KeyringProblem;
    // Where the main window stood and how large it was when last shown ([Window]; logical pixels,
    // the frame's top-left and the client size). Width 0: never placed, the window's own size.
    std::int32_t WindowLeft = 0;
    std::int32_t WindowTop = 0;
    std::int32_t WindowWidth = 0;
    std::int32_t WindowHeight = 0;
};

enum class SaveScope : int {
    All = 0,
    Shutdown = 1,
    Robots = 2,
    FileTypes = 3,
    Closing = 4,
    // The trusted certificates ([Security]); written as soon as the user trusts one.
    Security = 5,
    // What the dynamic DNS update learned ([DDNS] state keys); written after every update.
    DdnsState = 6,
};

enum PasswordService : int {
    psStatus = 0,
    psFtp = 1,
    psPop = 2,
    psSmtp = 3,
    psDdns = 4,
    psDdnsToken = 5,
};

enum class ScrambleAlphabet {
    LegacyAlphabet,
    CurrentAlphabet,
};

// A save that could not write the settings file. what() is the code page 932 text
// "<path> に書き込めません", ready to be shown to the user.
class SettingsWriteError : public std::runtime_error
{
public:
    explicit SettingsWriteError(const std::string& cp932Message) : std::runtime_error(cp932Message) {}
};

// A save that could not put the passwords into the desktop's keyring; nothing was written. what() is
// the code page 932 text that says so, with the keyring's reason.
class KeyringWriteError : public SettingsWriteError
{
public:
    using SettingsWriteError::SettingsWriteError;
};

// The settings file's path (code page 932 text is not involved: this is a native path).
std::string SettingsFilePath();

// Fills config from the settings file; on the first run (no file) shows the first-run help through ui
// (which may be null: then nothing is shown). With [Config] Keyring on, the passwords come from the
// desktop's keyring; what it could not give is marked in config (see ReadKeyringPasswords), and
// monitoring refuses to start without the passwords it needs.
void LoadSettings(TConfig& config, platform::UserInterface* ui);

// Whether the settings file chooses the browser engine for the status page ([Status] Engine non-zero),
// read on its own before the program decides how it starts; nothing else is read and nothing shown.
bool SettingsChooseEngine();

// Writes one share of config. Throws SettingsWriteError ("<path> に書き込めません", code page 932)
// when the file cannot be written, or when it exists but cannot be read (saving would otherwise drop
// every key this scope does not write); the file on disk is then untouched. Scope All with Keyring on
// puts the passwords into the keyring first and writes them empty into the file; a keyring that
// cannot take them throws KeyringWriteError before the file is touched. Turning Keyring off writes
// the passwords into the file and removes them from the keyring.
void SaveSettings(const TConfig& config, SaveScope scope);

// SaveSettings with scope All, except that the key section/key is taken out of the file, so that it
// reads as its default again (`quillmap settings unset`). One write: the file is either the old one or
// the new one.
void SaveSettingsWithout(const TConfig& config, std::string_view section, std::string_view key);

// Copies every field but Version, PrevIP, PrevIPv6 and the learned dynamic DNS state; the keyword
// lists become new copies of src's.
void AssignSettings(TConfig& dest, const TConfig& src);
// The key under which a certificate trusted for host and port is filed: "host:port", the host in
// lower case (names are compared without regard to case).
std::string CertificateKey(std::string_view host, int port);
// Whether the user trusts exactly this certificate (its SHA-256 fingerprint) for host and port.
bool IsCertificateTrusted(const TConfig& config, std::string_view host, int port,
                          std::string_view fingerprint);

// The scramble key of a service's password (PasswordService), 0 to 32767.
int PasswordKey(const TConfig& config, int service);
// A self-inverse byte substitution keyed by the low byte of key: applying it twice gives the text
// back. Bytes outside the alphabet stay as they are.
std::string ScrambleText(std::string_view text, int key, ScrambleAlphabet alphabet);

} // namespace settings
