#include "app/TrayProgram.h"

#include "app/DisplayProbe.h"
#include "core/OperationLog.h"
#include "core/Version.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "engine/EngineProcess.h"
#include "gui/GuiUserInterface.h"
#include "gui/QtTranslations.h"
#include "gui/OpenDialogs.h"
#include "gui/TfrmConfig.h"
#include "gui/TfrmMain.h"
#include "platform/ProgramFolder.h"
#include "platform/SignalWatcher.h"

#include <QApplication>
#include <QSessionManager>
#include <iostream>
#include <optional>

namespace app {

namespace {

constexpr int kExitNoDisplay = 2;
constexpr int kExitAlreadyRunning = 3;
constexpr int kExitSettingsNotSaved = 4;

} // namespace

TrayEngine EngineInChildProcess(const QString& program)
{
    TrayEngine engine;
    engine.makeSource = [program]() -> std::unique_ptr<core::StatusEngineSource> {
        return std::make_unique<engine::EngineProcess>(program);
    };
    return engine;
}

int RunTrayProgram(int& argc, char** argv, const QString& homeFolder, const TrayEngine& trayEngine)
{
    // Qt would abort with a message about platform plugins (and a core dump when a display is named
    // but does not answer); say what to do instead.
    const DisplayProbe display = ProbeDisplay();
    if (display.reach != DisplayReach::kReachable) {
        std::cerr << (display.reach == DisplayReach::kNoneNamed
                          ? std::string("quillmap: no display; the tray program needs a desktop.")
                          : "quillmap: the desktop cannot be reached (" + display.named + ").")
                  << " Use `quillmap --headless` to run without windows." << std::endl;
        return kExitNoDisplay;
    }

    if (trayEngine.inProcess)
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(core::kProgramTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(core::kVersionText));
    // The window closes to the tray; only the closing run ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own buttons and menus in the desktop's language, as the program's texts are Japanese.
    gui::LoadQtTranslations(app);
    platform::InitProgramFolder(homeFolder);

    gui::GuiUserInterface ui;
    core::OperationLog log;
    // The browser engine, when the settings choose it. A build without it says so in the log when the
    // settings ask for it.
    const std::unique_ptr<core::StatusEngineSource> engineOwner = trayEngine.makeSource();
    core::StatusEngineSource& engineSource = *engineOwner;
    core::CheckCycle cycle(log, ui, [&engineSource](const core::CycleMediator& mediator) {
        return std::make_unique<core::MainComponents>(mediator, nullptr, &engineSource);
    });
    gui::TfrmMain mainWindow(cycle, log, ui);
    if (trayEngine.showPages)
        trayEngine.showPages(mainWindow, engineSource);
    ui.SetParentWidget(&mainWindow);
    ui.SetStatusSink([&mainWindow](const std::string& text) { mainWindow.ShowStatusText(text); });

    // The settings dialog is made once and lent the settings for every showing.
    gui::TfrmConfig config(mainWindow, ui, &mainWindow);
    mainWindow.SetSettingsEditor([&config](settings::TConfig& c) { return config.Edit(c); });

    // The end of the desktop session runs the closing run while the session waits for us. Open
    // dialogs are cancelled first: the settings dialog holds the settings that the closing run saves.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &cycle,
        [&cycle](QSessionManager&) {
            gui::CancelOpenDialogs();
            cycle.EndSession();
        },
        Qt::DirectConnection);
    platform::SignalWatcher watcher;
    QObject::connect(&watcher, &platform::SignalWatcher::terminationRequested, &cycle, [&cycle](int) {
        gui::CancelOpenDialogs();
        cycle.FormCloseQuery();
    });
    // A close can come before the event loop runs (a termination signal while a first-run message
    // box waits inside the start-up); the exit status is kept so that the program then ends instead
    // of entering a loop that nothing would end.
    std::optional<int> exitStatus;
    QObject::connect(&cycle, &core::CheckCycle::closed, &app, [&exitStatus](bool settingsSaved) {
        exitStatus = settingsSaved ? 0 : kExitSettingsNotSaved;
    });
    QObject::connect(
        &cycle, &core::CheckCycle::closed, &app,
        [](bool settingsSaved) { QCoreApplication::exit(settingsSaved ? 0 : kExitSettingsNotSaved); },
        Qt::QueuedConnection);

    if (!mainWindow.FormCreate())
        return kExitAlreadyRunning;
    if (exitStatus)
        return *exitStatus;
    return QApplication::exec();
}

} // namespace app
