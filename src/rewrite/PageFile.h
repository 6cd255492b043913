#pragma once
// Reading pages and writing the upload copy. Paths are code page 932 text, as the file lists hand
// them out. Every write goes to a temporary file that replaces the target only when it is complete,
// so a failed write never leaves a half-written file behind.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rewrite {

// A page that cannot be read or a copy that cannot be written. The message is code page 932 text.
class RewriteError : public std::runtime_error
{
public:
    explicit RewriteError(const std::string& cp932Message) : std::runtime_error(cp932Message) {}
};

// The upload copy "Upload.htm" in the program's folder.
std::string UploadCopyPath();

// The whole file; nullopt when no file of that name exists (a folder is no file). Throws RewriteError
// when it exists but cannot be read.
std::optional<std::string> ReadFileIfExists(const std::string& path);

// The whole file. Throws RewriteError when it is missing or cannot be read.
std::string ReadWholeFile(const std::string& path);

// Replaces the file's contents with bytes. Throws RewriteError when that fails; the file is then as it
// was.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// Deletes the file when it exists; true when no file is left.
bool RemoveFileIfExists(const std::string& path);

} // namespace rewrite
