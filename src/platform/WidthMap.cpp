#include "platform/WidthMap.h"

#include "platform/LeadByte.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace platform {

namespace {

// A half-width katakana byte with its full-width character and, where they exist, the full-width
// characters of the kana followed by ﾞ (voiced) and by ﾟ (semi-voiced). Codes are code page 932.
struct KanaPair
{
    unsigned char half;
    std::uint16_t full;
    std::uint16_t voiced = 0;
    std::uint16_t semiVoiced = 0;
};

constexpr KanaPair kKana[] = {
    {0xA1, 0x8142},                 // ｡ 。
    {0xA2, 0x8175},                 // ｢ 「
    {0xA3, 0x8176},                 // ｣ 」
    {0xA4, 0x8141},                 // ､ 、
    {0xA5, 0x8145},                 // ･ ・
    {0xA6, 0x8392},                 // ｦ ヲ
    {0xA7, 0x8340},                 // ｧ ァ
    {0xA8, 0x8342},                 // ｨ ィ
    {0xA9, 0x8344},                 // ｩ ゥ
    {0xAA, 0x8346},                 // ｪ ェ
    {0xAB, 0x8348},                 // ｫ ォ
    {0xAC, 0x8383},                 // ｬ ャ
    {0xAD, 0x8385},                 // ｭ ュ
    {0xAE, 0x8387},                 // ｮ ョ
    {0xAF, 0x8362},                 // ｯ ッ
    {0xB0, 0x815B},                 // ｰ ー
    {0xB1, 0x8341},                 // ｱ ア
    {0xB2, 0x8343},                 // ｲ イ
    {0xB3, 0x8345, 0x8394},         // ｳ ウ ｳﾞ ヴ
    {0xB4, 0x8347},                 // ｴ エ
    {0xB5, 0x8349},                 // ｵ オ
    {0xB6, 0x834A, 0x834B},         // ｶ カ ｶﾞ ガ
    {0xB7, 0x834C, 0x834D},         // ｷ キ ｷﾞ ギ
    {0xB8, 0x834E, 0x834F},         // ｸ ク ｸﾞ グ
    {0xB9, 0x8350, 0x8351},         // ｹ ケ ｹﾞ ゲ
    {0xBA, 0x8352, 0x8353},         // ｺ コ ｺﾞ ゴ
    {0xBB, 0x8354, 0x8355},         // ｻ サ ｻﾞ ザ
    {0xBC, 0x8356, 0x8357},         // ｼ シ ｼﾞ ジ
    {0xBD, 0x8358, 0x8359},         // ｽ ス ｽﾞ ズ
    {0xBE, 0x835A, 0x835B},         // ｾ セ ｾﾞ ゼ
    {0xBF, 0x835C, 0x835D},         // ｿ ソ ｿﾞ ゾ
    {0xC0, 0x835E, 0x835F},         // ﾀ タ ﾀﾞ ダ
    {0xC1, 0x8360, 0x8361},         // ﾁ チ ﾁﾞ ヂ
    {0xC2, 0x8363, 0x8364},         // ﾂ ツ ﾂﾞ ヅ
    {0xC3, 0x8365, 0x8366},         // ﾃ テ ﾃﾞ デ
    {0xC4, 0x8367, 0x8368},         // ﾄ ト ﾄﾞ ド
    {0xC5, 0x8369},                 // ﾅ ナ
    {0xC6, 0x836A},                 // ﾆ ニ
    {0xC7, 0x836B},                 // ﾇ ヌ
    {0xC8, 0x836C},                 // ﾈ ネ
    {0xC9, 0x836D},                 // ﾉ ノ
    {0xCA, 0x836E, 0x836F, 0x8370}, // ﾊ ハ ﾊﾞ バ ﾊﾟ パ
    {0xCB, 0x8371, 0x8372, 0x8373}, // ﾋ ヒ ﾋﾞ ビ ﾋﾟ ピ
    {0xCC, 0x8374, 0x8375, 0x8376}, // ﾌ フ ﾌﾞ ブ ﾌﾟ プ
    {0xCD, 0x8377, 0x8378, 0x8379}, // ﾍ ヘ ﾍﾞ ベ ﾍﾟ ペ
    {0xCE, 0x837A, 0x837B, 0x837C}, // ﾎ ホ ﾎﾞ ボ ﾎﾟ ポ
    {0xCF, 0x837D},                 // ﾏ マ
    {0xD0, 0x837E},                 // ﾐ ミ
    {0xD1, 0x8380},                 // ﾑ ム
    {0xD2, 0x8381},                 // ﾒ メ
    {0xD3, 0x8382},                 // ﾓ モ
    {0xD4, 0x8384},                 // ﾔ ヤ
    {0xD5, 0x8386},                 // ﾕ ユ
    {0xD6, 0x8388},                 // ﾖ ヨ
    {0xD7, 0x8389},                 // ﾗ ラ
    {0xD8, 0x838A},                 // ﾘ リ
    {0xD9, 0x838B},                 // ﾙ ル
    {0xDA, 0x838C},                 // ﾚ レ
    {0xDB, 0x838D},                 // ﾛ ロ
    {0xDC, 0x838F},                 // ﾜ ワ
    {0xDD, 0x8393},                 // ﾝ ン
    {0xDE, 0x814A},                 // ﾞ ゛
    {0xDF, 0x814B},                 // ﾟ ゜
};

constexpr unsigned char kVoicedMark = 0xDE;     // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF; // ﾟ

// ASCII symbols and their full-width characters, both ways.
struct SymbolPair
{
    char half;
    std::uint16_t full;
};

constexpr SymbolPair kSymbols[] = {
    {' ', 0x8140},  {'!', 0x8149}, {'"', 0x8168}, {'#', 0x8194}, {'$', 0x8190}, {'%', 0x8193}, {'&', 0x8195},
    {'\'', 0x8166}, {'(', 0x8169}, {')', 0x816A}, {'*', 0x8196}, {'+', 0x817B}, {',', 0x8143}, {'-', 0x817C},
    {'.', 0x8144},  {'/', 0x815E}, {':', 0x8146}, {';', 0x8147}, {'<', 0x8183}, {'=', 0x8181}, {'>', 0x8184},
    {'?', 0x8148},  {'@', 0x8197}, {'[', 0x816D}, {']', 0x816E}, {'^', 0x814F}, {'_', 0x8151}, {'`', 0x814D},
    {'{', 0x816F},  {'|', 0x8162}, {'}', 0x8170}, {'~', 0x8160},
};

// Full-width characters that narrow to a symbol which widens to something else.
constexpr SymbolPair kNarrowOnly[] = {
    {'\\', 0x815F}, // ＼
    {'\'', 0xFA56}, // ＇ (IBM extension)
    {'\'', 0xEEFB}, // ＇ (the same, NEC-selected copy)
    {'"', 0xFA57},  // ＂
    {'"', 0xEEFC},  // ＂
    {'-', 0x815D},  // ‐
};

constexpr std::uint16_t kFullDigitZero = 0x824F;
constexpr std::uint16_t kFullUpperA = 0x8260;
constexpr std::uint16_t kFullLowerA = 0x8281;

void AppendCode(std::string& out, std::uint16_t code)
{
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

struct Tables
{
    std::array<std::uint16_t, 256> full{};               // single byte -> full-width code, 0 for none
    std::array<std::uint16_t, 256> voiced{};             // half-width kana -> voiced full-width code
    std::array<std::uint16_t, 256> semiVoiced{};         // half-width kana -> semi-voiced full-width code
    std::unordered_map<std::uint16_t, std::string> half; // full-width code -> half-width bytes

    Tables()
    {
        auto pair = [this](unsigned char h, std::uint16_t f) {
            full[h] = f;
            half[f] = std::string(1, static_cast<char>(h));
        };
        for (const KanaPair& k : kKana) {
            pair(k.half, k.full);
            const std::string h(1, static_cast<char>(k.half));
            if (k.voiced) {
                voiced[k.half] = k.voiced;
                half[k.voiced] = h + static_cast<char>(kVoicedMark);
            }
            if (k.semiVoiced) {
                semiVoiced[k.half] = k.semiVoiced;
                half[k.semiVoiced] = h + static_cast<char>(kSemiVoicedMark);
            }
        }
        for (const SymbolPair& s : kSymbols)
            pair(static_cast<unsigned char>(s.half), s.full);
        for (int i = 0; i < 10; ++i)
            pair(static_cast<unsigned char>('0' + i), static_cast<std::uint16_t>(kFullDigitZero + i));
        for (int i = 0; i < 26; ++i) {
            pair(static_cast<unsigned char>('A' + i), static_cast<std::uint16_t>(kFullUpperA + i));
            pair(static_cast<unsigned char>('a' + i), static_cast<std::uint16_t>(kFullLowerA + i));
        }
        for (const SymbolPair& s : kNarrowOnly)
            half[s.full] = std::string(1, s.half);
    }
};

const Tables& WidthTables()
{
    static const Tables tables;
    return tables;
}

} // namespace

std::string ToHalfWidth(std::string_view cp932)
{
    const Tables& t = WidthTables();
    std::string out;
    out.reserve(cp932.size());
    for (size_t i = 0; i < cp932.size();) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (!IsDBCSLeadByte(b) || i + 1 == cp932.size()) {
            out += cp932[i];
            ++i;
            continue;
        }
        const auto code = static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(cp932[i + 1]));
        if (const auto it = t.half.find(code); it != t.half.end())
            out += it->second;
        else
            out.append(cp932.substr(i, 2));
        i += 2;
    }
    return out;
}

std::string ToFullWidth(std::string_view cp932)
{
    const Tables& t = WidthTables();
    std::string out;
    out.reserve(cp932.size() * 2);
    for (size_t i = 0; i < cp932.size();) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (IsDBCSLeadByte(b)) {
            // Already a double-byte character (or a cut one at the end): unchanged.
            out.append(cp932.substr(i, 2));
            i += 2;
            continue;
        }
        const unsigned char next = i + 1 < cp932.size() ? static_cast<unsigned char>(cp932[i + 1]) : 0;
        if (next == kVoicedMark && t.voiced[b]) {
            AppendCode(out, t.voiced[b]);
            i += 2;
        } else if (next == kSemiVoicedMark && t.semiVoiced[b]) {
            AppendCode(out, t.semiVoiced[b]);
            i += 2;
        } else {
            if (t.full[b])
                AppendCode(out, t.full[b]);
            else
                out += cp932[i];
            ++i;
        }
    }
    return out;
}

} // namespace platform
