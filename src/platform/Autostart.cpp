#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace platform {

namespace {

QString ConfigHome()
{
    const QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rule: a relative value is invalid and is ignored.
    if (!base.isEmpty() && QDir::isAbsolutePath(base))
        return base;
    return QDir::homePath() + QStringLiteral("/.config");
}

// The value of key in the [Desktop Entry] group, lower-cased, or empty.
QString EntryValue(const QString& contents, const QString& key)
{
    bool inEntry = false;
    for (const QString& raw : contents.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed().toLower();
    }
    return {};
}

} // namespace

QString AutostartFile()
{
    return ConfigHome() + QStringLiteral("/autostart/") + QString::fromLatin1(kDesktopId) +
           QStringLiteral(".desktop");
}

bool StartsAtLogin()
{
    QFile file(AutostartFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString contents = QString::fromUtf8(file.readAll());
    return EntryValue(contents, QStringLiteral("Hidden")) != QStringLiteral("true") &&
           EntryValue(contents, QStringLiteral("X-GNOME-Autostart-enabled")) != QStringLiteral("false");
}

QString DesktopExecArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (const QChar c : path)
        needsQuotes = needsQuotes || reserved.contains(c);
    // "%" introduces a field code wherever it stands.
    QString text = path;
    text.replace(u'%', QStringLiteral("%%"));
    if (!needsQuotes)
        return text;
    QString quoted;
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    // The key's value is itself a string value, in which a backslash is written doubled.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

bool SetStartAtLogin(bool on, const QString& program)
{
    const QString path = AutostartFile();
    if (!on) {
        if (!QFileInfo::exists(path))
            return true;
        return QFile::remove(path);
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Quillmap\n"
        << "Name[ja]=Quillmap\n"
        << "Comment=Watches the router's global address and keeps the web pages up to date\n"
        << "Comment[ja]=ルーターのグローバルアドレスを監視し、ホームページのリンクを更新します\n"
        << "Exec=" << DesktopExecArgument(program) << '\n'
        << "Icon=" << kDesktopId << '\n'
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return file.commit();
}

} // namespace platform
