#include "platform/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

SingleInstance::SingleInstance(const QString& name, const QString& folder)
{
    QString dir = folder;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::tempPath();
    m_path = QDir(dir).filePath(name + QStringLiteral(".lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock whose owner process is gone is stale at once; a live owner keeps it forever.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    m_alreadyRunning = m_lock->error() == QLockFile::LockFailedError;
    return false;
}

} // namespace platform
