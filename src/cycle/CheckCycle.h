#pragma once
// The spine of the program: start-up, the periodic check driven by a one-minute timer, the run/stop
// logic, the check itself (status page, global address, comparison with the previous address,
// upload and notice), the abort timer that ends a check that takes too long, and the way the
// program closes. It knows no widgets: whatever it needs of a person goes through the user
// interface, and the tray program and the headless service both drive it.

#include "core/MainState.h"
#include "cycle/CheckSteps.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace platform {
class SingleInstance;
class UserInterface;
} // namespace platform

namespace core {

class OperationLog;

// Milliseconds of the timers' minute: 60,000, or QUILLMAP_MINUTE_MS when that is set (tests and the
// demonstration run on a short minute; nothing else changes).
int MinuteMs();

class CheckCycle : public QObject
{
    Q_OBJECT
public:
    // Builds the network steps once the settings are loaded (they read the live settings object).
    using StepsFactory = std::function<std::unique_ptr<CheckSteps>(CheckCycle&)>;

    CheckCycle(OperationLog& log, platform::UserInterface& ui, StepsFactory factory,
               QObject* parent = nullptr);
    ~CheckCycle() override;

    // Start-up: load the settings, the single-instance rule, the check boxes, the window, auto-run.
    // False when another copy runs and this one must end at once (no closing run then).
    bool FormCreate();

    // The run/stop button (and the tray item "実行(&E)" through mnuStartChkClick).
    void cmdStartChkClick();
    void mnuStartChkClick();
    // "ｽﾃｰﾀｽ再表示(&R)": reads the status page again without a check.
    void cmdBrowseClick();
    // True when monitoring may start; shows a warning otherwise.
    bool CheckSettingsReady();
    // One check. The caller has disabled the buttons and armed the abort timer.
    void RunCheck();
    void ArmAbortTimer(bool on);

    // Closing: the window's close (menu, tray, close box, termination signal) and the session's end.
    // During a check the pending network steps are cancelled and the closing run waits until the
    // check has unwound; closed() follows the closing run.
    void FormCloseQuery();
    void EndSession();
    bool Closed() const { return m_closed; }

    MainState& State() { return m_state; }
    OperationLog& Log() { return m_log; }
    platform::UserInterface& UI() { return m_ui; }
    CheckSteps* Steps() { return m_steps.get(); }

    // The state the main window shows.
    bool Monitoring() const { return m_monitoring; }
    bool RunButtonEnabled() const { return m_runEnabled; }
    bool BrowseButtonEnabled() const { return m_browseEnabled; }
    bool ConfigMenuEnabled() const { return m_configEnabled; }
    bool CheckRunning() const { return m_busy > 0; }
    std::int32_t CheckMinutes() const { return m_checkMinutes; }
    std::int32_t AbortMinutes() const { return m_abortMinutes; }
    QTimer& TimerCheck() { return m_timerCheck; }
    QTimer& TimerAbort() { return m_timerAbort; }

    // Where the single-instance lock lives (tests); empty: the user's runtime folder.
    void SetLockFolder(const QString& folder) { m_lockFolder = folder; }

signals:
    // The buttons, captions or the monitoring state changed.
    void stateChanged();
    // The closing run is over: the program should end now.
    void closed();

private:
    void TimerCheckTimer();
    void TimerAbortTimer();
    void SetStatus(const std::string& text);
    void SetButtons(bool run, bool browse);
    // Counts the sections that wait for the network; the deferred closing run happens when the
    // outermost one has unwound.
    void EnterBusy() { ++m_busy; }
    void LeaveBusy();
    void RunClosing();
    bool Closing() const { return m_closeRequested; }
    // Whether the check may start another network step (fetch, look-up, upload).
    bool MayStartNetworkStep() const { return !Closing() && !m_abortFired; }

    OperationLog& m_log;
    platform::UserInterface& m_ui;
    StepsFactory m_factory;
    MainState m_state;
    std::unique_ptr<CheckSteps> m_steps;
    std::unique_ptr<platform::SingleInstance> m_instance;
    QString m_lockFolder;

    QTimer m_timerCheck;
    QTimer m_timerAbort;
    std::int32_t m_checkMinutes = 0;
    std::int32_t m_abortMinutes = 0;
    bool m_abortFired = false;
    bool m_monitoring = false;
    bool m_quietStart = false;
    bool m_runEnabled = true;
    bool m_browseEnabled = true;
    bool m_configEnabled = true;
    int m_busy = 0;
    bool m_closeRequested = false;
    bool m_closed = false;
};

} // namespace core
