#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Codepage, RoundTripsJapaneseThroughCp932)
{
    const std::string utf8 = "ｽﾃｰﾀｽﾁｪｯｸ中... 通知テストです ①～";
    const std::string sjis = Utf8ToCp932(utf8);
    EXPECT_EQ(sjis.substr(0, 3), "\xBD\xC3\xB0");
    EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
    EXPECT_EQ(text::Sjis(u8"中"), "\x92\x86");
}

TEST(Codepage, BrokenBytesBecomeQuestionMarksNotLoss)
{
    // A lone lead byte at the end and an undefined pair.
    EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab?");
    EXPECT_EQ(Utf8ToCp932("a\xFF" "b"), "a?b");
    // A character outside code page 932 is one "?".
    EXPECT_EQ(Utf8ToCp932("x\xF0\x9F\x98\x80y"), "x?y");
}

TEST(Codepage, LeadByteRanges)
{
    EXPECT_FALSE(IsDBCSLeadByte(0x80));
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0x9F));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    EXPECT_FALSE(IsDBCSLeadByte(0xDF));
    EXPECT_TRUE(IsDBCSLeadByte(0xE0));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0xFD));
}
