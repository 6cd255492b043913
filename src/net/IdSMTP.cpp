#include "net/IdSMTP.h"

#include "net/NetText.h"
#include "net/Reply.h"
#include "net/SocketErrors.h"
#include "platform/TcpConnect.h"
#include "platform/WaitLoop.h"
#include "text/jconvert.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QSslSocket>
#include <algorithm>
#include <functional>
#include <optional>

namespace net {

namespace {

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

// A settings value that would end the command line or the header line it is written into would let
// it add commands or header lines of its own; such a value is refused before anything is sent.
void RefuseLineBreak(std::string_view value, const char* what)
{
    if (HoldsLineBreak(value))
        throw NetError(std::string("Line break in ") + what);
}

// The numbered text the rest of the program logs for the same failure ("10061:Connection refused").
std::string SocketErrorText(const QAbstractSocket& socket)
{
    return SocketErrorMessage(SocketErrorNumber(socket.error(), socket.errorString()));
}

// Waits in the shared event loop until ready holds for the socket, the time is up or the client is
// aborted. A handler that runs meanwhile may have disconnected the client: the socket is then gone
// and the step fails.
platform::WaitResult WaitOn(const std::unique_ptr<QSslSocket>& socket,
                            const std::function<bool(const QSslSocket&)>& ready, int timeoutMs,
                            const std::function<bool()>& aborted)
{
    const platform::WaitResult result =
        platform::WaitUntil([&] { return !socket || ready(*socket); }, timeoutMs, aborted);
    if (!socket)
        throw ESockError("Not connected");
    return result;
}

bool LineReady(const QSslSocket& socket)
{
    return socket.canReadLine();
}

bool Closed(const QSslSocket& socket)
{
    return socket.state() != QAbstractSocket::ConnectedState;
}

} // namespace

TIdSMTP::TIdSMTP(QObject* parent) : QObject(parent) {}

TIdSMTP::~TIdSMTP()
{
    Disconnect();
}

bool TIdSMTP::Connected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

std::string TIdSMTP::HostNameForHello() const
{
    if (!LocalHostName.empty())
        return LocalHostName;
    const std::string name = QHostInfo::localHostName().toStdString();
    return name.empty() ? std::string("localhost") : name;
}

// The address to connect to: an IPv4 address as it is, a name looked up while events keep flowing.
// The program speaks IPv4 where it can, so an IPv4 address of the name wins.
QHostAddress TIdSMTP::ResolveHost(const QDeadlineTimer& deadline)
{
    const QString name = QString::fromStdString(Host);
    QHostAddress address;
    if (address.setAddress(name) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return address;
    // A late answer after the time-out must have somewhere harmless to go.
    auto result = std::make_shared<std::optional<QHostInfo>>();
    const int id = QHostInfo::lookupHost(name, this, [result](const QHostInfo& info) { *result = info; });
    const platform::WaitResult waited = platform::WaitUntil(
        [&result] { return result->has_value(); }, static_cast<int>(deadline.remainingTime()), Aborted());
    if (waited != platform::WaitResult::Done) {
        QHostInfo::abortHostLookup(id);
        throw ESockError(waited == platform::WaitResult::Canceled ? "Host Lookup Canceled"
                                                                  : "Connection Timed out");
    }
    const QList<QHostAddress> addresses = (*result)->addresses();
    if ((*result)->error() != QHostInfo::NoError || addresses.isEmpty())
        throw ESockError(SocketErrorMessage(SocketErrorNumber(QAbstractSocket::HostNotFoundError)));
    return platform::PreferredAddress(addresses);
}

void TIdSMTP::Connect()
{
    if (Connected())
        throw ESockError("Already connected");
    m_aborted = false;
    // The look-up and the connect share one bound.
    const QDeadlineTimer deadline(TimeOut);
    const QHostAddress address = ResolveHost(deadline);
    // One attempt is one connection: Qt's own connect would try again on a socket that the peer
    // reset meanwhile, and a server that resets every connection would see one after another.
    platform::TcpConnectAttempt attempt(address, static_cast<quint16>(Port));
    const platform::WaitResult waited =
        attempt.Finished() ? platform::WaitResult::Done
                           : platform::WaitUntil([&attempt] { return attempt.Finished(); },
                                                 static_cast<int>(deadline.remainingTime()), Aborted());
    if (waited != platform::WaitResult::Done)
        throw ESockError(waited == platform::WaitResult::Canceled ? "Connection Canceled"
                                                                  : "Connection Timed out");
    if (attempt.Error() != 0)
        throw ESockError(SocketErrorMessage(SocketErrorNumberFromSystem(attempt.Error())));
    auto socket = std::make_unique<QSslSocket>();
    // Reading stops at the cap, so a reply line that never ends cannot fill the memory.
    CapReplyLines(*socket);
    if (!socket->setSocketDescriptor(attempt.Take(), QAbstractSocket::ConnectedState))
        throw ESockError(SocketErrorText(*socket));
    m_socket = std::move(socket);
    emit OnConnected();
    try {
        if (Security == tlsImplicit)
            StartTls();
        FetchReply({220});
        Hello();
        if (Security == tlsExplicit) {
            if (m_replyCode != 250 || !OffersExtension(m_replyLines, "STARTTLS"))
                FailTls(TlsNotOfferedText(Host, static_cast<quint16>(Port)), "STARTTLS not offered");
            if (SendCheckedCommand("STARTTLS") != 220)
                FailTls(TlsNotOfferedText(Host, static_cast<quint16>(Port)), m_replyLines.back());
            StartTls();
            // What the server offers may differ inside TLS (AUTH often appears only there).
            Hello();
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TIdSMTP::Hello()
{
    m_offeredMechanisms.clear();
    const std::string host = HostNameForHello();
    if (SendCheckedCommand("ehlo " + host) == 250)
        CollectMechanisms();
    else
        SendCheckedCommand("Helo " + host, {250});
}

bool TIdSMTP::Encrypted() const
{
    return m_socket && m_socket->isEncrypted();
}

void TIdSMTP::FailTls(const std::string& text, const std::string& error)
{
    // Nothing more goes over this connection, not even the farewell.
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    emit OnTlsFailure(text);
    throw ESockError(error);
}

void TIdSMTP::StartTls()
{
    const quint16 port = static_cast<quint16>(Port);
    TlsHandshake handshake(*m_socket, TlsPeer{Host, port, Trust, MayAskTrust, {}});
    const platform::WaitResult waited = WaitOn(
        m_socket, [&handshake](const QSslSocket&) { return handshake.Finished(); }, TimeOut, Aborted());
    if (handshake.Succeeded())
        return;
    const std::string text = handshake.FailureText();
    if (waited == platform::WaitResult::TimedOut)
        FailTls(text, "TLS Handshake Timed out");
    if (waited == platform::WaitResult::Canceled)
        FailTls(text, "TLS Handshake Canceled");
    FailTls(text, handshake.FailureMessage());
}

void TIdSMTP::CollectMechanisms()
{
    for (size_t i = 1; i < m_replyLines.size(); ++i) {
        const std::string line = Upper(m_replyLines[i]);
        if (line.size() < 9 || line.compare(4, 4, "AUTH") != 0 || (line[8] != ' ' && line[8] != '='))
            continue;
        std::string words = line.substr(9);
        std::replace(words.begin(), words.end(), '=', ' ');
        size_t pos = 0;
        while (pos < words.size()) {
            const size_t start = words.find_first_not_of(' ', pos);
            if (start == std::string::npos)
                break;
            const size_t end = std::min(words.find(' ', start), words.size());
            const std::string word = words.substr(start, end - start);
            if (std::find(m_offeredMechanisms.begin(), m_offeredMechanisms.end(), word) ==
                m_offeredMechanisms.end())
                m_offeredMechanisms.push_back(word);
            pos = end;
        }
    }
}

bool TIdSMTP::Authenticate()
{
    m_loggedOn = false;
    if (AuthenticationType != atLogin)
        return false;
    RefuseLineBreak(UserId, "user name");
    const auto offered = [this](std::string_view name) {
        return std::find(m_offeredMechanisms.begin(), m_offeredMechanisms.end(), name) !=
               m_offeredMechanisms.end();
    };
    if (offered("PLAIN") && !offered("LOGIN")) {
        // RFC 4616: authorization identity (empty), user name and password, each ended by NUL but the last.
        std::string credentials;
        credentials += '\0';
        credentials += UserId;
        credentials += '\0';
        credentials += Password;
        SendCheckedCommand("AUTH PLAIN " + mail::Base64Encode(credentials), {235});
        m_loggedOn = true;
        return true;
    }
    SendCheckedCommand("auth LOGIN", {334});
    SendCheckedCommand(mail::Base64Encode(UserId), {334});
    SendCheckedCommand(mail::Base64Encode(Password), {235});
    m_loggedOn = true;
    return true;
}

void TIdSMTP::Send(const TIdMessage& message)
{
    RefuseLineBreak(message.From.Address, "sender address");
    RefuseLineBreak(message.Subject, "subject");
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (const TIdEMailAddressItem& item : *list)
            RefuseLineBreak(item.Address, "recipient address");
    }

    SendCheckedCommand("Rset");
    if (AuthenticationType != atNone && !m_loggedOn &&
        std::find(m_offeredMechanisms.begin(), m_offeredMechanisms.end(), "LOGIN") !=
            m_offeredMechanisms.end())
        Authenticate();
    SendCheckedCommand("Mail from:<" + message.From.Address + ">", {250});
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (const TIdEMailAddressItem& item : *list)
            SendCheckedCommand("RCPT to:<" + item.Address + ">", {250});
    }
    SendCheckedCommand("Data", {354});

    std::string data;
    const TIdHeaderList header =
        BuildMessageHeader(message, Charset, QDateTime::currentDateTime(), MailAgent);
    for (const std::string& line : header.FoldedLines())
        data += line + "\r\n";
    data += "\r\n";
    for (const std::string& entry : message.Body) {
        const std::string stuffed = StuffDots(entry);
        data += Charset.ConvertToJis ? mail::SjisToIso2022Jp(stuffed) : stuffed;
        data += "\r\n";
    }
    Write(data);
    SendCheckedCommand(".", {250});
}

void TIdSMTP::Abort()
{
    m_aborted = true;
}

std::function<bool()> TIdSMTP::Aborted() const
{
    return [this] { return m_aborted; };
}

void TIdSMTP::Disconnect()
{
    // After an abort nothing more is waited for, not even the farewell's delivery.
    if (Connected() && !m_aborted) {
        try {
            Write("Quit\r\n");
        } catch (const NetError&) {
            // The connection is being closed anyway; a farewell that cannot be written changes nothing.
        }
    }
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    m_loggedOn = false;
}

void TIdSMTP::Write(std::string_view bytes)
{
    if (!Connected())
        throw ESockError("Not connected");
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw ESockError(SocketErrorText(*m_socket));
    // Encrypted, the bytes wait first to be encrypted and then to be written.
    const auto pending = [](const QSslSocket& s) {
        return s.bytesToWrite() + (s.isEncrypted() ? s.encryptedBytesToWrite() : 0);
    };
    const platform::WaitResult waited = WaitOn(
        m_socket, [&pending](const QSslSocket& s) { return pending(s) == 0 || Closed(s); }, TimeOut,
        Aborted());
    if (waited == platform::WaitResult::Canceled)
        throw EAbortError("Socket send aborted");
    if (pending(*m_socket) > 0)
        throw ESockError(waited == platform::WaitResult::TimedOut ? std::string("Write timed out")
                                                                  : SocketErrorText(*m_socket));
}

// One reply line as it came, line end included.
std::string TIdSMTP::ReadLine(const QDeadlineTimer& deadline)
{
    if (!m_socket)
        throw ESockError("Not connected");
    const platform::WaitResult waited = WaitOn(
        m_socket, [](const QSslSocket& s) { return LineReady(s) || ReplyLineTooLong(s) || Closed(s); },
        static_cast<int>(deadline.remainingTime()), Aborted());
    if (waited == platform::WaitResult::Canceled)
        throw EAbortError("Socket readln aborted");
    if (LineReady(*m_socket)) {
        const QByteArray line = m_socket->readLine();
        return std::string(line.constData(), static_cast<size_t>(line.size()));
    }
    if (ReplyLineTooLong(*m_socket))
        throw ESockError(ReplyLineTooLongText());
    if (Closed(*m_socket))
        throw ESockError("Connection closed by the server");
    throw ESockError("Read timed out");
}

int TIdSMTP::FetchReply(const std::vector<int>& expected)
{
    // The whole reply, however many lines it has, must arrive within the time-out, so a server that
    // trickles continuation lines cannot stretch the wait.
    const QDeadlineTimer deadline(TimeOut);
    m_replyLines.clear();
    // Blank lines carry nothing and are passed over.
    const auto nextLine = [&] {
        for (;;) {
            std::string line = ReadLine(deadline);
            if (!TrimBlanks(line).empty())
                return line;
        }
    };
    const std::string first = nextLine();
    std::string line = first;
    m_replyLines.push_back(TrimBlanks(first));
    while (ReplyContinues(first, line)) {
        line = nextLine();
        m_replyLines.push_back(TrimBlanks(line));
    }
    // The line that ended the reply carries its verdict.
    m_replyCode = ReplyCodeOf(m_replyLines.back());
    if (!expected.empty() && std::find(expected.begin(), expected.end(), m_replyCode) == expected.end())
        throw ProtocolReplyError(m_replyLines.back());
    return m_replyCode;
}

int TIdSMTP::SendCheckedCommand(std::string_view command, const std::vector<int>& expected)
{
    Write(std::string(command) + "\r\n");
    return FetchReply(expected);
}

} // namespace net
