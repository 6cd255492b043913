#include "validation/SettingsCheck.h"

#include "ddns/DdnsProvider.h"
#include "ddns/DdnsUpdater.h"
#include "ddns/PlainHttpRule.h"
#include "netinfo/Ipv6Choice.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace validation {

namespace {

using settings::TConfig;
using text::Sjis;

// A rule on values: the message of what is wrong, or an empty text.
struct ValueRule
{
    const char* section;
    const char* key;
    std::function<std::string(const TConfig&)> problem;
};

// A number and the range it must lie in; name is how messages call it (the dialog's label).
struct NumberRule
{
    const char* section;
    const char* key;
    std::int32_t TConfig::*member;
    const char8_t* name;
    std::int32_t minimum;
    std::int32_t maximum;
};

std::string When(bool wrong, std::u8string_view message)
{
    return wrong ? Sjis(message) : std::string();
}

// A host name or address may not hold blanks or control characters inside it (blanks around it are
// trimmed by whoever connects; a value of blanks alone counts as given, as in the dialog).
bool HostHasGaps(const std::string& host)
{
    const std::string_view t = [&host] {
        std::string_view v = host;
        while (!v.empty() && v.front() == ' ')
            v.remove_prefix(1);
        while (!v.empty() && v.back() == ' ')
            v.remove_suffix(1);
        return v;
    }();
    return std::any_of(t.begin(), t.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0x7F;
    });
}

std::string LowerAscii(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return s;
}

// Which [DDNS] key a dynamic DNS problem is about, so that the dialog can put the focus there and the
// tools can name it: the first needed value that is missing, else the server or the records.
const char* DdnsProblemKey(const TConfig& c)
{
    const std::string provider = LowerAscii(c.DdnsProvider);
    if (!ddns::MakeProvider(c.DdnsProvider))
        return "Provider";
    const bool hostsNeeded = provider != "mydns";
    if (hostsNeeded && ddns::HostsOf(c).empty())
        return "Hosts";
    const bool userNeeded = provider == "dyndns2" || provider == "mydns";
    const bool passNeeded = userNeeded || provider == "ddo" || provider == "ieserver";
    const bool tokenNeeded = provider == "duckdns" || provider == "cloudflare";
    if (tokenNeeded && c.DdnsToken.empty())
        return "Token";
    if (userNeeded && c.DdnsUser.empty())
        return "User";
    if (passNeeded && c.DdnsPass.empty())
        return "Pass";
    if (!c.DdnsServer.empty() && !ddns::PlainHttpProblem(c.DdnsServer).empty())
        return "Server";
    // What is left: the generic protocol's server (missing, or not usable), else the records the
    // provider cannot keep.
    return provider == "dyndns2" ? "Server" : "Records";
}

