#include "app/Headless.h"

#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "engine/EngineProcess.h"
#include "platform/Codepage.h"
#include "platform/SignalWatcher.h"
#include "platform/TerminalUserInterface.h"

#include <QCoreApplication>
#include <cstdio>

namespace app {

namespace {

constexpr int kExitSettingsRefused = 2;
constexpr int kExitAlreadyRunning = 3;
constexpr int kExitSettingsNotSaved = 4;

void PrintRow(const core::LogRow& row)
{
    const std::string line = platform::Cp932ToUtf8(row.Time) + "\t" + platform::Cp932ToUtf8(row.Text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int RunHeadless(const QString& engineProgram)
{
    core::OperationLog log;
    QObject::connect(&log, &core::OperationLog::RowAdded, &PrintRow);
    // Nobody answers questions here; warnings go to standard error.
    platform::TerminalUserInterface ui(false);

    // The browser engine, when the settings choose it, runs in a child process for each load.
    engine::EngineProcess engineProcess(engineProgram);
    core::CheckCycle cycle(log, ui, [&engineProcess](const core::CycleMediator& mediator) {
        return std::make_unique<core::MainComponents>(mediator, nullptr, &engineProcess);
    });
    if (!cycle.FormCreate())
        return kExitAlreadyRunning;

    // Start as the tray item does (the first check about a second later), unless auto-run already
    // started monitoring at start-up.
    if (!cycle.View().Monitoring)
        cycle.mnuStartChkClick();
    if (!cycle.View().Monitoring)
        return kExitSettingsRefused;

    platform::SignalWatcher watcher;
    QObject::connect(&watcher, &platform::SignalWatcher::terminationRequested, &cycle,
                     [&cycle](int) { cycle.FormCloseQuery(); });
    // A settings file that could not be written at the end is a failure, not a clean stop.
    QObject::connect(
        &cycle, &core::CheckCycle::closed, QCoreApplication::instance(),
        [](bool settingsSaved) { QCoreApplication::exit(settingsSaved ? 0 : kExitSettingsNotSaved); },
        Qt::QueuedConnection);
    return QCoreApplication::exec();
}

} // namespace app
