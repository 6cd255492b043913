// Character-position operations on code page 932 text. Besides the worked examples, the fast
// operations are compared on random double-byte texts with plain, literal versions of the walks
// (tests/text/ReferenceWalks.h), which are slow but obviously right.
#include "ReferenceWalks.h"

#include "text/Sjis.h"
#include "text/VB.h"

#include <gtest/gtest.h>
#include <random>

using namespace text;

namespace {

const std::string kAiu = Sjis(u8"あいう"); // three double-byte characters, six bytes

} // namespace

TEST(CharacterPositions, DoubleByteCharactersCountAsOne)
{
    EXPECT_EQ(kAiu.size(), 6u);
    EXPECT_EQ(CharLen(kAiu), 3);
    EXPECT_EQ(MidChars(kAiu, 2, 1), Sjis(u8"い"));
    EXPECT_EQ(RightChars(kAiu, 1), Sjis(u8"う"));
    EXPECT_EQ(RightChars(kAiu, 4), "");
    EXPECT_EQ(TailFrom(kAiu, 3), Sjis(u8"う"));
    EXPECT_EQ(LeftChars(kAiu, 2), Sjis(u8"あい"));
    // Half-width katakana are single bytes above 0x7F, not lead bytes.
    EXPECT_EQ(CharLen(Sjis(u8"ｽﾃｰﾀｽ中")), 6);
    EXPECT_EQ(CharLen(""), 0);
}

TEST(CharacterPositions, OutOfRangeArguments)
{
    EXPECT_EQ(TailFrom(kAiu, 0), kAiu);
    EXPECT_EQ(TailFrom(kAiu, -5), kAiu);
    EXPECT_EQ(TailFrom(kAiu, 4), "");
    EXPECT_EQ(TailFrom("", 1), "");
    EXPECT_EQ(MidChars(kAiu, 0, 1), Sjis(u8"あ"));
    EXPECT_EQ(MidChars(kAiu, 2, 0), "");
    EXPECT_EQ(MidChars(kAiu, 2, -1), "");
    EXPECT_EQ(MidChars(kAiu, 4, 1), "");
    EXPECT_EQ(MidChars(kAiu, 2, 100), Sjis(u8"いう"));
    EXPECT_EQ(RightChars(kAiu, 0), "");
    EXPECT_EQ(RightChars(kAiu, 3), kAiu);
    EXPECT_EQ(RightChars(kAiu, -1), "");
    EXPECT_EQ(LeftChars(kAiu, 0), "");
}

TEST(CharacterPositions, LeadByteInLastPositionIsACutCharacter)
{
    const std::string cut = "ab\x82";
    EXPECT_EQ(CharLen(cut), 3);
    EXPECT_EQ(RightChars(cut, 1), "\x82");
    EXPECT_EQ(MidChars(cut, 3, 5), "\x82");
    EXPECT_EQ(TailFrom(cut, 3), "\x82");
    EXPECT_EQ(TailFrom(cut, 4), "");
}

TEST(Search, MatchesOnlyAtCharacterStarts)
{
    // あ is 82 A0, い is 82 A2: the bytes A0 82 exist only across the boundary.
    EXPECT_EQ(InStrChars(kAiu, "\xA0\x82"), 0);
    EXPECT_EQ(InStrChars(kAiu, Sjis(u8"い")), 2);
    // A trail byte that looks like an ASCII letter is not a letter: ポ is 83 7C, "|" is 7C.
    EXPECT_EQ(InStrChars(Sjis(u8"ポ|"), "|"), 2);
    // ソ is 83 5C: its trail byte is a backslash, which must not be found inside it.
    EXPECT_EQ(InStrChars(Sjis(u8"ソ"), "\\"), 0);
    EXPECT_EQ(InStrChars(Sjis(u8"ソ\\"), "\\"), 2);
}

