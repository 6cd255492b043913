#include "core/AddressSearch.h"
#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"
#include "text/NumericUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <gtest/gtest.h>
#include <random>
#include <variant>

using core::FindNextAddress;
using core::NormalizePageCode;
using core::SearchAddressAfterKey;
using core::SearchAddressAuto;
using text::Sjis;

namespace {

// The automatic scan written the straightforward way, with the character-position helpers on the
// whole text (quadratic, fine for short texts): the fast scan must give the same answer everywhere.
std::string ReferenceSearchAuto(const std::string& t)
{
    std::vector<long> labels;
    for (long p = text::InStrChars(t, "DNS"); p > 0; p = text::InStrFrom(p + 3, t, "DNS"))
        labels.push_back(p);
    const auto value = [](const std::string& s, long long& out) {
        const text::LeadingNumberResult n = text::LeadingNumber(s);
        if (std::holds_alternative<int>(n)) {
            out = 0;
            return true;
        }
        const std::string& w = std::get<std::string>(n);
        if (w == "+" || w == "-")
            return false;
        out = std::stoll(w);
        return true;
    };
    for (long d = text::InStrChars(t, "."); d > 2; d = text::InStrFrom(d + 1, t, ".")) {
        std::string f;
        for (long k = 1; k <= 3; ++k)
            if (d - k >= 1) {
                const std::string ch = text::MidChars(t, d - k, 1);
                if (text::IsNumericText(ch))
                    f = ch + f;
            }
        if (f.empty())
            continue;
        const text::StringList pieces = text::SplitText(text::MidChars(t, d + 1, 11), ".", true);
        if (pieces.size() != 3)
            continue;
        long long a, b, c, e;
        if (!value(f, a) || !value(pieces[0], b) || !value(pieces[1], c) || !value(pieces[2], e))
            continue;
        if (!(a >= 1 && a <= 254 && b >= 0 && b <= 255 && c >= 0 && c <= 255 && e >= 1 && e <= 254))
            continue;
        bool usedUp = false;
        for (long& label : labels)
            if (label > 0 && label < d) {
                label = 0;
                usedUp = true;
                break;
            }
        if (usedUp)
            continue;
        if (a == 10 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168))
            continue;
        if ((a == 100 && b >= 64 && b <= 127) || a == 127 || (a == 169 && b == 254) ||
            (a == 192 && b == 0 && c == 0) || a >= 224)
            continue;
        return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
               std::to_string(e);
    }
    return {};
}

} // namespace

TEST(AutomaticSearch, TakesThePublicAddressAndSkipsPrivateOnes)
{
    EXPECT_EQ(SearchAddressAuto("WAN 203.0.113.5"), "203.0.113.5");
    EXPECT_EQ(SearchAddressAuto("LAN 192.168.0.1 WAN 203.0.113.5"), "203.0.113.5");
    EXPECT_EQ(SearchAddressAuto("010.1.2.3"), "");
    EXPECT_EQ(SearchAddressAuto("x 10.0.0.1"), "");
    EXPECT_EQ(SearchAddressAuto("x 172.16.0.1"), "");
    EXPECT_EQ(SearchAddressAuto("x 172.31.255.1"), "");
    EXPECT_EQ(SearchAddressAuto("x 192.168.255.254"), "");
    // The scan goes on at the next dot, whose window may read as an address of its own.
    EXPECT_EQ(SearchAddressAuto("x 172.16.0.1 z 172.31.255.1"), "16.0.1.3");
    EXPECT_EQ(SearchAddressAuto("x 172.15.0.1"), "172.15.0.1");
    EXPECT_EQ(SearchAddressAuto("x 172.32.0.1"), "172.32.0.1");
    EXPECT_EQ(SearchAddressAuto("x 211.005.006.007"), "211.5.6.7");
    EXPECT_EQ(SearchAddressAuto(""), "");
    EXPECT_EQ(SearchAddressAuto("no dots at all"), "");
}

TEST(AutomaticSearch, RejectsOutOfBoundsValues)
{
    EXPECT_EQ(SearchAddressAuto("x 203.0.113.255"), "");
    EXPECT_EQ(SearchAddressAuto("x 0.1.2.3"), "");
    EXPECT_EQ(SearchAddressAuto("x 203.0.113.0"), "");
    EXPECT_EQ(SearchAddressAuto("mask 255.255.255.0 WAN 198.51.100.20"), "198.51.100.20");
    EXPECT_EQ(SearchAddressAuto("x 203.256.1.1"), "");
    // A sign alone is no number; a signed number is one.
    EXPECT_EQ(SearchAddressAuto("x 203.+.1.1"), "");
    EXPECT_EQ(SearchAddressAuto("x 203.+7.1.1"), "203.7.1.1");
}

