#pragma once
// The plain SMTP client on the socket base: greeting and HELO, one message per SendMail (header
// built from the message description, body sent as it is, in whatever code its entries hold), QUIT.
// It keeps processing events while it waits, like every client on the socket base.

#include "net/Psock.h"

#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// Header lines "name: value". Setting a value replaces the first line whose name (the text before
// its first ":") matches without regard to case, or appends a line; an empty value removes it.
class TExStringList
{
public:
    void Add(std::string line) { m_lines.push_back(std::move(line)); }
    void SetValue(std::string_view name, std::string_view value);
    void Clear() { m_lines.clear(); }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// What SendMail sends. Lists hold one entry per line of the original component.
struct TPostMessage
{
    std::string FromAddress;
    std::string FromName;
    std::string Subject;
    std::string LocalProgram; // X-Mailer
    std::string Date;
    std::string ReplyTo;
    std::vector<std::string> ToAddress;
    std::vector<std::string> ToCarbonCopy;
    std::vector<std::string> ToBlindCarbonCopy;
    std::vector<std::string> Body;
    std::vector<std::string> Attachments;
};

enum TSubType : int {
    mtPlain,
    mtEnriched,
    mtSgml,
    mtTabSeperated,
    mtHtml,
};

enum TEncodeType : int {
    uuMime,
    uuCode,
};

class TNMSMTP : public TPowersock
{
    Q_OBJECT

public:
    explicit TNMSMTP(QObject* parent = nullptr);

    // The argument of HELO.
    std::string UserID;
    TPostMessage PostMessage;
    // The header lines of the message being sent, made by BuildMessage.
    TExStringList FinalHeader;
    // Placed after "charset=" in the Content-Type line.
    std::string Charset = "us-ascii";
    // The Content-Transfer-Encoding line's value; empty writes no such line. A body of 8-bit bytes
    // (Shift_JIS) says "8bit", so that a mail reader takes the bytes as they are.
    std::string TransferEncoding;
    TSubType SubType = mtPlain;
    TEncodeType EncodeType = uuMime; // only attachments would use it
    // After a successful send the recipient and attachment lists are emptied.
    bool ClearParams = true;

    // True while a connect or a send of this client runs.
    bool Busy() const { return m_busy; }

    // Connects, reads the greeting (all its lines) and says HELO; OnConnect follows success. With
    // Security tlsExplicit, "EHLO" and "STARTTLS" and the handshake come before the HELO; with
    // tlsImplicit the connection is in TLS from the start. A server that offers no TLS ends the
    // connect (OnTlsFailure says why).
    // On failure the client closes its connection before the error is passed on.
    void Connect() override;
    // Sends PostMessage; returns at once, doing nothing, while the client is busy. OnSuccess
    // follows an accepted message.
    void SendMail();
    // Makes FinalHeader and the body from PostMessage.
    void BuildMessage();
    // QUIT; the connection is closed in every case.
    void Disconnect() override;

    // The body as BuildMessage made it.
    const QByteArray& BodyBytes() const { return m_body; }

signals:
    void OnSuccess();
    void OnFailure();
    // A recipient that the server refused; the send goes on without it.
    void OnRecipientNotFound(const std::string& address);

protected:
    // The connection alone is not yet a log-on: OnConnect waits for the HELO.
    void SocketConnected() override {}

private:
    void Command(std::string_view command);
    void NegotiateTls();
    void RequireBelow(int limit);
    void SendRecipients(const std::vector<std::string>& entries);
    void RefuseLineBreaks() const;

    bool m_busy = false;
    QByteArray m_body;
};

// The address inside a recipient entry: between "<" and ">", else between the first two ":", else
// the whole entry.
std::string RecipientAddress(std::string_view entry);

} // namespace net
