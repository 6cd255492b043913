#pragma once
// The state that the check cycle shares with the runs it drives (status page, upload, closing run).
// The check cycle owns one of these for the life of the program; the runs receive it by reference.

#include "settings/ConfigUnit.h"

#include <memory>
#include <string>

namespace core {

struct MainState
{
    // Created and loaded at start-up; released by the closing run, after which nothing may use it.
    std::unique_ptr<settings::TConfig> Settings;
    // Body markup of the last status page read; empty when the fetch failed or was cancelled.
    std::string StatusHtml;
    // The global address found by the current check, dotted decimal text.
    std::string NewGlobalIP;
    // Host name of NewGlobalIP when links are to use it, else empty.
    std::string NewHostName;
    // Status-bar text of the file being sent; empty when no file is being sent.
    std::string UploadStatus;
    // The files of the upload run going on: how many were sent and how many were listed (both 0
    // when no run is going on), so that a time-out can say how far the run came.
    int UploadFilesSent = 0;
    int UploadFilesTotal = 0;
    // The next upload run sends every file of the page folder.
    bool UploadAll = false;
    // Cleared before every network step, set by the components' connect and success events.
    bool NetStepOk = false;
    // The closing run has happened.
    bool ClosingDone = false;
    // The closing run could not save the settings (the user was warned); the service then ends with
    // a failure status instead of reporting a clean end.
    bool SettingsSaveFailed = false;

    // The main window's check boxes. The tray program binds them to its widgets; the headless
    // service sets them from the settings at start-up.
    bool chkRecLog = false;     // "ﾛｸﾞをﾌｧｲﾙに保存する"
    bool chkClosed = false;     // "ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ"
    bool chkClosedEnabled = false;
    bool chkShowWindow = false; // "起動時にこの画面は表示しない"
    bool chkAutoRun = false;    // "起動時に自動実行する"
};

} // namespace core
