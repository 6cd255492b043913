#pragma once
// The rule that keeps a second copy of the program from running: a lock file named "Quillmap" in the
// user's runtime folder. A lock left behind by a crashed copy is recognised as stale and taken over.

#include <QLockFile>
#include <QString>
#include <memory>

namespace platform {

class SingleInstance
{
public:
    // name: the lock's name ("Quillmap"); folder: where the lock lives (the user's runtime folder,
    // $XDG_RUNTIME_DIR, when empty; the temporary folder where there is none).
    explicit SingleInstance(const QString& name, const QString& folder = QString());

    // True when this process holds the lock now. False when another running copy holds it.
    bool acquire();
    // True when acquire() found the lock held by another copy ("already exists").
    bool alreadyRunning() const { return m_alreadyRunning; }
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_alreadyRunning = false;
};

} // namespace platform
