#include "platform/Codepage.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <gtest/gtest.h>

#include <string>

using namespace mail;

namespace {

std::string Iconv(const std::string& in, const char* from, const char* to)
{
    std::string out;
    EXPECT_TRUE(platform::ConvertEncoding(in, from, to, out)) << from << " -> " << to;
    return out;
}

// A router status page and a notice, as the program meets them: kanji, hiragana, katakana, full-width
// letters and digits, symbols, ASCII and CR LF line breaks.
std::string MixedText()
{
    return text::Sjis(u8"<html><head><title>ルーター状態表示</title></head>\r\n"
                      u8"<body>\r\n"
                      u8"ＷＡＮ側ＩＰアドレス：203.0.113.5\r\n"
                      u8"グローバルIPアドレスが変更されました。旧アドレスは192.168.0.1です。\r\n"
                      u8"ホームページのリンクを書き換えて、FTPでアップロードしました。\r\n"
                      u8"接続状態【接続中】　回線種別：ＰＰＰｏＥ　〒１００‐０００１　※注意\r\n"
                      u8"お問い合わせは管理者までどうぞ。ゐゑヰヱヴ・ー「」『』§¶†‡は使いません。\r\n"
                      u8"</body></html>\r\n");
}

// Several hundred kilobytes: every JIS X 0208 character that code page 932 and iconv agree on, in
// lines of 40 with ASCII between them, then the mixed text many times over.
std::string LongText()
{
    std::string text;
    int inLine = 0;
    for (int lead = 0x81; lead <= 0xEA; lead = lead == 0x9F ? 0xE0 : lead + 1) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            if (lead == 0x87)
                continue; // row 13 is not JIS X 0208
            const std::string jis = Iconv(pair, "CP932", "ISO-2022-JP");
            if (jis.find('\x1B') == std::string::npos || Iconv(jis, "ISO-2022-JP", "CP932") != pair)
                continue;
            text += pair;
            if (++inLine == 40) {
                text += " line\r\n";
                inLine = 0;
            }
        }
    }
    for (int i = 0; i < 1000; ++i)
        text += std::to_string(i) + ": " + MixedText();
    return text;
}

} // namespace

TEST(DetectJapaneseCode, PlainAsciiAndBinary)
{
    EXPECT_EQ(DetectJapaneseCode(""), jcAscii);
    EXPECT_EQ(DetectJapaneseCode("Global IP 203.0.113.5\r\n"), jcAscii);
    EXPECT_EQ(DetectJapaneseCode(std::string("ab\0cd", 5)), jcBinary);
    EXPECT_EQ(DetectJapaneseCode("ab\x07"
                                 "cd"),
              jcBinary);
    EXPECT_EQ(DetectJapaneseCode("ab\xFF"
                                 "cd"),
              jcBinary);
    // Beyond the first 512 bytes the scan still finds a binary byte.
    EXPECT_EQ(DetectJapaneseCode(std::string(600, 'a') + '\x01' + "b"), jcBinary);
    // The last byte is never examined.
    EXPECT_EQ(DetectJapaneseCode(std::string("abc\0", 4)), jcAscii);
    EXPECT_EQ(DetectJapaneseCode("abc\xF5"), jcAscii);
    // Control bytes of 0x08 and above are text.
    EXPECT_EQ(DetectJapaneseCode("a\b\t\x1F"
                                 "b"),
              jcAscii);
}

TEST(DetectJapaneseCode, JisEscapes)
{
    EXPECT_EQ(DetectJapaneseCode("a\x1B$B$\"\x1B(B"), jcJisB);
    EXPECT_EQ(DetectJapaneseCode("a\x1B$@$\"\x1B(B"), jcJisAt);
    EXPECT_EQ(DetectJapaneseCode("a\x1B(Bb"), jcAscii);
    // An escape cut off at the end of the text.
    EXPECT_EQ(DetectJapaneseCode("a\x1B$"), jcAscii);
    EXPECT_EQ(DetectJapaneseCode("\x1B$"), jcAscii);
    // A Shift_JIS byte before the escape decides first.
    EXPECT_EQ(DetectJapaneseCode(text::Sjis(u8"あ") + "\x1B$B$\"\x1B(B"), jcSjis);
}

