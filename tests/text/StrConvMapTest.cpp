// Half-width and full-width mapping. The expected texts are written as UTF-8 and turned into code
// page 932 by the system's converter, so the mapping's own code tables are checked from outside.
#include "platform/Codepage.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <gtest/gtest.h>
#include <set>

using namespace text;

namespace {

std::string Half(std::string_view cp932)
{
    return StrConvMap(cp932, kMapHalfWidth);
}

std::string Full(std::string_view cp932)
{
    return StrConvMap(cp932, kMapFullWidth);
}

struct Pair
{
    const char8_t* half;
    const char8_t* full;
};

// Every byte of the half-width katakana block 0xA1-0xDF, then every voiced and semi-voiced kana.
const Pair kKanaPairs[] = {
    {u8"｡", u8"。"},
    {u8"｢", u8"「"},
    {u8"｣", u8"」"},
    {u8"､", u8"、"},
    {u8"･", u8"・"},
    {u8"ｦ", u8"ヲ"},
    {u8"ｧ", u8"ァ"},
    {u8"ｨ", u8"ィ"},
    {u8"ｩ", u8"ゥ"},
    {u8"ｪ", u8"ェ"},
    {u8"ｫ", u8"ォ"},
    {u8"ｬ", u8"ャ"},
    {u8"ｭ", u8"ュ"},
    {u8"ｮ", u8"ョ"},
    {u8"ｯ", u8"ッ"},
    {u8"ｰ", u8"ー"},
    {u8"ｱ", u8"ア"},
    {u8"ｲ", u8"イ"},
    {u8"ｳ", u8"ウ"},
    {u8"ｴ", u8"エ"},
    {u8"ｵ", u8"オ"},
    {u8"ｶ", u8"カ"},
    {u8"ｷ", u8"キ"},
    {u8"ｸ", u8"ク"},
    {u8"ｹ", u8"ケ"},
    {u8"ｺ", u8"コ"},
    {u8"ｻ", u8"サ"},
    {u8"ｼ", u8"シ"},
    {u8"ｽ", u8"ス"},
    {u8"ｾ", u8"セ"},
    {u8"ｿ", u8"ソ"},
    {u8"ﾀ", u8"タ"},
    {u8"ﾁ", u8"チ"},
    {u8"ﾂ", u8"ツ"},
    {u8"ﾃ", u8"テ"},
    {u8"ﾄ", u8"ト"},
    {u8"ﾅ", u8"ナ"},
    {u8"ﾆ", u8"ニ"},
    {u8"ﾇ", u8"ヌ"},
    {u8"ﾈ", u8"ネ"},
    {u8"ﾉ", u8"ノ"},
    {u8"ﾊ", u8"ハ"},
    {u8"ﾋ", u8"ヒ"},
    {u8"ﾌ", u8"フ"},
    {u8"ﾍ", u8"ヘ"},
    {u8"ﾎ", u8"ホ"},
    {u8"ﾏ", u8"マ"},
    {u8"ﾐ", u8"ミ"},
    {u8"ﾑ", u8"ム"},
    {u8"ﾒ", u8"メ"},
    {u8"ﾓ", u8"モ"},
    {u8"ﾔ", u8"ヤ"},
    {u8"ﾕ", u8"ユ"},
    {u8"ﾖ", u8"ヨ"},
    {u8"ﾗ", u8"ラ"},
    {u8"ﾘ", u8"リ"},
    {u8"ﾙ", u8"ル"},
    {u8"ﾚ", u8"レ"},
    {u8"ﾛ", u8"ロ"},
    {u8"ﾜ", u8"ワ"},
    {u8"ﾝ", u8"ン"},
    {u8"ﾞ", u8"゛"},
    {u8"ﾟ", u8"゜"},
    // Voiced and semi-voiced.
    {u8"ｳﾞ", u8"ヴ"},
    {u8"ｶﾞ", u8"ガ"},
    {u8"ｷﾞ", u8"ギ"},
    {u8"ｸﾞ", u8"グ"},
    {u8"ｹﾞ", u8"ゲ"},
    {u8"ｺﾞ", u8"ゴ"},
    {u8"ｻﾞ", u8"ザ"},
    {u8"ｼﾞ", u8"ジ"},
    {u8"ｽﾞ", u8"ズ"},
    {u8"ｾﾞ", u8"ゼ"},
    {u8"ｿﾞ", u8"ゾ"},
    {u8"ﾀﾞ", u8"ダ"},
    {u8"ﾁﾞ", u8"ヂ"},
    {u8"ﾂﾞ", u8"ヅ"},
    {u8"ﾃﾞ", u8"デ"},
    {u8"ﾄﾞ", u8"ド"},
    {u8"ﾊﾞ", u8"バ"},
    {u8"ﾋﾞ", u8"ビ"},
    {u8"ﾌﾞ", u8"ブ"},
    {u8"ﾍﾞ", u8"ベ"},
    {u8"ﾎﾞ", u8"ボ"},
    {u8"ﾊﾟ", u8"パ"},
    {u8"ﾋﾟ", u8"ピ"},
    {u8"ﾌﾟ", u8"プ"},
    {u8"ﾍﾟ", u8"ペ"},
    {u8"ﾎﾟ", u8"ポ"},
};

} // namespace

