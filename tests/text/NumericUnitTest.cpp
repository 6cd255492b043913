#include "text/NumericUnit.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using namespace text;

TEST(IsNumericText, SignFirstThenDigitsAndPoints)
{
    EXPECT_FALSE(IsNumericText(""));
    EXPECT_TRUE(IsNumericText("+"));
    EXPECT_TRUE(IsNumericText("-"));
    EXPECT_TRUE(IsNumericText("12.3.4"));
    EXPECT_TRUE(IsNumericText("-12"));
    EXPECT_TRUE(IsNumericText("0"));
    EXPECT_FALSE(IsNumericText("1e5"));
    EXPECT_FALSE(IsNumericText("1-2"));
    EXPECT_FALSE(IsNumericText(" 1"));
    EXPECT_FALSE(IsNumericText("1 "));
    EXPECT_FALSE(IsNumericText(".5"));
    EXPECT_FALSE(IsNumericText("+-1"));
    // Full-width digits are double-byte characters, not digits.
    EXPECT_FALSE(IsNumericText(text::Sjis(u8"１２")));
    // A lead byte takes the next byte with it, even when that byte is a digit.
    EXPECT_FALSE(IsNumericText("1\x82"
                               "1"));
    EXPECT_FALSE(IsNumericText("1\x82"));
}

namespace {

std::string AsText(const LeadingNumberResult& r)
{
    return std::get<std::string>(r);
}

bool IsIntegerZero(const LeadingNumberResult& r)
{
    return std::holds_alternative<int>(r) && std::get<int>(r) == 0;
}

} // namespace

TEST(LeadingNumber, TakesAnOptionalSignAndTheDigitsThatFollow)
{
    EXPECT_EQ(AsText(LeadingNumber("12.5")), "12");
    EXPECT_EQ(AsText(LeadingNumber("+7x")), "+7");
    EXPECT_EQ(AsText(LeadingNumber(" 42 ")), "42");
    EXPECT_EQ(AsText(LeadingNumber("\t\r\n-3 min\r\n")), "-3");
    EXPECT_EQ(AsText(LeadingNumber("-")), "-");
    EXPECT_EQ(AsText(LeadingNumber("--5")), "-");
    EXPECT_EQ(AsText(LeadingNumber("007")), "007");
    EXPECT_EQ(AsText(LeadingNumber("5+3")), "5");
    EXPECT_EQ(AsText(LeadingNumber("9" + text::Sjis(u8"分"))), "9");
}

TEST(LeadingNumber, NoNumberGivesTheIntegerZero)
{
    EXPECT_TRUE(IsIntegerZero(LeadingNumber("abc")));
    EXPECT_TRUE(IsIntegerZero(LeadingNumber("")));
    EXPECT_TRUE(IsIntegerZero(LeadingNumber("   ")));
    EXPECT_TRUE(IsIntegerZero(LeadingNumber(".5")));
    EXPECT_TRUE(IsIntegerZero(LeadingNumber("x12")));
    EXPECT_TRUE(IsIntegerZero(LeadingNumber(text::Sjis(u8"１２"))));
    // The text "0" is a number, and stays text.
    EXPECT_EQ(AsText(LeadingNumber("0")), "0");
}
