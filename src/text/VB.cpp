#include "text/VB.h"

#include "platform/WidthMap.h"

#include <algorithm>
#include <vector>

namespace text {

namespace {

// Byte offset of the character after the one that starts at byte i. A lead byte in the last
// position steps past the end; callers clamp where they copy.
size_t NextChar(std::string_view text, size_t i)
{
    return i + static_cast<size_t>(CharBytes(static_cast<unsigned char>(text[i])));
}

// Byte offset of the character that lies count characters after the one starting at byte from
// (which must be a character start). May be past the end of the text.
size_t AdvanceChars(std::string_view text, size_t from, long count)
{
    size_t i = from;
    for (long n = 0; n < count && i < text.size(); ++n)
        i = NextChar(text, i);
    return i;
}

// Number of characters that start in [from, to); from must be a character start.
long CharsBetween(std::string_view text, size_t from, size_t to)
{
    long n = 0;
    for (size_t i = from; i < to && i < text.size(); i = NextChar(text, i))
        ++n;
    return n;
}

// Byte offset of character n (1-based; n below 1 means the first); past the end when the text has
// fewer characters.
size_t ByteOfChar(std::string_view text, long n)
{
    return AdvanceChars(text, 0, std::max(n, 1L) - 1);
}

// Byte offset of the last character's first byte; the text must not be empty.
size_t LastCharStart(std::string_view text)
{
    size_t last = 0;
    for (size_t i = 0; i < text.size(); i = NextChar(text, i))
        last = i;
    return last;
}

// Walks the character starts of a text forward, never backward, so that testing many candidate
// match positions in increasing order costs one walk in total.
class CharStartCursor
{
public:
    CharStartCursor(std::string_view text, size_t start) : m_text(text), m_pos(start) {}
    bool IsCharStart(size_t p)
    {
        while (m_pos < p)
            m_pos = NextChar(m_text, m_pos);
        return m_pos == p;
    }

private:
    std::string_view m_text;
    size_t m_pos;
};

// Short patterns: the library search (memchr-driven) is fastest, and its worst case is bounded by
// the pattern length times the text length, which stays linear for patterns this short.
constexpr size_t kShortPattern = 16;

size_t FindShort(std::string_view text, std::string_view pattern, size_t from)
{
    CharStartCursor cursor(text, from);
    for (size_t p = text.find(pattern, from); p != std::string_view::npos; p = text.find(pattern, p + 1)) {
        if (cursor.IsCharStart(p))
            return p;
    }
    return std::string_view::npos;
}

// Long patterns: Knuth-Morris-Pratt, which keeps its state across a match that turns out to start
// in the middle of a double-byte character, so the text is read once whatever the pattern.
size_t FindLong(std::string_view text, std::string_view pattern, size_t from)
{
    const size_t m = pattern.size();
    std::vector<size_t> fail(m, 0);
    for (size_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = fail[k - 1];
        if (pattern[i] == pattern[k])
            ++k;
        fail[i] = k;
    }
    CharStartCursor cursor(text, from);
    size_t q = 0;
    for (size_t i = from; i < text.size(); ++i) {
        while (q > 0 && text[i] != pattern[q])
            q = fail[q - 1];
        if (text[i] == pattern[q])
            ++q;
        if (q == m) {
            const size_t p = i + 1 - m;
            if (cursor.IsCharStart(p))
                return p;
            q = fail[q - 1];
        }
    }
    return std::string_view::npos;
}

bool EndsWithChars(std::string_view text, std::string_view tail)
{
    return RightChars(text, CharLen(tail)) == tail;
}

// Replaces every run of double quote characters by one double quote.
std::string CollapseQuoteRuns(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    bool previousWasQuote = false;
    for (size_t i = 0; i < field.size();) {
        const size_t next = std::min(NextChar(field, i), field.size());
        const bool quote = field[i] == '"';
        if (!(quote && previousWasQuote))
            out.append(field.substr(i, next - i));
        previousWasQuote = quote;
        i = next;
    }
    return out;
}

// A last field that begins and ends with a double quote: both go, and doubled quotes inside become
// one.
std::string UnwrapQuoted(std::string_view field)
{
    const size_t last = LastCharStart(field);
    if (last == 0)
        return {};
    return CollapseQuoteRuns(field.substr(1, last - 1));
}

// A quoted field closed by the quote-comma marker: the marker took the closing quote, so only the
// opening one is left to drop. Doubled quotes inside become one, as in a last field.
std::string UnwrapQuotedBeforeMarker(std::string_view field)
{
    if (!field.empty() && field.front() == '"')
        field.remove_prefix(1);
    return CollapseQuoteRuns(field);
}

bool StartsWithQuote(std::string_view text)
{
    return !text.empty() && text.front() == '"';
}

bool EndsWithQuoteChar(std::string_view text)
{
    if (text.empty())
        return false;
    const size_t last = LastCharStart(text);
    return text.size() - last == 1 && text[last] == '"';
}

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Upper-cases the single-byte letters of a text; the bytes of double-byte characters stay as they
// are (their trail bytes may look like ASCII letters), so the character structure is unchanged.
std::string FoldSingleByteLetters(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); i = NextChar(out, i))
        out[i] = FoldAscii(out[i]);
    return out;
}

} // namespace