TEST(Search, PositionsAndEmptyArguments)
{
    EXPECT_EQ(InStrChars("abc", "a"), 1);
    EXPECT_EQ(InStrChars("abc", "c"), 3);
    EXPECT_EQ(InStrChars("abc", "abcd"), 0);
    EXPECT_EQ(InStrChars("abc", ""), 0);
    EXPECT_EQ(InStrChars("", "a"), 0);
    EXPECT_EQ(InStrChars("abc", "B"), 0); // letter case counts here
    EXPECT_EQ(InStrFrom(3, "abcabc", "abc"), 4);
    EXPECT_EQ(InStrFrom(1, "abcabc", "abc"), 1);
    EXPECT_EQ(InStrFrom(5, "abcabc", "abc"), 0);
    EXPECT_EQ(InStrFrom(7, "abcabc", "c"), 0);
    EXPECT_EQ(InStrFrom(2, kAiu + "x", "x"), 4);
    // A start below 1 counts from the beginning, so the answer stays a position in the text.
    EXPECT_EQ(InStrFrom(0, "abc", "b"), 2);
    EXPECT_EQ(InStrFrom(-3, "abc", "b"), 2);
}

TEST(Search, LongPatternsAreMatchedAtCharacterStartsToo)
{
    // Patterns above the short-pattern length go through the other search.
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += Sjis(u8"あ");
    std::string across; // A0 82 A0 82 ...: present only across character boundaries
    for (int i = 0; i < 20; ++i)
        across += "\xA0\x82";
    EXPECT_EQ(InStrChars(text, across), 0);
    EXPECT_EQ(CountText(text, across), 0);
    const std::string aligned = text.substr(0, 40) + "x";
    EXPECT_EQ(InStrChars(text + "x", aligned), 31);
    EXPECT_EQ(CountText(text + "x" + text + "x", aligned), 2);
    EXPECT_EQ(FindAtCharStart(text + "x", aligned, 0), 60u);
}

TEST(Counting, OccurrencesDoNotOverlap)
{
    EXPECT_EQ(CountText("aaaa", "aa"), 2);
    EXPECT_EQ(CountText("aaaaa", "aa"), 2);
    EXPECT_EQ(CountText("a,b,,c", ","), 3);
    EXPECT_EQ(CountText("abc", ""), 0);
    EXPECT_EQ(CountText("", "a"), 0);
    EXPECT_EQ(CountText(kAiu + kAiu, Sjis(u8"いう")), 2);
    EXPECT_EQ(CountText(kAiu, "\xA0\x82"), 0);
}

TEST(Splitting, PlainSplitAtTheSeparator)
{
    using L = StringList;
    EXPECT_EQ(SplitText("a,b", ",", false), (L{"a", "b"}));
    EXPECT_EQ(SplitText("a,,b", ",", false), (L{"a", "", "b"}));
    EXPECT_EQ(SplitText("a,", ",", false), (L{"a", ""}));
    EXPECT_EQ(SplitText(",", ",", false), (L{"", ""}));
    EXPECT_EQ(SplitText("", ",", false), L{});
    EXPECT_EQ(SplitText("abc", ",", false), L{"abc"});
    EXPECT_EQ(SplitText("a::b::", "::", false), (L{"a", "b", ""}));
    EXPECT_EQ(SplitText("*.htm;*.html", ";", true), (L{"*.htm", "*.html"}));
    // Quotes mean nothing with quote mode off.
    EXPECT_EQ(SplitText("\"a,b\"", ",", false), (L{"\"a", "b\""}));
}

TEST(Splitting, SeparatorsInsideDoubleByteCharactersDoNotSplit)
{
    // ソ (83 5C) holds a backslash byte, and "\x83," is one (malformed) double-byte character.
    const std::string so = Sjis(u8"ソ");
    EXPECT_EQ(SplitText(so + "\\" + so, "\\", false), (StringList{so, so}));
    EXPECT_EQ(SplitText("a\x83,b,c", ",", false), (StringList{"a\x83,b", "c"}));
    EXPECT_EQ(SplitText(kAiu + "," + kAiu, ",", false), (StringList{kAiu, kAiu}));
}

