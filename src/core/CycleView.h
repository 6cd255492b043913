#pragma once
// What a window shows of the check cycle, as one value: the tray program's main window and tray
// icon, the headless service and the tests all read this instead of reaching into the cycle. The
// cycle publishes a new value (CheckCycle::viewChanged) whenever any field changes. Texts are code
// page 932.

#include <memory>
#include <string>

namespace core {

struct CycleView
{
    // Monitoring is on (the run button reads "停止(&E)", the tray icon shows the running state).
    bool Monitoring = false;
    // The main window's caption; the tray tip shows the same text.
    std::string Caption;
    // The run button's and the tray item's caption: "実行(&E)" or "停止(&E)".
    std::string RunCaption;
    // The run button, the redisplay button "ｽﾃｰﾀｽ再表示(&R)" and the menu item "設定(&O)...".
    bool RunEnabled = true;
    bool BrowseEnabled = true;
    bool SettingsEnabled = true;
    // A check (or a redisplay) is waiting for the network.
    bool CheckRunning = false;
    // The settings object is lent to the settings dialog.
    bool SettingsLent = false;
    // The status bar's text.
    std::string StatusText;
    // The closing-upload box "ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ" and its tray item, which always agree.
    bool ClosingUploadEnabled = false;
    bool ClosingUpload = false;
    // The closing run is over.
    bool Closed = false;

    // The body markup of the router's status page as last read (code page 932); never null. A new
    // read gives a new object, so comparing views compares pointers, not pages.
    std::shared_ptr<const std::string> StatusPage = std::make_shared<const std::string>();

    // The main window's option boxes: "ﾛｸﾞをﾌｧｲﾙに保存する", "起動時にこの画面は表示しない" and
    // "起動時に自動実行する". Set from the settings at start-up, changed by the window, written back to
    // the settings by the closing run.
    bool RecLog = false;
    bool HideAtStart = false;
    bool AutoRun = false;

    bool operator==(const CycleView&) const = default;
};

} // namespace core