TEST(AutomaticSearch, EachDnsLabelUsesUpOneAddress)
{
    EXPECT_EQ(SearchAddressAuto("DNS 203.0.113.7 IP 203.0.113.9"), "203.0.113.9");
    EXPECT_EQ(SearchAddressAuto("DNS1 203.0.113.7 DNS2 203.0.113.8 WAN 203.0.113.9"), "203.0.113.9");
    EXPECT_EQ(SearchAddressAuto("DNS 203.0.113.7, 203.0.113.8 IP 203.0.113.9"), "113.7.0.11");
    EXPECT_EQ(SearchAddressAuto("dns 203.0.113.7"), "203.0.113.7");
    // A label also uses up a private address that passes the bounds.
    EXPECT_EQ(SearchAddressAuto("DNS 192.168.0.1 WAN 203.0.113.9"), "203.0.113.9");
    // Labels after the address do not count for it.
    EXPECT_EQ(SearchAddressAuto("WAN 203.0.113.9 DNS 203.0.113.7"), "203.0.113.9");
}

TEST(AutomaticSearch, LeadingDigitsAndWindowQuirks)
{
    EXPECT_EQ(SearchAddressAuto("a5x.1.2.3"), "5.1.2.3");
    EXPECT_EQ(SearchAddressAuto("IP:203.0.113.5."), "");
    EXPECT_EQ(SearchAddressAuto("IP:203.0.113.5. then 198.51.100.1"), "198.51.100.1");
    // The scan does not start when the first dot is the first or second character.
    EXPECT_EQ(SearchAddressAuto(".x 203.0.113.5"), "");
    EXPECT_EQ(SearchAddressAuto("1.2.3.4 and 203.0.113.5"), "");
    EXPECT_EQ(SearchAddressAuto("12.3.4.5"), "12.3.4.5");
}

TEST(AutomaticSearch, CountsDoubleByteCharactersAsOne)
{
    // "ア" before the dot is one character; a dot can only be found at a character start.
    const std::string kana = Sjis(u8"グローバルIPアドレス:203.0.113.5");
    EXPECT_EQ(SearchAddressAuto(kana), "203.0.113.5");
    // A double-byte character right before the digits does not count as a digit.
    EXPECT_EQ(SearchAddressAuto(Sjis(u8"表203.0.113.5")), "203.0.113.5");
    // The window after a dot counts characters: 11 double-byte characters hide a later number.
    EXPECT_EQ(SearchAddressAuto("x 203." + Sjis(u8"あいうえおかきくけこさ") + ".1.2"), "");
    // Bytes that form "DNS" across two characters are no label.
    EXPECT_EQ(SearchAddressAuto("\x83"
                                "DNS 203.0.113.7"),
              "203.0.113.7");
}

TEST(AutomaticSearch, AgreesWithTheStraightforwardScanOnRandomTexts)
{
    const std::vector<std::string> pieces = {
        "0",   "1",   "2",  "5", "9", "1",        "25",       "203",   "255",  "10",  "172",
        "192", "168", ".",  ".", ".", ".",        " ",        "DNS",   "D",    "N",   "S",
        "+",   "-",   "\"", ",", "x", "\x82\xA0", "\x83\x44", "\x83N", "\xB1", "\r\n"};
    std::mt19937 rng(20240531);
    for (int round = 0; round < 20000; ++round) {
        std::string t;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i)
            t += pieces[rng() % pieces.size()];
        if (rng() % 8 == 0)
            t += '\x82'; // a lead byte at the very end
        ASSERT_EQ(SearchAddressAuto(t), ReferenceSearchAuto(t)) << "text: " << t;
    }
}

TEST(KeySearch, ScansOnlyAfterTheFirstOccurrenceOfTheKey)
{
    const std::string page = "LAN 198.51.100.1 <td>WAN</td><td>203.0.113.5</td> WAN 198.51.100.99";
    EXPECT_EQ(SearchAddressAfterKey(page, "<td>WAN</td>"), "203.0.113.5");
    EXPECT_EQ(SearchAddressAfterKey(page, "WAN"), "203.0.113.5");
    EXPECT_EQ(SearchAddressAfterKey(page, "wan"), ""); // case-sensitive
    EXPECT_EQ(SearchAddressAfterKey(page, "missing"), "");
    EXPECT_EQ(SearchAddressAfterKey(page, ""), "");
    // The remainder starts right after the key, so its first dot may sit at position 2.
    EXPECT_EQ(SearchAddressAfterKey("KEY1.2.3.4 203.0.113.5", "KEY"), "");
    EXPECT_EQ(SearchAddressAfterKey("KEY12.3.4.5", "KEY"), "12.3.4.5");
}

