#pragma once

#include <QString>

namespace platform {

// Opens a file or URL with the desktop's default handler (xdg-open on Linux). False when the
// handler could not be started.
bool OpenWithDefaultHandler(const QString& pathOrUrl);

} // namespace platform
