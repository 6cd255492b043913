#include "settings/ConfigFields.h"

#include <stdexcept>
#include <string>

namespace settings {

namespace {

#ifdef _WIN32
constexpr const char* kDefaultReplaceFolder = "C:\\My Documents\\My Webs";
constexpr const char* kDefaultReplaceLink = "C:\\Inetpub\\webpub";
#else
// The usual places of a personal and of the system's web folder on a POSIX machine.
constexpr const char* kDefaultReplaceFolder = "~/public_html";
constexpr const char* kDefaultReplaceLink = "/var/www/html";
#endif

ConfigField Text(const char* section, const char* key, TextMember m, const char* def = "")
{
    return {section, key, FieldCoding::Text, m, def};
}

ConfigField Integer(const char* section, const char* key, IntegerMember m, std::int32_t def)
{
    return {section, key, FieldCoding::Integer, m, nullptr, def};
}

ConfigField Password(const char* section, const char* key, TextMember m, int service, const char* def = "")
{
    ConfigField f{section, key, FieldCoding::Password, m, def};
    f.service = service;
    return f;
}

ConfigField Keywords(const char* section, const char* key, ListMember m)
{
    return {section, key, FieldCoding::Keywords, m, ""};
}

std::vector<ConfigField> BuildFields()
{
    using C = TConfig;
    std::vector<ConfigField> f;
    f.push_back(Text("About", "Version", &C::Version, "1.0"));
    f.push_back(Integer("Config", "LeavePlural", &C::LeavePlural, 1));
    f.push_back(Integer("Config", "ShowWindow", &C::ShowWindow, 1));
    f.push_back(Integer("Config", "AutoRun", &C::AutoRun, 0));
    f.push_back(Integer("Config", "RecLog", &C::RecLog, 1));
    f.push_back(Integer("Config", "Interval", &C::Interval, 3));
    f.push_back(Integer("Config", "TimeOut", &C::TimeOut, 3));
    f.push_back(Integer("Gateway", "Auto", &C::GatewayAuto, 1));
    f.push_back(Text("Gateway", "IP", &C::GatewayIP, "192.168.1.1"));
    f.push_back(Text("Status", "URL", &C::StatusURL, "/cgi-bin/main.cgi?cc_webname=STATUS"));
    f.push_back(Text("Status", "POST", &C::StatusPost));
    f.push_back(Integer("Status", "Logon", &C::StatusLogon, 1));
    f.push_back(Text("Status", "User", &C::StatusUser, "root"));
    f.push_back(Password("Status", "Pass", &C::StatusPass, psStatus, "kiwi"));
    f.push_back(Integer("GlobalIP", "Auto", &C::GlobalIPAuto, 1));
    ConfigField key{"GlobalIP", "Key", FieldCoding::Base64Since1_2, &C::GlobalIPKey, "ADSL IP"};
    key.emptyMeansDefault = true;
    f.push_back(key);
    f.push_back(Integer("Status", "NoScript", &C::NoScript, 0));
    f.push_back(Integer("FTP", "Upload", &C::FtpUpload, 1));
    f.push_back(Text("FTP", "Server", &C::FtpServer));
    f.push_back(Text("FTP", "User", &C::FtpUser));
    f.push_back(Password("FTP", "Pass", &C::FtpPass, psFtp));
    f.push_back(Text("FTP", "Dir", &C::FtpDir));
    f.push_back(Integer("FTP", "PASV", &C::FtpPasv, 0));
    f.push_back(Integer("FTP", "Port", &C::FtpPort, 21));
    f.push_back(Integer("Config", "MailNotice", &C::MailNotice, 0));
    f.push_back(Text("Config", "MailAddress", &C::MailAddress));
    f.push_back(Text("Config", "MailAddressFrom", &C::MailAddressFrom, nullptr));
    f.push_back(Integer("Config", "MailHanKana", &C::MailHanKana, 1));
    f.push_back(Text("SMTP", "Server", &C::SmtpServer));
    f.push_back(Text("SMTP", "User", &C::SmtpUser));
    f.push_back(Integer("SMTP", "Logon", &C::SmtpLogon, 0));
    f.push_back(Password("SMTP", "Pass", &C::SmtpPass, psSmtp));
    f.push_back(Integer("SMTP", "Port", &C::SmtpPort, 25));
    f.push_back(Integer("POP", "Logon", &C::PopLogon, 0));
    f.push_back(Text("POP", "Server", &C::PopServer));
    f.push_back(Text("POP", "User", &C::PopUser));
    f.push_back(Password("POP", "Pass", &C::PopPass, psPop));
    f.push_back(Integer("POP", "Port", &C::PopPort, 110));
    f.push_back(Integer("Config", "NoticeItem", &C::NoticeItem, 1));
    f.push_back(Text("Config", "ReplaceFolder", &C::ReplaceFolder, kDefaultReplaceFolder));
    f.push_back(Integer("Config", "ReplaceAllFolder", &C::ReplaceAllFolder, 0));
    f.push_back(Text("Config", "ReplaceLink", &C::ReplaceLink, kDefaultReplaceLink));
    ConfigField ext = Text("Config", "ReplaceExt", &C::ReplaceExt, "*.htm;*.html;*.shtm;*.shtml");
    ext.emptyMeansDefault = true;
    f.push_back(ext);
    f.push_back(Integer("Config", "ReplaceOnly", &C::ReplaceOnly, 1));
    f.push_back(Integer("Config", "LogRowMax", &C::LogRowMax, 300));
    f.push_back(Text("Config", "PrevIP", &C::PrevIP));
    f.push_back(Integer("ForRobot", "Use", &C::RobotUse, 0));
    f.push_back(Integer("ForRobot", "No", &C::RobotNo, 0));
    f.push_back(Keywords("ForRobot", "KeyJP", &C::KeywordsJP));
    f.push_back(Text("ForRobot", "DescriptionJP", &C::DescriptionJP));
    f.push_back(Keywords("ForRobot", "KeyEN", &C::KeywordsEN));
    f.push_back(Text("ForRobot", "DescriptionEN", &C::DescriptionEN));
    f.push_back(Integer("Closed", "Use", &C::ClosedUse, 0));
    f.push_back(Integer("Closed", "Mode", &C::ClosedMode, 0));
    f.push_back(Integer("Closed", "Fast", &C::ClosedFast, 0));
    f.push_back({"Closed", "String", FieldCoding::Base64, &C::ClosedString, ""});
    f.push_back(Text("Closed", "File", &C::ClosedFile));
    f.push_back(Integer("Config", "IPtoURL", &C::IPtoURL, 0));
    // Keys newer than the Windows releases are written only once they are used, so a file that never
    // used them stays byte for byte what older releases wrote.
    for (ConfigField field :
         {Integer("GlobalIP", "Source2", &C::Source2, 0), Text("GlobalIP", "EchoURL", &C::EchoURL),
          Text("FTP", "CheckURL", &C::FtpCheckURL), Integer("FTP", "Parallel", &C::FtpParallel, 1)}) {
        field.writtenWhenSet = true;
        f.push_back(field);
    }
    for (const auto& [section, member] :
         {std::pair{"FTP", &C::FtpSecurity}, std::pair{"SMTP", &C::SmtpSecurity},
          std::pair{"POP", &C::PopSecurity}}) {
        ConfigField security = Integer(section, "Security", member, 0);
        security.writtenWhenSet = true;
        f.push_back(security);
    }
    for (ConfigField field :
         {Integer("IPv6", "Use", &C::Ipv6Use, 0), Text("IPv6", "Interface", &C::Ipv6Interface),
          Text("IPv6", "Suffix", &C::Ipv6Suffix), Text("IPv6", "PrevIPv6", &C::PrevIPv6)}) {
        field.writtenWhenSet = true;
        f.push_back(field);
    }
    ConfigField engine = Integer("Status", "Engine", &C::StatusEngine, 0);
    engine.writtenWhenSet = true;
    f.push_back(engine);
    ConfigField keyring = Integer("Config", "Keyring", &C::Keyring, 0);
    keyring.writtenWhenSet = true;
    f.push_back(keyring);
    // Dynamic DNS: what the settings dialog edits, then what the updates learn.
    const ConfigField ddns[] = {
        Integer("DDNS", "Use", &C::DdnsUse, 0),
        Text("DDNS", "Provider", &C::DdnsProvider, "dyndns2"),
        Text("DDNS", "Hosts", &C::DdnsHosts),
        Text("DDNS", "User", &C::DdnsUser),
        Password("DDNS", "Pass", &C::DdnsPass, psDdns),
        Password("DDNS", "Token", &C::DdnsToken, psDdnsToken),
        Integer("DDNS", "Records", &C::DdnsRecords, 4),
        Text("DDNS", "Server", &C::DdnsServer),
        Text("DDNS", "Zone", &C::DdnsZone),
        Text("DDNS", "KeyName", &C::DdnsKeyName),
        Text("DDNS", "KeyAlgorithm", &C::DdnsKeyAlgorithm, "hmac-sha256"),
        Text("DDNS", "TestURL", &C::DdnsTestURL),
        Text("DDNS", "SentA", &C::DdnsSentA),
        Text("DDNS", "SentAAAA", &C::DdnsSentAAAA),
        Text("DDNS", "Updated", &C::DdnsUpdated),
        Integer("DDNS", "Stopped", &C::DdnsStopped, 0),
        Text("DDNS", "StopReason", &C::DdnsStopReason),
        Text("DDNS", "StateOf", &C::DdnsStateOf),
        Text("DDNS", "RetryAt", &C::DdnsRetryAt),
        Integer("DDNS", "Failures", &C::DdnsFailures, 0),
        Text("DDNS", "HostState", &C::DdnsHostState),
    };
    for (ConfigField field : ddns) {
        field.writtenWhenSet = true;
        f.push_back(field);
    }
    // The main window's place, learned from the window like PrevIP from the router.
    for (ConfigField field : {Integer("Window", "Left", &C::WindowLeft, 0), Integer("Window", "Top", &C::WindowTop, 0),
                              Integer("Window", "Width", &C::WindowWidth, 0),
                              Integer("Window", "Height", &C::WindowHeight, 0)}) {
        field.writtenWhenSet = true;
        f.push_back(field);
    }
    return f;
}

} // namespace

const std::vector<ConfigField>& ConfigFields()
{
    static const std::vector<ConfigField> fields = BuildFields();
    return fields;
}

const ConfigField& FindConfigField(std::string_view section, std::string_view key)
{
    for (const ConfigField& f : ConfigFields())
        if (section == f.section && key == f.key)
            return f;
    throw std::logic_error("no settings field " + std::string(section) + "/" + std::string(key));
}

} // namespace settings
