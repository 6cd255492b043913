#include "upload/UploadRun.h"

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "net/NMFtp.h"
#include "platform/UserInterface.h"
#include "rewrite/UploadCopy.h"
#include "text/Sjis.h"
#include "text/VB.h"
#include "upload/ParallelUpload.h"
#include "upload/UploadPaths.h"

#include <QDateTime>
#include <algorithm>
#include <optional>

namespace upload {

namespace {

using text::Sjis;

// One run over the page folder, from the first file to the last or to the failure that ends it.
class PageRun
{
public:
    PageRun(UploadContext& context, bool closing)
        : m_context(context), m_config(*context.State.Settings), m_closing(closing)
    {
    }

    // The loop over the files, to the last one or to the failure that ends it.
    void SendFiles(const text::StringList& files)
    {
        for (const std::string& path : files) {
            m_file = path;
            if (!SendFile(path) || m_failed)
                return;
            m_file.clear();
        }
    }

    bool Failed() const { return m_failed; }
    void SetFailed() { m_failed = true; }
    // The local path of the file being dealt with; empty between files.
    const std::string& CurrentFile() const { return m_file; }

private:
    void Log(const std::string& line, core::LogKind kind) { m_context.Log.AddLog(line, kind); }

    // One file; false when the loop must end.
    bool SendFile(const std::string& path)
    {
        core::MainState& state = m_context.State;
        const ListedFile file = SplitListedPath(m_config.ReplaceFolder, path);
        // Under the first full upload every file goes, the pages rewritten and the rest unchanged.
        const bool asIs = state.UploadAll && !IsPageFile(file.Name, m_config.ReplaceExt);
        // A page goes as its copy made in memory; any other file streams from the disk as it is.
        std::optional<std::string> copy;
        if (!asIs) {
            copy = rewrite::MakeUploadCopy(
                path, m_closing, m_config,
                rewrite::RewriteState{state.NewGlobalIP, state.NewHostName, state.UploadAll},
                QDateTime::currentDateTime());
            // A page without a link to the home server needs no upload.
            if (!copy)
                return true;
        }

        if (file.RemoteFolder != m_current) {
            switch (EnterRemoteFolder(m_context, m_current, file.RemoteFolder, m_failed)) {
            case FolderStep::Entered:
                break;
            case FolderStep::BackFailed:
                Log(Sjis(u8"ﾃﾞｨﾚｸﾄﾘの移動に失敗"), core::lkStepError);
                m_failed = true;
                return false;
            case FolderStep::NotEntered:
                Log(RemotePath(file.RemoteFolder, file.Name) + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
                Log(path + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
                // Every further file of this folder would fail the same way.
                m_failed = true;
                return false;
            }
        }

        net::TNMFTP& ftp = m_context.Ftp;
        // A refused "TYPE" is no guarded step: it ends the run as an error.
        ftp.UseTransferType(asIs ? net::TNMFTP::ttBinary : net::TNMFTP::ttAscii);
        state.UploadStatus = Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... ") + file.ShownPath;
        m_context.Ui.SetStatusText(state.UploadStatus);
        const bool stored = FtpStep(
            m_context,
            [&] {
                if (copy)
                    ftp.StoreBytes(*copy, file.Name);
                else
                    ftp.StoreFile(path, file.Name);
            },
            &m_failed);
        state.UploadStatus.clear();
        m_context.Ui.SetStatusText(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));

        const std::string remote = RemotePath(file.RemoteFolder, file.Name);
        if (!stored) {
            Log(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
            m_failed = true;
            return false;
        }
        // Counted before the row: the row lets timers run, and a time-out then must count this file.
        ++state.UploadFilesSent;
        Log(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ"), core::lkEvent);
        return true;
    }

    UploadContext& m_context;
    const settings::TConfig& m_config;
    const bool m_closing;
    bool m_failed = false;
    // The remote subfolder the component is in, relative to FtpDir ("" = FtpDir itself).
    std::string m_current;
    std::string m_file;
};

// The upload counts live as long as the run.
class FileCount
{
public:
    FileCount(core::MainState& state, size_t total) : m_state(state)
    {
        m_state.UploadFilesSent = 0;
        m_state.UploadFilesTotal = static_cast<int>(total);
    }
    ~FileCount()
    {
        m_state.UploadFilesSent = 0;
        m_state.UploadFilesTotal = 0;
    }
    FileCount(const FileCount&) = delete;
    FileCount& operator=(const FileCount&) = delete;

private:
    core::MainState& m_state;
};

} // namespace

bool UploadPages(UploadContext& context, bool closing)
{
    core::MainState& state = context.State;
    if (!state.Settings)
        return false;
    const settings::TConfig& config = *state.Settings;
    FtpEventBinding events(context);
    state.UploadStatus.clear();

    text::StringList unconvertible;
    const text::StringList files =
        text::ListFiles(config.ReplaceFolder, state.UploadAll ? "*.*" : config.ReplaceExt,
                        config.ReplaceAllFolder == 0, true, &unconvertible);
    LogUnconvertibleNames(context, unconvertible);
    if (files.empty())
        return false;
    FileCount count(state, files.size());

    if (!ConnectFtp(context)) {
        context.Log.AddLog(Sjis(u8"FTPサーバーへ接続できませんでした"), core::lkStepError);
        LogOff(context);
        state.UploadStatus.clear();
        // Whatever kept the log-on from happening (even a connection left over from elsewhere), no
        // file went out: the run failed.
        return false;
    }

    PageRun run(context, closing);
    try {
        const bool inFtpDir = config.FtpDir.empty() ||
                              FtpStep(
                                  context, [&] { context.Ftp.ChangeDirectory(config.FtpDir); }, nullptr);
        const int connections = ParallelConnections(config.FtpParallel);
        if (inFtpDir && connections > 1 && files.size() > 1) {
            if (!SendFilesInParallel(context, closing, files, connections))
                run.SetFailed();
        } else if (inFtpDir) {
            run.SendFiles(files);
        } else {
            context.Log.AddLog(Sjis(u8"ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。"), core::lkStepError);
            run.SetFailed();
        }
    } catch (...) {
        // An unreadable page, an unwritable copy, a refused "TYPE": the run ends here, and the
        // user needs to know which file to look at.
        if (!run.CurrentFile().empty())
            context.Log.AddLog(run.CurrentFile() + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
        context.Log.AddLog(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。"), core::lkStepError);
        run.SetFailed();
    }
    // Logged off after every ending, so that the next run does not find the component connected.
    LogOff(context);
    state.UploadStatus.clear();
    return !run.Failed();
}

int ProgressPercent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 100;
    const double percent =
        std::clamp(static_cast<double>(done) / static_cast<double>(total) * 100.0, 0.0, 1e9);
    // A single-precision value cut to its whole part.
    return static_cast<int>(static_cast<float>(percent));
}

std::string ProgressText(std::string_view uploadStatus, qint64 done, qint64 total)
{
    return std::string(uploadStatus) + " - " + std::to_string(ProgressPercent(done, total)) + "% (" +
           ThousandsText(done) + "/" + ThousandsText(total) + "bytes)";
}

void OnPacketSent(UploadContext& context)
{
    const std::string& status = context.State.UploadStatus;
    if (status.empty())
        return;
    context.Ui.SetStatusText(ProgressText(status, context.Ftp.BytesDone, context.Ftp.BytesTotal));
}

void OnError(UploadContext& context, int errorNumber, const std::string& message)
{
    CallHook(context.Hooks.StopAbortTimer);
    context.Log.AddLog(Sjis(u8"Winsockｴﾗｰ ") + std::to_string(errorNumber) + ":" + message,
                       core::lkStepError);
    CallHook(context.Hooks.CancelLookup);
    CallHook(context.Hooks.StopBrowser);
    net::TNMFTP& ftp = context.Ftp;
    try {
        ftp.Abort();
        ftp.Cancel();
    } catch (...) {
        CallHook([&ftp] { ftp.Abort(); });
    }
    if (context.Hooks.StopMail)
        CallHook([&context] { context.Hooks.StopMail(true); });
}

} // namespace upload