TEST(WidthMapping, KatakanaTableCoversTheWholeHalfWidthBlockBothWays)
{
    std::set<unsigned char> singles;
    for (const Pair& p : kKanaPairs) {
        const std::string half = Sjis(p.half);
        const std::string full = Sjis(p.full);
        ASSERT_EQ(full.size(), 2u) << platform::Cp932ToUtf8(full);
        if (half.size() == 1)
            singles.insert(static_cast<unsigned char>(half[0]));
        EXPECT_EQ(Full(half), full) << platform::Cp932ToUtf8(half);
        EXPECT_EQ(Half(full), half) << platform::Cp932ToUtf8(full);
    }
    ASSERT_EQ(singles.size(), 0xDFu - 0xA1u + 1);
    EXPECT_EQ(*singles.begin(), 0xA1);
    EXPECT_EQ(*singles.rbegin(), 0xDF);
}

TEST(WidthMapping, AsciiLettersDigitsAndSymbolsPairWithTheFullWidthForms)
{
    // Each printable ASCII character c pairs with U+FF01 + (c - 0x21), except those settled
    // otherwise: "\" has no full-width form, "'" and "\"" widen to ’ and ”.
    for (int c = 0x21; c <= 0x7E; ++c) {
        const std::string half(1, static_cast<char>(c));
        std::string expected;
        if (c == '\\') {
            expected = half;
        } else if (c == '\'') {
            expected = Sjis(u8"’");
        } else if (c == '"') {
            expected = Sjis(u8"”");
        } else {
            const char16_t wide = static_cast<char16_t>(0xFF01 + (c - 0x21));
            expected = platform::QStringToCp932(QString(QChar(wide)));
        }
        ASSERT_EQ(expected.size(), c == '\\' ? 1u : 2u) << "character " << c;
        EXPECT_EQ(Full(half), expected) << "character " << c;
        EXPECT_EQ(Half(expected), half) << "character " << c;
    }
    EXPECT_EQ(Full(" "), Sjis(u8"　"));
    EXPECT_EQ(Half(Sjis(u8"　")), " ");
    EXPECT_EQ(Full("Quillmap 1.43"), Sjis(u8"Ｑｕｉｌｌｍａｐ　１．４３"));
}

