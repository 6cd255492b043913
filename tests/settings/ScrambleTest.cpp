// Password scrambling and the key each password uses.
#include "settings/ConfigUnit.h"

#include "SettingsTestUtil.h"

#include <gtest/gtest.h>
#include <set>

using namespace settings;
using settingstest::S;

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

std::set<unsigned char> Alphabet(ScrambleAlphabet alphabet)
{
    std::set<unsigned char> set;
    for (int b = 0; b < 256; ++b) {
        const bool legacy = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        const bool current = b >= 0x21 && b <= 0xDF && b != '=';
        if (alphabet == ScrambleAlphabet::LegacyAlphabet ? legacy : current)
            set.insert(static_cast<unsigned char>(b));
    }
    return set;
}

} // namespace

TEST(ScrambleText, IsItsOwnInverseAndStaysInsideItsAlphabet)
{
    const std::string all = AllBytes();
    for (const ScrambleAlphabet alphabet :
         {ScrambleAlphabet::LegacyAlphabet, ScrambleAlphabet::CurrentAlphabet}) {
        const std::set<unsigned char> inside = Alphabet(alphabet);
        for (int key = 0; key < 600; ++key) {
            const std::string once = ScrambleText(all, key, alphabet);
            ASSERT_EQ(once.size(), all.size());
            ASSERT_EQ(ScrambleText(once, key, alphabet), all) << "key " << key;
            std::set<unsigned char> images;
            for (int b = 0; b < 256; ++b) {
                const auto out = static_cast<unsigned char>(once[b]);
                if (inside.count(static_cast<unsigned char>(b))) {
                    ASSERT_TRUE(inside.count(out)) << "key " << key << " byte " << b;
                    images.insert(out);
                } else {
                    // Blanks, "=", control bytes and lead bytes from 0xE0 on are never produced or
                    // changed, so a scrambled password never gains a character that the file trims.
                    ASSERT_EQ(out, b) << "key " << key << " byte " << b;
                }
            }
            ASSERT_EQ(images.size(), inside.size()) << "a substitution, key " << key;
        }
    }
}

TEST(ScrambleText, OnlyTheLowByteOfTheKeyCounts)
{
    const std::string all = AllBytes();
    EXPECT_EQ(ScrambleText(all, 0, ScrambleAlphabet::CurrentAlphabet), all);
    EXPECT_EQ(ScrambleText(all, 256, ScrambleAlphabet::CurrentAlphabet), all);
    EXPECT_EQ(ScrambleText(all, 256 + 77, ScrambleAlphabet::LegacyAlphabet),
              ScrambleText(all, 77, ScrambleAlphabet::LegacyAlphabet));
    EXPECT_EQ(ScrambleText(all, 32767, ScrambleAlphabet::CurrentAlphabet),
              ScrambleText(all, 255, ScrambleAlphabet::CurrentAlphabet));
    EXPECT_EQ(ScrambleText("", 123, ScrambleAlphabet::CurrentAlphabet), "");
}

TEST(ScrambleText, PairsFoundByHand)
{
    // Key 1, 62 letters: "0"^1 = "1" pairs at once; "A"^1 = "@" is outside, 7 on is "G"; "F"^1 = "G" is
    // taken by then, 7 on is "N".
    EXPECT_EQ(ScrambleText("0AF89BD", 1, ScrambleAlphabet::LegacyAlphabet), "1GN98CE");
    // Key 0x3D ("=" ^ 0 would be "="): with the 190-byte alphabet "!" (0x21) ^ 0x3D = 0x1C is outside,
    // 7 on: 0x23 "#".
    EXPECT_EQ(ScrambleText("!", 0x3D, ScrambleAlphabet::CurrentAlphabet), "#");
    EXPECT_EQ(ScrambleText("#", 0x3D, ScrambleAlphabet::CurrentAlphabet), "!");
}

TEST(PasswordKey, SumsTheBytesOfServerAndUser)
{
    TConfig c;
    c.StatusURL = "ab";
    c.StatusUser = "c";
    c.FtpServer = "f";
    c.FtpUser = "";
    c.PopServer = "p";
    c.PopUser = "q";
    c.SmtpServer = "";
    c.SmtpUser = "s";
    EXPECT_EQ(PasswordKey(c, psStatus), 'a' + 'b' + 'c');
    EXPECT_EQ(PasswordKey(c, psFtp), 'f');
    EXPECT_EQ(PasswordKey(c, psPop), 'p' + 'q');
    EXPECT_EQ(PasswordKey(c, psSmtp), 's');
    EXPECT_EQ(PasswordKey(c, 4), 0);
    EXPECT_EQ(PasswordKey(c, -1), 0);
}

TEST(PasswordKey, FoldsPast32767)
{
    TConfig c;
    c.StatusURL = std::string(300, 'z'); // 300 * 122 = 36600
    EXPECT_EQ(PasswordKey(c, psStatus), 36600 - 32767);
    // 258 * 127 + 1 = 32767 exactly: no fold yet. One more byte passes it.
    c.StatusURL = std::string(258, '\x7F') + "\x01";
    EXPECT_EQ(PasswordKey(c, psStatus), 32767);
    c.StatusUser = "\x01";
    EXPECT_EQ(PasswordKey(c, psStatus), 1);
    // High bytes count unsigned.
    c.StatusURL = std::string(200, '\xDF');
    c.StatusUser.clear();
    EXPECT_EQ(PasswordKey(c, psStatus), 200 * 0xDF - 32767);
}

TEST(PasswordKey, DoubleByteCharactersLeaveOutTheLastBytes)
{
    TConfig c;
    c.FtpServer = S(u8"あ"); // 82 A0
    c.FtpUser = "ab";
    // Three characters, so the first three bytes: 0x82 + 0xA0 + "a".
    EXPECT_EQ(PasswordKey(c, psFtp), 0x82 + 0xA0 + 'a');
    c.FtpServer = S(u8"太郎"); // two characters, four bytes
    c.FtpUser.clear();
    const std::string b = c.FtpServer;
    EXPECT_EQ(PasswordKey(c, psFtp), static_cast<unsigned char>(b[0]) + static_cast<unsigned char>(b[1]));
    // Half-width katakana are single bytes.
    c.FtpServer = S(u8"ｱｲ");
    EXPECT_EQ(PasswordKey(c, psFtp), 0xB1 + 0xB2);
}
