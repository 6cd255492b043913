#include "platform/Codepage.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <string>
#include <vector>

using namespace mail;

namespace {

const std::string kToJis = "\x1B$B";
const std::string kToAscii = "\x1B(B";

std::string Jis(std::string_view codes)
{
    return kToJis + std::string(codes) + kToAscii;
}

// Shift_JIS bytes of a JIS X 0208 cell (row and column 1 to 94), worked out from rows and columns
// rather than from JIS bytes, so that it checks the conversion from another side.
std::string SjisOfCell(int row, int column)
{
    const int lead = (row - 1) / 2 + (row <= 62 ? 0x81 : 0xC1);
    int trail = 0;
    if (row % 2 == 1)
        trail = column + 0x3F + (column >= 64 ? 1 : 0);
    else
        trail = column + 0x9E;
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

std::string Iconv(const std::string& sjis, const char* to)
{
    std::string out;
    EXPECT_TRUE(platform::ConvertEncoding(sjis, "CP932", to, out)) << to;
    return out;
}

std::string Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

// True when iconv put a "?" for something it could not write (a "?" in ASCII mode).
bool HasReplacement(std::string_view iso2022jp)
{
    bool doubleByte = false;
    for (size_t i = 0; i < iso2022jp.size(); ++i) {
        if (iso2022jp[i] == '\x1B' && i + 2 < iso2022jp.size()) {
            doubleByte = iso2022jp[i + 1] == '$';
            i += 2;
        } else if (!doubleByte && iso2022jp[i] == '?') {
            return true;
        }
    }
    return false;
}

// Code page 932 gives these cells other characters than JIS X 0208 does (or characters JIS X 0208
// lacks), so iconv cannot write them as ISO-2022-JP. The conversion works on codes, not on
// characters: every cell keeps its own JIS code, which is what a Japanese mail reader shows for it.
struct CellException
{
    int row, firstColumn, lastColumn;
    const char* reason;
};

const CellException kCellExceptions[] = {
    {1, 33, 33, "WAVE DASH: code page 932 reads it as FULLWIDTH TILDE"},
    {1, 34, 34, "DOUBLE VERTICAL LINE: code page 932 reads it as PARALLEL TO"},
    {1, 61, 61, "MINUS SIGN: code page 932 reads it as FULLWIDTH HYPHEN-MINUS"},
    {1, 81, 82, "CENT and POUND SIGN: code page 932 reads them as their full-width forms"},
    {2, 44, 44, "NOT SIGN: code page 932 reads it as FULLWIDTH NOT SIGN"},
    {13, 1, 94,
     "row 13, the NEC special characters of code page 932 (circled digits, Roman numerals, units)"},
};

bool IsCellException(int row, int column)
{
    for (const auto& e : kCellExceptions) {
        if (row == e.row && column >= e.firstColumn && column <= e.lastColumn)
            return true;
    }
    return false;
}

} // namespace

TEST(SjisToIso2022Jp, AsciiPassesUnchanged)
{
    EXPECT_EQ(SjisToIso2022Jp(""), "");
    const std::string ascii = "Quma Notice: 192.168.0.1 -> 203.0.113.5\r\n\t~\\";
    EXPECT_EQ(SjisToIso2022Jp(ascii), ascii);
}

TEST(SjisToIso2022Jp, SwitchesModesAroundDoubleByteText)
{
    // 漢字 = 0x3441 0x3B7A.
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"漢字abc")), kToJis + "4A;z" + kToAscii + "abc");
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"abc漢字")), "abc" + kToJis + "4A;z" + kToAscii);
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"あ a い")), Jis("$\"") + " a " + Jis("$$"));
}

TEST(SjisToIso2022Jp, WidensHalfWidthKatakanaAndCombinesMarks)
{
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ｶﾞ")), Jis("%,"));    // ガ
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ﾊﾟ")), Jis("%Q"));    // パ
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ｳﾞ")), Jis("%t"));    // ヴ
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ﾞ")), Jis("!+"));     // ゛
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ﾟ")), Jis("!,"));     // ゜
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ｱﾞ")), Jis("%\"!+")); // no voiced ア: kana and mark
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ｶﾟ")), Jis("%+!,"));  // no semi-voiced カ
    // Half-width and full-width text share one double-byte stretch.
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ｽﾃｰﾀｽ中")), Jis("%9%F!<%?%9Cf"));
    // A mark at the very end of the text after a kana that takes it.
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"ﾎﾟ")), Jis("%]"));
}

TEST(SjisToIso2022Jp, DropsWhatIso2022JpCannotCarry)
{
    // User-defined characters (leads 0xF0 to 0xFC) disappear with their trail byte.
    EXPECT_EQ(SjisToIso2022Jp("a\xF0\x40"
                              "b\xFC\xFC"
                              "c"),
              "abc");
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"中") + "\xF5\x80" + text::Sjis(u8"中")), Jis("CfCf"));
    // Single bytes that are no character.
    EXPECT_EQ(SjisToIso2022Jp("a\x80"
                              "b\xA0"
                              "c\xFD\xFE\xFF"),
              "abc");
    // A lead byte at the very end.
    EXPECT_EQ(SjisToIso2022Jp("ab\x88"), "ab");
    EXPECT_EQ(SjisToIso2022Jp("ab\xF0"), "ab");
    // A lead byte before a high byte that cannot be a trail: both go.
    EXPECT_EQ(SjisToIso2022Jp("a\x88\xFD"
                              "b"),
              "ab");
}

