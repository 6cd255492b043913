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
// A count beyond the length gives an empty text, not the whole text.
std::string RightChars(std::string_view text, long count);
// Matches only at character starts, letter case significant; 0 when not found or either is empty.
long InStrChars(std::string_view text, std::string_view pattern);
// The position counts from the start of the whole text; a start below 1 means 1.
long InStrFrom(long start, std::string_view text, std::string_view pattern);
// Non-overlapping occurrences.
long CountText(std::string_view text, std::string_view pattern);
// A plain split at the separator; a text ending in the separator has an empty last field, an empty
// text has no field, an empty separator gives the whole text as one field. In quote mode a field
// starting with a double quote ends at a double quote followed by a comma (whatever the separator)
// or at the end of the text; its quotes go and any run of double quotes inside becomes one (a last
// field without its closing quote stays as written).
StringList SplitText(std::string_view text, std::string_view separator, bool quoteMode);
// Every occurrence, single-byte letters in any case, left to right; replaced text is not searched
// again, and the rest after each match is searched as a text of its own.
std::string ReplaceAllText(std::string_view text, std::string_view oldText, std::string_view newText);

// Flags of StrConvMap, as the platform's character mapping knows them.
inline constexpr unsigned kMapHalfWidth = 0x00400000;
inline constexpr unsigned kMapFullWidth = 0x00800000;
// Half-width or full-width form (see platform/WidthMap.h); with neither flag or both the text is
// returned unchanged.
std::string StrConvMap(std::string_view text, unsigned flags);

template <typename T>
T Choose(bool condition, T a, T b)
{
    return condition ? a : b;
}

// Folder and mask texts are code page 932; the result holds code page 932 names or paths. Masks are
// separated by ";"; a file is taken when its extension equals the mask's (".*" takes any, a mask
// without extension takes names without one). Each folder's files are sorted case-insensitively in
// byte order, then the subfolders (not those starting with ".") follow in the same order, each
// subfolder's whole list sorted on its own. Only plain files are listed; an empty folder text lists
// nothing. A file or folder whose name has no code page 932 form cannot be opened through these
// texts and is left out; when unconvertible is given, such files that the masks take, and such
// subfolders, are added to it (the characters without a form shown as "?", folders with a trailing
// separator).
StringList ListFiles(std::string_view folder, std::string_view masks, bool topFolderOnly, bool fullPaths,
                     StringList* unconvertible = nullptr);
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
