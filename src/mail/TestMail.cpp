#include "mail/TestMail.h"

#include "core/TestFailureText.h"
#include "core/Version.h"
#include "platform/UserInterface.h"
#include "text/Sjis.h"

namespace mail {

namespace {

// Puts the backed-up settings back however the test ends.
class SettingsRestorer
{
public:
    explicit SettingsRestorer(settings::TConfig& live) : m_live(live)
    {
        settings::AssignSettings(m_backup, live);
    }
    ~SettingsRestorer() { settings::AssignSettings(m_live, m_backup); }
    SettingsRestorer(const SettingsRestorer&) = delete;
    SettingsRestorer& operator=(const SettingsRestorer&) = delete;

private:
    settings::TConfig& m_live;
    settings::TConfig m_backup;
};

TestMailOutcome Outcome(bool sent, std::u8string_view text)
{
    return {sent, text::Sjis(text), !sent};
}

TestMailOutcome AuthOutcome(SendResult result)
{
    switch (result) {
    case srSent:
        return Outcome(true, u8"送信しました。");
    case srPopFailed:
        return Outcome(false, u8"POPサーバーに接続できませんでした。");
    case srSmtpConnectFailed:
        return Outcome(false, u8"SMTPサーバーに接続できませんでした。");
    case srSmtpAuthFailed:
        return Outcome(false, u8"SMTP認証に失敗しました。");
    case srSendFailed:
        break;
    }
    return Outcome(false, u8"送信できませんでした。");
}

// Which step failed and why: the server's reply, a refused connection, a time-out.
void AddFailureReason(TestMailOutcome& outcome, const TNoticeMailer& mailer, int timeOutMs)
{
    if (outcome.Sent || mailer.LastFailedStep().empty())
        return;
    const std::string& failure = mailer.LastFailure();
    std::string reason = mailer.LastFailedStep() + text::Sjis(u8"で失敗しました。");
    const std::string network = core::NetworkFailureText(failure, mailer.LastSocketError(), timeOutMs);
    if (core::IsServerReply(failure))
        reason += core::ServerReplyText(failure);
    else if (!network.empty())
        reason += "\r\n" + network;
    else if (!failure.empty())
        reason += "\r\n" + text::Sjis(u8"詳細: ") + failure;
    outcome.Text += "\r\n\r\n" + reason;
}

// When TLS was asked for, the box says whether the mail went encrypted, or why not.
void AddTlsNote(TestMailOutcome& outcome, const TNoticeMailer& mailer)
{
    if (!mailer.LastSendAskedTls())
        return;
    if (!mailer.LastTlsFailure().empty())
        outcome.Text += "\r\n" + mailer.LastTlsFailure();
    else if (outcome.Sent && mailer.LastSendEncrypted())
        outcome.Text += text::Sjis(u8"\r\n(TLSで暗号化して送信しました)");
}

} // namespace

TestMailOutcome RunTestMail(TNoticeMailer& mailer, settings::TConfig& live,
                            const std::function<void(settings::TConfig&)>& applyEntries)
{
    const SettingsRestorer restorer(live);
    if (applyEntries)
        applyEntries(live);
    const std::string text = text::Sjis(u8"通知テストです");
    TestMailOutcome outcome = live.SmtpLogon               ? AuthOutcome(mailer.SendMailAuth(text))
                              : mailer.SendMailPlain(text) ? Outcome(true, u8"送信しました。")
                                                           : Outcome(false, u8"送信できませんでした。");
    AddFailureReason(outcome, mailer, live.SmtpLogon ? mailer.IdSMTP1().TimeOut : mailer.NMSMTP1().TimeOut);
    AddTlsNote(outcome, mailer);
    return outcome;
}

void ShowTestMailOutcome(platform::UserInterface& ui, const TestMailOutcome& outcome)
{
    const std::string caption = core::kProgramTitle;
    if (outcome.Warning)
        ui.ShowWarning(outcome.Text, caption);
    else
        ui.ShowInformation(outcome.Text, caption);
}

} // namespace mail