// The rules on values, in the order the dialog checks them. Add a rule here, beside its section's.
const std::vector<ValueRule>& ValueRules()
{
    static const std::vector<ValueRule> rules = {
        {"Gateway", "IP",
         [](const TConfig& c) {
             return When(c.GatewayAuto == 0 && c.GatewayIP.empty(), u8"ﾙｰﾀのIPｱﾄﾞﾚｽが未設定です。");
         }},
        {"Gateway", "IP",
         [](const TConfig& c) {
             return When(c.GatewayAuto == 0 && HostHasGaps(c.GatewayIP),
                         u8"ﾙｰﾀのIPｱﾄﾞﾚｽに空白や制御文字は使えません。");
         }},
        {"GlobalIP", "Key",
         [](const TConfig& c) {
             return When(c.GlobalIPAuto == 0 && c.GlobalIPKey.empty(),
                         u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索キーが未設定です。");
         }},
        {"GlobalIP", "EchoURL",
         [](const TConfig& c) {
             return When(c.Source2 == 2 && c.EchoURL.empty(), u8"確認用URLが未設定です。");
         }},
        {"IPv6", "Suffix",
         [](const TConfig& c) {
             // A suffix that is no interface identifier would publish an address nobody answers at.
             return When(c.Ipv6Use != 0 && !netinfo::IsValidIpv6Suffix(c.Ipv6Suffix),
                         u8"ｻﾌｨｯｸｽがｲﾝﾀｰﾌｪｲｽIDになっていません。下位64ﾋﾞｯﾄだけを ::10 のように書きます。");
         }},
        {"FTP", "Upload",
         [](const TConfig& c) {
             return When(c.FtpUpload == 0 && c.MailNotice == 0,
                         u8"FTPｱｯﾌﾟﾛｰﾄﾞかﾒｰﾙ通知どちらかを行う必要があります。");
         }},
        {"FTP", "Server",
         [](const TConfig& c) {
             return When(c.FtpUpload != 0 && c.FtpServer.empty(), u8"FTPｻｰﾊﾞｰが未設定です。");
         }},
        {"FTP", "Server",
         [](const TConfig& c) {
             return When(c.FtpUpload != 0 && HostHasGaps(c.FtpServer),
                         u8"FTPｻｰﾊﾞｰの名前に空白や制御文字は使えません。");
         }},
        {"Config", "ReplaceFolder",
         [](const TConfig& c) {
             if (c.FtpUpload == 0)
                 return std::string();
             if (c.ReplaceFolder.empty())
                 return Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが未設定です。");
             return When(!text::FolderExists(c.ReplaceFolder),
                         u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。");
         }},
        {"Config", "ReplaceLink",
         [](const TConfig& c) {
             return When(c.FtpUpload != 0 && c.ReplaceLink.empty(), u8"差し換えるﾘﾝｸが未設定です。");
         }},
        {"SMTP", "Server",
         [](const TConfig& c) {
             return When(c.MailNotice != 0 && c.SmtpServer.empty(), u8"SMTPｻｰﾊﾞｰが未設定です。");
         }},
        {"SMTP", "Server",
         [](const TConfig& c) {
             return When(c.MailNotice != 0 && HostHasGaps(c.SmtpServer),
                         u8"SMTPｻｰﾊﾞｰの名前に空白や制御文字は使えません。");
         }},
        {"POP", "Server",
         [](const TConfig& c) {
             return When(c.MailNotice != 0 && c.PopLogon != 0 && c.PopServer.empty(),
                         u8"POPｻｰﾊﾞｰが未設定です。");
         }},
        {"POP", "Server",
         [](const TConfig& c) {
             return When(c.MailNotice != 0 && c.PopLogon != 0 && HostHasGaps(c.PopServer),
                         u8"POPｻｰﾊﾞｰの名前に空白や制御文字は使えません。");
         }},
        {"Config", "MailAddress",
         [](const TConfig& c) {
             return When(c.MailNotice != 0 && c.MailAddress.empty(), u8"通知先ｱﾄﾞﾚｽが未設定です。");
         }},
    };
    return rules;
}

// The numbers and their ranges. The dialog's boxes come first, in its order; then what only the file
// holds. Ports are those of TCP; the minutes are those of the dialog's up-down controls.
const std::vector<NumberRule>& NumberRules()
{
    static const std::vector<NumberRule> rules = {
        {"Config", "Interval", &TConfig::Interval, u8"ｽﾃｰﾀｽﾁｪｯｸ間隔", 1, 999},
        {"Config", "TimeOut", &TConfig::TimeOut, u8"ｱｯﾌﾟﾛｰﾄﾞ処理ﾀｲﾑｱｳﾄ", 1, 999},
        {"FTP", "Port", &TConfig::FtpPort, u8"FTPﾎﾟｰﾄ", 1, 65535},
        {"SMTP", "Port", &TConfig::SmtpPort, u8"SMTPﾎﾟｰﾄ", 1, 65535},
        {"POP", "Port", &TConfig::PopPort, u8"POPﾎﾟｰﾄ", 1, 65535},
        {"GlobalIP", "Source2", &TConfig::Source2, u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの2番目の取得元", 0, 2},
        {"FTP", "Security", &TConfig::FtpSecurity, u8"FTPの暗号化", 0, 2},
        {"SMTP", "Security", &TConfig::SmtpSecurity, u8"SMTPの暗号化", 0, 2},
        {"POP", "Security", &TConfig::PopSecurity, u8"POPの暗号化", 0, 2},
        {"Config", "NoticeItem", &TConfig::NoticeItem, u8"通知する項目", 0, 7},
        {"Config", "LogRowMax", &TConfig::LogRowMax, u8"ﾛｸﾞの最大行数", 0, 1000000},
        {"Closed", "Mode", &TConfig::ClosedMode, u8"終了時ｱｯﾌﾟﾛｰﾄﾞの方法", 0, 1},
    };
    return rules;
}

std::string Quoted(const NumberRule& rule)
{
    return Sjis(u8"「") + Sjis(rule.name) + Sjis(u8"」");
}

std::string NumberProblem(const NumberRule& rule, const TConfig& c, const NumberTexts& typed)
{
    const std::string quoted = Quoted(rule);
    const auto text = typed.find(std::string(rule.section) + "." + rule.key);
    if (text != typed.end()) {
        if (const auto refusal = CheckNumberText(rule.section, rule.key, text->second))
            return refusal->message;
    }
    const std::int32_t value = c.*rule.member;
    if (value >= rule.minimum && value <= rule.maximum)
        return {};
    return quoted + Sjis(u8"には") + std::to_string(rule.minimum) + Sjis(u8"～") +
           std::to_string(rule.maximum) + Sjis(u8"の整数を入力してください。");
}

} // namespace

std::vector<SettingsProblem> CheckSettings(const TConfig& config, const NumberTexts& typed)
{
    std::vector<SettingsProblem> problems;
    for (const ValueRule& rule : ValueRules()) {
        std::string message = rule.problem(config);
        if (!message.empty())
            problems.push_back({rule.section, rule.key, std::move(message)});
    }
    if (config.DdnsUse != 0) {
        const std::string problem = ddns::DdnsSettingsProblem(config);
        if (!problem.empty())
            problems.push_back({"DDNS", DdnsProblemKey(config), problem + Sjis(u8"。")});
    }
    for (const NumberRule& rule : NumberRules()) {
        std::string message = NumberProblem(rule, config, typed);
        if (!message.empty())
            problems.push_back({rule.section, rule.key, std::move(message)});
    }
    return problems;
}

std::optional<SettingsProblem> CheckNumberText(std::string_view section, std::string_view key,
                                               std::string_view text)
{
    if (WholeNumber(text))
        return std::nullopt;
    for (const NumberRule& rule : NumberRules())
        if (section == rule.section && key == rule.key)
            return SettingsProblem{rule.section, rule.key,
                                   Quoted(rule) + Sjis(u8"には整数を入力してください。")};
    return std::nullopt;
}

std::optional<std::int32_t> WholeNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace validation
