#include "settings/ConfigUnit.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "settings/ConfigFields.h"
#include "settings/FirstRun.h"
#include "settings/KeyringPasswords.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <functional>
#include <utility>
#include <vector>

namespace settings {

namespace {

// The version this program writes. Older files differ in how passwords and GlobalIP/Key are stored.
constexpr std::string_view kCurrentVersion = "1.3";

QString SettingsPath()
{
    return platform::ProgramFile(QStringLiteral("Quillmap.ini"));
}

[[noreturn]] void ThrowWriteError(const QString& path)
{
    throw SettingsWriteError(platform::PathToCp932(QDir::toNativeSeparators(path)) +
                             text::Sjis(u8" に書き込めません"));
}

// Version texts compare byte by byte, as the files were written: "1.3" > "1.2" > "1.1" > "1.0".
bool VersionAbove(const TConfig& config, std::string_view version)
{
    return std::string_view(config.Version) > version;
}

void ReadField(const platform::ProfileFile& file, TConfig& config, const ConfigField& f)
{
    switch (f.coding) {
    case FieldCoding::Integer:
        config.*std::get<IntegerMember>(f.member) = file.ReadInteger(f.section, f.key, f.defaultInteger);
        return;
    case FieldCoding::Keywords: {
        const std::string stored = file.ReadString(f.section, f.key, {});
        // Split without quote handling: the list was joined without quoting, so this gives back
        // exactly the items that were saved, even one that begins with a double quote.
        config.*std::get<ListMember>(f.member) = std::make_unique<text::StringList>(
            stored.empty() ? text::StringList{} : text::SplitText(stored, ",", false));
        return;
    }
    case FieldCoding::Text:
    case FieldCoding::Password:
    case FieldCoding::Base64:
    case FieldCoding::Base64Since1_2: {
        std::string value;
        if (f.coding == FieldCoding::Text || f.coding == FieldCoding::Password) {
            value = file.ReadString(f.section, f.key, FieldDefaultText(f, config));
        } else {
            value = file.ReadString(f.section, f.key, {});
            if (f.coding == FieldCoding::Base64 || VersionAbove(config, "1.1"))
                value = mail::Base64Decode(value);
        }
        if (f.emptyMeansDefault && value.empty())
            value = FieldDefaultText(f, config);
        config.*std::get<TextMember>(f.member) = std::move(value);
        return;
    }
    }
}

// Passwords are unscrambled after everything else is read, since their keys come from other fields.
void UnscramblePasswords(TConfig& config)
{
    if (!VersionAbove(config, "1.0"))
        return; // stored as plain text
    const ScrambleAlphabet alphabet =
        VersionAbove(config, "1.2") ? ScrambleAlphabet::CurrentAlphabet : ScrambleAlphabet::LegacyAlphabet;
    const std::pair<std::string TConfig::*, int> passwords[] = {
        {&TConfig::StatusPass, psStatus},
        {&TConfig::FtpPass, psFtp},
        {&TConfig::SmtpPass, psSmtp},
        {&TConfig::PopPass, psPop},
        {&TConfig::DdnsPass, psDdns},
        {&TConfig::DdnsToken, psDdnsToken},
    };
    for (const auto& [member, service] : passwords) {
        std::string& pass = config.*member;
        if (!pass.empty())
            pass = ScrambleText(pass, PasswordKey(config, service), alphabet);
    }
}

std::string JoinKeywords(const text::StringList* list)
{
    std::string joined;
    if (!list)
        return joined;
    for (const std::string& item : *list) {
        // A separator only after text: leading empty items vanish, as they always have in this file.
        if (!joined.empty())
            joined += ',';
        joined += item;
    }
    return joined;
}

bool HoldsDefault(const TConfig& config, const ConfigField& f)
{
    if (const auto* m = std::get_if<IntegerMember>(&f.member))
        return config.**m == f.defaultInteger;
    if (const auto* m = std::get_if<TextMember>(&f.member))
        return config.**m == (f.defaultText ? f.defaultText : "");
    return false;
}

void WriteField(platform::ProfileFile& file, const TConfig& config, const ConfigField& f)
{
    if (f.writtenWhenSet && !file.HasValue(f.section, f.key) && HoldsDefault(config, f))
        return;
    switch (f.coding) {
    case FieldCoding::Integer:
        file.WriteInteger(f.section, f.key, config.*std::get<IntegerMember>(f.member));
        return;
    case FieldCoding::Keywords:
        file.WriteString(f.section, f.key, JoinKeywords((config.*std::get<ListMember>(f.member)).get()));
        return;
    case FieldCoding::Text:
        if (std::get<TextMember>(f.member) == &TConfig::Version)
            file.WriteString(f.section, f.key, kCurrentVersion); // what was read is never written back
        else
            file.WriteString(f.section, f.key, config.*std::get<TextMember>(f.member));
        return;
    case FieldCoding::Password: {
        const std::string& pass = config.*std::get<TextMember>(f.member);
        // With the keyring the file holds no password at all.
        file.WriteString(f.section, f.key,
                         pass.empty() || config.Keyring ? std::string()
                                                        : ScrambleText(pass, PasswordKey(config, f.service),
                                                                       ScrambleAlphabet::CurrentAlphabet));
        return;
    }
    case FieldCoding::Base64:
    case FieldCoding::Base64Since1_2:
        file.WriteString(f.section, f.key, mail::Base64Encode(config.*std::get<TextMember>(f.member)));
        return;
    }
}

using KeyList = std::vector<std::pair<const char*, const char*>>;

// The published IPv6 address is kept at the end like PrevIP; it is written only once it is known.
const KeyList kShutdownKeys = {{"Config", "ShowWindow"},
                               {"Config", "AutoRun"},
                               {"Config", "RecLog"},
                               {"Config", "PrevIP"},
                               {"IPv6", "PrevIPv6"}};
const KeyList kRobotsKeys = {{"ForRobot", "No"},
                             {"ForRobot", "KeyJP"},
                             {"ForRobot", "DescriptionJP"},
                             {"ForRobot", "KeyEN"},
                             {"ForRobot", "DescriptionEN"}};
const KeyList kFileTypesKeys = {{"Config", "ReplaceExt"}, {"Config", "ReplaceOnly"}};
const KeyList kClosingKeys = {
    {"Closed", "Use"}, {"Closed", "Mode"}, {"Closed", "Fast"}, {"Closed", "String"}, {"Closed", "File"}};
// What only the settings dialog writes, between the Shutdown keys and the dialogs' own shares.
const KeyList kDialogKeys = {{"About", "Version"},
                             {"Config", "LeavePlural"},
                             {"Config", "Interval"},
                             {"Config", "TimeOut"},
                             {"Gateway", "Auto"},
                             {"Gateway", "IP"},
                             {"Status", "URL"},
                             {"Status", "POST"},
                             {"Status", "Logon"},
                             {"Status", "User"},
                             {"Status", "Pass"},
                             {"Status", "NoScript"},
                             {"Status", "Engine"},
                             {"Config", "Keyring"},
                             {"GlobalIP", "Auto"},
                             {"GlobalIP", "Key"},
                             {"FTP", "Upload"},
                             {"FTP", "Server"},
                             {"FTP", "User"},
                             {"FTP", "Pass"},
                             {"FTP", "Dir"},
                             {"FTP", "PASV"},
                             {"FTP", "Port"},
                             {"Config", "MailNotice"},
                             {"Config", "MailAddress"},
                             {"Config", "MailAddressFrom"},
                             {"Config", "MailHanKana"},
                             {"SMTP", "Server"},
                             {"SMTP", "User"},
                             {"SMTP", "Logon"},
                             {"SMTP", "Pass"},
                             {"SMTP", "Port"},
                             {"POP", "Logon"},
                             {"POP", "Server"},
                             {"POP", "User"},
                             {"POP", "Pass"},
                             {"POP", "Port"},
                             {"Config", "NoticeItem"},
                             {"Config", "ReplaceFolder"},
                             {"Config", "ReplaceAllFolder"},
                             {"Config", "ReplaceLink"},
                             {"Config", "LogRowMax"},
                             {"ForRobot", "Use"},
                             {"Config", "IPtoURL"},
                             {"GlobalIP", "Source2"},
                             {"GlobalIP", "EchoURL"},
                             {"FTP", "CheckURL"}};

// Host names compare without regard to case; only ASCII letters have a case in them.
std::string AsciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Encrypted connections came later; they follow everything older releases write.
const KeyList kSecurityKeys = {{"FTP", "Security"}, {"SMTP", "Security"}, {"POP", "Security"}};
// Publishing over IPv6 came after that.
const KeyList kIpv6Keys = {{"IPv6", "Use"}, {"IPv6", "Interface"}, {"IPv6", "Suffix"}};

// Dynamic DNS came later still: what the settings dialog edits, then what the updates learn.
const KeyList kDdnsKeys = {{"DDNS", "Use"},     {"DDNS", "Provider"}, {"DDNS", "Hosts"},
                           {"DDNS", "User"},    {"DDNS", "Pass"},     {"DDNS", "Token"},
                           {"DDNS", "Records"}, {"DDNS", "Server"},   {"DDNS", "Zone"},
                           {"DDNS", "KeyName"}, {"DDNS", "KeyAlgorithm"}, {"DDNS", "TestURL"}};
const KeyList kDdnsStateKeys = {{"DDNS", "SentA"},      {"DDNS", "SentAAAA"}, {"DDNS", "Updated"},
                                {"DDNS", "Stopped"},    {"DDNS", "StopReason"}, {"DDNS", "StateOf"},
                                {"DDNS", "RetryAt"},    {"DDNS", "Failures"},   {"DDNS", "HostState"}};

// The main window's place: saved with the Shutdown keys (the closing run) and by the dialog's OK
// alike, from the one settings object the window keeps up to date.
const KeyList kWindowKeys = {{"Window", "Left"}, {"Window", "Top"}, {"Window", "Width"}, {"Window", "Height"}};

bool IsDdnsState(TextMember member)
{
    return member == &TConfig::DdnsSentA || member == &TConfig::DdnsSentAAAA ||
           member == &TConfig::DdnsUpdated || member == &TConfig::DdnsStopReason ||
           member == &TConfig::DdnsStateOf || member == &TConfig::DdnsRetryAt ||
           member == &TConfig::DdnsHostState;
}

bool IsDdnsState(IntegerMember member)
{
    return member == &TConfig::DdnsStopped || member == &TConfig::DdnsFailures;
}

constexpr const char* kTrustSection = "Security";

void ReadTrustedCertificates(const platform::ProfileFile& file, TConfig& config)
{
    config.TrustedCertificates.clear();
    for (const std::string& key : file.KeyNames(kTrustSection)) {
        const std::string fingerprint = file.ReadString(kTrustSection, key, {});
        if (!fingerprint.empty())
            config.TrustedCertificates[AsciiLower(key)] = fingerprint;
    }
}

void WriteTrustedCertificates(platform::ProfileFile& file, const TConfig& config)
{
    for (const auto& [key, fingerprint] : config.TrustedCertificates)
        file.WriteString(kTrustSection, key, fingerprint);
}

KeyList ScopeKeys(SaveScope scope)
{
    switch (scope) {
    case SaveScope::All: {
        KeyList keys = kShutdownKeys;
        for (const KeyList* part :
             {&kDialogKeys, &kRobotsKeys, &kFileTypesKeys, &kClosingKeys, &kSecurityKeys, &kIpv6Keys,
              &kDdnsKeys, &kDdnsStateKeys, &kWindowKeys})
            keys.insert(keys.end(), part->begin(), part->end());
        return keys;
    }
    case SaveScope::Shutdown: {
        KeyList keys = kShutdownKeys;
        keys.insert(keys.end(), kWindowKeys.begin(), kWindowKeys.end());
        return keys;
    }
    case SaveScope::Robots:
        return kRobotsKeys;
    case SaveScope::FileTypes:
        return kFileTypesKeys;
    case SaveScope::Closing:
        return kClosingKeys;
    case SaveScope::DdnsState:
        return kDdnsStateKeys;
    case SaveScope::Security:
        break;
    }
    return {};
}

} // namespace

std::string FieldDefaultText(const ConfigField& field, const TConfig& config)
{
    if (!field.defaultText)
        return config.MailAddress; // MailAddressFrom: the address just read
    const std::string_view def = field.defaultText;
    if (def.starts_with("~/"))
        return platform::PathToCp932(QDir::homePath()) + std::string(def.substr(1));
    return std::string(def);
}

std::string SettingsFilePath()
{
    return SettingsPath().toStdString();
}

void LoadSettings(TConfig& config, platform::UserInterface* ui)
{
    const QString path = SettingsPath();
    platform::ProfileFile file(path);
    file.Load();
    for (const ConfigField& field : ConfigFields())
        ReadField(file, config, field);
    UnscramblePasswords(config);
    ReadTrustedCertificates(file, config);
    if (config.Keyring)
        ReadKeyringPasswords(config);

    if (!QFileInfo::exists(path)) {
        const QString programFileFolder = platform::ProgramFileFolder();
        const QString installFolder =
            programFileFolder.isEmpty() ? QString() : ReadmeSourceFolder(programFileFolder);
        ShowFirstRunHelp(ui, platform::ProgramFolder(), installFolder);
    }
}

bool SettingsChooseEngine()
{
    platform::ProfileFile file(SettingsPath());
    file.Load();
    const ConfigField& field = FindConfigField("Status", "Engine");
    return file.ReadInteger(field.section, field.key, field.defaultInteger) != 0;
}

namespace {

void Save(const TConfig& config, SaveScope scope, const std::function<void(platform::ProfileFile&)>& finish)
{
    const QString path = SettingsPath();
    platform::ProfileFile file(path);
    // Saving rewrites the whole file from what was read; a file that exists but cannot be read would
    // lose every key this scope does not write.
    if (file.Load() == platform::ProfileFile::LoadResult::Unreadable)
        ThrowWriteError(path);
    // Only scope All writes passwords; the keyring takes them before the file changes.
    const bool keyringWasOn = file.ReadInteger("Config", "Keyring", 0) != 0;
    if (scope == SaveScope::All && config.Keyring)
        WriteKeyringPasswords(config);
    for (const auto& [section, key] : ScopeKeys(scope))
        WriteField(file, config, FindConfigField(section, key));
    if (scope == SaveScope::All || scope == SaveScope::Security)
        WriteTrustedCertificates(file, config);
    if (finish)
        finish(file);
    if (!file.Save())
        ThrowWriteError(path);
    // Entries that could not be read are kept: the file holds nothing of them either.
    if (scope == SaveScope::All && keyringWasOn && !config.Keyring && config.KeyringUnread == 0)
        ForgetKeyringPasswords();
}

} // namespace

void SaveSettings(const TConfig& config, SaveScope scope)
{
    Save(config, scope, {});
}

void SaveSettingsWithout(const TConfig& config, std::string_view section, std::string_view key)
{
    Save(config, SaveScope::All, [section, key](platform::ProfileFile& file) { file.DeleteKey(section, key); });
}

std::string CertificateKey(std::string_view host, int port)
{
    return AsciiLower(std::string(host)) + ":" + std::to_string(port);
}

bool IsCertificateTrusted(const TConfig& config, std::string_view host, int port,
                          std::string_view fingerprint)
{
    const auto it = config.TrustedCertificates.find(CertificateKey(host, port));
    return !fingerprint.empty() && it != config.TrustedCertificates.end() && it->second == fingerprint;
}

void AssignSettings(TConfig& dest, const TConfig& src)
{
    for (const ConfigField& f : ConfigFields()) {
        if (const auto* text = std::get_if<TextMember>(&f.member)) {
            if (*text != &TConfig::Version && *text != &TConfig::PrevIP && *text != &TConfig::PrevIPv6 &&
                !IsDdnsState(*text))
                dest.** text = src.**text;
        } else if (const auto* number = std::get_if<IntegerMember>(&f.member)) {
            // The window's place is the window's, kept up to date while a test holds a copy.
            if (!IsDdnsState(*number) && std::string_view(f.section) != "Window")
                dest.** number = src.**number;
        } else {
            const ListMember list = std::get<ListMember>(f.member);
            // The copy is made before the old list goes, so assigning an object to itself is safe.
            dest.*list = std::make_unique<text::StringList>(src.*list ? *(src.*list) : text::StringList{});
        }
    }
}

} // namespace settings
