#include "upload/ParallelUpload.h"

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "platform/UserInterface.h"
#include "platform/WaitLoop.h"
#include "rewrite/RewritePage.h"
#include "rewrite/UploadCopy.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "upload/SharedList.h"
#include "upload/UploadPaths.h"
#include "upload/UploadRun.h"

#include <QDateTime>
#include <QThread>
#include <algorithm>
#include <memory>
#include <optional>

namespace upload {

namespace {

using text::Sjis;

// The context's side of the run: rows, status texts and counts, on the context's thread only.
struct MainSide
{
    enum class LogOn { Online, Refused, Skipped };

    UploadContext& context;
    SharedList& list;
    int extras = 0;
    int extrasTried = 0;
    int extrasRefused = 0;
    int extrasDone = 0;
    bool failed = false;

    void Row(const std::string& text, core::LogKind kind) { context.Log.AddLog(text, kind); }

    void Started(const std::string& status)
    {
        context.State.UploadStatus = status;
        context.Ui.SetStatusText(status);
    }
    void Progress(const std::string& status, qint64 done, qint64 total)
    {
        if (!context.State.UploadStatus.empty())
            context.Ui.SetStatusText(ProgressText(status, done, total));
    }
    void Finished(const std::string& remote, bool stored)
    {
        context.State.UploadStatus.clear();
        context.Ui.SetStatusText(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
        if (!stored) {
            Row(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
            failed = true;
            return;
        }
        // Counted before the row: the row lets timers run, and a time-out then must count this file.
        ++context.State.UploadFilesSent;
        Row(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ"), core::lkEvent);
    }
    void FolderFailed(const std::string& remote, const std::string& local)
    {
        Row(remote + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
        Row(local + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
        failed = true;
    }
    void BackFailed()
    {
        Row(Sjis(u8"ﾃﾞｨﾚｸﾄﾘの移動に失敗"), core::lkStepError);
        failed = true;
    }
    void Error(const std::string& local)
    {
        Row(local + Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
        Row(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中にｴﾗｰが発生しました。"), core::lkStepError);
        failed = true;
    }
    // One row once every extra connection has tried, when the server turned some of them away.
    void ExtraLoggedOn(LogOn result)
    {
        ++extrasTried;
        if (result == LogOn::Refused)
            ++extrasRefused;
        if (extrasTried == extras && extrasRefused > 0)
            Row(Sjis(u8"FTPサーバーが追加の接続を断ったため、") + std::to_string(1 + extras - extrasRefused) +
                    Sjis(u8"本の接続で送信します"),
                core::lkEvent);
    }
};

// Hands a piece of work to the context's thread: at once on that thread, else queued to it.
class Poster
{
public:
    Poster(QObject* anchor, MainSide* side) : m_anchor(anchor), m_side(side) {}
    template <typename F> void operator()(F&& work) const
    {
        MainSide* side = m_side;
        if (QThread::currentThread() == m_anchor->thread())
            work(*side);
        else
            QMetaObject::invokeMethod(
                m_anchor, [side, work = std::forward<F>(work)] { work(*side); }, Qt::QueuedConnection);
    }

private:
    QObject* m_anchor;
    MainSide* m_side;
};

struct RunInputs
{
    const settings::TConfig& config;
    bool closing = false;
    rewrite::RewriteState rewriteState;
};

bool Succeeds(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const net::NetError&) {
        return false;
    }
}

// One connection's share of the run, on the connection's own thread. The connection is logged on
// and in FtpDir, and stays there: files are stored by their path below it.
class ConnectionWork
{
public:
    ConnectionWork(SharedList& list, const RunInputs& inputs, const Poster& post, net::TNMFTP& ftp)
        : m_list(list), m_inputs(inputs), m_post(post), m_ftp(ftp)
    {
    }

    void Run()
    {
        for (;;) {
            const unsigned generation = m_list.Generation();
            size_t index = 0;
            bool makeFolder = false;
            const SharedList::Take take = m_list.Next(index, makeFolder);
            if (take == SharedList::Take::End)
                return;
            if (take == SharedList::Take::Wait) {
                platform::WaitUntil([&] { return m_list.Generation() != generation; }, -1);
                continue;
            }
            const Job& job = m_list.At(index);
            if (take == SharedList::Take::Folder) {
                if (!EnterOnce(job))
                    return;
                continue;
            }
            try {
                if (!Send(job, makeFolder))
                    return;
            } catch (...) {
                // An unreadable page, a refused "TYPE": the run ends as an error, naming the file.
                m_list.Stop(false);
                m_post([path = job.path](MainSide& side) { side.Error(path); });
                return;
            }
        }
    }

    // The text of the file being sent, for the progress of this connection.
    const std::string& Status() const { return m_status; }

private:
    bool Send(const Job& job, bool makeFolder)
    {
        if (makeFolder && !EnterOnce(job))
            return false;
        std::optional<std::string> copy;
        if (!job.asIs) {
            copy = rewrite::MakeUploadCopy(job.path, m_inputs.closing, m_inputs.config, m_inputs.rewriteState,
                                           QDateTime::currentDateTime());
            if (!copy)
                return true; // no link to the home server: nothing to send
        }
        m_ftp.UseTransferType(job.asIs ? net::TNMFTP::ttBinary : net::TNMFTP::ttAscii);
        m_status = Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... ") + job.file.ShownPath;
        m_post([status = m_status](MainSide& side) { side.Started(status); });
        const std::string remote = RemotePath(job.file.RemoteFolder, job.file.Name);
        const bool stored = Succeeds([&] {
            if (copy)
                m_ftp.StoreBytes(*copy, remote);
            else
                m_ftp.StoreFile(job.path, remote);
        });
        m_status.clear();
        // The files already on their way on other connections still finish; no new one starts.
        if (!stored)
            m_list.Stop(false);
        m_post([remote, stored](MainSide& side) { side.Finished(remote, stored); });
        return stored;
    }

    // The first file of a remote folder: the folder is entered (made first when that fails), and
    // left again, so that every connection can store into it by path from FtpDir.
    bool EnterOnce(const Job& job)
    {
        const std::string& folder = job.file.RemoteFolder;
        const auto enter = [&] { return Succeeds([&] { m_ftp.ChangeDirectory(folder); }); };
        bool entered = enter();
        if (!entered) {
            // Another connection may be making a level of it at the same moment, so a refused MKD
            // is no failure yet: a folder that cannot be entered after it is.
            MakeFolderLevels(folder, [&](const std::string& path) {
                return Succeeds([&] { m_ftp.MakeDirectory(path); });
            });
            entered = enter();
        }
        if (!entered) {
            m_list.Stop(false);
            m_post([remote = RemotePath(folder, job.file.Name), local = job.path](MainSide& side) {
                side.FolderFailed(remote, local);
            });
            return false;
        }
        if (!Succeeds([&] { m_ftp.ChangeDirectory(UpLevels(folder)); })) {
            m_list.Stop(false);
            m_post([](MainSide& side) { side.BackFailed(); });
            return false;
        }
        m_list.FolderReady(folder);
        return true;
    }

    SharedList& m_list;
    const RunInputs& m_inputs;
    const Poster& m_post;
    net::TNMFTP& m_ftp;
    std::string m_status;
};

// What an extra connection needs to log on as the context's component did.
struct LogOnSettings
{
    std::string host;
    quint16 port = 0;
    std::string user;
    std::string password;
    bool passive = false;
    int security = 0;
    net::TlsTrust* trust = nullptr;
    int timeOut = 0;
    std::string ftpDir;
};

LogOnSettings LogOnSettingsOf(const net::TNMFTP& ftp, const settings::TConfig& config)
{
    return {ftp.Host,     ftp.Port,  ftp.UserID,  ftp.Password, ftp.Passive,
            ftp.Security, ftp.Trust, ftp.TimeOut, config.FtpDir};
}

// An extra connection from log-on to log-off, on a thread of its own.
void RunExtraConnection(SharedList& list, const RunInputs& inputs, const Poster& post, const LogOnSettings& s)
{
    net::TNMFTP ftp;
    ftp.Host = s.host;
    ftp.Port = s.port;
    ftp.UserID = s.user;
    ftp.Password = s.password;
    ftp.Passive = s.passive;
    ftp.Security = s.security;
    ftp.Trust = s.trust;
    ftp.MayAskTrust = false;
    ftp.TimeOut = s.timeOut;
    list.AddConnection(&ftp);
    ConnectionWork work(list, inputs, post, ftp);
    MainSide::LogOn result = MainSide::LogOn::Skipped;
    if (!list.Stopped()) {
        const bool online = Succeeds([&] {
            ftp.Connect();
            if (!s.ftpDir.empty())
                ftp.ChangeDirectory(s.ftpDir);
        });
        // A log-on cut short by the run's own stop is no refusal of the server.
        result = online ? MainSide::LogOn::Online
                        : (list.Stopped() ? MainSide::LogOn::Skipped : MainSide::LogOn::Refused);
    }
    post([result](MainSide& side) { side.ExtraLoggedOn(result); });
    if (result == MainSide::LogOn::Online) {
        // Socket errors and progress are the context's business, as with its own component.
        QObject::connect(&ftp, &net::TNMFTP::OnError, [&post](int number, const std::string& message) {
            post([number, message](MainSide& side) { OnError(side.context, number, message); });
        });
        QObject::connect(&ftp, &net::TNMFTP::OnPacketSent, [&] {
            post([status = work.Status(), done = ftp.BytesDone, total = ftp.BytesTotal](MainSide& side) {
                side.Progress(status, done, total);
            });
        });
        QObject::connect(&ftp, &net::TPowersock::OnTlsFailure, [&post](const std::string& text) {
            post([text](MainSide& side) { side.Row(text, core::lkStepError); });
        });
        work.Run();
    }
    try {
        ftp.Abort();
        ftp.Disconnect();
    } catch (...) {
        // The socket is closed whatever the server said.
    }
    list.RemoveConnection(&ftp);
    post([](MainSide& side) { ++side.extrasDone; });
}

std::vector<Job> JobsOf(const UploadContext& context, const text::StringList& files)
{
    const settings::TConfig& config = *context.State.Settings;
    std::vector<Job> jobs;
    jobs.reserve(files.size());
    for (const std::string& path : files) {
        Job job{path, SplitListedPath(config.ReplaceFolder, path), false};
        // Under the first full upload every file goes, the pages rewritten and the rest unchanged.
        job.asIs = context.State.UploadAll && !IsPageFile(job.file.Name, config.ReplaceExt);
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace

int ParallelConnections(int setting)
{
    return std::clamp(setting, 1, kMaxParallel);
}

bool SendFilesInParallel(UploadContext& context, bool closing, const text::StringList& files, int connections)
{
    core::MainState& state = context.State;
    const RunInputs inputs{*state.Settings, closing,
                           rewrite::RewriteState{state.NewGlobalIP, state.NewHostName, state.UploadAll}};
    SharedList list(JobsOf(context, files));
    QObject anchor;
    MainSide side{context, list};
    const Poster post(&anchor, &side);
    list.AddWaker(&anchor);
    // The abort timer and the error handler cancel the context's component: every connection stops.
    const QMetaObject::Connection cancel =
        QObject::connect(&context.Ftp, &net::TPowersock::OnCancel, &anchor, [&list] { list.Stop(true); });

    const LogOnSettings logOn = LogOnSettingsOf(context.Ftp, *state.Settings);
    side.extras =
        std::clamp(connections, 1, static_cast<int>(std::min<size_t>(files.size(), kMaxParallel))) - 1;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < side.extras; ++i) {
        threads.emplace_back(QThread::create([&] { RunExtraConnection(list, inputs, post, logOn); }));
        threads.back()->start();
    }
    ConnectionWork(list, inputs, post, context.Ftp).Run();
    // Every extra connection reports its end last, after all its rows.
    platform::WaitUntil([&] { return side.extrasDone == side.extras; }, -1);
    for (const std::unique_ptr<QThread>& thread : threads)
        thread->wait();
    QObject::disconnect(cancel);
    return !side.failed;
}

} // namespace upload