// A stray lead byte must not take the line break or character after it with it.
TEST(SjisToIso2022Jp, StrayLeadByteKeepsTheAsciiAfterIt)
{
    EXPECT_EQ(SjisToIso2022Jp("a\x88\r\nb"), "a\r\nb");
    EXPECT_EQ(SjisToIso2022Jp("a\x88"
                              "1"),
              "a1");
    EXPECT_EQ(SjisToIso2022Jp("\x88\x7F"), "\x7F");
    EXPECT_EQ(SjisToIso2022Jp("\xF0 x"), " x");
    EXPECT_EQ(SjisToIso2022Jp(text::Sjis(u8"中") + "\x88\n"), Jis("Cf") + "\n");
}

TEST(SjisToIso2022Jp, AgreesWithIconvOnEveryCellOfRows1To84)
{
    int checked = 0;
    int excepted = 0;
    std::vector<std::string> unexpected;
    for (int row = 1; row <= 84; ++row) {
        for (int column = 1; column <= 94; ++column) {
            const std::string sjis = SjisOfCell(row, column);
            // Only cells that code page 932 defines.
            if (platform::Cp932ToUtf8(sjis).find('?') != std::string::npos)
                continue;
            ++checked;
            const std::string ours = SjisToIso2022Jp(sjis);
            // Whatever iconv says, the cell's own JIS code comes out.
            ASSERT_EQ(ours, Jis(std::string{static_cast<char>(row + 0x20), static_cast<char>(column + 0x20)}))
                << "row " << row << " column " << column;
            if (ours == Iconv(sjis, "ISO-2022-JP"))
                continue;
            if (IsCellException(row, column))
                ++excepted;
            else
                unexpected.push_back(std::to_string(row) + "-" + std::to_string(column) + ": " + Hex(sjis));
        }
    }
    EXPECT_TRUE(unexpected.empty()) << ::testing::PrintToString(unexpected);
    // JIS X 0208 defines 6879 characters in these rows; code page 932 adds 83 in row 13.
    EXPECT_EQ(checked, 6879 + 83);
    EXPECT_EQ(excepted, 6 + 83);
}

// iconv writes half-width katakana as ISO-2022-JP only by transliteration to the full-width forms,
// which needs a UTF-8 character type; the voiced marks it cannot write at all.
class HalfWidthKatakanaAgainstIconv : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* current = std::setlocale(LC_CTYPE, nullptr);
        m_saved = current ? current : "C";
        ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    }
    void TearDown() override { std::setlocale(LC_CTYPE, m_saved.c_str()); }

    std::string m_saved;
};

TEST_F(HalfWidthKatakanaAgainstIconv, EveryKanaAloneAndWithEachMark)
{
    // Where the conversion differs from iconv on purpose, the text iconv is given instead.
    // Reason for the two marks: they widen to the spacing marks ゛ ゜, which iconv does not do.
    // Reason for the rest: a kana and its mark become one voiced or semi-voiced kana.
    const std::map<std::u8string, std::u8string> exceptions = {
        {u8"ﾞ", u8"゛"},  {u8"ﾟ", u8"゜"},  {u8"ｳﾞ", u8"ヴ"}, {u8"ｶﾞ", u8"ガ"}, {u8"ｷﾞ", u8"ギ"},
        {u8"ｸﾞ", u8"グ"}, {u8"ｹﾞ", u8"ゲ"}, {u8"ｺﾞ", u8"ゴ"}, {u8"ｻﾞ", u8"ザ"}, {u8"ｼﾞ", u8"ジ"},
        {u8"ｽﾞ", u8"ズ"}, {u8"ｾﾞ", u8"ゼ"}, {u8"ｿﾞ", u8"ゾ"}, {u8"ﾀﾞ", u8"ダ"}, {u8"ﾁﾞ", u8"ヂ"},
        {u8"ﾂﾞ", u8"ヅ"}, {u8"ﾃﾞ", u8"デ"}, {u8"ﾄﾞ", u8"ド"}, {u8"ﾊﾞ", u8"バ"}, {u8"ﾋﾞ", u8"ビ"},
        {u8"ﾌﾞ", u8"ブ"}, {u8"ﾍﾞ", u8"ベ"}, {u8"ﾎﾞ", u8"ボ"}, {u8"ﾊﾟ", u8"パ"}, {u8"ﾋﾟ", u8"ピ"},
        {u8"ﾌﾟ", u8"プ"}, {u8"ﾍﾟ", u8"ペ"}, {u8"ﾎﾟ", u8"ポ"},
    };
    std::map<std::string, std::string> substitutes;
    for (const auto& [from, to] : exceptions)
        substitutes[text::Sjis(from)] = text::Sjis(to);

    int compared = 0;
    std::map<std::string, int> used;
    for (int kana = 0xA1; kana <= 0xDF; ++kana) {
        for (const char* mark : {"", "\xDE", "\xDF"}) {
            const std::string input = std::string(1, static_cast<char>(kana)) + mark;
            // The text iconv sees: exceptions replaced, longest first.
            std::string forIconv;
            if (substitutes.count(input)) {
                forIconv = substitutes[input];
                ++used[input];
            } else {
                for (const char c : input) {
                    const std::string one(1, c);
                    if (substitutes.count(one))
                        ++used[one];
                    forIconv += substitutes.count(one) ? substitutes[one] : one;
                }
            }
            const std::string expected = Iconv(forIconv, "ISO-2022-JP//TRANSLIT");
            ASSERT_FALSE(HasReplacement(expected)) << Hex(input);
            EXPECT_EQ(SjisToIso2022Jp(input), expected) << Hex(input);
            ++compared;
        }
    }
    EXPECT_EQ(compared, 63 * 3);
    // Every exception is needed: none of them is an unused leftover.
    EXPECT_EQ(used.size(), exceptions.size());
    // Without the exceptions, iconv really does differ (it cannot write the marks).
    EXPECT_NE(Iconv("\xB6\xDE", "ISO-2022-JP//TRANSLIT"), SjisToIso2022Jp("\xB6\xDE"));
}
