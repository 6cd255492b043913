#include "platform/Codepage.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mail;

namespace {

// The encoded-words of a header value, with their decoded bytes and the length of their line.
struct EncodedWord
{
    std::string bytes;
    size_t lineLength;
};

std::string DecodeQ(std::string_view q)
{
    std::string out;
    for (size_t i = 0; i < q.size(); ++i) {
        if (q[i] == '_') {
            out += ' ';
        } else if (q[i] == '=' && i + 2 < q.size()) {
            out += static_cast<char>(std::stoi(std::string(q.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += q[i];
        }
    }
    return out;
}

// Splits a folded value ("word?=\r\n\t=?...") into its encoded-words; fails the test on anything
// else than encoded-words separated by CR LF TAB.
std::vector<EncodedWord> SplitEncodedWords(const std::string& value, const std::string& prefix, bool q)
{
    std::vector<EncodedWord> words;
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t end = value.find("\r\n\t", pos);
        const std::string line = value.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        EXPECT_EQ(line.substr(0, prefix.size()), prefix) << line;
        EXPECT_TRUE(line.ends_with("?=")) << line;
        EXPECT_EQ(line.find(' '), std::string::npos) << line;
        const std::string payload = line.substr(prefix.size(), line.size() - prefix.size() - 2);
        words.push_back({q ? DecodeQ(payload) : Base64Decode(payload), line.size()});
        if (end == std::string::npos)
            break;
        pos = end + 3;
    }
    return words;
}

const std::string kJisPrefix = "=?ISO-2022-JP?B?";

} // namespace

TEST(EncodeHeaderText, AsciiValueStaysAsItIs)
{
    const std::string value = "Taro Yamada <taro@example.jp>";
    EXPECT_EQ(EncodeHeaderText(value, "ISO-2022-JP", 'B', true), value);
    EXPECT_EQ(EncodeHeaderText(value, "ISO-8859-1", 'Q', false), value);
    EXPECT_EQ(EncodeHeaderText("", "ISO-2022-JP", 'B', true), "");
    EXPECT_EQ(EncodeHeaderText("  a\tb  ", "ISO-2022-JP", 'B', true), "  a\tb  ");
}

TEST(EncodeHeaderText, JapaneseWordsBecomeOneEncodedStretch)
{
    // Both names need encoding, so they and the space between them are one encoded-word; the
    // address is copied with the space before it.
    EXPECT_EQ(EncodeHeaderText(text::Sjis(u8"山田 太郎 <taro@example.jp>"), "ISO-2022-JP", 'B', true),
              "=?ISO-2022-JP?B?GyRCOzNFRBsoQiAbJEJCQE86GyhC?= <taro@example.jp>");
    // Padding at the end of the stretch; white space before it is kept unchanged.
    EXPECT_EQ(EncodeHeaderText(text::Sjis(u8"Quma  通知"), "ISO-2022-JP", 'B', true),
              "Quma  =?ISO-2022-JP?B?GyRCRExDThsoQg==?=");
    // An ASCII word between two Japanese ones breaks the run.
    EXPECT_EQ(EncodeHeaderText(text::Sjis(u8"通知 a 通知"), "ISO-2022-JP", 'B', true),
              "=?ISO-2022-JP?B?GyRCRExDThsoQg==?= a =?ISO-2022-JP?B?GyRCRExDThsoQg==?=");
}

TEST(EncodeHeaderText, WithoutConversionTheBytesAreEncodedAsTheyAre)
{
    EXPECT_EQ(EncodeHeaderText("x \xE9t\xE9", "GB2312", 'B', false), "x =?GB2312?B?6XTp?=");
    // Control characters make a word need encoding too.
    EXPECT_EQ(EncodeHeaderText("a\x01"
                               "b c",
                               "EUC-KR", 'B', false),
              "=?EUC-KR?B?YQFi?= c");
}

TEST(EncodeHeaderText, QuotedPrintableLetter)
{
    EXPECT_EQ(EncodeHeaderText("Caf\xE9 <a@b>", "ISO-8859-1", 'Q', false), "=?ISO-8859-1?Q?Caf=E9?= <a@b>");
    // "=", "?" and "_" inside an encoded word are encoded; a word without unsafe bytes is not.
    EXPECT_EQ(EncodeHeaderText("\xE9=?_ a=b", "ISO-8859-1", 'Q', false), "=?ISO-8859-1?Q?=E9=3D=3F=5F?= a=b");
    // A space between two encoded words stays inside the encoded-word, as "_": a bare space would
    // end the encoded-word in the middle.
    EXPECT_EQ(EncodeHeaderText("M\xFCller J\xFCrgen", "ISO-8859-1", 'Q', false),
              "=?ISO-8859-1?Q?M=FCller_J=FCrgen?=");
    EXPECT_EQ(EncodeHeaderText("\xE9\t\xE9", "ISO-8859-1", 'Q', false), "=?ISO-8859-1?Q?=E9=09=E9?=");
}

TEST(EncodeHeaderText, LongSingleByteStretchFoldsAtSeventyFiveCharacters)
{
    // 100 control bytes: 14 Base64 groups (42 bytes) fit after the 16-character prefix.
    const std::string word(100, '\x01');
    const std::string folded = EncodeHeaderText(word, "ISO-2022-JP", 'B', false);
    const auto words = SplitEncodedWords(folded, kJisPrefix, false);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].bytes.size(), 42u);
    EXPECT_EQ(words[1].bytes.size(), 42u);
    EXPECT_EQ(words[2].bytes.size(), 16u);
    EXPECT_EQ(words[0].lineLength, 16 + 56 + 2u);