TEST(KeySearch, JapaneseKeyOnPagesInOtherCodes)
{
    const std::string sjisPage = Sjis(u8"<td>インターネット側アドレス</td><td>203.0.113.77</td>");
    const std::string key = Sjis(u8"インターネット側アドレス");
    EXPECT_EQ(SearchAddressAfterKey(sjisPage, key), "203.0.113.77");
    // The same text in EUC-JP is brought to Shift_JIS before the key is looked for.
    std::string euc;
    ASSERT_TRUE(platform::ConvertEncoding(sjisPage, "CP932", "EUC-JP", euc));
    EXPECT_EQ(SearchAddressAfterKey(euc, key), "203.0.113.77");
    // Line breaks are made CR LF first, so a key holding CR LF matches an LF page.
    EXPECT_EQ(SearchAddressAfterKey("WAN\n<b>203.0.113.8</b>", "WAN\r\n"), "203.0.113.8");
}

TEST(PageCode, DeclaredCharsetInTheHeadDecides)
{
    const std::string body = Sjis(u8"<body>インターネット 203.0.113.5</body>");
    const std::string sjisHead = "<head><meta charset=\"shift_jis\"></head>";
    EXPECT_EQ(NormalizePageCode(sjisHead + body), sjisHead + body);
    std::string eucBody;
    ASSERT_TRUE(platform::ConvertEncoding(body, "CP932", "EUC-JP", eucBody));
    const std::string eucHead =
        "<HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=x-euc-jp\"></HEAD>";
    EXPECT_EQ(NormalizePageCode(eucHead + eucBody), eucHead + body);
    // A declaration after the head does not count; detection converts the EUC-JP text all the same.
    EXPECT_EQ(NormalizePageCode("<head></head>charset=shift_jis" + eucBody),
              "<head></head>charset=shift_jis" + body);
}

TEST(PageCode, AStaleEucDeclarationOnAShiftJisTextKeepsTheText)
{
    // The fetch converts every page to Shift_JIS; a page without a body tag keeps its declaration.
    const std::string page = "<head><meta charset=x-euc-jp></head>" + Sjis(u8"<p>ルータ 203.0.113.5</p>");
    EXPECT_EQ(NormalizePageCode(page), page);
}

TEST(FindGlobal, FollowsTheSettings)
{
    settings::TConfig config;
    config.GlobalIPAuto = 1;
    config.GlobalIPKey = "KEY";
    const std::string page = "203.0.113.1 x KEY 198.51.100.2";
    EXPECT_EQ(core::FindGlobalAddress("x " + page, config), "203.0.113.1");
    config.GlobalIPAuto = 0;
    EXPECT_EQ(core::FindGlobalAddress("x " + page, config), "198.51.100.2");
}

TEST(Finder, StepsThroughEveryPlausibleAddressThenReportsNone)
{
    const std::string source = "<td>192.168.1.254</td><td>255.255.255.0</td><td>203.1.113.5</"
                               "td><td>203.0.113.9</td><td>10.1.1.2</td>";
    std::vector<std::string> seen;
    size_t start = 0, length = 0;
    for (int i = 0; i < 10; ++i) {
        const std::optional<core::ByteRange> next = FindNextAddress(source, start, length);
        if (!next)
            break;
        seen.push_back(source.substr(next->start, next->length));
        start = next->start;
        length = next->length;
    }
    // The mask and the address with a 0 in it are passed over; so is a fourth number below 2.
    EXPECT_EQ(seen, (std::vector<std::string>{"192.168.1.254", "203.1.113.5", "10.1.1.2"}));
}

