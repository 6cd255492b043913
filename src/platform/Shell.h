#pragma once

#include <QString>
#include <functional>

namespace platform {

// Opens a file or URL with the desktop's default handler (xdg-open on Linux). False when the
// handler could not be started (missing). The handler's end is told later through ended, with its
// exit status (-1 for a crash; xdg-open gives non-zero when it found no application or the file
// was unreadable); it is never waited for, since some handlers stay until the document is closed.
bool OpenWithDefaultHandler(const QString& pathOrUrl, std::function<void(int exitCode)> ended = {});

} // namespace platform
