#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Replaces the running program with another one (same process, same id, same open files and signal
// dispositions reset); returns only when that failed.
void ReplaceProcess(const QString& program, const QStringList& arguments);

} // namespace platform
