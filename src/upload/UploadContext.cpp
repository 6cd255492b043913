#include "upload/UploadContext.h"

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "text/Sjis.h"
#include "text/VB.h"
#include "upload/UploadPaths.h"
#include "upload/UploadRun.h"

#include <QObject>

namespace upload {

FtpEventBinding::FtpEventBinding(UploadContext& context) : m_context(context)
{
    if (context.EventsBound)
        return;
    m_owner = true;
    context.EventsBound = true;
    net::TNMFTP* ftp = &context.Ftp;
    core::MainState* state = &context.State;
    m_connect = QObject::connect(ftp, &net::TNMFTP::OnConnect, ftp, [state] { state->NetStepOk = true; });
    m_success =
        QObject::connect(ftp, &net::TNMFTP::OnSuccess, ftp, [state](int) { state->NetStepOk = true; });
    m_packet = QObject::connect(ftp, &net::TNMFTP::OnPacketSent, ftp, [&context] { OnPacketSent(context); });
    m_error =
        QObject::connect(ftp, &net::TNMFTP::OnError, ftp, [&context](int number, const std::string& message) {
            OnError(context, number, message);
        });
    m_tls = QObject::connect(ftp, &net::TNMFTP::OnTlsFailure, ftp, [&context](const std::string& text) {
        context.Log.AddLog(text, core::lkStepError);
    });
}

FtpEventBinding::~FtpEventBinding()
{
    if (!m_owner)
        return;
    QObject::disconnect(m_connect);
    QObject::disconnect(m_success);
    QObject::disconnect(m_packet);
    QObject::disconnect(m_error);
    QObject::disconnect(m_tls);
    m_context.EventsBound = false;
}

bool FtpStep(UploadContext& context, const std::function<void()>& step, bool* failure)
{
    context.State.NetStepOk = false;
    try {
        step();
    } catch (const net::NetError&) {
        if (failure)
            *failure = true;
    }
    return context.State.NetStepOk;
}

bool ConnectFtp(UploadContext& context)
{
    const settings::TConfig& config = *context.State.Settings;
    net::TNMFTP& ftp = context.Ftp;
    // A port outside the range of ports cannot be reached; 0 makes the connection fail at once.
    ftp.Port = config.FtpPort > 0 && config.FtpPort <= 65535 ? static_cast<quint16>(config.FtpPort) : 0;
    ftp.Host = config.FtpServer;
    ftp.UserID = config.FtpUser;
    ftp.Password = config.FtpPass;
    ftp.Passive = config.FtpPasv != 0;
    ftp.Security = net::TlsModeOf(config.FtpSecurity);
    ftp.Trust = context.Trust;
    ftp.MayAskTrust = false;
    return FtpStep(
        context, [&ftp] { ftp.Connect(); }, nullptr);
}

bool MakeFolderLevels(const std::string& folder, const std::function<bool(const std::string&)>& make)
{
    if (make(folder))
        return true;
    const text::StringList levels = text::SplitText(folder, "/", false);
    if (levels.size() < 2)
        return false;
    std::string path;
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        path += (i == 0 ? "" : "/") + levels[i];
        make(path);
    }
    return make(folder);
}

namespace {

// Makes the folder, relative to the current one.
bool MakeFolder(UploadContext& context, const std::string& folder)
{
    return MakeFolderLevels(folder, [&context](const std::string& path) {
        return FtpStep(
            context, [&] { context.Ftp.MakeDirectory(path); }, nullptr);
    });
}

} // namespace

FolderStep EnterRemoteFolder(UploadContext& context, std::string& current, const std::string& wanted,
                             bool& failure)
{
    net::TNMFTP& ftp = context.Ftp;
    if (!current.empty()) {
        const std::string back = UpLevels(current);
        if (!FtpStep(
                context, [&] { ftp.ChangeDirectory(back); }, &failure))
            return FolderStep::BackFailed;
        current.clear();
    }
    // The top folder comes first in every listing, so this only guards against an empty "CWD ".
    if (wanted.empty())
        return FolderStep::Entered;
    if (FtpStep(
            context, [&] { ftp.ChangeDirectory(wanted); }, nullptr)) {
        current = wanted;
        return FolderStep::Entered;
    }
    if (MakeFolder(context, wanted) && FtpStep(
                                           context, [&] { ftp.ChangeDirectory(wanted); }, nullptr)) {
        current = wanted;
        return FolderStep::Entered;
    }
    failure = true;
    return FolderStep::NotEntered;
}

void LogUnconvertibleNames(UploadContext& context, const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        context.Log.AddLog(path + text::Sjis(u8" ﾌｧｲﾙ名をShift_JISに変換できないため送信しません"),
                           core::lkStepError);
}

void LogOff(UploadContext& context)
{
    try {
        context.Ftp.Abort();
        context.Ftp.Disconnect();
    } catch (...) {
        try {
            context.Ftp.Abort();
        } catch (...) {
            // Disconnect has closed the socket whatever happened; nothing is left to end.
        }
    }
}

void CallHook(const std::function<void()>& hook)
{
    if (!hook)
        return;
    try {
        hook();
    } catch (...) {
        // Stopping is best effort: one part that cannot be stopped must not keep the others going.
    }
}

void StopNetwork(UploadContext& context)
{
    CallHook(context.Hooks.CancelLookup);
    CallHook(context.Hooks.StopBrowser);
    CallHook([&context] { context.Ftp.Abort(); });
    if (context.Hooks.StopMail)
        CallHook([&context] { context.Hooks.StopMail(false); });
}

} // namespace upload
