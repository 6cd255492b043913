#pragma once
// Where a listed file goes on the server, and which files are pages. Paths are code page 932 text as
// the file listing hands them out: the listed folder, its separator, then the path below it (with
// "/" on POSIX, "\" on Windows).

#include <string>
#include <string_view>

namespace upload {

struct ListedFile
{
    // The folder below the listed folder with "/" separators and no trailing one; empty for the
    // listed folder itself ("sub", "sub/deeper").
    std::string RemoteFolder;
    // The file's name without any folder.
    std::string Name;
    // The path below the listed folder with "\" separators, as the status bar shows it
    // ("sub\a.htm").
    std::string ShownPath;
};

// Splits a path that the listing of folder produced.
ListedFile SplitListedPath(std::string_view folder, std::string_view listedPath);

// "sub" + "/" + "a.htm", or the name alone for the top folder.
std::string RemotePath(const std::string& remoteFolder, const std::string& name);

// The way back from a remote subfolder to the top folder: "../" once per level ("../" for 'sub',
// "../../" for 'sub/deeper').
std::string UpLevels(const std::string& remoteFolder);

// The extension of a file name, from its last "." on ("" when there is none).
std::string ExtensionOf(std::string_view name);

// True when the name's extension equals, letters in any case, the extension of one of the
// ";"-separated masks (quote mode as the settings write them). Empty mask fields are no masks.
bool IsPageFile(std::string_view name, std::string_view masks);

// A whole number with "," between groups of three digits ("12,345").
std::string ThousandsText(long long value);

} // namespace upload
