#pragma once
// The character walk over a page. A page is code page 932 text, walked as the text helpers walk it
// (a byte 0x81-0x9F or 0xE0-0xFC starts a two-byte character), unless it is valid UTF-8 holding at
// least one multi-byte character: such a page is walked by UTF-8 characters, because the code page
// 932 walk would take the byte after many UTF-8 sequences for a trail byte and miss the link
// behind it. Searches here ignore the case of the single-byte letters a to z, match only at
// character starts, and are linear in the length of the text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rewrite {

enum class PageEncoding {
    Cp932,
    Utf8,
};

// Utf8 for a text that is valid UTF-8 and holds at least one multi-byte sequence, or is plain ASCII
// declaring charset=utf-8; else Cp932.
PageEncoding DetectPageEncoding(std::string_view text);

// Turns a code page 932 text that the program inserts or searches for into the page's encoding.
std::string ToPageEncoding(std::string_view cp932, PageEncoding encoding);

// Upper-cases the single-byte letters a to z; bytes of multi-byte characters stay as they are.
std::string FoldLetters(std::string_view text, PageEncoding encoding);

// Answers "does a character start at byte p?" for positions asked in increasing order, walking the
// text at most once in total. start must be a character start (0 for a whole text or line).
class CharStarts
{
public:
    CharStarts(std::string_view text, PageEncoding encoding, size_t start = 0);
    bool IsStart(size_t p);

private:
    std::string_view m_text;
    PageEncoding m_encoding;
    size_t m_origin;
    size_t m_known; // a character start at or before every position asked from now on
};

// A search text prepared for case-insensitive matching in one encoding.
class Needle
{
public:
    Needle() = default;
    Needle(std::string_view text, PageEncoding encoding);
    bool empty() const { return m_upper.empty(); }
    size_t size() const { return m_upper.size(); }
    // The needle as the upper-cased search sees it.
    const std::string& folded() const { return m_upper; }
    // True when the needle's bytes equal the text's bytes at p, letter case ignored (p must be a
    // character start of the text; the character structure then lines up by itself).
    bool MatchesAt(std::string_view text, size_t p) const;
    // True when byte i of the needle accepts the text byte c.
    bool ByteMatches(size_t i, char c) const { return c == m_upper[i] || c == m_other[i]; }
    // The two bytes (possibly equal) that a match can begin with.
    char FirstByte() const { return m_upper[0]; }
    char FirstByteOtherCase() const { return m_other[0]; }
    // Byte offset of the first occurrence at a character start at or after from (a character
    // start), or npos.
    size_t FindIn(std::string_view text, size_t from, PageEncoding encoding) const;

private:
    std::string m_upper;
    std::string m_other; // at every byte: the other letter case where the search folds, else the same
};

// Replaces every occurrence of needle by replacement, left to right, without searching inserted text
// again. Returns true when something was replaced; out then holds the new text.
bool ReplaceAll(std::string_view text, const Needle& needle, std::string_view replacement,
                PageEncoding encoding, std::string& out);

// Exact (case-sensitive) search at character starts.
size_t FindExact(std::string_view text, std::string_view pattern, size_t from, PageEncoding encoding);

// A file read as lines: breaks are CR LF, LF or CR; a break at the very end adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Every line followed by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);
void AppendLineCrLf(std::string& out, std::string_view line);

} // namespace rewrite