TEST(Finder, BoundsDifferFromTheAutomaticSearch)
{
    // Second and third number at least 1, fourth at least 2.
    EXPECT_FALSE(FindNextAddress("x 203.0.113.5", 0, 0));
    EXPECT_FALSE(FindNextAddress("x 203.1.113.1", 0, 0));
    EXPECT_EQ(FindNextAddress("x 203.1.113.2", 0, 0), (core::ByteRange{2, 11}));
    // Numbers as written: leading zeros stay part of the selection.
    EXPECT_EQ(FindNextAddress("ip=010.001.002.003;", 0, 0), (core::ByteRange{3, 15}));
    // A caret inside an address finds that address; a selection of it finds the next one.
    EXPECT_EQ(FindNextAddress("1.2.3.4 xyz 5.6.7.8", 1, 0), (core::ByteRange{0, 7}));
    EXPECT_EQ(FindNextAddress("1.2.3.4 xyz 5.6.7.8", 0, 7), (core::ByteRange{12, 7}));
    EXPECT_EQ(FindNextAddress("1.2.3.4 xyz 5.6.7.8", 2, 0), (core::ByteRange{12, 7}));
    // The window of eleven bytes after the first dot reaches into the next address here.
    EXPECT_EQ(FindNextAddress("1.2.3.4 x 5.6.7.8", 0, 0), (core::ByteRange{10, 7}));
    EXPECT_FALSE(FindNextAddress("1.2.3.4", 0, 7));
}

TEST(Finder, AnAddressNotWrittenAsReadDoesNotStopTheSearch)
{
    // "a5x.1.2.3" reads as 5.1.2.3, which is not written there; the finder goes on to the next one.
    EXPECT_EQ(FindNextAddress("a5x.1.2.3 then 198.51.100.2", 0, 0), (core::ByteRange{15, 12}));
    EXPECT_FALSE(FindNextAddress("a5x.1.2.3", 0, 0));
}

TEST(AutomaticSearch, PassesOverAddressesTheWorldCannotReach)
{
    // Each range, its edges, and the scan going on to the next dot as with a private address.
    EXPECT_EQ(SearchAddressAuto("WAN 100.64.0.1"), "");
    EXPECT_EQ(SearchAddressAuto("WAN 100.127.255.254"), "");
    EXPECT_EQ(SearchAddressAuto("WAN 100.63.0.1"), "100.63.0.1");
    EXPECT_EQ(SearchAddressAuto("WAN 100.128.0.1"), "100.128.0.1");
    EXPECT_EQ(SearchAddressAuto("WAN 127.0.0.1"), "");
    EXPECT_EQ(SearchAddressAuto("WAN 169.254.3.4"), "");
    EXPECT_EQ(SearchAddressAuto("WAN 169.253.3.4"), "169.253.3.4");
    EXPECT_EQ(SearchAddressAuto("WAN 192.0.0.2"), "");
    EXPECT_EQ(SearchAddressAuto("WAN 192.0.1.2"), "192.0.1.2");
    EXPECT_EQ(SearchAddressAuto("WAN 223.1.2.3"), "223.1.2.3");
    EXPECT_EQ(SearchAddressAuto("IGMP 224.0.0.22"), "");
    EXPECT_EQ(SearchAddressAuto("x 240.1.2.3"), "");
    EXPECT_EQ(SearchAddressAuto("x 254.1.2.3"), "");
    EXPECT_EQ(SearchAddressAuto("CGN 100.64.1.2 then WAN 203.0.113.5"), "203.0.113.5");
    EXPECT_EQ(SearchAddressAuto("IGMP 239.255.255.250 WAN 198.51.100.7"), "198.51.100.7");
    // The DNS rule comes first: a label uses up an unusable address as it does a private one.
    EXPECT_EQ(SearchAddressAuto("DNS 127.0.0.53 WAN 203.0.113.9"), "203.0.113.9");
    // The viewer's finder still lists every plausible address.
    EXPECT_EQ(FindNextAddress("WAN 100.64.1.2", 0, 0), (core::ByteRange{4, 10}));
}

