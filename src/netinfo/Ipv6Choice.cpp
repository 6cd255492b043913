#include "netinfo/Ipv6Choice.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <cstring>

namespace netinfo {

namespace {

using text::Sjis;
using Bytes = unsigned char[16];

bool IsZero(const unsigned char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

// Why an address cannot be published whatever its lifetime; empty when it can.
std::string RangeReason(const Bytes& a)
{
    static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (std::memcmp(a, loopback, 16) == 0)
        return Sjis(u8"ﾙｰﾌﾟﾊﾞｯｸｱﾄﾞﾚｽ(::1)");
    if (a[0] == 0xFE && (a[1] & 0xC0) == 0x80)
        return Sjis(u8"ﾘﾝｸﾛｰｶﾙｱﾄﾞﾚｽ(fe80::/10)。同じﾘﾝｸの中でしか使えません");
    if ((a[0] & 0xFE) == 0xFC)
        return Sjis(u8"ﾕﾆｰｸﾛｰｶﾙｱﾄﾞﾚｽ(fc00::/7)。外からは届きません");
    if (a[0] == 0xFF)
        return Sjis(u8"ﾏﾙﾁｷｬｽﾄｱﾄﾞﾚｽ(ff00::/8)");
    if ((a[0] & 0xE0) != 0x20)
        return Sjis(u8"ｸﾞﾛｰﾊﾞﾙﾕﾆｷｬｽﾄｱﾄﾞﾚｽ(2000::/3)ではありません");
    return {};
}

// Why an address of the global range is not stable enough to publish; empty when it is.
std::string StateReason(const platform::Ipv6AddressRecord& r)
{
    if (r.flags & platform::ipv6DadFailed)
        return Sjis(u8"重複ｱﾄﾞﾚｽ検出(DAD)で同じｱﾄﾞﾚｽが見つかり、使えません");
    if (r.flags & platform::ipv6Tentative)
        return Sjis(u8"重複ｱﾄﾞﾚｽ検出(DAD)の途中で、まだ使えません");
    if (r.flags & platform::ipv6Temporary)
        return Sjis(u8"一時ｱﾄﾞﾚｽ(ﾌﾟﾗｲﾊﾞｼｰ拡張)。時間がたつと変わります");
    if ((r.flags & platform::ipv6Deprecated) || r.preferredLifetime == 0 || r.validLifetime == 0)
        return Sjis(u8"非推奨(deprecated)のｱﾄﾞﾚｽ。まもなく使えなくなります");
    return {};
}

std::string LifetimeText(std::uint32_t seconds)
{
    return seconds == platform::kIpv6Forever ? Sjis(u8"無期限") : std::to_string(seconds) + Sjis(u8"秒");
}

// The suffix as 16 bytes; false when it is no interface identifier.
bool ParseSuffix(const std::string& suffix, Bytes& bytes)
{
    std::string text = suffix;
    // "10" or "1:2:3:4" name the identifier alone; "::10" is the usual way to write it.
    if (text.find("::") == std::string::npos && text.find('.') == std::string::npos) {
        size_t groups = 1;
        for (char c : text)
            groups += c == ':';
        if (groups < 8)
            text = "::" + text;
    }
    if (!platform::Ipv6FromText(text, bytes))
        return false;
    return IsZero(bytes, 8) && !IsZero(bytes + 8, 8);
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The address to publish for a chosen one: its /64 prefix with the suffix's interface identifier.
std::string WithSuffix(const std::string& address, const Bytes& suffixBytes)
{
    Bytes bytes;
    platform::Ipv6FromText(address, bytes);
    std::memcpy(bytes + 8, suffixBytes + 8, 8);
    return platform::Ipv6ToText(bytes, 16);
}

// Whether two texts name the same address (one may be written in another form by hand).
bool SameAddress(const std::string& a, const std::string& b)
{
    Bytes x;
    Bytes y;
    return platform::Ipv6FromText(a, x) && platform::Ipv6FromText(b, y) && std::memcmp(x, y, 16) == 0;
}

// The usable addresses in turn: the first of the longest preferred lifetime wins, unless one of them
// is the published address. A published address stays while it is usable, so two good addresses
// whose lifetimes are refreshed at different moments do not take turns.
struct Ranking
{
    int best = -1;
    std::uint32_t bestRank = 0;
    bool kept = false; // best is the published address

    void Offer(int index, std::uint32_t preferredLifetime, bool published)
    {
        if (kept)
            return;
        if (published || best < 0 || preferredLifetime > bestRank) {
            best = index;
            bestRank = preferredLifetime;
            kept = published;
        }
    }
};

// The usable addresses that lost say to what.
void ExplainLosers(const platform::Ipv6AddressTable& table, const Ranking& ranking,
                   const std::string& published, Ipv6Choice& choice)
{
    for (size_t i = 0; i < choice.candidates.size(); ++i) {
        Ipv6Candidate& c = choice.candidates[i];
        if (!c.reason.empty())
            continue;
        if (static_cast<int>(i) == ranking.best) {
            c.chosen = true;
            continue;
        }
        const std::uint32_t lifetime = table.addresses[i].preferredLifetime;
        const std::uint32_t bestRank = ranking.bestRank;
        c.reason = ranking.kept
                       ? Sjis(u8"公開中のｱﾄﾞﾚｽ(") + published + Sjis(u8")が使える間はそれを使い続けます")
                   : bestRank == platform::kIpv6Forever && lifetime != platform::kIpv6Forever
                       ? Sjis(u8"有効期限があります(推奨期間の残り") + LifetimeText(lifetime) +
                             Sjis(u8")。無期限のｱﾄﾞﾚｽを選びました")
                   : lifetime == bestRank
                       ? Sjis(u8"先に見つかったｱﾄﾞﾚｽを選びました")
                       : Sjis(u8"推奨期間の残り(") + LifetimeText(lifetime) + Sjis(u8")がより短いため");
    }
}

} // namespace

bool IsValidIpv6Suffix(const std::string& suffix)
{
    const std::string trimmed = Trimmed(suffix);
    Bytes bytes;
    return trimmed.empty() || ParseSuffix(trimmed, bytes);
}

std::string Ipv6Prefix64(const std::string& address)
{
    Bytes bytes;
    if (!platform::Ipv6FromText(address, bytes))
        return {};
    std::memset(bytes + 8, 0, 8);
    return platform::Ipv6ToText(bytes, 16);
}

bool Ipv6PrefixChanged(const std::string& previous, const std::string& current)
{
    const std::string a = Ipv6Prefix64(previous);
    const std::string b = Ipv6Prefix64(current);
    return !a.empty() && !b.empty() && a != b;
}

Ipv6Choice ChooseIpv6Address(const platform::Ipv6AddressTable& table, const std::string& interfaceName,
                             const std::string& suffix, const std::string& published)
{
    Ipv6Choice choice;
    const std::string wanted = Trimmed(interfaceName);
    const std::string suffixText = Trimmed(suffix);
    Bytes suffixBytes{};
    if (!suffixText.empty() && !ParseSuffix(suffixText, suffixBytes))
        choice.error = Sjis(u8"ｻﾌｨｯｸｽ(") + suffixText +
                       Sjis(u8")がｲﾝﾀｰﾌｪｲｽIDになっていません。下位64ﾋﾞｯﾄだけを ::10 のように書きます。");
    if (table.error != 0) {
        choice.error =
            Sjis(u8"IPv6ｱﾄﾞﾚｽの一覧を読めませんでした。") + platform::Utf8ToCp932(std::strerror(table.error));
        return choice;
    }
    const auto publishedAs = [&](const std::string& address) {
        return suffixText.empty() ? address : WithSuffix(address, suffixBytes);
    };

    // The best so far: its index among the candidates and its rank (a longer preferred lifetime
    // ranks higher; no expiry ranks highest). The published address, while usable, beats any rank.
    Ranking ranking;
    bool interfaceSeen = wanted.empty();
    for (const platform::Ipv6AddressRecord& r : table.addresses) {
        Ipv6Candidate c{platform::Utf8ToCp932(r.interfaceName), r.address, false, {}};
        Bytes bytes;
        if (!platform::Ipv6FromText(r.address, bytes)) {
            c.reason = Sjis(u8"ｱﾄﾞﾚｽとして読めません");
        } else if (!wanted.empty() && r.interfaceName != wanted) {
            c.reason = Sjis(u8"指定のｲﾝﾀｰﾌｪｲｽ(") + platform::Utf8ToCp932(wanted) + Sjis(u8")ではありません");
        } else {
            interfaceSeen = true;
            c.reason = RangeReason(bytes);
            if (c.reason.empty())
                c.reason = StateReason(r);
        }
        if (c.reason.empty())
            ranking.Offer(static_cast<int>(choice.candidates.size()), r.preferredLifetime,
                          SameAddress(publishedAs(r.address), published));
        choice.candidates.push_back(std::move(c));
    }
    ExplainLosers(table, ranking, published, choice);
    if (!choice.error.empty())
        return choice;
    if (ranking.best < 0) {
        choice.error = !interfaceSeen ? Sjis(u8"ｲﾝﾀｰﾌｪｲｽ ") + platform::Utf8ToCp932(wanted) +
                                            Sjis(u8" にIPv6ｱﾄﾞﾚｽがありません。")
                                      : Sjis(u8"公開できるIPv6ｱﾄﾞﾚｽ(固定のｸﾞﾛｰﾊﾞﾙｱﾄﾞﾚｽ)がありません。");
        return choice;
    }
    const platform::Ipv6AddressRecord& chosen = table.addresses[static_cast<size_t>(ranking.best)];
    choice.interfaceName = platform::Utf8ToCp932(chosen.interfaceName);
    choice.address = publishedAs(chosen.address);
    return choice;
}

Ipv6Choice ChooseIpv6Address(const std::string& interfaceName, const std::string& suffix,
                             const std::string& published)
{
    return ChooseIpv6Address(platform::ReadMachineIpv6Addresses(), interfaceName, suffix, published);
}

std::vector<std::string> ExplainIpv6Choice(const Ipv6Choice& choice)
{
    std::vector<std::string> lines;
    if (choice.candidates.empty())
        lines.push_back(Sjis(u8"IPv6ｱﾄﾞﾚｽがひとつもありません。"));
    for (const Ipv6Candidate& c : choice.candidates)
        lines.push_back(c.interfaceName + "  " + c.address + "  " +
                        (c.chosen ? Sjis(u8"採用") : Sjis(u8"除外 (") + c.reason + ")"));
    if (!choice.address.empty()) {
        std::string result = Sjis(u8"結果: ") + choice.address + " (" + choice.interfaceName + ")";
        for (const Ipv6Candidate& c : choice.candidates)
            if (c.chosen && c.address != choice.address)
                result += Sjis(u8" ｻﾌｨｯｸｽを") + c.address + Sjis(u8"のﾌﾟﾚﾌｨｯｸｽ(/64)に付けたｱﾄﾞﾚｽ");
        lines.push_back(result);
    } else {
        lines.push_back(Sjis(u8"結果: 見つかりませんでした。") + choice.error);
    }
    return lines;
}

} // namespace netinfo