TEST(DetectJapaneseCode, ShiftJisAndEucJpBytes)
{
    EXPECT_EQ(DetectJapaneseCode(text::Sjis(u8"漢字です")), jcSjis);
    EXPECT_EQ(DetectJapaneseCode("x\x8E\x40y"), jcSjis);  // 0x8E with a Shift_JIS trail
    EXPECT_EQ(DetectJapaneseCode("x\xE0\x40y"), jcSjis);  // 0xE0 lead with a low trail
    EXPECT_EQ(DetectJapaneseCode("x\xB1\x41y"), jcSjis);  // half-width kana then ASCII
    EXPECT_EQ(DetectJapaneseCode("x\xA4\xF3y"), jcEuc);   // ん in EUC-JP
    EXPECT_EQ(DetectJapaneseCode("x\xE0\xFDy"), jcEuc);   // trail only EUC-JP has
    EXPECT_EQ(DetectJapaneseCode("x\xF5\xA1y"), jcEuc);   // lead only EUC-JP has
    EXPECT_EQ(DetectJapaneseCode("x\x80\xA0y"), jcAscii); // bytes that tell nothing
    EXPECT_EQ(DetectJapaneseCode("x\xA4\xA0y"), jcAscii);
    // A 0xFF taken as the second byte of a pair past the binary test's 512 bytes tells nothing.
    EXPECT_EQ(DetectJapaneseCode(std::string(600, 'a') + "\xA4\xFF" + "b"), jcAscii);
}

TEST(DetectJapaneseCode, AmbiguousPairsLookFurther)
{
    // Only pairs of 0xA1 to 0xDF: half-width katakana in Shift_JIS or kana in EUC-JP.
    const std::string kana = "\xB1\xB2\xB3\xB4";
    EXPECT_EQ(DetectJapaneseCode(kana + "\r\n"), jcEucOrSjis);
    EXPECT_EQ(DetectJapaneseCode("\x8E\xB1\x8E\xB2\n"), jcEucOrSjis);
    // After a 0xA1-0xDF byte and a 0xE0-0xEF byte, the following bytes decide...
    EXPECT_EQ(DetectJapaneseCode("\xA4\xE8\xC1\x88\x9F"
                                 "a"),
              jcSjis);
    EXPECT_EQ(DetectJapaneseCode("\xA4\xE8\xC1\xFE\xA1"
                                 "a"),
              jcEuc);
    // ...but only up to the next byte below 0x40, and a later pair still counts.
    EXPECT_EQ(DetectJapaneseCode("\xA4\xE8\xC1 \xA4\xF3"
                                 "a"),
              jcEuc);
    EXPECT_EQ(DetectJapaneseCode("\xA4\xE8\xC1\xC1"), jcEucOrSjis);
    // The first decisive byte settles it.
    EXPECT_EQ(DetectJapaneseCode("\xB1\xB2\xA4\xF3\x88\x9F"
                                 "a"),
              jcEuc);
    EXPECT_EQ(DetectJapaneseCode("\xB1\xB2\x88\x9F\xA4\xF3"
                                 "a"),
              jcSjis);
}

TEST(DetectJapaneseCode, RecognisesWhatIconvWrites)
{
    const std::string sjis = MixedText();
    EXPECT_EQ(DetectJapaneseCode(sjis), jcSjis);
    EXPECT_EQ(DetectJapaneseCode(Iconv(sjis, "CP932", "EUC-JP")), jcEuc);
    EXPECT_EQ(DetectJapaneseCode(Iconv(sjis, "CP932", "ISO-2022-JP")), jcJisB);
}

TEST(ConvertJapaneseCode, LeavesAsciiBinaryUndecidedAndShiftJisAlone)
{
    const std::string ascii = "Global IP 203.0.113.5\r\n";
    EXPECT_EQ(ConvertJapaneseCode(ascii, jcSjis), ascii);
    const std::string binary = std::string("\x1B$B\0\x01", 5) + "\xA4\xA2";
    EXPECT_EQ(ConvertJapaneseCode(binary, jcSjis), binary);
    const std::string undecided = "\xB1\xB2\xB3\xB4\r\n";
    EXPECT_EQ(ConvertJapaneseCode(undecided, jcSjis), undecided);
    const std::string sjis = MixedText();
    EXPECT_EQ(ConvertJapaneseCode(sjis, jcSjis), sjis);
    // Targets that name no code.
    EXPECT_EQ(ConvertJapaneseCode(Iconv(sjis, "CP932", "EUC-JP"), jcEucOrSjis),
              Iconv(sjis, "CP932", "EUC-JP"));
    EXPECT_EQ(ConvertJapaneseCode(Iconv(sjis, "CP932", "EUC-JP"), jcAscii), Iconv(sjis, "CP932", "EUC-JP"));
}

TEST(ConvertJapaneseCode, RoundTripsEucJpAndJisFromIconv)
{
    for (const std::string& sjis : {MixedText(), LongText()}) {
        ASSERT_GT(sjis.size(), 300u);
        const std::string euc = Iconv(sjis, "CP932", "EUC-JP");
        ASSERT_EQ(Iconv(euc, "EUC-JP", "CP932"), sjis) << "the text must be one that EUC-JP can carry";
        ASSERT_EQ(DetectJapaneseCode(euc), jcEuc);
        EXPECT_TRUE(ConvertJapaneseCode(euc, jcSjis) == sjis);
        EXPECT_TRUE(EucToSjis(euc) == sjis);

        const std::string jis = Iconv(sjis, "CP932", "ISO-2022-JP");
        ASSERT_EQ(Iconv(jis, "ISO-2022-JP", "CP932"), sjis);
        ASSERT_EQ(DetectJapaneseCode(jis), jcJisB);
        EXPECT_TRUE(ConvertJapaneseCode(jis, jcSjis) == sjis);
        // The same text announced with the older escape.
        std::string jisAt = jis;
        for (size_t at = jisAt.find("\x1B$B"); at != std::string::npos; at = jisAt.find("\x1B$B", at))
            jisAt[at + 2] = '@';
        ASSERT_EQ(DetectJapaneseCode(jisAt), jcJisAt);
        EXPECT_TRUE(ConvertJapaneseCode(jisAt, jcSjis) == sjis);
    }
}