TEST(SearchLog, RecordsEveryDecisionInPageOrderWithItsPosition)
{
    core::AddressSearchLog log;
    const std::string page = "mask 255.255.255.0 LAN 192.168.0.1 DNS 203.0.113.1 CGN 100.64.1.2 WAN "
                             "203.0.113.5 later 198.51.100.1";
    EXPECT_EQ(SearchAddressAuto(page, &log), "203.0.113.5");
    ASSERT_EQ(log.candidates.size(), 5u);
    using V = core::CandidateVerdict;
    EXPECT_EQ(log.candidates[0].verdict, V::OutOfBounds);
    EXPECT_EQ(log.candidates[0].address, "255.255.255.0");
    EXPECT_EQ(log.candidates[0].position, 6);
    EXPECT_EQ(log.candidates[1].verdict, V::PrivateRange);
    EXPECT_EQ(log.candidates[1].position, 24);
    EXPECT_EQ(log.candidates[2].verdict, V::AfterDnsLabel);
    EXPECT_EQ(log.candidates[3].verdict, V::Unusable);
    EXPECT_EQ(log.candidates[3].range, core::UnusableRange::CarrierGradeNat);
    EXPECT_EQ(log.candidates[4].verdict, V::Taken);
    EXPECT_EQ(log.candidates[4].address, "203.0.113.5");
    EXPECT_EQ(log.candidates[4].position, static_cast<long>(page.find("203.0.113.5")) + 1);
    EXPECT_EQ(log.result, "203.0.113.5");
    // An address found: no note.
    EXPECT_EQ(core::UnusableAddressNote(log), "");

    // Positions count characters, and a key search counts them in the whole page.
    core::AddressSearchLog keyLog;
    const std::string kana = Sjis(u8"ア") + "KEY 100.64.0.9 z";
    EXPECT_EQ(SearchAddressAfterKey(kana, "KEY", &keyLog), "");
    EXPECT_TRUE(keyLog.keyFound);
    EXPECT_EQ(keyLog.keyPosition, 2);
    ASSERT_EQ(keyLog.candidates.size(), 1u);
    EXPECT_EQ(keyLog.candidates[0].position, 6);
    EXPECT_EQ(core::UnusableAddressNote(keyLog),
              "100.64.0.9" +
                  Sjis(u8"はｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ(100.64.0.0/10)のため使えません。外からは届きません。"
                       u8"ﾙｰﾀにｸﾞﾛｰﾊﾞﾙIPが割り当てられていません。"));

    core::AddressSearchLog missing;
    EXPECT_EQ(SearchAddressAfterKey(page, "nothing", &missing), "");
    EXPECT_TRUE(missing.keySearch);
    EXPECT_FALSE(missing.keyFound);
}

TEST(SearchLog, TheNoteNamesOnlyAnAddressPassedOverForItsRangeAlone)
{
    core::AddressSearchLog privateOnly;
    SearchAddressAuto("LAN 192.168.0.1", &privateOnly);
    EXPECT_EQ(core::UnusableAddressNote(privateOnly), "");
    core::AddressSearchLog dnsUsedUp;
    SearchAddressAuto("DNS 127.0.0.53", &dnsUsedUp);
    EXPECT_EQ(core::UnusableAddressNote(dnsUsedUp), "");
    core::AddressSearchLog linkDown;
    SearchAddressAuto("LAN 192.168.0.1 WAN 169.254.10.20 IGMP 224.0.0.1", &linkDown);
    const std::string note = core::UnusableAddressNote(linkDown);
    EXPECT_EQ(note.rfind("169.254.10.20", 0), 0u) << note; // the first one is named
    core::AddressSearchLog notScanned;
    SearchAddressAuto("1.2.3.4 and 100.64.0.1", &notScanned);
    EXPECT_TRUE(notScanned.notScanned);
    EXPECT_TRUE(notScanned.candidates.empty());
}

TEST(SearchLog, TheExplanationListsTheDecisionsAndTheResult)
{
    core::AddressSearchLog log;
    SearchAddressAuto("LAN 192.168.0.1 WAN 100.64.1.2", &log);
    const std::vector<std::string> lines = core::ExplainAddressSearch(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "5" + Sjis(u8"文字目 ") + "192.168.0.1  " + Sjis(u8"除外 (ﾌﾟﾗｲﾍﾞｰﾄｱﾄﾞﾚｽ)"));
    EXPECT_NE(lines[1].find(Sjis(u8"ｷｬﾘｱｸﾞﾚｰﾄﾞNAT")), std::string::npos);
    EXPECT_EQ(lines[2], Sjis(u8"結果: 見つかりませんでした。"));
    core::AddressSearchLog keyLog;
    SearchAddressAfterKey("x WAN 203.0.113.5", "WAN", &keyLog);
    const std::vector<std::string> keyLines = core::ExplainAddressSearch(keyLog);
    ASSERT_EQ(keyLines.size(), 3u);
    EXPECT_EQ(keyLines[0], Sjis(u8"検索ｷｰ: 3文字目 (この後だけを検索します)"));
    EXPECT_EQ(keyLines[2], Sjis(u8"結果: ") + "203.0.113.5");
}

TEST(EchoAnswer, FirstUsableAddressHasNoStartRuleAndNoLabels)
{
    EXPECT_EQ(core::FirstUsableAddress("8.8.8.8\n"), "8.8.8.8");
    EXPECT_EQ(core::FirstUsableAddress("DNS 203.0.113.4"), "203.0.113.4");
    EXPECT_EQ(core::FirstUsableAddress("<p>from 100.64.0.1 via 198.51.100.2</p>"), "198.51.100.2");
    EXPECT_EQ(core::FirstUsableAddress("127.0.0.1"), "");
    EXPECT_EQ(core::FirstUsableAddress("none"), "");
}
