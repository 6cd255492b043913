#include "upload/UploadPaths.h"

#include "text/VB.h"

#include <vector>

namespace upload {

namespace {

// A "\" byte can be the trail byte of a double-byte character, so separators are found by walking
// characters, never bytes.
bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::vector<std::string> SplitAtSeparators(std::string_view path)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t p = 0; p < path.size();
         p += static_cast<size_t>(text::CharBytes(static_cast<unsigned char>(path[p])))) {
        if (!IsSeparator(path[p]))
            continue;
        if (p > begin)
            parts.emplace_back(path.substr(begin, p - begin));
        begin = p + 1;
    }
    if (begin < path.size())
        parts.emplace_back(path.substr(begin));
    return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t count, char separator)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += separator;
        out += parts[i];
    }
    return out;
}

// The number of bytes of the listing's prefix: the folder text and its separator. The listing adds
// a separator unless the folder text ends with one ("/" or "\", which it turns into "/" on POSIX).
size_t PrefixLength(std::string_view folder)
{
    const std::string last = text::RightChars(folder, 1);
    return last == "/" || last == "\\" ? folder.size() : folder.size() + 1;
}

std::string LowerAscii(std::string_view textIn)
{
    std::string out(textIn);
    for (size_t p = 0; p < out.size();
         p += static_cast<size_t>(text::CharBytes(static_cast<unsigned char>(out[p])))) {
        if (out[p] >= 'A' && out[p] <= 'Z')
            out[p] = static_cast<char>(out[p] - 'A' + 'a');
    }
    return out;
}

} // namespace

ListedFile SplitListedPath(std::string_view folder, std::string_view listedPath)
{
    const size_t prefix = PrefixLength(folder);
    // The listing always starts its paths with the folder; anything else is placed at the top.
    std::string_view below = listedPath;
    if (!folder.empty() && listedPath.size() > prefix &&
        listedPath.substr(0, prefix - 1) == folder.substr(0, prefix - 1))
        below = listedPath.substr(prefix);
    std::vector<std::string> parts = SplitAtSeparators(below);
    ListedFile file;
    if (parts.empty())
        return file;
    file.Name = parts.back();
    file.RemoteFolder = Join(parts, parts.size() - 1, '/');
    file.ShownPath = Join(parts, parts.size(), '\\');
    return file;
}

std::string RemotePath(const std::string& remoteFolder, const std::string& name)
{
    return remoteFolder.empty() ? name : remoteFolder + "/" + name;
}

std::string UpLevels(const std::string& remoteFolder)
{
    std::string back;
    for (long level = text::CountText(remoteFolder, "/") + 1; level > 0; --level)
        back += "../";
    return back;
}

std::string ExtensionOf(std::string_view name)
{
    size_t dot = std::string_view::npos;
    for (size_t p = 0; p < name.size();
         p += static_cast<size_t>(text::CharBytes(static_cast<unsigned char>(name[p])))) {
        if (name[p] == '.')
            dot = p;
        else if (name[p] == '/' || name[p] == '\\')
            dot = std::string_view::npos;
    }
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

bool IsPageFile(std::string_view name, std::string_view masks)
{
    const std::string extension = LowerAscii(ExtensionOf(name));
    for (const std::string& mask : text::SplitText(masks, ";", true)) {
        // A list ending in ";" would otherwise make every file without extension a page, and such
        // a file (often binary) would be rewritten line by line and sent in text mode.
        if (mask.empty())
            continue;
        if (LowerAscii(ExtensionOf(mask)) == extension)
            return true;
    }
    return false;
}

std::string ThousandsText(long long value)
{
    const bool negative = value < 0;
    // Digits from the unsigned magnitude, so that the smallest value has a form as well.
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    const std::string digits = std::to_string(magnitude);
    std::string out;
    const size_t lead = digits.size() % 3;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && i >= lead && (i - lead) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

} // namespace upload
