#pragma once
// The spine of the program: start-up, the periodic check driven by a one-minute timer, the run/stop
// logic, the check itself (status page, global address, comparison with the previous address,
// upload and notice), the abort timer that ends a check that takes too long, and the way the
// program closes. It knows no widgets: whatever it needs of a person goes through the user
// interface, and the tray program, the headless service and the tests all drive it through the
// same surface: the commands below in, one view value (CycleView) with one signal out.

#include "core/CycleMediator.h"
#include "core/CycleView.h"
#include "core/MainState.h"
#include "core/OperationLog.h"
#include "cycle/CheckSteps.h"

#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class Ipv6AddressWatcher;
class SingleInstance;
class UserInterface;
} // namespace platform

namespace core {

struct AddressSearchLog;

// Milliseconds of the timers' minute: 60,000, or QUILLMAP_MINUTE_MS when that is set (tests and the
// demonstration run on a short minute; nothing else changes).
int MinuteMs();

// Tests reach the cycle's timers and internals through this; it is defined in tests/support only.
struct CheckCycleTestAccess;

class CheckCycle : public QObject
{
    Q_OBJECT
public:
    // Builds the network steps once the settings are loaded (they read the live settings object).
    using StepsFactory = std::function<std::unique_ptr<CheckSteps>(const CycleMediator&)>;

    CheckCycle(OperationLog& log, platform::UserInterface& ui, StepsFactory factory,
               QObject* parent = nullptr);
    ~CheckCycle() override;

    // Start-up: load the settings, the single-instance rule, the check boxes, the window, auto-run.
    // False when another copy runs and this one must end at once (no closing run then).
    bool FormCreate();

    // The run/stop button.
    void cmdStartChkClick();
    // The tray item "実行(&E)": as the button, but a start runs the first check about a second later.
    void mnuStartChkClick();
    // "ｽﾃｰﾀｽ再表示(&R)": reads the status page again without a check.
    void cmdBrowseClick();

    // "設定(&O)...": lends the one settings object to the settings dialog. Null while a check runs,
    // while monitoring, while it is lent already, and once the program closes. The object stays the
    // cycle's: the dialog edits it in place and gives it back with ReturnSettings.
    settings::TConfig* LendSettings();
    // The dialog is closed; saved: it ended with OK (and saved the settings), so the closing-upload
    // box follows the new settings. A close requested meanwhile runs now.
    void ReturnSettings(bool saved);

    // The closing-upload box "ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ" or its tray item was ticked or cleared; ignored while
    // the box is disabled.
    void SetClosingUpload(bool ticked);

    // The main window's option boxes (see CycleView); the log file option takes effect at the
    // next log line, the other two at the closing run.
    void SetRecLog(bool on);
    void SetHideAtStart(bool on);
    void SetAutoRun(bool on);

    // The settings dialog's status page test: while the dialog holds the settings, reads the status
    // page with the settings as they are now (the dialog has put its screen values in), with the
    // status text "ｽﾃｰﾀｽ表示中...". True when a page was read; false when none could be (no router
    // address, unreachable, cancelled, the program closing, or the settings not lent).
    bool FetchStatusPageForSettings();

    // Closing: the window's close (menu, tray, close box, termination signal) and the session's end.
    // During a check the pending network steps are cancelled and the closing run waits until the
    // check has unwound; closed() follows the closing run.
    void FormCloseQuery();
    void EndSession();

    // The main window's place (frame top-left, client size), kept in the settings and saved with
    // them by the closing run. Null until the settings are loaded or when none was ever saved.
    std::optional<QRect> WindowPlacement() const;
    void SetWindowPlacement(const QRect& placement);
    // "バージョン情報(&A)": a page load in progress stops first, as the run button does.
    void StopNavigation();

    // What the window shows; viewChanged carries every change of it.
    const CycleView& View() const { return m_view; }

    // Where the single-instance lock lives (tests); empty: the user's runtime folder.
    void SetLockFolder(const QString& folder) { m_lockFolder = folder; }

signals:
    // Some field of the view changed; emitted once per change, never without one.
    void viewChanged(const core::CycleView& view);
    // The closing run is over: the program should end now. settingsSaved is false when the settings
    // file could not be written (the user was warned).
    void closed(bool settingsSaved);

private:
    friend struct CheckCycleTestAccess;
    class RoutedUserInterface;

    // True when monitoring may start; shows a warning otherwise.
    bool CheckSettingsReady();
    // One check. The caller has disabled the buttons and armed the abort timer. It reads as its
    // steps: find the address, decide whether it changed, publish it and tell of it (or only
    // refresh the host names). The two modes differ only in how the address is found.
    void RunCheck();

