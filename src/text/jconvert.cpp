#include "text/jconvert.h"

#include "platform/LeadByte.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace mail {

namespace {

constexpr char kEsc = '\x1B';
constexpr std::string_view kToAscii = "\x1B(B";
constexpr std::string_view kToJisB = "\x1B$B";
constexpr std::string_view kToJisAt = "\x1B$@";

unsigned char Byte(std::string_view text, size_t i)
{
    return static_cast<unsigned char>(text[i]);
}

bool InRange(unsigned char b, unsigned char low, unsigned char high)
{
    return b >= low && b <= high;
}

// A byte that can follow a lead byte in code page 932.
bool IsSjisTrail(unsigned char b)
{
    return InRange(b, 0x40, 0x7E) || InRange(b, 0x80, 0xFC);
}

// JIS X 0208 codes of the half-width katakana 0xA1 to 0xDF (JIS X 0201 to JIS X 0208).
constexpr std::array<uint16_t, 63> kHalfKanaToJis = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565,
    0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, 0x2531, 0x2533,
    0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564,
    0x2566, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

// JIS X 0208 code of a half-width kana combined with the mark that follows it, or 0 when the pair
// has no combined form. ｳﾞ is ヴ; ｶ to ｺ, ｻ to ｿ, ﾀ to ﾄ and ﾊ to ﾎ take the voiced mark (their
// voiced kana are the next code); ﾊ to ﾎ take the semi-voiced mark (the code after the voiced one).
uint16_t CombinedKana(unsigned char kana, unsigned char mark)
{
    const uint16_t plain = kHalfKanaToJis[kana - 0xA1];
    const bool hToHo = InRange(kana, 0xCA, 0xCE);
    if (mark == kVoicedMark) {
        if (kana == 0xB3)
            return 0x2574;
        if (InRange(kana, 0xB6, 0xC4) || hToHo)
            return plain + 1;
    } else if (mark == kSemiVoicedMark && hToHo) {
        return plain + 2;
    }
    return 0;
}

// Shift_JIS pair to JIS X 0208 by the standard arithmetic; the lead is 0x81-0x9F or 0xE0-0xEF and the
// trail a valid trail byte.
uint16_t SjisPairToJis(unsigned char lead, unsigned char trail)
{
    int j1 = lead <= 0x9F ? 2 * (lead - 0x70) - 1 : 2 * (lead - 0xB0) - 1;
    int j2 = 0;
    if (trail >= 0x9F) {
        ++j1;
        j2 = trail - 0x7E;
    } else {
        j2 = trail <= 0x7E ? trail - 0x1F : trail - 0x20;
    }
    return static_cast<uint16_t>((j1 << 8) | j2);
}

// JIS X 0208 code to Shift_JIS by the standard arithmetic, appended to `out`. Only the low seven
// bits of each byte count, so 8-bit garbage still gives a pair in Shift_JIS ranges.
void AppendJisAsSjis(std::string& out, unsigned char j1, unsigned char j2)
{
    j1 &= 0x7F;
    j2 &= 0x7F;
    const int lead = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
    int trail = 0;
    if (j1 % 2 == 1)
        trail = j2 < 0x60 ? j2 + 0x1F : j2 + 0x20;
    else
        trail = j2 + 0x7E;
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
}

void AppendJisCode(std::string& out, uint16_t code)
{
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// Walks Shift_JIS text and hands every character it can convert to `sink`: sink.Ascii(byte),
// sink.Jis(code) for double-byte characters, and the half-width katakana either widened (a kana and
// its mark combined) through sink.Jis or, for a sink whose code has them, as they are through
// sink.HalfKana(byte). Characters that cannot be converted are dropped: user-defined characters (leads 0xF0
// to 0xFC), a lead byte with a byte after it that cannot be a trail, a lead byte at the very end, and
// the single bytes 0x80, 0xA0, 0xFD to 0xFF. A byte below 0x80 after a lead byte that cannot pair
// with it is a character of its own and is kept; a stray lead byte must not swallow a line break.
template <typename Sink> void WalkSjis(std::string_view text, Sink& sink)
{
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = Byte(text, i);
        if (c < 0x80) {
            sink.Ascii(c);
            ++i;
        } else if (platform::IsDBCSLeadByte(c)) {
            if (i + 1 >= n)
                break;
            const unsigned char trail = Byte(text, i + 1);
            if (!IsSjisTrail(trail)) {
                i += trail < 0x80 ? 1 : 2;
                continue;
            }
            if (c <= 0xEF)
                sink.Jis(SjisPairToJis(c, trail));
            i += 2;
        } else if (InRange(c, 0xA1, 0xDF) && !Sink::kWidensKana) {
            sink.HalfKana(c);
            ++i;
        } else if (InRange(c, 0xA1, 0xDF)) {
            uint16_t code = kHalfKanaToJis[c - 0xA1];
            size_t used = 1;
            if (i + 1 < n) {
                if (const uint16_t combined = CombinedKana(c, Byte(text, i + 1))) {
                    code = combined;
                    used = 2;
                }
            }
            sink.Jis(code);
            i += used;
        } else {
            ++i; // 0x80, 0xA0, 0xFD to 0xFF
        }
    }
}

class JisSink
{
public:
    static constexpr bool kWidensKana = true;
    JisSink(std::string& out, std::string_view toDoubleByte) : m_out(out), m_toDoubleByte(toDoubleByte) {}
    void Ascii(unsigned char c)
    {
        if (m_doubleByte) {
            m_out += kToAscii;
            m_doubleByte = false;
        }
        m_out += static_cast<char>(c);
    }
    void Jis(uint16_t code)
    {
        if (!m_doubleByte) {
            m_out += m_toDoubleByte;
            m_doubleByte = true;
        }
        AppendJisCode(m_out, code);
    }
    void HalfKana(unsigned char) {}
    void Finish()
    {
        if (m_doubleByte)
            m_out += kToAscii;
        m_doubleByte = false;
    }

private:
    std::string& m_out;
    std::string_view m_toDoubleByte;
    bool m_doubleByte = false;
};

// EUC-JP keeps half-width katakana as single characters (0x8E and the byte).
class EucSink
{
public:
    static constexpr bool kWidensKana = false;
    explicit EucSink(std::string& out) : m_out(out) {}
    void Ascii(unsigned char c) { m_out += static_cast<char>(c); }
    void Jis(uint16_t code) { AppendJisCode(m_out, code | 0x8080); }
    void HalfKana(unsigned char c)
    {
        m_out += '\x8E';
        m_out += static_cast<char>(c);
    }

private:
    std::string& m_out;
};

std::string SjisToJis(std::string_view text, std::string_view toDoubleByte)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2 + 8);
    JisSink sink(out, toDoubleByte);
    WalkSjis(text, sink);
    sink.Finish();
    return out;
}

