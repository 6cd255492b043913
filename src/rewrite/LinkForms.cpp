#include "rewrite/LinkForms.h"

#include "platform/LeadByte.h"

#include <vector>

namespace rewrite {

namespace {

// Paths are code page 932 text: a "\" byte can be the trail byte of a double-byte character, so
// every scan below walks by characters.
size_t CharSize(std::string_view text, size_t p)
{
    return platform::IsDBCSLeadByte(static_cast<unsigned char>(text[p])) ? 2 : 1;
}

// Byte offsets of the characters of a text.
std::vector<size_t> CharStartsOf(std::string_view text)
{
    std::vector<size_t> starts;
    for (size_t p = 0; p < text.size(); p += CharSize(text, p))
        starts.push_back(p);
    return starts;
}

// The text without its last character.
std::string_view WithoutLastChar(std::string_view text)
{
    const std::vector<size_t> starts = CharStartsOf(text);
    return starts.empty() ? text : text.substr(0, starts.back());
}

bool LastCharIs(std::string_view text, char c)
{
    const std::vector<size_t> starts = CharStartsOf(text);
    return !starts.empty() && text.size() - starts.back() == 1 && text.back() == c;
}

std::string ReplaceChar(std::string_view text, char from, char to)
{
    std::string out(text);
    for (size_t p = 0; p < out.size(); p += CharSize(out, p)) {
        if (out[p] == from)
            out[p] = to;
    }
    return out;
}

bool IsPosixStyle(std::string_view path)
{
    return !path.empty() && path.front() == '/';
}

char SeparatorOf(std::string_view path)
{
    return IsPosixStyle(path) ? '/' : '\\';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Position just past the character-wise next occurrence of c at or after from, or npos.
size_t FindCharFrom(std::string_view text, char c, size_t from)
{
    for (size_t p = from; p < text.size(); p += CharSize(text, p)) {
        if (text[p] == c)
            return p;
    }
    return std::string_view::npos;
}

// The drive of a path: "X:", "\\server\share", "/" for an absolute POSIX path, else empty.
std::string_view DriveOf(std::string_view path)
{
    if (IsPosixStyle(path))
        return path.substr(0, 1);
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':')
        return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const size_t afterServer = FindCharFrom(path, '\\', 2);
        if (afterServer == std::string_view::npos)
            return path;
        const size_t afterShare = FindCharFrom(path, '\\', afterServer + 1);
        return afterShare == std::string_view::npos ? path : path.substr(0, afterShare);
    }
    return {};
}

// Single-byte letters folded; Windows compares file names without regard to case.
std::string FoldFileName(std::string_view name)
{
    std::string out(name);
    for (size_t p = 0; p < out.size(); p += CharSize(out, p)) {
        if (out[p] >= 'a' && out[p] <= 'z')
            out[p] = static_cast<char>(out[p] - 'a' + 'A');
    }
    return out;
}

bool SameName(std::string_view a, std::string_view b, bool posix)
{
    // POSIX file names differ by case, so only Windows names are compared without it.
    return posix ? a == b : FoldFileName(a) == FoldFileName(b);
}

// The folder components of a path after its drive: everything up to its last separator, split at
// the separator, empty components dropped.
std::vector<std::string_view> FolderComponents(std::string_view path, size_t driveLength, char separator)
{
    std::vector<std::string_view> parts;
    size_t begin = driveLength;
    for (size_t p = driveLength; p < path.size(); p += CharSize(path, p)) {
        if (path[p] != separator)
            continue;
        if (p > begin)
            parts.push_back(path.substr(begin, p - begin));
        begin = p + 1;
    }
    // What follows the last separator is the file name (for a folder ending with its separator,
    // nothing), not a folder.
    return parts;
}

} // namespace

bool IsInertForm(std::string_view form)
{
    return form.empty() || form == ":";
}

std::string RelativeLinkPath(std::string_view pagePath, std::string_view destination)
{
    const bool posix = IsPosixStyle(pagePath);
    const std::string_view pageDrive = DriveOf(pagePath);
    const std::string_view destDrive = DriveOf(destination);
    if (posix != IsPosixStyle(destination) || !SameName(pageDrive, destDrive, posix))
        return std::string(destination);
    const char separator = posix ? '/' : '\\';
    const std::vector<std::string_view> from = FolderComponents(pagePath, pageDrive.size(), separator);
    const std::vector<std::string_view> to = FolderComponents(destination, destDrive.size(), separator);
    size_t common = 0;
    while (common < from.size() && common < to.size() && SameName(from[common], to[common], posix))
        ++common;
    std::string relative;
    for (size_t i = common; i < from.size(); ++i) {
        relative += "..";
        relative += separator;
    }
    for (size_t i = common; i < to.size(); ++i) {
        relative.append(to[i]);
        relative += separator;
    }
    return relative;
}

LinkForms BuildLinkForms(std::string_view replaceLink, std::string_view pagePath)
{
    LinkForms forms;
    if (replaceLink.empty())
        return forms;
    const char separator = SeparatorOf(replaceLink);
    std::string l1(replaceLink);
    if (!LastCharIs(l1, separator))
        l1 += separator;
    forms.L[0] = l1;
    forms.L[1] = ReplaceChar(l1, '\\', '/');
    forms.L[2] = std::string(WithoutLastChar(forms.L[0])) + ':';
    forms.L[3] = std::string(WithoutLastChar(forms.L[1])) + ':';

    const std::string r1 = RelativeLinkPath(pagePath, l1);
    forms.R[0] = r1;
    forms.R[1] = ReplaceChar(r1, '\\', '/');
    forms.R[2] = std::string(WithoutLastChar(forms.R[0])) + ':';
    forms.R[3] = std::string(WithoutLastChar(forms.R[1])) + ':';
    return forms;
}

} // namespace rewrite
