#include "net/IdSMTP.h"

#include "net/NetText.h"
#include "net/SocketErrors.h"
#include "text/jconvert.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QTcpSocket>
#include <algorithm>

namespace net {

namespace {

// A reply line longer than this without a line feed is not SMTP; reading stops instead of growing.
constexpr size_t kMaxLineLength = 65536;

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

int ReplyCodeOf(std::string_view line)
{
    if (line.starts_with("+OK"))
        return 1;
    if (line.starts_with("-ERR"))
        return 0;
    const std::string_view digits = line.substr(0, 3);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(std::string(digits));
}

// A settings value that would end the command line or the header line it is written into would let
// it add commands or header lines of its own; such a value is refused before anything is sent.
void RefuseLineBreak(std::string_view value, const char* what)
{
    if (HoldsLineBreak(value))
        throw NetError(std::string("Line break in ") + what);
}

// The numbered text the rest of the program logs for the same failure ("10061:Connection refused").
std::string SocketErrorText(const QTcpSocket& socket)
{
    return SocketErrorMessage(SocketErrorNumber(socket.error(), socket.errorString()));
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

void TIdSMTP::Connect()
{
    if (Connected())
        throw ESockError("Already connected");
    m_socket = std::make_unique<QTcpSocket>();
    m_input.clear();
    m_socket->connectToHost(QString::fromStdString(Host), static_cast<quint16>(Port));
    if (!m_socket->waitForConnected(TimeOut)) {
        const std::string error = m_socket->error() == QAbstractSocket::SocketTimeoutError
                                      ? std::string("Connection Timed out")
                                      : SocketErrorText(*m_socket);
        m_socket->abort();
        m_socket.reset();
        throw ESockError(error);
    }
    emit OnConnected();
    try {
        FetchReply({220});
        m_offeredMechanisms.clear();
        const std::string host = HostNameForHello();
        if (SendCheckedCommand("ehlo " + host) == 250)
            CollectMechanisms();
        else
            SendCheckedCommand("Helo " + host, {250});
    } catch (...) {
        Disconnect();
        throw;
    }
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

void TIdSMTP::Disconnect()
{
    if (Connected()) {
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
    m_input.clear();
    m_loggedOn = false;
}

void TIdSMTP::Write(std::string_view bytes)
{
    if (!Connected())
        throw ESockError("Not connected");
    const QDeadlineTimer deadline(TimeOut);
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw ESockError(SocketErrorText(*m_socket));
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            throw ESockError(deadline.hasExpired() ? std::string("Write timed out")
                                                   : SocketErrorText(*m_socket));
    }
}

std::string TIdSMTP::ReadLine(const QDeadlineTimer& deadline)
{
    for (;;) {
        const size_t lf = m_input.find('\n');
        if (lf != std::string::npos) {
            std::string line = m_input.substr(0, lf);
            m_input.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (m_input.size() > kMaxLineLength)
            throw ESockError("Reply line too long");
        if (!m_socket)
            throw ESockError("Not connected");
        if (m_socket->bytesAvailable() == 0) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                throw ESockError("Connection closed by the server");
            if (deadline.hasExpired() ||
                !m_socket->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                if (m_socket->bytesAvailable() == 0) {
                    throw ESockError(m_socket->state() == QAbstractSocket::ConnectedState
                                         ? std::string("Read timed out")
                                         : std::string("Connection closed by the server"));
                }
            }
        }
        const QByteArray chunk = m_socket->read(static_cast<qint64>(kMaxLineLength));
        m_input.append(chunk.constData(), static_cast<size_t>(chunk.size()));
    }
}

int TIdSMTP::FetchReply(const std::vector<int>& expected)
{
    // The whole reply, however many lines it has, must arrive within the time-out.
    const QDeadlineTimer deadline(TimeOut);
    m_replyLines.clear();
    const auto nextLine = [&] {
        for (;;) {
            std::string line = TrimBlanks(ReadLine(deadline));
            if (!line.empty())
                return line;
        }
    };
    m_replyLines.push_back(nextLine());
    const std::string first = m_replyLines.front();
    if (first.size() > 3 && first[3] == '-') {
        const std::string end = Upper(first.substr(0, 3)) + " ";
        for (;;) {
            m_replyLines.push_back(nextLine());
            const std::string& line = m_replyLines.back();
            if (line.size() < 4 || Upper(line.substr(0, 4)) == end)
                break;
        }
    }
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
