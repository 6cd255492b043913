#pragma once
// The program's pictures, drawn in code so that the program needs no image files: the program icon
// (a map pin over a globe line, blue), its running variant for the tray (green with a small "play"
// mark), and the three operation-log kinds (failure, step error, event).

#include "core/OperationLog.h"

#include <QIcon>

namespace gui {

// The program icon; running: the variant the tray shows while monitoring.
QIcon ProgramIcon(bool running = false);
// The icon of a log row's kind.
QIcon LogKindIcon(core::LogKind kind);

} // namespace gui