size_t FindAtCharStart(std::string_view text, std::string_view pattern, size_t from)
{
    if (pattern.empty() || from >= text.size() || pattern.size() > text.size() - from)
        return std::string_view::npos;
    return pattern.size() <= kShortPattern ? FindShort(text, pattern, from) : FindLong(text, pattern, from);
}

long CharLen(std::string_view text)
{
    return CharsBetween(text, 0, text.size());
}

std::string TailFrom(std::string_view text, long n)
{
    const size_t b = ByteOfChar(text, n);
    return b < text.size() ? std::string(text.substr(b)) : std::string();
}

std::string MidChars(std::string_view text, long start, long count)
{
    if (count <= 0)
        return {};
    const size_t b = ByteOfChar(text, start);
    if (b >= text.size())
        return {};
    const size_t e = std::min(AdvanceChars(text, b, count), text.size());
    return std::string(text.substr(b, e - b));
}

std::string LeftChars(std::string_view text, long count)
{
    return MidChars(text, 1, count);
}

std::string RightChars(std::string_view text, long count)
{
    // A count beyond the length gives an empty text, not the whole text; callers know this.
    const long m = CharLen(text) - count;
    if (m < 0)
        return {};
    return TailFrom(text, m + 1);
}

long InStrChars(std::string_view text, std::string_view pattern)
{
    return InStrFrom(1, text, pattern);
}

long InStrFrom(long start, std::string_view text, std::string_view pattern)
{
    // A start below 1 would shift the answer off the text's own positions; it means "from the
    // beginning".
    start = std::max(start, 1L);
    const size_t b = ByteOfChar(text, start);
    const size_t found = FindAtCharStart(text, pattern, b);
    if (found == std::string_view::npos)
        return 0;
    return start + CharsBetween(text, b, found);
}

long CountText(std::string_view text, std::string_view pattern)
{
    if (pattern.empty())
        return 0;
    const long patternChars = CharLen(pattern);
    long count = 0;
    size_t b = 0;
    for (;;) {
        const size_t found = FindAtCharStart(text, pattern, b);
        if (found == std::string_view::npos)
            return count;
        ++count;
        // Continue after as many characters of the text as the pattern has.
        b = AdvanceChars(text, found, patternChars);
    }
}

StringList SplitText(std::string_view text, std::string_view separator, bool quoteMode)
{
    static constexpr std::string_view kQuoteMarker = "\",";
    StringList fields;
    size_t b = 0; // first byte of the current character position
    while (b < text.size()) {
        const bool quoted = quoteMode && text[b] == '"';
        const std::string_view marker = quoted ? kQuoteMarker : separator;
        const size_t found = FindAtCharStart(text, marker, b);
        if (found == std::string_view::npos) {
            const std::string_view rest = text.substr(b);
            if (quoteMode && StartsWithQuote(rest) && EndsWithQuoteChar(rest))
                fields.push_back(UnwrapQuoted(rest));
            else
                fields.emplace_back(rest);
            return fields;
        }
        const std::string_view field = text.substr(b, found - b);
        fields.push_back(quoted ? UnwrapQuotedBeforeMarker(field) : std::string(field));
        b = AdvanceChars(text, found, CharLen(marker));
    }
    // Past the last character: a text that ends with the separator has one more, empty, field.
    if (!text.empty() && !separator.empty() && EndsWithChars(text, separator))
        fields.emplace_back();
    return fields;
}

std::string ReplaceAllText(std::string_view text, std::string_view oldText, std::string_view newText)
{
    if (oldText.empty() || text.empty())
        return std::string(text);
    // Code page 932 has no cased letters besides the single-byte ASCII ones, so folding those on both
    // sides is the whole of a case-insensitive comparison, and it keeps every byte offset.
    std::string foldedText = FoldSingleByteLetters(text);
    const std::string foldedOld = FoldSingleByteLetters(oldText);
    std::string out;
    out.reserve(text.size());
    size_t b = 0;
    size_t runEnd = 0; // first byte at or after b that is not a lead byte
    while (b < text.size()) {
        const size_t found = FindAtCharStart(foldedText, foldedOld, b);
        if (found == std::string_view::npos)
            break;
        out.append(text.substr(b, found - b));
        out.append(newText);
        // The rest is searched as a text of its own, from its first byte.
        b = found + oldText.size();
        // Only an old text that ends in a lone lead byte can leave b inside a character; the walk of
        // the rest then differs from the whole text's walk up to the end of the run of lead bytes at
        // b, and the one byte after that run may change from trail byte to letter or back.
        runEnd = std::max(runEnd, b);
        while (runEnd < text.size() && platform::IsDBCSLeadByte(static_cast<unsigned char>(text[runEnd])))
            ++runEnd;
        if (runEnd < text.size())
            foldedText[runEnd] = (runEnd - b) % 2 == 0 ? FoldAscii(text[runEnd]) : text[runEnd];
    }
    if (b < text.size())
        out.append(text.substr(b));
    return out;
}

std::string StrConvMap(std::string_view text, unsigned flags)
{
    const bool half = (flags & kMapHalfWidth) != 0;
    const bool full = (flags & kMapFullWidth) != 0;
    // Neither width, or both at once (which contradict each other): the system's mapping refuses,
    // and the text comes back unchanged. The empty text needs no mapping.
    if (text.empty() || half == full)
        return std::string(text);
    return half ? platform::ToHalfWidth(text) : platform::ToFullWidth(text);
}

} // namespace text
