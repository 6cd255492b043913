#include "rewrite/PageText.h"

#include "platform/Codepage.h"
#include "platform/LeadByte.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace rewrite {

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsLower(unsigned char c)
{
    return c >= 'a' && c <= 'z';
}

bool IsUpper(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t p)
{
    const auto b0 = static_cast<unsigned char>(text[p]);
    const size_t left = text.size() - p;
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[p + i]); };
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return left >= 2 && IsContinuation(at(1)) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2)))
            return 0;
        if (b0 == 0xE0 && at(1) < 0xA0) // overlong
            return 0;
        if (b0 == 0xED && at(1) >= 0xA0) // surrogates
            return 0;
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) || !IsContinuation(at(3)))
            return 0;
        if (b0 == 0xF0 && at(1) < 0x90) // overlong
            return 0;
        if (b0 == 0xF4 && at(1) >= 0x90) // beyond U+10FFFF
            return 0;
        return 4;
    }
    return 0;
}

// Bytes of the character that starts at p; a code page 932 lead byte at the very end counts as
// two, as the text helpers count it (callers clamp).
size_t CharSize(std::string_view text, size_t p, PageEncoding encoding)
{
    const auto b = static_cast<unsigned char>(text[p]);
    if (encoding == PageEncoding::Cp932)
        return platform::IsDBCSLeadByte(b) ? 2 : 1;
    size_t n = 1;
    while (p + n < text.size() && IsContinuation(static_cast<unsigned char>(text[p + n])))
        ++n;
    return n;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A declaration such as charset=utf-8 or charset="UTF8" anywhere in the text.
bool DeclaresUtf8(std::string_view text)
{
    const Needle charset("charset", PageEncoding::Utf8);
    const Needle utf8("utf8", PageEncoding::Utf8);
    const Needle utf_8("utf-8", PageEncoding::Utf8);
    for (size_t p = charset.FindIn(text, 0, PageEncoding::Utf8); p != npos;
         p = charset.FindIn(text, p + 1, PageEncoding::Utf8)) {
        size_t q = p + charset.size();
        while (q < text.size() && IsBlank(text[q]))
            ++q;
        if (q >= text.size() || text[q] != '=')
            continue;
        ++q;
        while (q < text.size() && IsBlank(text[q]))
            ++q;
        if (q < text.size() && (text[q] == '"' || text[q] == '\''))
            ++q;
        if (utf8.MatchesAt(text, q) || utf_8.MatchesAt(text, q))
            return true;
    }
    return false;
}

} // namespace

PageEncoding DetectPageEncoding(std::string_view text)
{
    bool multiByte = false;
    size_t p = 0;
    while (p < text.size()) {
        // Plain ASCII runs are the bulk of a page; skip them eight bytes at a time.
        while (p + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= text.size())
            break;
        const size_t n = Utf8SequenceLength(text, p);
        if (n == 0)
            return PageEncoding::Cp932;
        multiByte = multiByte || n > 1;
        p += n;
    }
    // A page of plain ASCII reads the same either way; it counts as UTF-8 when it says so, so that
    // the Japanese texts inserted into it are written in the encoding its readers expect.
    return multiByte || DeclaresUtf8(text) ? PageEncoding::Utf8 : PageEncoding::Cp932;
}

std::string ToPageEncoding(std::string_view cp932, PageEncoding encoding)
{
    // ASCII reads the same in both; most link bases and addresses are ASCII, and the converter is
    // comparatively costly to set up for every page.
    const bool ascii =
        std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (encoding == PageEncoding::Cp932 || ascii)
        return std::string(cp932);
    return platform::Cp932ToUtf8(cp932);
}

std::string FoldLetters(std::string_view text, PageEncoding encoding)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); i += CharSize(out, i, encoding)) {
        if (IsLower(static_cast<unsigned char>(out[i])))
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
    return out;
}

CharStarts::CharStarts(std::string_view text, PageEncoding encoding, size_t start)
    : m_text(text), m_encoding(encoding), m_origin(start), m_known(start)
{
}

bool CharStarts::IsStart(size_t p)
{
    if (p >= m_text.size())
        return p == m_text.size();
    if (m_encoding == PageEncoding::Utf8)
        return !IsContinuation(static_cast<unsigned char>(m_text[p]));
    if (p < m_known)
        m_known = m_origin; // asked out of order: walk again from the beginning
    if (p == m_known)
        return true;
    // A byte outside the lead-byte ranges always ends a character, so the run of lead-range bytes
    // just before p decides: its bytes pair up from its first one.
    size_t j = p;
    while (j > m_known && platform::IsDBCSLeadByte(static_cast<unsigned char>(m_text[j - 1])))
        --j;
    const bool start = (p - j) % 2 == 0;
    m_known = start ? p : p + 1;
    return start;
}

