#include "app/TrayProgram.h"

#include "core/OperationLog.h"
#include "core/Version.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "engine/EngineProcess.h"
#include "gui/GuiUserInterface.h"
#include "gui/QtTranslations.h"
#include "gui/TfrmConfig.h"
#include "gui/TfrmMain.h"
#include "platform/ProgramFolder.h"
#include "platform/SignalWatcher.h"

#if QUILLMAP_HAS_ENGINE
#include "engine/KeptEngine.h"
#endif

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

bool HasDisplay()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

int RunTrayProgram(int& argc, char** argv, const QString& homeFolder)
{
    // Qt would abort with a message about platform plugins; say what to do instead.
    if (!HasDisplay()) {
        std::cerr << "quillmap: no display; the tray program needs a desktop. Use `quillmap --headless` "
                     "to run without windows."
                  << std::endl;
        return kExitNoDisplay;
    }

    // The browser engine's view shares its drawing contexts with the windows; Qt must know it before
    // the application object exists.
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
    // The browser engine, when the settings choose it: kept for the run, its page shown on the status
    // tab. A build without it says so in the log when the settings ask for it.
#if QUILLMAP_HAS_ENGINE
    engine::KeptEngine engineSource;
#else
    engine::EngineProcess engineSource;
#endif
    core::CheckCycle cycle(log, ui, [&engineSource](const core::CycleMediator& mediator) {
        return std::make_unique<core::MainComponents>(mediator, nullptr, &engineSource);
    });
    gui::TfrmMain mainWindow(cycle, log, ui);
#if QUILLMAP_HAS_ENGINE
    mainWindow.ShowEnginePages(engineSource);
#endif
    ui.SetParentWidget(&mainWindow);
    ui.SetStatusSink([&mainWindow](const std::string& text) { mainWindow.ShowStatusText(text); });

    // The settings dialog is made once and lent the settings for every showing.
    gui::TfrmConfig config(mainWindow, ui, &mainWindow);
    mainWindow.SetSettingsEditor([&config](settings::TConfig& c) { return config.Edit(c); });

    // The end of the desktop session runs the closing run while the session waits for us.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &cycle, [&cycle](QSessionManager&) { cycle.EndSession(); },
        Qt::DirectConnection);
    platform::SignalWatcher watcher;
    QObject::connect(&watcher, &platform::SignalWatcher::terminationRequested, &cycle,
                     [&cycle](int) { cycle.FormCloseQuery(); });
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