TEST(ConvertJapaneseCode, HalfWidthKatakanaAndNecCharactersThroughEucJp)
{
    // EUC-JP carries half-width katakana as 0x8E pairs; the Microsoft variant of EUC-JP also has row 13.
    const std::string sjis = text::Sjis(u8"ｽﾃｰﾀｽﾁｪｯｸ中...ｶﾞﾊﾟ こんにちは ①Ⅱ㌔ 終わり\r\n");
    const std::string euc = Iconv(sjis, "CP932", "EUC-JP-MS");
    ASSERT_NE(euc.find('\x8E'), std::string::npos);
    EXPECT_EQ(DetectJapaneseCode(euc), jcEuc);
    EXPECT_EQ(ConvertJapaneseCode(euc, jcSjis), sjis);
}

TEST(ConvertJapaneseCode, OtherTargets)
{
    const std::string sjis = MixedText();
    const std::string euc = Iconv(sjis, "CP932", "EUC-JP");
    const std::string jis = Iconv(sjis, "CP932", "ISO-2022-JP");
    EXPECT_TRUE(ConvertJapaneseCode(sjis, jcEuc) == euc);
    EXPECT_TRUE(ConvertJapaneseCode(sjis, jcJisB) == jis);
    EXPECT_TRUE(ConvertJapaneseCode(euc, jcJisB) == jis);
    EXPECT_TRUE(ConvertJapaneseCode(jis, jcEuc) == euc);
    const std::string jisAt = ConvertJapaneseCode(sjis, jcJisAt);
    EXPECT_EQ(jisAt.find("\x1B$B"), std::string::npos);
    EXPECT_TRUE(ConvertJapaneseCode(jisAt, jcSjis) == sjis);
    // Half-width katakana stay half-width in EUC-JP.
    EXPECT_EQ(ConvertJapaneseCode(text::Sjis(u8"漢ｱ"), jcEuc), "\xB4\xC1\x8E\xB1");
}

TEST(JisToShiftJis, DamagedJisText)
{
    // An escape cut off at the end, a double-byte stretch never closed, a lone byte at the end.
    EXPECT_EQ(ConvertJapaneseCode("a\x1B$B$\"", jcSjis), "a" + text::Sjis(u8"あ"));
    EXPECT_EQ(ConvertJapaneseCode("a\x1B$B$\"$", jcSjis), "a" + text::Sjis(u8"あ"));
    EXPECT_EQ(ConvertJapaneseCode("a\x1B$B$\"\x1B(", jcSjis), "a" + text::Sjis(u8"あ"));
    // Line breaks left in double-byte mode stay line breaks.
    EXPECT_EQ(ConvertJapaneseCode("\x1B$B$\"\r\n$$\x1B(B", jcSjis), text::Sjis(u8"あ\r\nい"));
    // Unknown escapes keep the mode.
    EXPECT_EQ(ConvertJapaneseCode("\x1B$B$\"\x1BxY$$\x1B(Bz", jcSjis), text::Sjis(u8"あい") + "z");
}

TEST(EucToSjis, ConvertsAndDropsWhatCodePage932Lacks)
{
    EXPECT_EQ(EucToSjis(""), "");
    EXPECT_EQ(EucToSjis("IP \xB4\xC1\xBB\xFA \x8E\xB1\x8E\xDE"), "IP " + text::Sjis(u8"漢字 ｱﾞ"));
    // 0x80 and 0xFF are copied.
    EXPECT_EQ(EucToSjis("a\x80"
                        "b\xFF"),
              "a\x80"
              "b\xFF");
    // A JIS X 0212 character (three bytes) goes as a whole; the text after it stays in step.
    EXPECT_EQ(EucToSjis("\x8F\xB0\xA1\xA4\xA2"), text::Sjis(u8"あ"));
    // A lead byte at the end, or before an ASCII byte, goes alone.
    EXPECT_EQ(EucToSjis("a\xA4"), "a");
    EXPECT_EQ(EucToSjis("a\x8E"), "a");
    EXPECT_EQ(EucToSjis("a\xA4\r\nb"), "a\r\nb");
    EXPECT_EQ(EucToSjis("\x8F\xB0"), "");
}