TEST(WidthMapping, CharactersWithSeveralCandidates)
{
    // ＼ narrows to "\"; ￥ has no half-width form in the code page and stays.
    EXPECT_EQ(Half(Sjis(u8"＼")), "\\");
    EXPECT_EQ(Half(Sjis(u8"￥100")), Sjis(u8"￥") + "100");
    EXPECT_EQ(Full("\\"), "\\");
    // Both ＇ and both ＂ (the IBM extension and its NEC-selected copy) narrow too.
    EXPECT_EQ(Half("\xFA\x56\xEE\xFB"), "''");
    EXPECT_EQ(Half("\xFA\x57\xEE\xFC"), "\"\"");
    EXPECT_EQ(Half(Sjis(u8"’”")), "'\"");
    // The opening quotes have no half-width partner of their own.
    EXPECT_EQ(Half(Sjis(u8"‘“")), Sjis(u8"‘“"));
    EXPECT_EQ(Half(Sjis(u8"～－‐")), "~--");
    EXPECT_EQ(Full("~-"), Sjis(u8"～－"));
    EXPECT_EQ(Half(Sjis(u8"￣")), Sjis(u8"￣"));
}

TEST(WidthMapping, VoicedMarksCombineOnlyWhereAVoicedKanaExists)
{
    EXPECT_EQ(Full(Sjis(u8"ｱﾞ")), Sjis(u8"ア゛"));
    EXPECT_EQ(Full(Sjis(u8"ﾜﾞｦﾞ")), Sjis(u8"ワ゛ヲ゛"));
    EXPECT_EQ(Full(Sjis(u8"ｶﾟ")), Sjis(u8"カ゜"));
    EXPECT_EQ(Full(Sjis(u8"ｶﾞﾞ")), Sjis(u8"ガ゛"));
    EXPECT_EQ(Full(Sjis(u8"aﾞ")), Sjis(u8"ａ゛"));
    EXPECT_EQ(Full(Sjis(u8"ﾞﾟ")), Sjis(u8"゛゜"));
    // A full-width kana followed by a full-width mark narrows to the same two half-width bytes.
    EXPECT_EQ(Half(Sjis(u8"カ゛")), Sjis(u8"ｶﾞ"));
}

TEST(WidthMapping, EverythingWithoutAnotherWidthStays)
{
    const std::string same = Sjis(u8"漢字ひらがなゐゑヮヰヱヵヶヽヾ〒※①");
    EXPECT_EQ(Half(same), same);
    EXPECT_EQ(Full(same), same);
    // Control characters, bytes that are not characters, and a cut character at the end.
    const std::string raw("\t\r\n\x7F\x80\xA0\xFD\xFF\x00", 9);
    EXPECT_EQ(Half(raw), raw);
    EXPECT_EQ(Full(raw), raw);
    EXPECT_EQ(Half("ab\x83"), "ab\x83");
    EXPECT_EQ(Full("ab\x83"), Sjis(u8"ａｂ") + "\x83");
    // Trail bytes that look like ASCII are not touched: ソ is 83 5C, ビ is 83 72.
    EXPECT_EQ(Full(Sjis(u8"ソビ")), Sjis(u8"ソビ"));
    EXPECT_EQ(Half(Sjis(u8"ソビ")), Sjis(u8"ｿﾋﾞ"));
    // A zero byte does not cut the text.
    EXPECT_EQ(Half(std::string("\x82\x60\0\x82\x60", 5)), std::string("A\0A", 3));
}

TEST(WidthMapping, FlagsAndEmptyText)
{
    EXPECT_EQ(Half(""), "");
    EXPECT_EQ(Full(""), "");
    const std::string t = Sjis(u8"ｽﾃｰﾀｽ ステータス");
    EXPECT_EQ(StrConvMap(t, 0), t);
    EXPECT_EQ(StrConvMap(t, kMapHalfWidth | kMapFullWidth), t);
    EXPECT_EQ(Half(t), Sjis(u8"ｽﾃｰﾀｽ ｽﾃｰﾀｽ"));
    EXPECT_EQ(Full(t), Sjis(u8"ステータス　ステータス"));
}

TEST(WidthMapping, LogTextsNarrowAndWidenBackUnchanged)
{
    // The log gets the half-width form of texts that the mail keeps full-width.
    const std::string mail = Sjis(u8"グローバルＩＰアドレスが変更されました：１９２．１６８．０．１");
    const std::string log = Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽが変更されました:192.168.0.1");
    EXPECT_EQ(Half(mail), log);
    EXPECT_EQ(Full(log), mail);
}
