#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace core {
class StatusEngineSource;
}
namespace gui {
class TfrmMain;
}

namespace app {

// How the tray program reaches the browser engine.
struct TrayEngine
{
    // The engine lives in this process: its view shares drawing contexts with the windows, which Qt
    // must know before the application object exists, and which costs the graphics driver's memory
    // from the start. Otherwise every load runs in a child process and nothing of it stays here.
    bool inProcess = false;
    // Called once the application object exists.
    std::function<std::unique_ptr<core::StatusEngineSource>()> makeSource;
    // Shows the engine's own pages on the main window (the engine in this process only); may be empty.
    std::function<void(gui::TfrmMain&, core::StatusEngineSource&)> showPages;
};

// The tray program: the main window and the tray icon over the check cycle. Makes its own
// QApplication (the tools and the service keep a QCoreApplication). homeFolder: the --home option,
// empty when not given. Exit status: 0 after an orderly end, 2 without a display, 3 when another
// copy is running and only one may, 4 when the settings could not be saved at the end.
int RunTrayProgram(int& argc, char** argv, const QString& homeFolder, const TrayEngine& engine);

// The engine in a child process of `program` (the full program) for each load.
TrayEngine EngineInChildProcess(const QString& program);

} // namespace app
