#pragma once
// A straightforward version of the page rewriting, written step by step with the character-position
// helpers and no attention to speed: upper-casing the whole text for every search, erasing from the
// middle of the text. The real implementation must give the same bytes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

// The character-position helpers for one walk: code page 932 (the text helpers themselves) or UTF-8
// (a plain version over a list of characters).
class Chars
{
public:
    explicit Chars(bool utf8) : m_utf8(utf8) {}
    bool utf8() const { return m_utf8; }
    long CharLen(std::string_view text) const;
    std::string LeftChars(std::string_view text, long count) const;
    std::string MidChars(std::string_view text, long start, long count) const;
    std::string TailFrom(std::string_view text, long n) const;
    long InStrChars(std::string_view text, std::string_view pattern) const;
    long InStrFrom(long start, std::string_view text, std::string_view pattern) const;
    std::string ReplaceAllText(std::string_view text, std::string_view oldText,
                               std::string_view newText) const;
    // Single-byte letters a to z upper-cased, other characters left alone.
    std::string Upper(std::string_view text) const;
    // Code page 932 program text in this walk's encoding.
    std::string Convert(std::string_view cp932) const;

private:
    std::vector<size_t> Starts(std::string_view text) const;
    bool m_utf8;
};

// True when the page is to be walked as UTF-8.
bool IsUtf8Page(std::string_view page);

// Lines as a file is read: CR LF, LF or CR end a line.
std::vector<std::string> ReadLines(std::string_view bytes);
std::string WriteLines(const std::vector<std::string>& lines);

struct Forms
{
    std::string L[5]; // 1-based: L[1] .. L[4]
    std::string R[5];
};
Forms BuildForms(std::string_view replaceLink, std::string_view pagePath);

struct Settings
{
    std::string ReplaceLink;
    bool ReplaceOnly = true;
    bool ClosedFast = false;
    bool IPtoURL = false;
    std::string NewGlobalIP;
    std::string NewHostName;
    bool UploadAll = false;
};

std::optional<std::string> RewritePage(std::string_view page, std::string_view pagePath, bool closing,
                                       const Settings& settings);
std::optional<std::string> RewritePageWith(const Chars& chars, std::string_view page,
                                           std::string_view pagePath, bool closing, const Settings& settings);
std::string DisableLinks(const Chars& chars, std::string_view text, std::string_view pattern);

std::string AddRobotsMeta(std::string_view file, bool robotNo, const std::vector<std::string>& keywordsJP,
                          const std::vector<std::string>& keywordsEN);
std::string StampPage(std::string_view file, std::string_view timeStamp, std::string_view version);
std::string InsertClosedNotice(std::string_view file, std::string_view closedString);

} // namespace reference
