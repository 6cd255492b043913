#include "net/NMsmtp.h"

#include "net/NetErrors.h"
#include "net/NetText.h"

#include <QBuffer>

namespace net {

namespace {

std::string Join(const std::vector<std::string>& entries)
{
    std::string joined;
    for (const std::string& e : entries) {
        if (!joined.empty())
            joined += ',';
        joined += e;
    }
    return joined;
}

const char* ContentTypeOf(TSubType subType)
{
    switch (subType) {
    case mtEnriched:
        return "text/enriched";
    case mtSgml:
        return "text/sgml";
    case mtTabSeperated:
        return "text/tab-separated-values";
    case mtHtml:
        return "text/html";
    case mtPlain:
        break;
    }
    return "text/plain";
}

} // namespace

void TExStringList::SetValue(std::string_view name, std::string_view value)
{
    for (auto it = m_lines.begin(); it != m_lines.end(); ++it) {
        const size_t colon = it->find(':');
        if (colon != std::string::npos && SameName(std::string_view(*it).substr(0, colon), name)) {
            if (value.empty())
                m_lines.erase(it);
            else
                *it = std::string(name) + ": " + std::string(value);
            return;
        }
    }
    if (!value.empty())
        m_lines.push_back(std::string(name) + ": " + std::string(value));
}

std::string RecipientAddress(std::string_view entry)
{
    const size_t open = entry.find('<');
    if (open != std::string_view::npos) {
        const size_t close = entry.find('>', open + 1);
        return std::string(
            entry.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
    }
    const size_t colon = entry.find(':');
    if (colon != std::string_view::npos) {
        const size_t next = entry.find(':', colon + 1);
        return std::string(entry.substr(colon + 1, next == std::string_view::npos ? next : next - colon - 1));
    }
    return std::string(entry);
}

TNMSMTP::TNMSMTP(QObject* parent) : TPowersock(parent)
{
    Port = 25;
}

void TNMSMTP::Command(std::string_view command)
{
    Transaction(command);
    // A reply of several lines is read whole, so that its rest is not taken for the next reply.
    ReadReplyRest();
}

// Codes are judged against the limits of the protocol; a reply without a code (a server that closed
// or answered something that is not SMTP) is never taken as agreement.
void TNMSMTP::RequireBelow(int limit)
{
    if (ReplyMissing())
        throw ProtocolReplyError("Connection closed");
    if (ReplyCode < 100 || ReplyCode >= limit)
        throw ProtocolReplyError(ReplyText);
}

void TNMSMTP::NegotiateTls()
{
    Command("EHLO " + UserID);
    const bool offered = !ReplyMissing() && ReplyCode == 250 && OffersExtension(ReplyLines, "STARTTLS");
    if (offered)
        Command("STARTTLS");
    if (!offered || ReplyMissing() || ReplyCode != 220) {
        // Without TLS the mail would go in clear: nothing more is sent, not even QUIT.
        CloseSocket(false);
        ReportTlsFailure(TlsNotOfferedText(TlsHost(), TlsPort()));
        throw ProtocolReplyError(offered ? ReplyText : std::string("STARTTLS not offered"));
    }
    StartTls();
}

void TNMSMTP::Connect()
{
    const bool wasBusy = m_busy;
    m_busy = true;
    try {
        // HELO carries the user name as it is; a line break would end the command early and let the
        // rest of the name through as commands of its own.
        if (HoldsLineBreak(UserID))
            throw ProtocolReplyError("Authentication failed");
        TPowersock::Connect();
        ReadReply();
        RequireBelow(400);
        if (Security == tlsExplicit)
            NegotiateTls();
        // HELO also after STARTTLS: this path has always introduced itself so, and needs nothing of
        // what EHLO would list.
        Command("HELO " + UserID);
        if (ReplyMissing() || ReplyCode < 100 || ReplyCode >= 300)
            throw ProtocolReplyError("Authentication failed");
    } catch (...) {
        try {
            Disconnect();
        } catch (const NetError&) {
            // The connect's own failure is the one worth reporting.
        }
        if (!wasBusy)
            m_busy = false;
        throw;
    }
    if (!wasBusy)
        m_busy = false;
    emit OnConnect();
}

void TNMSMTP::RefuseLineBreaks() const
{
    const TPostMessage& m = PostMessage;
    bool bad = HoldsLineBreak(m.FromAddress) || HoldsLineBreak(m.FromName) || HoldsLineBreak(m.Subject) ||
               HoldsLineBreak(m.LocalProgram) || HoldsLineBreak(m.Date) || HoldsLineBreak(m.ReplyTo);
    for (const auto* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
        for (const std::string& entry : *list)
            bad = bad || HoldsLineBreak(entry);
    }
    // Addresses and header values go out inside command and header lines; a line break in one of
    // them would add commands or header lines of its own.
    if (bad)
        throw NetError("Line break in header field");
}

void TNMSMTP::SendRecipients(const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        const std::string address = RecipientAddress(entry);
        if (address.empty())
            continue;
        Command("RCPT TO:<" + address + ">");
        if (ReplyCode > 300)
            emit OnRecipientNotFound(address);
    }
}

void TNMSMTP::SendMail()
{
    if (m_busy)
        return;
    m_busy = true;
    try {
        BuildMessage();
        CheckConnected();
        const TPostMessage& m = PostMessage;
        if (m.FromAddress.empty() ||
            (m.ToAddress.empty() && m.ToCarbonCopy.empty() && m.ToBlindCarbonCopy.empty()))
            throw NetError("Incomplete Header");
        RefuseLineBreaks();
        Command("RSET");
        RequireBelow(400);
        Command("MAIL FROM:<" + m.FromAddress + ">");
        RequireBelow(400);
        SendRecipients(m.ToAddress);
        SendRecipients(m.ToCarbonCopy);
        SendRecipients(m.ToBlindCarbonCopy);
        Command("DATA");
        RequireBelow(400);

        std::string header;
        for (const std::string& line : FinalHeader.Lines())
            header += line + "\r\n";
        header += "\r\n\r\n";
        Write(header);
        QBuffer body(&m_body);
        body.open(QIODevice::ReadOnly);
        SendStream(body);

        Command(".");
        if (ReplyMissing() || ReplyCode < 100 || ReplyCode >= 400) {
            emit OnFailure();
            RequireBelow(400);
        }
        if (ClearParams) {
            PostMessage.ToAddress.clear();
            PostMessage.ToCarbonCopy.clear();
            PostMessage.ToBlindCarbonCopy.clear();
            PostMessage.Attachments.clear();
        }
    } catch (...) {
        m_busy = false;
        throw;
    }
    m_busy = false;
    emit OnSuccess();
}

void TNMSMTP::BuildMessage()
{
    const TPostMessage& m = PostMessage;
    FinalHeader.Clear();
    FinalHeader.Add("From: " + m.FromName + "<" + m.FromAddress + ">");
    if (!m.ToAddress.empty())
        FinalHeader.Add("To: " + Join(m.ToAddress));
    if (!m.ToCarbonCopy.empty())
        FinalHeader.Add("CC: " + Join(m.ToCarbonCopy));
    FinalHeader.SetValue("Subject", m.Subject);
    FinalHeader.SetValue("X-Mailer", m.LocalProgram);
    FinalHeader.SetValue("Reply-To", m.ReplyTo);
    FinalHeader.SetValue("Date", m.Date);
    FinalHeader.Add("Mime-Version: 1.0");
    FinalHeader.Add(std::string("Content-Type: ") + ContentTypeOf(SubType) + "; charset=" + Charset);
    FinalHeader.SetValue("Content-Transfer-Encoding", TransferEncoding);

    m_body.clear();
    for (const std::string& entry : m.Body) {
        m_body += QByteArray::fromStdString(StuffDots(entry));
        m_body += "\r\n";
    }
}

void TNMSMTP::Disconnect()
{
    if (!Connected()) {
        TPowersock::Disconnect();
        return;
    }
    try {
        Command("QUIT");
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    const bool refused = ReplyCode > 339;
    const std::string reply = ReplyText;
    TPowersock::Disconnect();
    if (refused)
        throw ProtocolReplyError(reply);
}

} // namespace net
