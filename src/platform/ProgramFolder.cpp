#include "platform/ProgramFolder.h"

#include "platform/Codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString g_folder;
QString g_programFile;

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

QStringList SystemProgramRoots()
{
    return {QStringLiteral("/usr"), QStringLiteral("/bin"), QStringLiteral("/sbin"), QStringLiteral("/opt"),
            QStringLiteral("/snap")};
}

bool IsPortableFolder(const QString& programFileFolder, const QStringList& systemRoots)
{
    if (programFileFolder.isEmpty())
        return false;
    const QString folder = QDir::cleanPath(QDir(programFileFolder).absolutePath());
    if (QFileInfo::exists(folder + QStringLiteral("/Quillmap.ini")))
        return true;
    if (!QFileInfo(folder).isWritable())
        return false;
    // A root matches itself and every folder below it, but not a sibling that merely shares its
    // beginning (/optical is not under /opt). Both spellings of a root count: /bin may be a link
    // to /usr/bin.
    for (const QString& root : systemRoots) {
        QStringList spellings{QDir::cleanPath(root)};
        const QString canonical = QFileInfo(root).canonicalFilePath();
        if (!canonical.isEmpty())
            spellings << canonical;
        QStringList folders{folder};
        const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        if (!canonicalFolder.isEmpty())
            folders << canonicalFolder;
        for (const QString& r : spellings)
            for (const QString& f : folders)
                if (f == r || f.startsWith(r.endsWith(u'/') ? r : r + u'/'))
                    return false;
    }
    return true;
}

void InitProgramFolder(const QString& explicitFolder)
{
    QString chosen = explicitFolder;
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("QUILLMAP_HOME");
    if (chosen.isEmpty() && QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        if (IsPortableFolder(appDir))
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

void SetProgramFile(const QString& path)
{
    g_programFile = path;
}

QString ProgramFilePath()
{
    if (!g_programFile.isEmpty() || !QCoreApplication::instance())
        return g_programFile;
    return QCoreApplication::applicationFilePath();
}

QString ProgramFileFolder()
{
    const QString path = ProgramFilePath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

} // namespace platform