std::string SjisToEuc(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    EucSink sink(out);
    WalkSjis(text, sink);
    return out;
}

std::string JisToSjis(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    bool doubleByte = false;
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == kEsc) {
            if (i + 1 < n) {
                if (text[i + 1] == '$')
                    doubleByte = true;
                else if (text[i + 1] == '(')
                    doubleByte = false;
            }
            i += 3;
        } else if (doubleByte && Byte(text, i) > 0x20) {
            if (i + 1 < n)
                AppendJisAsSjis(out, Byte(text, i), Byte(text, i + 1));
            i += 2;
        } else {
            // Single-byte mode; and line breaks, spaces and control bytes that a careless writer left
            // in double-byte mode stay what they are instead of pairing with their neighbour.
            out += c;
            ++i;
        }
    }
    return out;
}

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

// --- Header words -----------------------------------------------------------------------------------

bool IsHeaderSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsUnsafeHeaderByte(unsigned char b)
{
    return b <= 0x1F || b >= 0x7F;
}

bool NeedsEncoding(std::string_view word)
{
    for (const char c : word) {
        if (IsUnsafeHeaderByte(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

// Bytes that the letter Q writes as "=" and two hexadecimal digits.
bool IsQHexByte(unsigned char b)
{
    return b != ' ' && (IsUnsafeHeaderByte(b) || b == '=' || b == '?' || b == '_');
}

// The encoded form of one byte with the letter Q. A space inside an encoded-word would end it, so it
// is written as "_", the form reserved for it.
void AppendQ(std::string& out, unsigned char b)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (b == ' ') {
        out += '_';
    } else if (IsQHexByte(b)) {
        out += '=';
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    } else {
        out += static_cast<char>(b);
    }
}

size_t QLength(std::string_view bytes)
{
    size_t length = 0;
    for (const char c : bytes)
        length += IsQHexByte(static_cast<unsigned char>(c)) ? 3 : 1;
    return length;
}

// Writes a run of words as encoded-words of at most 75 characters each (the continuation starts
// after CR LF TAB). In ISO-2022-JP a cut falls between characters only: each encoded-word must
// decode on its own, so a word cut in double-byte mode is closed with the escape to ASCII and the
// next one reopens double-byte mode. Text sent without conversion is cut between any two bytes.
class EncodedWordWriter
{
public:
    EncodedWordWriter(std::string& out, std::string_view charset, char letter, bool jis)
        : m_out(out), m_q(letter == 'Q' || letter == 'q'), m_jis(jis)
    {
        m_prefix = "=?";
        m_prefix += charset;
        m_prefix += '?';
        m_prefix += letter;
        m_prefix += '?';
        // The line may hold 75 characters, two of them kept for the closing "?=".
        m_room = m_prefix.size() + 2 < 75 ? 75 - 2 - m_prefix.size() : 0;
    }

    void Write(std::string_view stretch)
    {
        bool doubleByte = false;
        size_t i = 0;
        while (i < stretch.size()) {
            const size_t length = AtomLength(stretch, i, doubleByte);
            Add(stretch.substr(i, length), doubleByte);
            i += length;
        }
        Flush();
    }

private:
    // Length of the unit that starts at i and must not be cut: an escape sequence (together with the
    // first character after an escape into double-byte mode), a double-byte character or one byte.
    size_t AtomLength(std::string_view s, size_t i, bool& doubleByte) const
    {
        const size_t left = s.size() - i;
        if (m_jis && s[i] == kEsc) {
            size_t length = std::min<size_t>(3, left);
            if (left > 1) {
                if (s[i + 1] == '$')
                    doubleByte = true;
                else if (s[i + 1] == '(')
                    doubleByte = false;
            }
            if (doubleByte && length < left && s[i + length] != kEsc)
                length += std::min<size_t>(2, left - length);
            return length;
        }
        return m_jis && doubleByte ? std::min<size_t>(2, left) : 1;
    }

    size_t EncodedLength(size_t bytes, size_t qLength) const { return m_q ? qLength : (bytes + 2) / 3 * 4; }

    void Add(std::string_view atom, bool doubleByteAfter)
    {
        const size_t closing = doubleByteAfter ? kToAscii.size() : 0;
        const size_t closingQ = doubleByteAfter ? QLength(kToAscii) : 0;
        const size_t atomQ = m_q ? QLength(atom) : 0;
        const size_t wanted =
            EncodedLength(m_payload.size() + atom.size() + closing, m_payloadQ + atomQ + closingQ);
        if (wanted > m_room && m_atoms > 0) {
            if (m_doubleByte) {
                m_payload += kToAscii;
                m_payloadQ += QLength(kToAscii);
            }
            Flush();
            m_out += "\r\n\t";
            if (m_doubleByte) {
                m_payload = kToJisB;
                m_payloadQ = QLength(kToJisB);
            }
        }
        m_payload += atom;
        m_payloadQ += atomQ;
        m_doubleByte = doubleByteAfter;
        ++m_atoms;
    }

    void Flush()
    {
        m_out += m_prefix;
        if (m_q) {
            for (const char c : m_payload)
                AppendQ(m_out, static_cast<unsigned char>(c));
        } else {
            m_out += Base64Encode(m_payload);
        }
        m_out += "?=";
        m_payload.clear();
        m_payloadQ = 0;
        m_atoms = 0;
    }

    std::string& m_out;
    const bool m_q;
    const bool m_jis;
    std::string m_prefix;
    size_t m_room = 0;
    std::string m_payload;
    size_t m_payloadQ = 0;
    size_t m_atoms = 0;
    bool m_doubleByte = false;
};

} // namespace

std::string SjisToIso2022Jp(std::string_view text)
{
    return SjisToJis(text, kToJisB);
}

std::string EncodeHeaderText(std::string_view text, std::string_view charset, char letter, bool convert)
{
    const std::string converted = convert ? SjisToIso2022Jp(text) : std::string();
    const std::string_view s = convert ? std::string_view(converted) : text;
    const size_t n = s.size();
    std::string out;
    out.reserve(n * 2 + 32);

    // Next word after `from`: [spaceStart, wordStart) white space, [wordStart, wordEnd) the word.
    struct Word
    {
        size_t spaceStart, wordStart, wordEnd;
    };
    const auto nextWord = [&](size_t from) {
        Word w{from, from, from};
        while (w.wordStart < n && IsHeaderSpace(s[w.wordStart]))
            ++w.wordStart;
        w.wordEnd = w.wordStart;
        while (w.wordEnd < n && !IsHeaderSpace(s[w.wordEnd]))
            ++w.wordEnd;
        return w;
    };
    const auto needsEncoding = [&](const Word& w) {
        return NeedsEncoding(s.substr(w.wordStart, w.wordEnd - w.wordStart));
    };

    size_t pos = 0;
    while (pos < n) {
        const Word word = nextWord(pos);
        if (word.wordStart == word.wordEnd) {
            // White space after the last word is kept as it is.
            out.append(s.substr(word.spaceStart));
            break;
        }
        if (!needsEncoding(word)) {
            out.append(s.substr(word.spaceStart, word.wordEnd - word.spaceStart));
            pos = word.wordEnd;
            continue;
        }
        // A run of words that need encoding, with the white space between them, is one stretch.
        size_t runEnd = word.wordEnd;
        for (;;) {
            const Word next = nextWord(runEnd);
            if (next.wordStart == next.wordEnd || !needsEncoding(next))
                break;
            runEnd = next.wordEnd;
        }
        out.append(s.substr(word.spaceStart, word.wordStart - word.spaceStart));
        EncodedWordWriter(out, charset, letter, convert)
            .Write(s.substr(word.wordStart, runEnd - word.wordStart));
        pos = runEnd;
    }
    return out;
}

JapaneseCode DetectJapaneseCode(std::string_view text)
{
    const size_t n = text.size();
    // Binary test over the first 512 bytes; like the scan below it never looks at the last byte.
    for (size_t i = 0; i < 512 && i + 1 < n; ++i) {
        const unsigned char c = Byte(text, i);
        if (c < 0x08 || c == 0xFF)
            return jcBinary;
    }

    JapaneseCode result = jcAscii;
    size_t i = 0;
    while ((result == jcAscii || result == jcEucOrSjis) && i + 1 < n) {
        const unsigned char c = Byte(text, i);
        if (c == 0x1B) {
            ++i;
            if (text[i] == '$') {
                ++i;
                if (i < n) {
                    if (text[i] == 'B')
                        result = jcJisB;
                    else if (text[i] == '@')
                        result = jcJisAt;
                    ++i;
                }
            } else {
                ++i;
            }
        } else if (c < 0x08 || c == 0xFF) {
            result = jcBinary;
            ++i;
        } else if (c <= 0x7F || c == 0x80 || c == 0xA0) {
            ++i;
        } else if (InRange(c, 0x81, 0x8D) || InRange(c, 0x8F, 0x9F)) {
            result = jcSjis;
            ++i;
        } else if (c == 0x8E) {
            const unsigned char d = Byte(text, i + 1);
            if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0) || InRange(d, 0xE0, 0xFC))
                result = jcSjis;
            else if (InRange(d, 0xA1, 0xDF))
                result = jcEucOrSjis;
            i += 2;
        } else if (InRange(c, 0xA1, 0xDF)) {
            const unsigned char d = Byte(text, i + 1);
            i += 2;
            if (InRange(d, 0xF0, 0xFE)) {
                result = jcEuc;
            } else if (InRange(d, 0xA1, 0xDF)) {
                result = jcEucOrSjis;
            } else if (InRange(d, 0xE0, 0xEF)) {
                result = jcEucOrSjis;
                // Ambiguous pair: look on through the bytes of 0x40 or more for one that only one of
                // the two codes has.
                while (i < n && Byte(text, i) >= 0x40) {
                    const unsigned char e = Byte(text, i);
                    ++i;
                    if (InRange(e, 0x81, 0x8D) || InRange(e, 0x8F, 0x9C)) {
                        result = jcSjis;
                        break;
                    }
                    if (e == 0xFD || e == 0xFE) {
                        result = jcEuc;
                        break;
                    }
                }
            } else if (d <= 0x9F) {
                result = jcSjis;
            }
        } else if (InRange(c, 0xE0, 0xEF)) {
            const unsigned char d = Byte(text, i + 1);
            if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0))
                result = jcSjis;
            else if (d == 0xFD || d == 0xFE)
                result = jcEuc;
            else if (InRange(d, 0xA1, 0xFC))
                result = jcEucOrSjis;
            i += 2;
        } else { // 0xF0 to 0xFE
            result = jcEuc;
            ++i;
        }
    }
    return result;
}

