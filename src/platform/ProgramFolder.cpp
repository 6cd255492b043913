#include "platform/ProgramFolder.h"

#include "platform/Codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString g_folder;

QString WithSeparator(const QString& path)
{
    QString p = QDir::cleanPath(QDir(path).absolutePath());
    if (!p.endsWith(u'/'))
        p += u'/';
    return p;
}

bool EnsureFolder(const QString& path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    if (!QDir().mkpath(path))
        return false;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

QString ConfigFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/quillmap");
}

} // namespace

void InitProgramFolder(const QString& explicitFolder)
{
    QString chosen = explicitFolder;
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("QUILLMAP_HOME");
    if (chosen.isEmpty() && QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        const QFileInfo info(appDir);
        // A folder holding Quillmap.ini next to the program is a portable copy; so is any writable
        // program folder that is not a system one.
        if (QFileInfo::exists(appDir + QStringLiteral("/Quillmap.ini")) ||
            (info.isWritable() && !appDir.startsWith(QStringLiteral("/usr/"))))
            chosen = appDir;
    }
    if (chosen.isEmpty())
        chosen = ConfigFolder();
    EnsureFolder(chosen);
    g_folder = WithSeparator(chosen);
}

QString ProgramFolder()
{
    if (g_folder.isEmpty())
        InitProgramFolder();
    return g_folder;
}

QString ProgramFile(const QString& name)
{
    return ProgramFolder() + name;
}

std::string PathToCp932(const QString& path)
{
    return QStringToCp932(path);
}

QString PathFromCp932(const std::string& path)
{
    return Cp932ToQString(path);
}

} // namespace platform