TEST(Splitting, EmptySeparatorGivesTheWholeText)
{
    EXPECT_EQ(SplitText("a,b", "", false), StringList{"a,b"});
    EXPECT_EQ(SplitText("", "", false), StringList{});
}

TEST(Splitting, QuoteModeUnwrapsQuotedFields)
{
    using L = StringList;
    EXPECT_EQ(SplitText("\"x\"", ",", true), L{"x"});
    // A last field: quote, a, four quotes, b, quote -> a, one quote, b.
    EXPECT_EQ(SplitText("\"a\"\"\"\"b\"", ",", true), L{"a\"b"});
    EXPECT_EQ(SplitText("k,\"x y\"", ",", true), (L{"k", "x y"}));
    // A quoted field before a comma: the marker took its closing quote; the opening one goes too.
    EXPECT_EQ(SplitText("\"a,b\",c", ",", true), (L{"a,b", "c"}));
    EXPECT_EQ(SplitText("\"say \"\"hi\"\"\",next", ",", true), (L{"say \"hi\"", "next"}));
    EXPECT_EQ(SplitText("\"\",x", ",", true), (L{"", "x"}));
    // A lone quote as the last field is a quoted empty field.
    EXPECT_EQ(SplitText("a,\"", ",", true), (L{"a", ""}));
    // An unterminated quote stays as written.
    EXPECT_EQ(SplitText("\"abc", ",", true), L{"\"abc"});
    // The quote marker is quote and comma, whatever the separator.
    EXPECT_EQ(SplitText("\"a\",b", ";", true), (L{"a", "b"}));
    // A quoted last field followed by the separator gives the trailing empty field.
    EXPECT_EQ(SplitText("\"a\",", ",", true), (L{"a", ""}));
}

TEST(Replacing, IgnoresCaseOfSingleByteLettersOnly)
{
    EXPECT_EQ(ReplaceAllText("Http://HOST/x http://host/y", "http://host", "h"), "h/x h/y");
    EXPECT_EQ(ReplaceAllText("aaa", "a", "aa"), "aaaaaa"); // inserted text is not searched again
    EXPECT_EQ(ReplaceAllText("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAllText("", "a", "x"), "");
    EXPECT_EQ(ReplaceAllText("abcabc", "BC", ""), "aa");
    // Full-width Ａ (82 60) and ａ (82 81) are different characters.
    EXPECT_EQ(ReplaceAllText(Sjis(u8"ＡａA"), Sjis(u8"ａ"), "x"), Sjis(u8"Ａx") + "A");
    // ビ is 83 72 and コ is 83 52: upper-casing the trail byte "r" would turn ビ into コ.
    const std::string bi = Sjis(u8"ビ");
    EXPECT_EQ(ReplaceAllText(bi + Sjis(u8"コ"), Sjis(u8"コ"), "x"), bi + "x");
    EXPECT_EQ(ReplaceAllText(bi + "r", "R", "!"), bi + "!");
    EXPECT_EQ(ReplaceAllText(kAiu, "\xA0\x82", "x"), kAiu);
    EXPECT_EQ(ReplaceAllText(kAiu + "A", Sjis(u8"うa"), "-"), Sjis(u8"あい") + "-");
}

// ---------------------------------------------------------------------------------------------
// Random comparison with the literal walks.

namespace {

// Pieces that make walks interesting: letters in both cases, separators, quotes, double-byte
// characters, a double-byte character whose trail byte is a comma or a quote-like byte, and bytes
// that occur only across character boundaries.
const std::vector<std::string> kPieces = {"a",        "A",        "b",    ",",        ",",
                                          "\"",       "\"",       ";",    "\x82\xA0", "\x82\xA2",
                                          "\x83\x2C", "\x83\x61", "\xA0", "\xB1",     " "};

std::string RandomText(std::mt19937& rng, int maxPieces)
{
    std::uniform_int_distribution<int> count(0, maxPieces);
    std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
    std::string s;
    for (int i = count(rng); i > 0; --i)
        s += kPieces[piece(rng)];
    if (rng() % 10 == 0)
        s += "\x82"; // a cut character at the end
    return s;
}

// A pattern: either fresh pieces or any byte range of the text (often one that cuts characters).
std::string RandomPattern(std::mt19937& rng, const std::string& text)
{
    if (!text.empty() && rng() % 2) {
        const size_t from = rng() % text.size();
        const size_t len = 1 + rng() % std::min<size_t>(4, text.size() - from);
        return text.substr(from, len);
    }
    return RandomText(rng, 2);
}

} // namespace

TEST(WalksAgreeWithLiteralVersions, OnRandomDoubleByteTexts)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 20000; ++round) {
        const std::string t = RandomText(rng, 12);
        const std::string p = RandomPattern(rng, t);
        const long n = static_cast<long>(rng() % 16) - 2;
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(CharLen(t), reference::CharLen(t));
        ASSERT_EQ(TailFrom(t, n), reference::TailFrom(t, n));
        ASSERT_EQ(MidChars(t, n, n % 5), reference::MidChars(t, n, n % 5));
        ASSERT_EQ(RightChars(t, n), reference::RightChars(t, n));
        ASSERT_EQ(InStrChars(t, p), reference::InStrChars(t, p));
        ASSERT_EQ(InStrFrom(std::max(n, 1L), t, p), reference::InStrFrom(std::max(n, 1L), t, p));
        ASSERT_EQ(CountText(t, p), reference::CountText(t, p));
        ASSERT_EQ(SplitText(t, p, false), reference::SplitText(t, p, false));
        ASSERT_EQ(SplitText(t, p, true), reference::SplitText(t, p, true));
        ASSERT_EQ(SplitText(t, ",", true), reference::SplitText(t, ",", true));
        ASSERT_EQ(ReplaceAllText(t, p, "<>"), reference::ReplaceAllText(t, p, "<>"));
    }
}

