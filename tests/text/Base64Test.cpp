#include "text/jconvert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace mail;

namespace {

// Every byte value, so that the encoder's sign handling and all 64 characters are exercised.
std::string AllBytes()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

} // namespace

TEST(Base64, EncodesTheStandardVectors)
{
    // RFC 4648 test vectors.
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    // High bytes use "+" and "/" and never a sign-extended value.
    EXPECT_EQ(Base64Encode("\xFB\xFF\xBF"), "+/+/");
    EXPECT_EQ(Base64Encode("ADSL IP"), "QURTTCBJUA==");
}

TEST(Base64, DecodesTheStandardVectors)
{
    EXPECT_EQ(Base64Decode(""), "");
    EXPECT_EQ(Base64Decode("Zg=="), "f");
    EXPECT_EQ(Base64Decode("Zm8="), "fo");
    EXPECT_EQ(Base64Decode("Zm9v"), "foo");
    EXPECT_EQ(Base64Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(Base64Decode("+/+/"), "\xFB\xFF\xBF");
}

TEST(Base64, RoundTripsEveryByteAndEveryLength)
{
    const std::string all = AllBytes();
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
    std::mt19937 random(42);
    for (size_t length = 0; length < 200; ++length) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i)
            bytes += static_cast<char>(random() & 0xFF);
        const std::string encoded = Base64Encode(bytes);
        EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
        ASSERT_EQ(Base64Decode(encoded), bytes) << "length " << length;
    }
}

TEST(Base64, DecoderSkipsLineBreaksAnywhere)
{
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(Base64Decode("Z\rm\n9\r\nvY\n\nmFy\r\n"), "foobar");
    EXPECT_EQ(Base64Decode("Zm8\r\n="), "fo");
    EXPECT_EQ(Base64Decode("\r\n"), "");
}

// Values cut at 2047 characters and hand-edited files: the decoder keeps what is there.
TEST(Base64, DecoderIsLenientWithDamagedInput)
{
    // Characters outside the alphabet are skipped like line breaks.
    EXPECT_EQ(Base64Decode("Zm9v YmFy"), "foobar");
    EXPECT_EQ(Base64Decode("Zm9v\tYm*Fy\x80\xFF"), "foobar");
    EXPECT_EQ(Base64Decode("!!!!"), "");
    // A cut last group gives the whole bytes its characters hold.
    EXPECT_EQ(Base64Decode("Zm9vYmE"), "fooba");
    EXPECT_EQ(Base64Decode("Zm9vYm"), "foob");
    EXPECT_EQ(Base64Decode("Zm9vY"), "foo");
    // "=" in the third or fourth place ends its group; decoding goes on with the next group.
    EXPECT_EQ(Base64Decode("Zg==Zm8="), "ffo");
    EXPECT_EQ(Base64Decode("Zg=xZm9v"), "ffoo");
    // "=" too early carries no byte.
    EXPECT_EQ(Base64Decode("Z==="), "");
    EXPECT_EQ(Base64Decode("===="), "");
    EXPECT_EQ(Base64Decode("="), "");
}

TEST(Base64, CutLongValueKeepsItsWholeBytes)
{
    // A settings value longer than 2047 characters is cut there on reading.
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += static_cast<char>('A' + i % 26);
    const std::string encoded = Base64Encode(text);
    ASSERT_GT(encoded.size(), 2047u);
    const std::string decoded = Base64Decode(encoded.substr(0, 2047));
    // 2047 characters are 511 whole groups (1533 bytes) and three characters (two more bytes).
    EXPECT_EQ(decoded, text.substr(0, 1535));
}