    // Q: each "=E9" takes three characters; 19 of them fit after the 15-character prefix.
    const std::string latin(40, '\xE9');
    const auto qWords =
        SplitEncodedWords(EncodeHeaderText(latin, "ISO-8859-1", 'Q', false), "=?ISO-8859-1?Q?", true);
    ASSERT_EQ(qWords.size(), 3u);
    EXPECT_EQ(qWords[0].bytes, std::string(19, '\xE9'));
    EXPECT_EQ(qWords[2].bytes, std::string(2, '\xE9'));
    for (const auto& w : qWords)
        EXPECT_LE(w.lineLength, 75u);
}

// A folded Japanese name must decode word by word: no encoded-word may end inside a character or
// in double-byte mode, or mail readers show garbage.
TEST(EncodeHeaderText, LongJapaneseNameFoldsBetweenCharacters)
{
    const std::string name =
        text::Sjis(u8"株式会社クイルマップ開発部門　ネットワーク管理担当　山田太郎（やまだたろう）様 ｶﾞｲﾄﾞ");
    const std::string folded = EncodeHeaderText(name + " <taro@example.jp>", "ISO-2022-JP", 'B', true);
    ASSERT_TRUE(folded.ends_with("?= <taro@example.jp>")) << folded;
    const std::string encoded = folded.substr(0, folded.size() - std::string(" <taro@example.jp>").size());
    const auto words = SplitEncodedWords(encoded, kJisPrefix, false);
    ASSERT_GE(words.size(), 3u);

    std::string joined;
    for (const auto& w : words) {
        EXPECT_LE(w.lineLength, 75u);
        ASSERT_TRUE(w.bytes.ends_with("\x1B(B")) << w.bytes;
        std::string sjis;
        ASSERT_TRUE(platform::ConvertEncoding(w.bytes, "ISO-2022-JP", "CP932", sjis));
        EXPECT_EQ(sjis.find('?'), std::string::npos) << w.bytes;
        joined += sjis;
    }
    // The half-width katakana arrive full-width.
    EXPECT_EQ(joined,
              text::Sjis(
                  u8"株式会社クイルマップ開発部門　ネットワーク管理担当　山田太郎（やまだたろう）様 ガイド"));
}

TEST(EncodeHeaderText, TinyRoomStillMakesProgress)
{
    // A charset name so long that not even one group fits: every encoded-word still carries a
    // character, and nothing is lost.
    const std::string charset(80, 'X');
    const std::string folded = EncodeHeaderText("\xE9\xE9\xE9", charset, 'B', false);
    const auto words = SplitEncodedWords(folded, "=?" + charset + "?B?", false);
    std::string joined;
    for (const auto& w : words)
        joined += w.bytes;
    EXPECT_EQ(joined, "\xE9\xE9\xE9");
}