    // What finding the address leaves for the rest of the check.
    struct Finding
    {
        enum Outcome {
            kCheckEnded, // the program closes, or the check ends as a timed check repeated next minute
            kNotFound,   // no address; the failure is told
            kFound,      // NewGlobalIP holds the address to publish
        };
        Outcome outcome = kCheckEnded;
        // The address the host names' A records get: the found one, or over IPv6 the router's.
        std::string addressForA;
    };
    enum class PagesOutcome { kUploaded, kFailed, kNotUploading };
    // PrevIP, or PrevIPv6 when publishing over IPv6.
    std::string& PublishedAddress();
    // The status page and its search, then the mode's own way to the address.
    Finding FindAddress();
    Finding FindAddressOverIpv4(const AddressSearchLog& searchLog);
    Finding FindAddressOverIpv6();
    // The address changed: host names, pages, notice, read-back. False when the program closes.
    bool PublishChange(const std::string& addressForA);
    // Logs the change; returns the notice's line about a changed /64 network (empty when none).
    std::string NoteAddressChanged(const std::string& ip);
    // The host name and the upload; nothing when the program closes meanwhile.
    std::optional<PagesOutcome> PublishPages(const std::string& ip);
    // The rows and the notice mail of a change; true when a mail was sent.
    bool TellChange(PagesOutcome pages, const std::string& ip, const std::string& prefixLine,
                    const DynamicDnsStep& ddns);
    // The same address: only the host names' refresh. False when the program closes.
    bool RefreshHostNames(const std::string& addressForA);
    // The dynamic DNS update of a check (nothing once the check's time is up).
    DynamicDnsStep UpdateDynamicDns(const std::string& address);
    // The second source of the address: its address when the page gave none, a row when they differ.
    void ConsultSecondSource();
    // After an upload that succeeded: reads the published page and looks for the new address. The
    // first try that misses leaves a retry for the next tick of the check timer; retry: that try.
    void ReadBackPublishedPage(bool retry);
    // Logs a row about the two sources, unless it is the row logged about them last (a lasting
    // difference would otherwise fill the log at every check).
    void NoteSources(const std::string& text, LogKind kind);
    void ArmAbortTimer(bool on);
    void TimerCheckTimer();
    void TimerAbortTimer();
    // A check outside the interval, as the check timer runs one.
    void RunCheckNow();

    // Publishing over IPv6: the check's own part (the router's IPv4 address is only logged) and the
    // reaction to the kernel's address changes (a check within seconds when the chosen address
    // changed).
    // Chooses the address to publish into NewGlobalIP; false (and the failure told) when there is none.
    bool FindIpv6Address();
    // The choice among this machine's addresses with the settings' interface and suffix.
    netinfo::Ipv6Choice ChooseIpv6();
    void NoteRouterIpv4(const std::string& address);
    void Ipv6AddressesChanged();
    void Ipv6AddressesSettled();

    // Every change of what the view shows goes through these and ends in Publish.
    void SetStatus(const std::string& text);
    void SetButtons(bool enabled);
    void SetMonitoring(bool on);
    // Every read of the status page lands here, so the view's page follows it.
    void SetStatusHtml(std::string html);
    // Counts the sections that wait for the network; the deferred closing run happens when the
    // outermost one has unwound.
    void EnterBusy();
    void LeaveBusy();
    // Compares the view with the last one published and emits viewChanged when they differ.
    void Publish();
    CycleView ComputeView() const;

    void RunClosing();
    bool Closing() const { return m_closeRequested; }
    // Whether the check may start another network step (fetch, look-up, upload).
    bool MayStartNetworkStep() const { return !Closing() && !m_abortFired; }

    OperationLog& m_log;
    platform::UserInterface& m_ui;
    std::unique_ptr<RoutedUserInterface> m_routedUi;
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
    bool m_buttonsEnabled = true;
    bool m_settingsLent = false;
    std::string m_status;
    int m_busy = 0;
    bool m_closeRequested = false;
    bool m_closed = false;
    std::shared_ptr<const std::string> m_statusPage = std::make_shared<const std::string>();
    CycleView m_view;
    // The last row about the two sources of the address; empty once they agree again.
    std::string m_sourcesNote;
    // The published page's read-back that waits for its second try.
    struct ReadBack
    {
        bool pending = false;
        std::string needle;  // what the links hold: the host name, else the address
        std::string address; // the new global address
    };
    ReadBack m_readBack;
    // The kernel's IPv6 address announcements; the settle timer lets a burst of them (a new prefix
    // brings several) end before the table is read.
    std::unique_ptr<platform::Ipv6AddressWatcher> m_ipv6Watcher;
    QTimer m_ipv6Settle;
    // The IPv6 address chosen last (by a check or after an announcement), so that announcements
    // about other addresses start no check.
    std::string m_lastIpv6;
    // The last row about the router's IPv4 address while publishing over IPv6.
    std::string m_routerIpv4Note;
};

} // namespace core
