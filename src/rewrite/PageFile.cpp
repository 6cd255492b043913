#include "rewrite/PageFile.h"

#include "platform/ProgramFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace rewrite {

namespace {

[[noreturn]] void ThrowReadError(const QString& path)
{
    throw RewriteError(platform::PathToCp932(QDir::toNativeSeparators(path)) +
                       text::Sjis(u8" を読み込めません"));
}

[[noreturn]] void ThrowWriteError(const QString& path)
{
    throw RewriteError(platform::PathToCp932(QDir::toNativeSeparators(path)) +
                       text::Sjis(u8" に書き込めません"));
}

std::string ReadOpenFile(QFile& file, const QString& path)
{
    // Read the size the file has now, then on until the end, so a file that grows meanwhile is still
    // read whole.
    std::string bytes;
    size_t want = static_cast<size_t>(std::max<qint64>(file.size(), 0)) + 1;
    for (;;) {
        const size_t old = bytes.size();
        bytes.resize(old + want);
        const qint64 got = file.read(bytes.data() + old, static_cast<qint64>(want));
        if (got < 0)
            ThrowReadError(path);
        bytes.resize(old + static_cast<size_t>(got));
        if (got == 0)
            break;
        want = 64 * 1024;
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
    // Written to a temporary file beside the target, which then replaces the target in one rename: a
    // reader sees either the old file or the complete new one. No flush to the disk is forced: the
    // copy is temporary, and a sync per page would cost more than all the rewriting.
    const QString native = platform::PathFromCp932(path);
    const QFileInfo target(native);
    QTemporaryFile temp(target.absolutePath() + u'/' + target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        ThrowWriteError(native);
    const qint64 size = static_cast<qint64>(bytes.size());
    if (temp.write(bytes.data(), size) != size || !temp.flush())
        ThrowWriteError(native);
    if (target.exists())
        temp.setPermissions(target.permissions());
    temp.close();
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(temp.fileName()).toStdString(),
                            QFile::encodeName(native).toStdString(), error);
    if (error)
        ThrowWriteError(native);
    temp.setAutoRemove(false); // it is the target now
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
