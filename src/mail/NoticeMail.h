#pragma once
// The notice sender: mails what the check cycle wants the user to hear about, over the plain SMTP
// client or the authenticating one, after a POP3 log-on when configured, and suppresses a repeated
// failure notice. It owns the three mail components and reads the live settings object at every
// send. Every failure of a network step is caught here and becomes a result; nothing of a server's
// text leaves this class.

#include "core/CertificateTrust.h"
#include "core/OperationLog.h"
#include "net/IdSMTP.h"
#include "net/NMpop3.h"
#include "net/NMsmtp.h"
#include "settings/ConfigUnit.h"

#include <cstdint>
#include <string>

namespace platform {
class UserInterface;
}

namespace mail {

enum NoticeKind : std::int32_t {
    nkAddressChanged = 0,
    nkStatusUnreachable = 1,
    nkAddressNotFound = 2,
    nkUploadFailed = 3,
    // The dynamic DNS provider refused the update; mailed on its own only when the check mails
    // nothing else (otherwise it is a line of that mail).
    nkDdnsStopped = 4,
};

enum SendResult : std::int32_t {
    srSent = -1,
    srSendFailed = 0,
    srPopFailed = 1,
    srSmtpConnectFailed = 2,
    srSmtpAuthFailed = 3,
};

class TNoticeMailer
{
public:
    // settings is the live settings object and log the operation log; both must outlive the
    // mailer. log may be null (the test mail writes no log line). askTrust is the person to ask about
    // a server certificate the system does not vouch for; null for unattended sends, which never ask.
    TNoticeMailer(settings::TConfig& settings, core::OperationLog* log,
                  platform::UserInterface* askTrust = nullptr);
    TNoticeMailer(const TNoticeMailer&) = delete;
    TNoticeMailer& operator=(const TNoticeMailer&) = delete;

    // Mails the notice unless mail notices are off or this failure kind was the last one mailed;
    // logs "通知ﾒｰﾙの送信に失敗しました。" when the send fails.
    void SendNoticeMail(std::int32_t kind, const std::string& text);
    // The plain path; true when the server accepted the message.
    bool SendMailPlain(const std::string& text);
    // The authenticating path.
    SendResult SendMailAuth(const std::string& text);

    // The kind of the last notice mailed successfully (0 at start).
    std::int32_t LastNoticeKind() const { return m_lastNoticeKind; }
    // Whether the last send asked for TLS on any of its connections ([SMTP] Security, or [POP]
    // Security with POP before SMTP), whether every connection it made was encrypted, and the log
    // row of a connection that asked for TLS and did not get it (empty when none).
    bool LastSendAskedTls() const { return m_tlsAsked; }
    bool LastSendEncrypted() const { return m_encrypted; }
    const std::string& LastTlsFailure() const { return m_tlsFailure; }

    // The step of the last send that failed, in words ("POPｻｰﾊﾞｰへのﾛｸﾞｵﾝ", ...), and the failure's
    // message (the server's reply line where it answered); empty after a send that went through.
    const std::string& LastFailedStep() const { return m_failedStep; }
    const std::string& LastFailure() const { return m_failure; }
    // The socket error number of the last failed connection (0: none).
    int LastSocketError() const { return m_socketError; }

    // Ends a waiting SMTP (either path) or POP3 step (the abort timer, a stop); the step then fails.
    void Abort();

    net::TNMSMTP& NMSMTP1() { return m_smtp; }
    net::TNMPOP3& NMPOP31() { return m_pop3; }
    net::TIdSMTP& IdSMTP1() { return m_idSmtp; }

private:
    // POP before SMTP; false when the log-on failed. popError tells whether an error was raised.
    bool PopBeforeSmtp(bool& popError);
    std::string BodyText(const std::string& text) const;
    std::string SenderAddress() const;
    void StartSend();
    void OnTlsFailure(const std::string& text);
    // Takes note of whether a connection that has just been made is encrypted.
    void NoteConnection(bool encrypted) { m_encrypted = m_encrypted && encrypted; }
    // Takes note of the step that failed and why (the first failure of a send counts).
    void NoteFailure(std::u8string_view step, const std::string& message, int socketError = 0);

    settings::TConfig& m_settings;
    core::OperationLog* m_log;
    core::CertificateTrust m_trust;
    bool m_mayAskTrust;
    bool m_tlsAsked = false;
    bool m_encrypted = false;
    std::string m_tlsFailure;
    std::string m_failedStep;
    std::string m_failure;
    int m_socketError = 0;
    net::TNMSMTP m_smtp;
    net::TNMPOP3 m_pop3;
    net::TIdSMTP m_idSmtp;
    // Cleared before every network step, set by the components' connect and success events.
    bool m_netStepOk = false;
    std::int32_t m_lastNoticeKind = 0;
};

} // namespace mail
