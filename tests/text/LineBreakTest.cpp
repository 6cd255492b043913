#include "text/jconvert.h"

#include <gtest/gtest.h>

#include <string>

using namespace mail;

TEST(DetectLineBreak, TheFirstBreakDecides)
{
    EXPECT_EQ(DetectLineBreak(""), lbNone);
    EXPECT_EQ(DetectLineBreak("no break"), lbNone);
    EXPECT_EQ(DetectLineBreak("a\r\nb\nc"), lbCrLf);
    EXPECT_EQ(DetectLineBreak("a\nb\r\nc"), lbLf);
    EXPECT_EQ(DetectLineBreak("a\rb\r\nc"), lbCr);
    EXPECT_EQ(DetectLineBreak("a\r"), lbCr);
    EXPECT_EQ(DetectLineBreak("\n"), lbLf);
    EXPECT_EQ(DetectLineBreak("\n\r"), lbLf);
}

TEST(ConvertLineBreaks, ToCrLf)
{
    EXPECT_EQ(ConvertLineBreaks("a\nb\nc\n", lbCrLf), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(ConvertLineBreaks("\n\n", lbCrLf), "\r\n\r\n");
    EXPECT_EQ(ConvertLineBreaks("a\rb\r", lbCrLf), "a\r\nb\r\n");
    // Only the kind found first is replaced: the LF after a CR of a CR text stays and gains a CR.
    EXPECT_EQ(ConvertLineBreaks("a\rb\r\nc", lbCrLf), "a\r\nb\r\n\nc");
    EXPECT_EQ(ConvertLineBreaks("a\nb\r\nc", lbCrLf), "a\r\nb\r\r\nc");
    // A text that starts with CR LF is left as it is, LF-only lines included.
    const std::string mixed = "a\r\nb\nc\rd";
    EXPECT_EQ(ConvertLineBreaks(mixed, lbCrLf), mixed);
    EXPECT_EQ(ConvertLineBreaks("no break", lbCrLf), "no break");
}

TEST(ConvertLineBreaks, FromCrLf)
{
    EXPECT_EQ(ConvertLineBreaks("a\r\nb\r\n", lbLf), "a\nb\n");
    EXPECT_EQ(ConvertLineBreaks("a\r\nb\r\n", lbCr), "a\rb\r");
    // A CR without its LF is no CR LF: it stays, and the byte after it is kept.
    EXPECT_EQ(ConvertLineBreaks("a\r\nb\rc\r", lbLf), "a\nb\rc\r");
    // Unknown kinds change nothing.
    EXPECT_EQ(ConvertLineBreaks("a\nb", lbNone), "a\nb");
    EXPECT_EQ(ConvertLineBreaks("a\nb", static_cast<LineBreakKind>(7)), "a\nb");
}

TEST(ConvertLineBreaks, ShiftJisTrailBytesAreNotBreaks)
{
    // No Shift_JIS trail byte is CR or LF (trails start at 0x40), so bytes pass through untouched.
    const std::string sjis = "\x82\xA0\n\x95\x5C\n";
    EXPECT_EQ(ConvertLineBreaks(sjis, lbCrLf), "\x82\xA0\r\n\x95\x5C\r\n");
}

TEST(ConvertLineBreaks, LongTextWithManyBreaks)
{
    std::string text;
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        text += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    EXPECT_TRUE(ConvertLineBreaks(text, lbCrLf) == expected);
    EXPECT_TRUE(ConvertLineBreaks(expected, lbLf) == text);
}