TEST(WalksAgreeWithLiteralVersions, OnLongPatterns)
{
    // Texts of few distinct pieces, so that long patterns (taken from the text itself, often
    // starting inside a character) occur many times.
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"\x82\xA0", "\xA0", "a", "\x82\xA0\x82\xA0"};
    for (int round = 0; round < 3000; ++round) {
        std::string t;
        for (int i = 0; i < 60; ++i)
            t += pieces[rng() % pieces.size()];
        const size_t from = rng() % (t.size() - 20);
        const std::string p = t.substr(from, 17 + rng() % 3);
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(InStrChars(t, p), reference::InStrChars(t, p));
        ASSERT_EQ(CountText(t, p), reference::CountText(t, p));
        ASSERT_EQ(SplitText(t, p, false), reference::SplitText(t, p, false));
        ASSERT_EQ(ReplaceAllText(t, p, "-"), reference::ReplaceAllText(t, p, "-"));
    }
}

TEST(WalksAgreeWithLiteralVersions, OnRunsOfLoneLeadBytes)
{
    // Raw bytes where lead bytes pile up and patterns often end in a lone lead byte: every match
    // then moves the character boundaries of what follows it.
    std::mt19937 rng(99);
    const std::string bytes = "aA\x82\x82,\"";
    for (int round = 0; round < 20000; ++round) {
        std::string t;
        for (int i = static_cast<int>(rng() % 14); i > 0; --i)
            t += bytes[rng() % bytes.size()];
        const std::string p = RandomPattern(rng, t);
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(CountText(t, p), reference::CountText(t, p));
        ASSERT_EQ(SplitText(t, p, true), reference::SplitText(t, p, true));
        ASSERT_EQ(ReplaceAllText(t, p, "-"), reference::ReplaceAllText(t, p, "-"));
    }
}

TEST(Replacing, RestOfTheTextIsWalkedAfresh)
{
    // An old text ending in a lone lead byte takes the lead byte of the next character with it; the
    // rest is then a text of its own, whose first byte "a" is a letter, not a trail byte.
    EXPECT_EQ(ReplaceAllText("a\x82"
                             "a\x82"
                             "A\x82",
                             "a\x82", "-"),
              "---");
}