std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target)
{
    const JapaneseCode code = DetectJapaneseCode(text);
    if (code < jcJisB || code == target || code == jcEucOrSjis)
        return std::string(text);
    if (target != jcJisB && target != jcJisAt && target != jcEuc && target != jcSjis)
        return std::string(text);

    std::string sjis;
    if (code == jcJisB || code == jcJisAt)
        sjis = JisToSjis(text);
    else if (code == jcEuc)
        sjis = EucToSjis(text);
    else
        sjis = std::string(text);

    switch (target) {
    case jcJisB:
        return SjisToJis(sjis, kToJisB);
    case jcJisAt:
        return SjisToJis(sjis, kToJisAt);
    case jcEuc:
        return SjisToEuc(sjis);
    default:
        return sjis;
    }
}

std::string EucToSjis(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = Byte(text, i);
        if (c <= 0x80 || c == 0xFF) {
            out += static_cast<char>(c);
            ++i;
        } else if (i + 1 >= n) {
            break; // a lead byte without its second byte
        } else if (Byte(text, i + 1) < 0x80) {
            ++i; // a stray lead byte; the ASCII byte after it is a character of its own
        } else if (c == 0x8E) {
            out += text[i + 1];
            i += 2;
        } else if (c == 0x8F) {
            // A JIS X 0212 character (three bytes) has no place in code page 932; dropping all three
            // keeps the text after it in step.
            i += 3;
        } else {
            AppendJisAsSjis(out, c, Byte(text, i + 1));
            i += 2;
        }
    }
    return out;
}

LineBreakKind DetectLineBreak(std::string_view text)
{
    const size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos)
        return lbNone;
    if (text[at] == '\n')
        return lbLf;
    return at + 1 < text.size() && text[at + 1] == '\n' ? lbCrLf : lbCr;
}

std::string ConvertLineBreaks(std::string_view text, LineBreakKind kind)
{
    const LineBreakKind found = DetectLineBreak(text);
    if (found == lbNone || found == kind)
        return std::string(text);
    std::string_view replacement;
    switch (kind) {
    case lbCrLf:
        replacement = "\r\n";
        break;
    case lbCr:
        replacement = "\r";
        break;
    case lbLf:
        replacement = "\n";
        break;
    default:
        return std::string(text);
    }
    const std::string_view sequence = found == lbCrLf ? "\r\n" : found == lbCr ? "\r" : "\n";
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 8);
    size_t i = 0;
    while (i < text.size()) {
        // Only a whole break sequence is replaced: in a CR LF text a CR without its LF stays, and
        // the byte after it is not lost.
        if (text.substr(i, sequence.size()) == sequence) {
            out += replacement;
            i += sequence.size();
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

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
