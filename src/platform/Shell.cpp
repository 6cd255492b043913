#include "platform/Shell.h"

#include <QProcess>

namespace platform {

bool OpenWithDefaultHandler(const QString& pathOrUrl)
{
#ifdef Q_OS_WIN
    return QProcess::startDetached(QStringLiteral("cmd"), {QStringLiteral("/c"), QStringLiteral("start"),
                                                           QString(), pathOrUrl});
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(QStringLiteral("open"), {pathOrUrl});
#else
    return QProcess::startDetached(QStringLiteral("xdg-open"), {pathOrUrl});
#endif
}

} // namespace platform
