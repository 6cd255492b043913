#include "rewrite/PageFile.h"

#include "platform/ProgramFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace rewrite {

namespace {

[[noreturn]] void ThrowReadError(const QString& path)
{
    throw RewriteError(platform::PathToCp932(QDir::toNativeSeparators(path)) + text::Sjis(u8" を読み込めません"));
}

[[noreturn]] void ThrowWriteError(const QString& path)
{
    throw RewriteError(platform::PathToCp932(QDir::toNativeSeparators(path)) + text::Sjis(u8" に書き込めません"));
}

std::string ReadOpenFile(QFile& file, const QString& path)
{
    std::string bytes;
    const qint64 expected = file.size();
    if (expected > 0)
        bytes.reserve(static_cast<size_t>(expected));
    // Read in blocks until the end, so a file that grows or shrinks meanwhile is still read whole.
    constexpr qint64 kBlock = 1 << 20;
    for (;;) {
        const size_t old = bytes.size();
        bytes.resize(old + static_cast<size_t>(kBlock));
        const qint64 got = file.read(bytes.data() + old, kBlock);
        if (got < 0)
            ThrowReadError(path);
        bytes.resize(old + static_cast<size_t>(got));
        if (got == 0)
            break;
    }
    return bytes;
}

} // namespace

std::string UploadCopyPath()
{
    return platform::PathToCp932(platform::ProgramFile(QStringLiteral("Upload.htm")));
}

std::optional<std::string> ReadFileIfExists(const std::string& path)
{
    const QString native = platform::PathFromCp932(path);
    const QFileInfo info(native);
    if (!info.exists() || info.isDir())
        return std::nullopt;
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        ThrowReadError(native);
    return ReadOpenFile(file, native);
}

std::string ReadWholeFile(const std::string& path)
{
    std::optional<std::string> bytes = ReadFileIfExists(path);
    if (!bytes)
        ThrowReadError(platform::PathFromCp932(path));
    return std::move(*bytes);
}

void WriteWholeFile(const std::string& path, std::string_view bytes)
{
    const QString native = platform::PathFromCp932(path);
    QSaveFile file(native);
    if (!file.open(QIODevice::WriteOnly))
        ThrowWriteError(native);
    const qint64 size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        ThrowWriteError(native);
    }
    if (!file.commit())
        ThrowWriteError(native);
}

bool RemoveFileIfExists(const std::string& path)
{
    const QString native = platform::PathFromCp932(path);
    const QFileInfo info(native);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(native);
}

} // namespace rewrite
