#pragma once
// What the upload runs work with: the shared state, the FTP component, the operation log, the user
// interface, and a few hooks into the check cycle for the things it owns (the abort timer, the host
// look-up, the status page load, the mail clients, the settings object).
//
// The runs connect the FTP component's events themselves, for the duration of each run (see
// FtpEventBinding below), so the owner only has to keep the context alive while a run is going on.
// Nothing here is tied to one check: the same context serves every run of the program.

#include <QMetaObject>
#include <functional>
#include <string>
#include <vector>

namespace core {
struct MainState;
class OperationLog;
} // namespace core
namespace net {
class TNMFTP;
class TlsTrust;
} // namespace net
namespace platform {
class UserInterface;
}

namespace upload {

// The check cycle's share of stopping network work. Every hook may be left empty (nothing to do).
struct UploadHooks
{
    // Switches the abort timer off (a transfer error leaves the rest of the run without time limit).
    std::function<void()> StopAbortTimer;
    // Cancels a running host-name look-up; its wait ends with an empty host name.
    std::function<void()> CancelLookup;
    // Stops the status page load when one is in progress.
    std::function<void()> StopBrowser;
    // Abort, and with cancel also Cancel, the plain SMTP client and then the POP3 client; for each,
    // when that fails, Abort once more. Failures never leave the hook.
    std::function<void(bool cancel)> StopMail;
    // Releases the settings object at the very end of the closing run. Empty: the state's Settings
    // is reset.
    std::function<void()> ReleaseSettings;
};

struct UploadContext
{
    core::MainState& State;
    net::TNMFTP& Ftp;
    core::OperationLog& Log;
    platform::UserInterface& Ui;
    UploadHooks Hooks = {};
    // Decides about server certificates the system does not vouch for (never asking anyone: the
    // runs are unattended); null: only the system's trust store counts.
    net::TlsTrust* Trust = nullptr;
    // Kept by FtpEventBinding: the events are connected to this context right now.
    bool EventsBound = false;
};

// Connects the FTP component's events to the context while it lives: OnConnect and OnSuccess set
// NetStepOk, OnPacketSent shows the progress, OnError runs the error handler, OnTlsFailure logs why an
// encrypted connection did not come about. A binding for a
// context that is already bound does nothing, so a run started from within another one does not
// see every event twice.
class FtpEventBinding
{
public:
    explicit FtpEventBinding(UploadContext& context);
    ~FtpEventBinding();
    FtpEventBinding(const FtpEventBinding&) = delete;
    FtpEventBinding& operator=(const FtpEventBinding&) = delete;

private:
    UploadContext& m_context;
    bool m_owner = false;
    QMetaObject::Connection m_connect;
    QMetaObject::Connection m_success;
    QMetaObject::Connection m_packet;
    QMetaObject::Connection m_error;
    QMetaObject::Connection m_tls;
};

// The FTP component gets the server, port, user, password, mode and encryption of the settings; then
// it logs on.
// True when the log-on succeeded (NetStepOk was set); a failure never leaves this function.
bool ConnectFtp(UploadContext& context);

// Runs one guarded FTP step: clears NetStepOk, runs the step, and tells whether NetStepOk was set. A
// network failure of the step is caught; it sets *failure when failure is given.
bool FtpStep(UploadContext& context, const std::function<void()>& step, bool* failure);

enum class FolderStep {
    Entered,    // the component is in the remote folder
    BackFailed, // going back to the top folder failed
    NotEntered, // the folder could neither be entered nor made and entered
};

// Moves the component from the remote subfolder current (relative to the top folder, "/"
// separators, empty for the top folder itself) to the remote subfolder wanted: back to the top
// folder with "../" once per level, then "CWD wanted", and when that fails the missing folders are
// made ("MKD wanted", and when the server refuses that, one level at a time from the top) and
// "CWD wanted" again. current follows the component. A failed return and a folder that could not be
// entered in the end set failure.
FolderStep EnterRemoteFolder(UploadContext& context, std::string& current, const std::string& wanted,
                             bool& failure);

// Makes a remote folder with make (one "MKD" each, true when it succeeded). A server makes only the
// last level of a path, so when the whole path is refused the levels are made from the top down: "a",
// "a/b", then "a/b/c". A refused upper level is no failure (it usually exists already); the last one
// decides.
bool MakeFolderLevels(const std::string& folder, const std::function<bool(const std::string&)>& make);

// One row (kind 1) for each listed file or folder whose name has no code page 932 form: it cannot
// be read or named here, so it is not sent, and the user is told instead of finding it missing.
void LogUnconvertibleNames(UploadContext& context, const std::vector<std::string>& paths);

// Ends the connection: Abort and Disconnect, and when that fails, Abort once more. Never throws.
void LogOff(UploadContext& context);

// Cancels a host-name look-up, stops a status page load, and aborts the FTP, SMTP and POP3 clients.
void StopNetwork(UploadContext& context);

// Calls a hook when it is set; a failure inside it is the hook's own business and is dropped.
void CallHook(const std::function<void()>& hook);

} // namespace upload
