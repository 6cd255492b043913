#pragma once
// Character-position string operations over code page 932 text. Positions are 1-based character
// positions; a double-byte character counts as one, and a lead byte in the last position still
// counts as a (cut) two-byte character. Every walk is linear in the length of the text.

#include <string>
#include <string_view>
#include <vector>

namespace text {

using StringList = std::vector<std::string>;

// Number of bytes of the character that starts with byte b (1 or 2).
inline int CharBytes(unsigned char b);

long CharLen(std::string_view text);
std::string TailFrom(std::string_view text, long n);
std::string MidChars(std::string_view text, long start, long count);
std::string LeftChars(std::string_view text, long count);
std::string RightChars(std::string_view text, long count);
long InStrChars(std::string_view text, std::string_view pattern);
long InStrFrom(long start, std::string_view text, std::string_view pattern);
long CountText(std::string_view text, std::string_view pattern);
StringList SplitText(std::string_view text, std::string_view separator, bool quoteMode);
std::string ReplaceAllText(std::string_view text, std::string_view oldText, std::string_view newText);

// Flags of StrConvMap, as the platform's character mapping knows them.
inline constexpr unsigned kMapHalfWidth = 0x00400000;
inline constexpr unsigned kMapFullWidth = 0x00800000;
std::string StrConvMap(std::string_view text, unsigned flags);

template <typename T>
T Choose(bool condition, T a, T b)
{
    return condition ? a : b;
}

// Folder and mask texts are code page 932; the result holds code page 932 names or paths.
StringList ListFiles(std::string_view folder, std::string_view masks, bool topFolderOnly, bool fullPaths);
bool FolderExists(std::string_view path);

// Byte-level helpers shared by the character walks (and by other units that walk text).

// Byte offset (0-based) of the first occurrence of pattern that starts on a character start at or
// after the character that starts at byte offset from; std::string_view::npos when none.
size_t FindAtCharStart(std::string_view text, std::string_view pattern, size_t from = 0);

} // namespace text

#include "platform/LeadByte.h"

inline int text::CharBytes(unsigned char b)
{
    return platform::IsDBCSLeadByte(b) ? 2 : 1;
}
