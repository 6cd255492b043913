#include "mail/jconvert.h"

#include <array>
#include <cstdint>

namespace mail {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each Base64 character; -1 for a byte outside the alphabet.
constexpr std::array<int8_t, 256> MakeBase64Values()
{
    std::array<int8_t, 256> values{};
    for (auto& v : values)
        v = -1;
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<int8_t>(i);
    return values;
}

constexpr std::array<int8_t, 256> kBase64Values = MakeBase64Values();

// Appends the bytes of one group of Base64 characters: `count` characters before the first "=" (or
// before the end of the input), 2 to 4 of them carrying 1 to 3 bytes. A single character holds less
// than one byte and gives nothing.
void AppendGroup(std::string& out, uint32_t bits, int count)
{
    if (count >= 2)
        out += static_cast<char>((bits >> 16) & 0xFF);
    if (count >= 3)
        out += static_cast<char>((bits >> 8) & 0xFF);
    if (count >= 4)
        out += static_cast<char>(bits & 0xFF);
}

} // namespace

std::string Base64Encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64Alphabet[(v >> 18) & 0x3F];
        out += kBase64Alphabet[(v >> 12) & 0x3F];
        out += kBase64Alphabet[(v >> 6) & 0x3F];
        out += kBase64Alphabet[v & 0x3F];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kBase64Alphabet[(v >> 18) & 0x3F];
        out += kBase64Alphabet[(v >> 12) & 0x3F];
        out += rest == 2 ? kBase64Alphabet[(v >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

// The decoder is lenient, because its input comes from a hand-editable settings file whose values are
// cut at 2047 characters on reading: bytes outside the alphabet (line breaks, spaces, anything else)
// are skipped; characters are taken in groups of four, and a "=" ends the data of its group (third
// place: one byte, fourth place: two); a group cut short by the end of the input gives the whole
// bytes its characters hold. So a damaged value loses only what is really missing.
std::string Base64Decode(std::string_view text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int place = 0;     // characters of the current group seen, "=" included
    int dataCount = 0; // characters of the current group before its first "="
    bool padded = false;
    for (const char ch : text) {
        const int value = kBase64Values[static_cast<unsigned char>(ch)];
        if (value < 0 && ch != '=')
            continue;
        if (ch == '=') {
            padded = true;
        } else if (!padded) {
            bits |= static_cast<uint32_t>(value) << (18 - 6 * place);
            ++dataCount;
        }
        if (++place == 4) {
            AppendGroup(out, bits, dataCount);
            bits = 0;
            place = 0;
            dataCount = 0;
            padded = false;
        }
    }
    AppendGroup(out, bits, dataCount);
    return out;
}

} // namespace mail
