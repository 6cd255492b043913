// The search's decisions told to people: the explanation of "why this address" and the log row that
// names an address the search had to pass over. Texts are code page 932, in the program's half-width
// style.
#include "core/AddressSearch.h"
#include "text/Sjis.h"

namespace core {

namespace {

using text::Sjis;

std::string RangeName(UnusableRange range)
{
    switch (range) {
    case UnusableRange::CarrierGradeNat:
        return Sjis(u8"ｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ(100.64.0.0/10)");
    case UnusableRange::Loopback:
        return Sjis(u8"ﾙｰﾌﾟﾊﾞｯｸｱﾄﾞﾚｽ(127.0.0.0/8)");
    case UnusableRange::LinkLocal:
        return Sjis(u8"ﾘﾝｸﾛｰｶﾙｱﾄﾞﾚｽ(169.254.0.0/16)");
    case UnusableRange::DsLite:
        return Sjis(u8"DS-LiteのWAN側ｱﾄﾞﾚｽ(192.0.0.0/24)");
    case UnusableRange::Multicast:
        return Sjis(u8"ﾏﾙﾁｷｬｽﾄまたは予約済みのｱﾄﾞﾚｽ(224以上)");
    case UnusableRange::None:
        break;
    }
    return {};
}

// What the range means for the user, after "外からは届きません。".
std::string RangeHint(UnusableRange range)
{
    switch (range) {
    case UnusableRange::CarrierGradeNat:
        return Sjis(u8"ﾙｰﾀにｸﾞﾛｰﾊﾞﾙIPが割り当てられていません。");
    case UnusableRange::LinkLocal:
        return Sjis(u8"ﾙｰﾀのWAN側がつながっていない時のｱﾄﾞﾚｽです。");
    case UnusableRange::DsLite:
        return Sjis(u8"この回線にはIPv4の着信がありません。");
    default:
        break;
    }
    return {};
}

std::string VerdictText(const AddressCandidate& c)
{
    switch (c.verdict) {
    case CandidateVerdict::Taken:
        return Sjis(u8"採用");
    case CandidateVerdict::OutOfBounds:
        return Sjis(u8"除外 (ﾎｽﾄのｱﾄﾞﾚｽにならない数字)");
    case CandidateVerdict::AfterDnsLabel:
        return Sjis(u8"除外 (｢DNS｣の後の最初のｱﾄﾞﾚｽ: DNSｻｰﾊﾞｰ)");
    case CandidateVerdict::PrivateRange:
        return Sjis(u8"除外 (ﾌﾟﾗｲﾍﾞｰﾄｱﾄﾞﾚｽ)");
    case CandidateVerdict::Unusable:
        return Sjis(u8"除外 (") + RangeName(c.range) + Sjis(u8"。外からは届きません)");
    }
    return {};
}

} // namespace

std::vector<std::string> ExplainAddressSearch(const AddressSearchLog& log)
{
    std::vector<std::string> lines;
    if (log.keySearch) {
        if (!log.keyFound) {
            lines.push_back(Sjis(u8"検索ｷｰが見つかりません。"));
            lines.push_back(Sjis(u8"結果: 見つかりませんでした。"));
            return lines;
        }
        lines.push_back(Sjis(u8"検索ｷｰ: ") + std::to_string(log.keyPosition) +
                        Sjis(u8"文字目 (この後だけを検索します)"));
    }
    if (log.notScanned)
        lines.push_back(Sjis(u8"最初の｢.｣が1,2文字目にあるため、検索しません。"));
    else if (log.candidates.empty())
        lines.push_back(Sjis(u8"IPｱﾄﾞﾚｽらしい文字列がありません。"));
    for (const AddressCandidate& c : log.candidates)
        lines.push_back(std::to_string(c.position) + Sjis(u8"文字目 ") + c.address + "  " + VerdictText(c));
    lines.push_back(log.result.empty() ? Sjis(u8"結果: 見つかりませんでした。")
                                       : Sjis(u8"結果: ") + log.result);
    return lines;
}

std::string UnusableAddressNote(const AddressSearchLog& log)
{
    if (!log.result.empty())
        return {};
    for (const AddressCandidate& c : log.candidates)
        if (c.verdict == CandidateVerdict::Unusable)
            return c.address + Sjis(u8"は") + RangeName(c.range) +
                   Sjis(u8"のため使えません。外からは届きません。") + RangeHint(c.range);
    return {};
}

} // namespace core
