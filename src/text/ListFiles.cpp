// File listing for the upload run: code page 932 folder and mask texts over the native file system.
#include "text/VB.h"

#include "platform/ProgramFolder.h"

#include <QString>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace text {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

fs::path ToNative(const std::string& cp932)
{
    const QString path = platform::PathFromCp932(cp932);
#ifdef _WIN32
    return fs::path(path.toStdWString());
#else
    return fs::path(path.toStdString());
#endif
}

std::string FromNative(const fs::path& path)
{
#ifdef _WIN32
    return platform::PathToCp932(QString::fromStdWString(path.native()));
#else
    return platform::PathToCp932(QString::fromStdString(path.native()));
#endif
}

// The folder text with a trailing separator. A last character "/" or "\" already is one (tested
// as a character: the trail byte of 表 is a backslash byte too); on POSIX a "\" is turned into "/"
// so that the paths handed back can be opened.
std::string WithSeparator(std::string_view folder)
{
    std::string out(folder);
    const std::string last = RightChars(folder, 1);
    if (last == "/")
        return out;
    if (last == "\\") {
#ifndef _WIN32
        out.back() = '/';
#endif
        return out;
    }
    out += kSeparator;
    return out;
}

// The characters of a text, single-byte letters folded to lower case, one entry per character.
std::vector<std::string_view> FoldedChars(std::string_view text, std::string& storage)
{
    storage.assign(text);
    std::vector<std::string_view> chars;
    for (size_t i = 0; i < storage.size();) {
        const size_t width =
            std::min<size_t>(CharBytes(static_cast<unsigned char>(storage[i])), storage.size() - i);
        if (width == 1 && storage[i] >= 'A' && storage[i] <= 'Z')
            storage[i] = static_cast<char>(storage[i] - 'A' + 'a');
        chars.emplace_back(storage.data() + i, width);
        i += width;
    }
    return chars;
}

std::string LowerAscii(std::string_view text)
{
    std::string storage;
    FoldedChars(text, storage);
    return storage;
}

// The extension of a name: from its last "." (a character, not a trail byte) to the end.
std::string Extension(std::string_view name)
{
    size_t dot = std::string_view::npos;
    for (size_t i = 0; i < name.size();
         i += static_cast<size_t>(CharBytes(static_cast<unsigned char>(name[i]))))
        if (name[i] == '.')
            dot = i;
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

// Wildcard match as the system's file search does it: "*" any run of characters, "?" one
// character, letters in any case; a mask ending in ".*" also takes names without a dot.
bool MaskMatches(std::string_view name, std::string_view mask)
{
    std::string nameStorage;
    std::string maskStorage;
    const auto n = FoldedChars(name, nameStorage);
    const auto m = FoldedChars(mask, maskStorage);
    size_t i = 0;
    size_t j = 0;
    size_t star = std::string::npos;
    size_t mark = 0;
    while (i < n.size()) {
        if (j < m.size() && (m[j] == "?" || m[j] == n[i])) {
            ++i;
            ++j;
        } else if (j < m.size() && m[j] == "*") {
            star = j++;
            mark = i;
        } else if (star != std::string::npos) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < m.size() && m[j] == "*")
        ++j;
    return j == m.size() || (m.size() - j == 2 && m[j] == "." && m[j + 1] == "*");
}

// Case-insensitive byte order; names that differ only in case keep a fixed order by their bytes.
bool NameLess(const std::string& a, const std::string& b)
{
    const std::string la = LowerAscii(a);
    const std::string lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
}

void SortNames(StringList& list)
{
    std::stable_sort(list.begin(), list.end(), NameLess);
}

struct Entry
{
    std::string name; // code page 932
    bool isFile = false;
    bool isFolder = false;
    // The name has no code page 932 form: name holds it with "?" and it cannot be opened.
    bool unconvertible = false;
};

std::vector<Entry> ReadFolder(const fs::path& folder)
{
    std::vector<Entry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path nativeName = it->path().filename();
        Entry e;
        e.name = FromNative(nativeName);
        // A name that has no code page 932 form could not be opened by the rest of the program.
        e.unconvertible = ToNative(e.name) != nativeName;
        std::error_code typeError;
        // Only plain files: a pipe or a device would never finish uploading.
        e.isFile = it->is_regular_file(typeError);
        e.isFolder = !e.isFile && it->is_directory(typeError);
        entries.push_back(std::move(e));
    }
    return entries;
}

StringList ListFolder(const std::string& prefix, const StringList& masks, bool topFolderOnly, bool fullPaths,
                      std::vector<fs::path>& openFolders, StringList* unconvertible)
{
    StringList result;
    const fs::path native = ToNative(prefix);
    std::error_code ec;
    const fs::path canonical = fs::canonical(native, ec);
    if (ec)
        return result;
    // A folder link that leads back to a folder being listed would recurse for ever.
    if (std::find(openFolders.begin(), openFolders.end(), canonical) != openFolders.end())
        return result;
    const std::vector<Entry> entries = ReadFolder(native);

    StringList lost;
    for (const std::string& mask : masks) {
        const std::string maskExt = LowerAscii(Extension(mask));
        for (const Entry& e : entries) {
            if (!e.isFile || !MaskMatches(e.name, mask))
                continue;
            // The extension must agree exactly, so "*.htm" does not take "x.html".
            if (maskExt != ".*" && LowerAscii(Extension(e.name)) != maskExt)
                continue;
            if (e.unconvertible)
                lost.push_back(prefix + e.name);
            else
                result.push_back(fullPaths ? prefix + e.name : e.name);
        }
    }
    SortNames(result);
    SortNames(lost);
    if (unconvertible)
        unconvertible->insert(unconvertible->end(), lost.begin(), lost.end());
    if (topFolderOnly)
        return result;

    // Folders in a fixed order (the file system's own order differs from machine to machine).
    StringList folders;
    for (const Entry& e : entries) {
        if (!e.isFolder || e.name.starts_with('.'))
            continue;
        if (!e.unconvertible)
            folders.push_back(e.name);
        else if (unconvertible)
            unconvertible->push_back(prefix + e.name + kSeparator);
    }
    SortNames(folders);
    openFolders.push_back(canonical);
    for (const std::string& name : folders) {
        StringList sub =
            ListFolder(prefix + name + kSeparator, masks, false, fullPaths, openFolders, unconvertible);
        SortNames(sub);
        result.insert(result.end(), std::make_move_iterator(sub.begin()), std::make_move_iterator(sub.end()));
    }
    openFolders.pop_back();
    return result;
}

// On POSIX a trailing "\" stands for the separator, as it does in ListFiles.
std::string NativeFolderText(std::string_view path)
{
    if (RightChars(path, 1) == "\\")
        return WithSeparator(path);
    return std::string(path);
}

} // namespace

StringList ListFiles(std::string_view folder, std::string_view masks, bool topFolderOnly, bool fullPaths,
                     StringList* unconvertible)
{
    // No folder is no listing; it never means the root of the file system.
    if (folder.empty())
        return {};
    std::vector<fs::path> openFolders;
    return ListFolder(WithSeparator(folder), SplitText(masks, ";", true), topFolderOnly, fullPaths,
                      openFolders, unconvertible);
}

bool FolderExists(std::string_view path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_directory(ToNative(NativeFolderText(path)), ec);
}

} // namespace text
