#include "app/Headless.h"

#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "engine/EngineProcess.h"
#include "platform/Codepage.h"
#include "platform/JournalStream.h"
#include "platform/SignalWatcher.h"
#include "platform/TerminalUserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "validation/SettingsCheck.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace app {

namespace {

constexpr int kExitSettingsRefused = 2;
constexpr int kExitAlreadyRunning = 3;
constexpr int kExitSettingsNotSaved = 4;

platform::JournalPriority PriorityOf(core::LogKind kind)
{
    switch (kind) {
    case core::lkRunFailure:
        return platform::JournalPriority::Error;
    case core::lkStepError:
        return platform::JournalPriority::Warning;
    case core::lkEvent:
        break;
    }
    return platform::JournalPriority::Info;
}

void PrintRow(const core::LogRow& row, bool toJournal)
{
    const std::string line =
        platform::JournalLine(platform::Cp932ToUtf8(row.Time) + "\t" + platform::Cp932ToUtf8(row.Text),
                              PriorityOf(row.Kind), toJournal) +
        "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// The settings' one check before anything runs: each problem becomes one of the first rows, so that
// the journal (and `systemctl status`) says what to mend, and the start fails.
bool SettingsPassCheck(core::OperationLog& log)
{
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    const std::vector<validation::SettingsProblem> problems = validation::CheckSettings(config);
    for (const validation::SettingsProblem& p : problems)
        log.AddLog(text::Sjis(u8"設定の誤り ") + p.Name() + ": " + p.message, core::lkRunFailure);
    if (problems.empty())
        return true;
    log.AddLog(text::Sjis(u8"設定に誤りがあるため監視を開始できません (quillmap settings check / edit で直せます)。"),
               core::lkRunFailure);
    return false;
}

} // namespace

int RunHeadless(const QString& engineProgram)
{
    core::OperationLog log;
    // Read once: where standard output goes does not change while the service runs.
    const bool toJournal = platform::IsJournalStream(STDOUT_FILENO);
    QObject::connect(&log, &core::OperationLog::RowAdded,
                     [toJournal](const core::LogRow& row) { PrintRow(row, toJournal); });
    if (!SettingsPassCheck(log))
        return kExitSettingsRefused;
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
