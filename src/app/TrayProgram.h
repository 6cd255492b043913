#pragma once

#include <QString>

namespace app {

// The tray program: the main window and the tray icon over the check cycle. Makes its own
// QApplication (the tools and the service keep a QCoreApplication). homeFolder: the --home option,
// empty when not given. Exit status: 0 after an orderly end, 2 without a display, 3 when another
// copy is running and only one may, 4 when the settings could not be saved at the end.
int RunTrayProgram(int& argc, char** argv, const QString& homeFolder);

} // namespace app