Needle::Needle(std::string_view text, PageEncoding encoding) : m_upper(text), m_other(text)
{
    for (size_t i = 0; i < text.size(); i += CharSize(text, i, encoding)) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsLower(c)) {
            m_upper[i] = static_cast<char>(c - 'a' + 'A');
        } else if (IsUpper(c)) {
            m_other[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
}

bool Needle::MatchesAt(std::string_view text, size_t p) const
{
    const size_t m = m_upper.size();
    if (p > text.size() || m > text.size() - p)
        return false;
    const char* t = text.data() + p;
    for (size_t i = 0; i < m; ++i) {
        if (t[i] != m_upper[i] && t[i] != m_other[i])
            return false;
    }
    return true;
}

size_t Needle::FindIn(std::string_view text, size_t from, PageEncoding encoding) const
{
    const size_t m = m_upper.size();
    if (m == 0 || from > text.size() || m > text.size() - from)
        return npos;
    const char c0 = m_upper[0];
    const char c1 = m_other[0];
    const char* base = text.data();
    const size_t end = text.size() - m + 1; // one past the last byte where a match can start
    CharStarts starts(text, encoding, from);
    // The text is searched window by window for either first byte, so that one search costs the
    // distance to its match, however rare the other letter case is.
    constexpr size_t kWindow = 4096;
    for (size_t window = from; window < end; window += kWindow) {
        const size_t windowEnd = std::min(end, window + kWindow);
        size_t p = window;
        while (p < windowEnd) {
            const void* hit0 = std::memchr(base + p, c0, windowEnd - p);
            const void* hit1 = c1 == c0 ? nullptr : std::memchr(base + p, c1, windowEnd - p);
            if (!hit0 && !hit1)
                break;
            const char* hit = !hit0 ? static_cast<const char*>(hit1)
                              : !hit1
                                  ? static_cast<const char*>(hit0)
                                  : std::min(static_cast<const char*>(hit0), static_cast<const char*>(hit1));
            const auto q = static_cast<size_t>(hit - base);
            if (MatchesAt(text, q) && starts.IsStart(q))
                return q;
            p = q + 1;
        }
    }
    return npos;
}

bool ReplaceAll(std::string_view text, const Needle& needle, std::string_view replacement,
                PageEncoding encoding, std::string& out)
{
    if (needle.empty())
        return false;
    size_t found = needle.FindIn(text, 0, encoding);
    if (found == npos)
        return false;
    std::string result;
    result.reserve(text.size() + replacement.size());
    size_t b = 0;
    while (found != npos) {
        result.append(text.substr(b, found - b));
        result.append(replacement);
        // The rest is searched as a text of its own, from its first byte.
        b = found + needle.size();
        found = needle.FindIn(text, b, encoding);
    }
    result.append(text.substr(b));
    out = std::move(result);
    return true;
}

size_t FindExact(std::string_view text, std::string_view pattern, size_t from, PageEncoding encoding)
{
    if (pattern.empty() || from > text.size())
        return npos;
    CharStarts starts(text, encoding, from);
    for (size_t p = text.find(pattern, from); p != npos; p = text.find(pattern, p + 1)) {
        if (starts.IsStart(p))
            return p;
    }
    return npos;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    const char* base = text.data();
    const size_t n = text.size();
    auto next = [&](char c, size_t p) -> size_t {
        if (p >= n)
            return npos;
        const void* hit = std::memchr(base + p, c, n - p);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - base) : npos;
    };
    size_t start = 0;
    size_t cr = next('\r', 0);
    size_t lf = next('\n', 0);
    while (start < n) {
        if (cr != npos && cr < start)
            cr = next('\r', start);
        if (lf != npos && lf < start)
            lf = next('\n', start);
        const size_t brk = cr < lf ? cr : lf;
        if (brk == npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, brk - start));
        start = brk + 1;
        if (text[brk] == '\r' && start < n && text[start] == '\n')
            ++start;
    }
    return lines;
}

void AppendLineCrLf(std::string& out, std::string_view line)
{
    out.append(line);
    out.append("\r\n", 2);
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines)
{
    size_t total = 0;
    for (const std::string& line : lines)
        total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const std::string& line : lines)
        AppendLineCrLf(out, line);
    return out;
}

} // namespace rewrite
