#include "upload/ClosingUpload.h"

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "core/Version.h"
#include "net/NMFtp.h"
#include "platform/ProgramFolder.h"
#include "platform/UserInterface.h"
#include "rewrite/Annotations.h"
#include "rewrite/PageFile.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"
#include "upload/UploadPaths.h"
#include "upload/UploadRun.h"

#include <QDateTime>
#include <QDir>
#include <exception>
#include <optional>

namespace upload {

namespace {

using text::Sjis;

// One file of the prepared folder; false when the run must end (going back to FtpDir failed).
bool SendPreparedFile(UploadContext& context, const std::string& path, std::string& current)
{
    const settings::TConfig& config = *context.State.Settings;
    const ListedFile file = SplitListedPath(config.ClosedFile, path);
    const bool page = IsPageFile(file.Name, config.ReplaceExt);
    // A prepared page is stamped in memory: the prepared file keeps its markers for the next
    // closing run.
    std::optional<std::string> copy;
    if (page)
        copy = rewrite::StampPageText(rewrite::ReadWholeFile(path),
                                      rewrite::TimeStampText(QDateTime::currentDateTime()),
                                      rewrite::VersionNumberText());
    const std::string remote = RemotePath(file.RemoteFolder, file.Name);

    if (file.RemoteFolder != current) {
        // The prepared folder is sent as completely as possible: only the return to FtpDir, after
        // which no folder can be found any more, ends the run.
        bool ignored = false;
        switch (EnterRemoteFolder(context, current, file.RemoteFolder, ignored)) {
        case FolderStep::Entered:
            break;
        case FolderStep::BackFailed:
            return false;
        case FolderStep::NotEntered:
            context.Log.AddLog(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
            return true;
        }
    }

    net::TNMFTP& ftp = context.Ftp;
    ftp.UseTransferType(page ? net::TNMFTP::ttAscii : net::TNMFTP::ttBinary);
    core::MainState& state = context.State;
    state.UploadStatus = Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... ") + file.ShownPath;
    context.Ui.SetStatusText(state.UploadStatus);
    const bool stored = FtpStep(
        context,
        [&] {
            if (copy)
                ftp.StoreBytes(*copy, file.Name);
            else
                ftp.StoreFile(path, file.Name);
        },
        nullptr);
    state.UploadStatus.clear();
    context.Ui.SetStatusText(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
    if (stored)
        context.Log.AddLog(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ"), core::lkEvent);
    else
        context.Log.AddLog(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
    return true;
}

// The settings' own text for a file that cannot be written, for a save that failed some other way.
std::string SaveFailedText()
{
    return platform::PathToCp932(
               QDir::toNativeSeparators(QString::fromStdString(settings::SettingsFilePath()))) +
           Sjis(u8" に書き込めません");
}

void SaveShutdownSettings(UploadContext& context)
{
    core::MainState& state = context.State;
    settings::TConfig& config = *state.Settings;
    config.ShowWindow = state.chkShowWindow ? 0 : 1;
    config.AutoRun = state.chkAutoRun ? 1 : 0;
    config.RecLog = state.chkRecLog ? 1 : 0;
    try {
        settings::SaveSettings(config, settings::SaveScope::Shutdown);
    } catch (const settings::SettingsWriteError& e) {
        // The program is ending: the user is told, and the release below still happens.
        state.SettingsSaveFailed = true;
        context.Ui.ShowWarning(e.what(), core::kProgramTitle);
    } catch (const std::exception&) {
        state.SettingsSaveFailed = true;
        context.Ui.ShowWarning(SaveFailedText(), core::kProgramTitle);
    }
}

} // namespace

bool UploadClosedFolder(UploadContext& context)
{
    core::MainState& state = context.State;
    if (!state.Settings)
        return false;
    const settings::TConfig& config = *state.Settings;
    FtpEventBinding events(context);
    state.UploadStatus.clear();

    text::StringList unconvertible;
    const text::StringList files = text::ListFiles(config.ClosedFile, "*.*", false, true, &unconvertible);
    LogUnconvertibleNames(context, unconvertible);
    if (files.empty())
        return false;
    if (!ConnectFtp(context)) {
        LogOff(context);
        return false;
    }

    bool completed = false;
    try {
        if (!config.FtpDir.empty() &&
            !FtpStep(
                context, [&] { context.Ftp.ChangeDirectory(config.FtpDir); }, nullptr)) {
            context.Log.AddLog(Sjis(u8"ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。"), core::lkStepError);
        } else {
            std::string current;
            completed = true;
            for (const std::string& path : files) {
                if (!SendPreparedFile(context, path, current)) {
                    completed = false;
                    break;
                }
            }
        }
    } catch (...) {
        // Caught here as in the page upload, so that the closing run still saves the settings.
        context.Log.AddLog(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。"), core::lkStepError);
        completed = false;
    }
    LogOff(context);
    state.UploadStatus.clear();
    return completed;
}

void RunClosingUpload(UploadContext& context)
{
    core::MainState& state = context.State;
    if (state.ClosingDone)
        return;
    state.ClosingDone = true;

    StopNetwork(context);
    if (state.Settings && state.chkClosed) {
        context.Log.AddLog(Sjis(u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ開始"), core::lkEvent);
        context.Ui.SetStatusText(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
        if (state.Settings->ClosedMode != 0)
            UploadClosedFolder(context);
        else
            UploadPages(context, true);
        context.Ui.SetStatusText(std::string());
        // The next start of monitoring then sees the address changed and uploads the pages again.
        state.Settings->PrevIP.clear();
        state.Settings->PrevIPv6.clear();
    }
    StopNetwork(context);

    if (state.Settings)
        SaveShutdownSettings(context);

    try {
        if (context.Hooks.ReleaseSettings)
            context.Hooks.ReleaseSettings();
        else
            state.Settings.reset();
    } catch (...) {
        // Nothing uses the settings any more; a failing release changes nothing for the user.
    }
}

} // namespace upload
