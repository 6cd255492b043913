#include "mail/NoticeMail.h"

#include <QHostInfo>

#include "text/Sjis.h"
#include "text/VB.h"

#include <exception>
#include <stdexcept>

namespace mail {

namespace {

std::string HeloName()
{
    const std::string name = QHostInfo::localHostName().toStdString();
    return name.empty() ? std::string("localhost") : name;
}

constexpr int kMailTimeOut = 20000;
const char* const kSubject = "Quma Notice";
const char* const kFromName = "Quillmap";

// A port outside the TCP range would silently turn into another port; such a step fails instead.
bool ValidPort(std::int32_t port)
{
    return port > 0 && port <= 65535;
}

} // namespace

TNoticeMailer::TNoticeMailer(settings::TConfig& settings, core::OperationLog* log,
                             platform::UserInterface* askTrust)
    : m_settings(settings), m_log(log), m_trust([this] { return &m_settings; }, askTrust),
      m_mayAskTrust(askTrust != nullptr)
{
    m_smtp.TimeOut = kMailTimeOut;
    m_smtp.EncodeType = net::uuMime;
    m_smtp.ClearParams = true;
    m_smtp.SubType = net::mtPlain;
    // The plain path sends the program's own bytes unconverted: the label must name what they are,
    // or a mail reader decodes Shift_JIS as another code and shows garbage.
    m_smtp.Charset = "Shift_JIS";
    m_smtp.TransferEncoding = "8bit";
    m_pop3.TimeOut = kMailTimeOut;
    m_pop3.Parse = false;
    m_pop3.DeleteOnRead = false;
    m_idSmtp.AuthenticationType = net::atLogin;
    m_idSmtp.TimeOut = kMailTimeOut;

    QObject::connect(&m_smtp, &net::TNMSMTP::OnConnect, [this] { m_netStepOk = true; });
    QObject::connect(&m_smtp, &net::TNMSMTP::OnSuccess, [this] { m_netStepOk = true; });
    QObject::connect(&m_pop3, &net::TNMPOP3::OnConnect, [this] { m_netStepOk = true; });
    QObject::connect(&m_idSmtp, &net::TIdSMTP::OnConnected, [this] { m_netStepOk = true; });
    for (net::TPowersock* client :
         {static_cast<net::TPowersock*>(&m_smtp), static_cast<net::TPowersock*>(&m_pop3)}) {
        client->Trust = &m_trust;
        client->MayAskTrust = m_mayAskTrust;
        QObject::connect(client, &net::TPowersock::OnTlsFailure,
                         [this](const std::string& text) { OnTlsFailure(text); });
    }
    m_idSmtp.Trust = &m_trust;
    m_idSmtp.MayAskTrust = m_mayAskTrust;
    QObject::connect(&m_idSmtp, &net::TIdSMTP::OnTlsFailure,
                     [this](const std::string& text) { OnTlsFailure(text); });
}

void TNoticeMailer::OnTlsFailure(const std::string& text)
{
    m_tlsFailure = text;
    if (m_log)
        m_log->AddLog(text, core::lkStepError);
}

void TNoticeMailer::NoteFailure(std::u8string_view step, const std::string& message, int socketError)
{
    if (!m_failedStep.empty())
        return;
    m_failedStep = text::Sjis(step);
    m_failure = message;
    m_socketError = socketError;
}

void TNoticeMailer::StartSend()
{
    m_failedStep.clear();
    m_failure.clear();
    m_socketError = 0;
    const int smtp = net::TlsModeOf(m_settings.SmtpSecurity);
    const int pop = m_settings.PopLogon ? net::TlsModeOf(m_settings.PopSecurity) : net::tlsNone;
    m_tlsAsked = smtp != net::tlsNone || pop != net::tlsNone;
    m_encrypted = true;
    m_tlsFailure.clear();
    m_smtp.Security = smtp;
    m_idSmtp.Security = smtp;
    m_pop3.Security = net::TlsModeOf(m_settings.PopSecurity);
}

void TNoticeMailer::SendNoticeMail(std::int32_t kind, const std::string& text)
{
    if (!m_settings.MailNotice)
        return;
    // The same failure is mailed once until another kind of notice has gone out; a change of the
    // address is always worth a mail.
    if (kind != nkAddressChanged && kind == m_lastNoticeKind)
        return;
    const bool sent = m_settings.SmtpLogon ? SendMailAuth(text) == srSent : SendMailPlain(text);
    if (sent)
        m_lastNoticeKind = kind;
    else if (m_log)
        m_log->AddLog(text::Sjis(u8"通知ﾒｰﾙの送信に失敗しました。"), core::lkRunFailure);
}

bool TNoticeMailer::PopBeforeSmtp(bool& popError)
{
    popError = false;
    if (!m_settings.PopLogon)
        return true;
    m_netStepOk = false;
    m_pop3.Host = m_settings.PopServer;
    m_pop3.UserID = m_settings.PopUser;
    m_pop3.Password = m_settings.PopPass;
    try {
        if (!ValidPort(m_settings.PopPort))
            throw std::invalid_argument("Invalid port");
        m_pop3.Port = static_cast<quint16>(m_settings.PopPort);
        m_pop3.Connect();
        NoteConnection(m_pop3.Encrypted());
        m_pop3.Disconnect();
    } catch (const std::exception& e) {
        popError = true;
        m_netStepOk = false;
        NoteFailure(u8"POPｻｰﾊﾞｰへのﾛｸﾞｵﾝ", e.what(), m_pop3.LastErrorNumber());
    }
    if (!m_netStepOk)
        NoteFailure(u8"POPｻｰﾊﾞｰへのﾛｸﾞｵﾝ", m_pop3.ReplyText, m_pop3.LastErrorNumber());
    return m_netStepOk;
}

std::string TNoticeMailer::BodyText(const std::string& text) const
{
    return m_settings.MailHanKana ? text::StrConvMap(text, text::kMapHalfWidth) : text;
}

std::string TNoticeMailer::SenderAddress() const
{
    return m_settings.MailAddressFrom.empty() ? m_settings.MailAddress : m_settings.MailAddressFrom;
}

bool TNoticeMailer::SendMailPlain(const std::string& text)
{
    StartSend();
    bool popError = false;
    if (!PopBeforeSmtp(popError))
        return false;

    m_netStepOk = false;
    m_smtp.Host = m_settings.SmtpServer;
    // HELO carries the SMTP user setting. Left empty (as it is by default) that would be a bare
    // "HELO", which mail servers refuse, so this machine's name stands in for it then.
    m_smtp.UserID = m_settings.SmtpUser.empty() ? HeloName() : m_settings.SmtpUser;
    try {
        if (!ValidPort(m_settings.SmtpPort))
            throw std::invalid_argument("Invalid port");
        m_smtp.Port = static_cast<quint16>(m_settings.SmtpPort);
        m_smtp.Connect();
        NoteConnection(m_smtp.Encrypted());
    } catch (const std::exception& e) {
        m_netStepOk = false;
        NoteFailure(u8"SMTPｻｰﾊﾞｰへの接続", e.what(), m_smtp.LastErrorNumber());
    }
    if (!m_netStepOk) {
        NoteFailure(u8"SMTPｻｰﾊﾞｰへの接続", m_smtp.ReplyText, m_smtp.LastErrorNumber());
        return false;
    }

    net::TPostMessage& message = m_smtp.PostMessage;
    message.ToAddress = {m_settings.MailAddress};
    message.Subject = kSubject;
    message.Body = {BodyText(text)};
    message.FromAddress = SenderAddress();
    message.FromName = kFromName;

    m_netStepOk = false;
    std::string refusedRecipient;
    const QMetaObject::Connection onRecipient = QObject::connect(
        &m_smtp, &net::TNMSMTP::OnRecipientNotFound,
        [&refusedRecipient](const std::string& address) { refusedRecipient = address; });
    try {
        m_smtp.SendMail();
    } catch (const std::exception& e) {
        m_netStepOk = false;
        if (!refusedRecipient.empty())
            NoteFailure(u8"通知先ｱﾄﾞﾚｽ(RCPT TO)", m_smtp.ReplyText);
        NoteFailure(u8"送信(MAIL FROM・RCPT TO・DATA)", e.what());
    }
    QObject::disconnect(onRecipient);
    try {
        m_smtp.Disconnect();
    } catch (const std::exception&) {
        // The farewell failed after the message was (or was not) accepted: what counts is whether
        // the server took the message, and that is already known.
    }
    return m_netStepOk;
}

SendResult TNoticeMailer::SendMailAuth(const std::string& text)
{
    StartSend();
    SendResult result = srSendFailed;
    bool popError = false;
    if (!PopBeforeSmtp(popError))
        return popError ? srPopFailed : srSendFailed;

    m_netStepOk = false;
    m_idSmtp.Host = m_settings.SmtpServer;
    m_idSmtp.UserId = m_settings.SmtpUser;
    m_idSmtp.Password = m_settings.SmtpPass;
    try {
        if (!ValidPort(m_settings.SmtpPort))
            throw std::invalid_argument("Invalid port");
        m_idSmtp.Port = m_settings.SmtpPort;
        m_idSmtp.Connect();
        NoteConnection(m_idSmtp.Encrypted());
    } catch (const std::exception& e) {
        m_netStepOk = false;
        result = srSmtpConnectFailed;
        NoteFailure(u8"SMTPｻｰﾊﾞｰへの接続", e.what());
    }
    if (m_netStepOk) {
        try {
            m_netStepOk = m_idSmtp.Authenticate();
        } catch (const std::exception& e) {
            m_netStepOk = false;
            NoteFailure(u8"SMTP認証(AUTH)", e.what());
        }
        if (!m_netStepOk) {
            NoteFailure(u8"SMTP認証(AUTH)", std::string());
            m_idSmtp.Disconnect();
            result = srSmtpAuthFailed;
        }
    }
    if (!m_netStepOk)
        return result;

    net::TIdMessage message;
    message.Body.push_back(BodyText(text));
    message.Subject = kSubject;
    message.Recipients.SetText(m_settings.MailAddress);
    message.From.Address = SenderAddress();
    message.ContentType = "text/plain";

    result = srSent;
    try {
        m_idSmtp.Send(message);
    } catch (const std::exception& e) {
        result = srSendFailed;
        NoteFailure(u8"送信(MAIL FROM・RCPT TO・DATA)", e.what());
    }
    m_idSmtp.Disconnect();
    return result;
}

void TNoticeMailer::Abort()
{
    m_smtp.Abort();
    m_pop3.Abort();
    m_idSmtp.Abort();
}

} // namespace mail
