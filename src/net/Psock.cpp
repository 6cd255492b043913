#include "net/Psock.h"

#include "net/NetErrors.h"
#include "net/Reply.h"
#include "net/SocketErrors.h"
#include "platform/ProgramFolder.h"
#include "platform/TcpConnect.h"
#include "platform/WaitLoop.h"

#include <QFile>
#include <QHostInfo>
#include <QMetaMethod>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <algorithm>
#include <memory>
#include <optional>

namespace net {

using platform::WaitResult;

namespace {

// Accepted connections are TLS-capable sockets, so that an FTP data connection in active mode can be
// encrypted like a passive one.
class TlsCapableServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

} // namespace

TPowersock::TPowersock(QObject* parent) : QObject(parent)
{
    NewSocket();
}

TPowersock::~TPowersock()
{
    // The sockets are children; only their signals must not reach a half-destroyed object.
    if (m_socket)
        m_socket->disconnect(this);
}

bool TPowersock::Encrypted() const
{
    return m_socket->isEncrypted();
}

QHostAddress TPowersock::LocalAddress() const
{
    return m_socket->localAddress();
}

QHostAddress TPowersock::PeerAddress() const
{
    return m_socket->peerAddress();
}

void TPowersock::Status(std::string_view text, int level)
{
    if (level <= ReportLevel)
        emit OnStatus(std::string(text));
}

WaitResult TPowersock::Wait(const std::function<bool()>& done)
{
    TimedOut = false;
    int limit = TimeOut > 0 ? TimeOut : -1;
    if (m_stopRequested)
        limit = limit < 0 ? kWaitAfterStopMs : std::min(limit, kWaitAfterStopMs);
    const WaitResult result = platform::WaitUntil(done, limit, [this] { return Canceled; });
    if (result == WaitResult::TimedOut) {
        Status("Timer Triggered", 8);
        TimedOut = true;
        m_stopRequested = true;
        Abort();
    }
    return result;
}

void TPowersock::RaiseSocketError(int errorNumber)
{
    m_lastError = errorNumber;
    m_pendingError = 0;
    // A socket that the error has closed is no longer a connection.
    if (m_connected && m_socket->state() == QAbstractSocket::UnconnectedState)
        CloseSocket(false);
    const std::string message = SocketErrorMessage(errorNumber);
    emit OnError(errorNumber, message);
    throw ESockError(message);
}

// ---- the socket and its notifications

void TPowersock::NewSocket()
{
    AttachSocket(new QSslSocket(this));
}

void TPowersock::AttachSocket(QSslSocket* socket)
{
    // Reading stops at this size, so a line that never ends cannot fill the memory.
    socket->setParent(this);
    CapReplyLines(*socket);
    m_socket = socket;
    m_peerClosed = false;
    m_pendingError = 0;
    m_handedOver = 0;
    m_delivered = 0;
    m_sessionTicket.clear();
    m_sessionTickets = 0;
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { m_delivered += bytes; });
    // A TLS 1.3 server hands out resumable sessions after the handshake, possibly several; the newest
    // one is kept.
    connect(socket, &QSslSocket::newSessionTicketReceived, this, [this, socket] {
        m_sessionTicket = socket->sslConfiguration().sessionTicket();
        ++m_sessionTickets;
    });
    connect(socket, &QTcpSocket::connected, this, [this] {
        if (m_connected)
            return;
        m_connected = true;
        SocketConnected();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            m_peerClosed = true;
            return;
        }
        const int number = SocketErrorNumber(error, socket->errorString());
        if (IsReportedSocketError(number))
            m_pendingError = number;
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        m_peerClosed = true;
        // The peer's close ends the connection once everything it sent has been read.
        if (m_connected && socket->bytesAvailable() == 0 && m_pendingError == 0)
            CloseSocket();
    });
}

void TPowersock::ReleaseSocket(bool graceful)
{
    QTcpSocket* old = m_socket;
    m_socket = nullptr;
    if (!old)
        return;
    old->disconnect(this);
    if (graceful && old->state() == QAbstractSocket::ConnectedState) {
        // Qt delivers what is still buffered before it closes; the object goes once it has.
        connect(old, &QTcpSocket::disconnected, old, &QObject::deleteLater);
        old->disconnectFromHost();
        if (old->state() == QAbstractSocket::UnconnectedState)
            old->deleteLater();
    } else {
        old->abort();
        old->deleteLater();
    }
}

void TPowersock::SocketConnected()
{
    emit OnConnect();
}

void TPowersock::CloseSocket(bool graceful)
{
    Status("Request Close Socket", 4);
    const bool wasConnected = m_connected;
    const bool byPeer = m_peerClosed;
    m_connected = false;
    ReleaseSocket(graceful);
    NewSocket();
    m_closedByPeer = byPeer;
    if (wasConnected)
        emit OnDisconnect();
}

void TPowersock::CloseListener()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

// ---- connecting

QHostAddress TPowersock::LookUp(const QString& name)
{
    // The result arrives through the event loop; it is kept in shared storage so that a late
    // answer after a cancel or time-out has somewhere harmless to go.
    auto result = std::make_shared<std::optional<QHostInfo>>();
    const int id = QHostInfo::lookupHost(name, this, [result](const QHostInfo& info) { *result = info; });
    const WaitResult waited = Wait([&result] { return result->has_value(); });
    if (waited != WaitResult::Done) {
        QHostInfo::abortHostLookup(id);
        Canceled = false;
        throw ESockError(waited == WaitResult::TimedOut ? "Host Lookup Timed Out" : "Host Lookup Canceled");
    }
    const QHostInfo& info = **result;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
        return {};
    return platform::PreferredAddress(info.addresses());
}

QHostAddress TPowersock::ResolveHost()
{
    Status("Resolve Host", 8);
    const QString name = QString::fromStdString(Proxy.empty() ? Host : Proxy);
    QHostAddress address;
    if (address.setAddress(name) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return address;
    address = LookUp(name);
    if (!address.isNull())
        emit OnHostResolved();
    return address;
}

void TPowersock::Connect()
{
    ConnectWhile({});
}

void TPowersock::ConnectWhile(const std::function<void()>& meanwhile)
{
    Status("Connecting", 8);
    Canceled = false;
    m_stopRequested = false;
    if (m_connected)
        throw ESockError("Already connected");
    m_closedByPeer = false;
    QHostAddress address = ResolveHost();
    if (address.isNull() && isSignalConnected(QMetaMethod::fromSignal(&TPowersock::OnInvalidHost))) {
        bool handled = false;
        emit OnInvalidHost(handled);
        if (handled)
            address = ResolveHost();
    }
    if (address.isNull())
        throw ESockError("Null Remote Address");
    if (Canceled) {
        // Cancelled by a handler that ran during the look-up: no connection is started.
        Canceled = false;
        emit OnConnectionFailed();
        throw ESockError("Connection Canceled");
    }

    CloseListener();
    // One attempt is one connection: the system's connect is made once, and its outcome taken as it
    // is (Qt's own connect would try again on a socket that the peer reset meanwhile).
    platform::TcpConnectAttempt attempt(address, Proxy.empty() ? Port : ProxyPort);
    if (meanwhile && !(attempt.Finished() && attempt.Error() != 0))
        meanwhile();
    const WaitResult result =
        attempt.Finished() ? WaitResult::Done : Wait([&attempt] { return attempt.Finished(); });
    if (result == WaitResult::Done && attempt.Error() == 0 &&
        m_socket->setSocketDescriptor(attempt.Take(), QAbstractSocket::ConnectedState)) {
        m_connected = true;
        if (Security == tlsImplicit)
            StartTls();
        SocketConnected();
        return;
    }

    int error = 0;
    if (result == WaitResult::Done)
        error = attempt.Error() != 0 ? SocketErrorNumberFromSystem(attempt.Error())
                                     : SocketErrorNumber(m_socket->error(), m_socket->errorString());
    m_connected = false;
    ReleaseSocket(false);
    NewSocket();
    if (error != 0) {
        // The reason goes to the log; the caller gets the step that failed.
        m_lastError = error;
        emit OnError(error, SocketErrorMessage(error));
    }
    emit OnConnectionFailed();
    if (result == WaitResult::TimedOut) {
        Canceled = false;
        throw ESockError("Connection Timed out");
    }
    if (result == WaitResult::Canceled) {
        Canceled = false;
        throw ESockError("Connection Canceled");
    }
    throw ESockError("Connection Failed");
}

void TPowersock::Disconnect()
{
    Status("Disconnecting", 8);
    CloseSocket();
}

void TPowersock::Abort()
{
    Status("Abort", 8);
    Cancel();
}

void TPowersock::Cancel()
{
    Status("Canceling", 8);
    Canceled = true;
    m_stopRequested = true;
    emit OnCancel();
}

void TPowersock::CheckConnected()
{
    Status("Checking Connection", 8);
    if (!m_connected) {
        emit OnConnectionRequired();
        throw NetError("Not Connected");
    }
}

// ---- encryption

std::string TPowersock::TlsHost() const
{
    return CertificateHost.empty() ? Host : CertificateHost;
}

quint16 TPowersock::TlsPort() const
{
    return CertificatePort != 0 ? CertificatePort : Port;
}

void TPowersock::ReportTlsFailure(const std::string& text)
{
    emit OnTlsFailure(text);
}

void TPowersock::StartTls(const QByteArray& sessionTicket)
{
    Status("Start TLS", 8);
    if (!m_connected)
        RaiseSocketError(kErrNotConnected);
    std::optional<TlsHandshake> handshake;
    handshake.emplace(*m_socket, TlsPeer{TlsHost(), TlsPort(), Trust, MayAskTrust, sessionTicket});
    const WaitResult result =
        handshake->Finished() ? WaitResult::Done : Wait([&handshake] { return handshake->Finished(); });
    if (handshake->Succeeded()) {
        // A TLS 1.2 session can be resumed at once; TLS 1.3 brings its sessions later.
        if (m_sessionTicket.isEmpty())
            m_sessionTicket = m_socket->sslConfiguration().sessionTicket();
        return;
    }
    const std::string text = handshake->FailureText();
    const std::string message = handshake->FailureMessage();
    handshake.reset();
    // Nothing more goes over a connection whose encryption failed.
    CloseSocket(false);
    ReportTlsFailure(text);
    if (result == WaitResult::TimedOut) {
        Canceled = false;
        throw ESockError("TLS Handshake Timed out");
    }
    if (result == WaitResult::Canceled) {
        Canceled = false;
        throw ESockError("TLS Handshake Canceled");
    }
    throw ESockError(message);
}

bool TPowersock::WaitForSessionTicket(int ms)
{
    if (!m_socket->isEncrypted())
        return false;
    if (m_socket->sessionProtocol() != QSsl::TlsV1_3 || m_sessionTickets > 0)
        return !m_sessionTicket.isEmpty();
    platform::WaitUntil([this] { return m_sessionTickets > 0 || !m_connected; }, ms,
                        [this] { return Canceled; });
    return !m_sessionTicket.isEmpty();
}

// ---- sending

void TPowersock::RaiseSendFailure()
{
    if (m_pendingError != 0)
        RaiseSocketError(m_pendingError);
    RaiseSocketError(m_peerClosed || m_closedByPeer ? kErrConnectionReset : kErrNotConnected);
}

qint64 TPowersock::PendingOutput() const
{
    // Encrypted, the socket reports the bytes it has encrypted as written; what still waits for the
    // system is counted on the encrypted side.
    const qint64 encrypted = m_socket->isEncrypted() ? m_socket->encryptedBytesToWrite() : 0;
    return m_handedOver - m_delivered + encrypted;
}

void TPowersock::WaitForOutput(qint64 maxPending)
{
    // Counted from what the socket reports as written to the system, because Qt drops its buffer
    // without a word when the peer closes: bytes handed over but never written are a failure.
    const auto ready = [this, maxPending] {
        return PendingOutput() <= maxPending || m_pendingError != 0 ||
               m_socket->state() != QAbstractSocket::ConnectedState;
    };
    if (!ready()) {
        const WaitResult result = Wait(ready);
        if (result != WaitResult::Done) {
            Canceled = false;
            throw EAbortError("Socket send aborted");
        }
    }
    if (PendingOutput() > maxPending || m_pendingError != 0)
        RaiseSendFailure();
}

void TPowersock::SendBlock(const char* data, qint64 size)
{
    Status("Sending Buffer", 4);
    // At most one block waits in Qt's buffer besides the one being handed over, so memory stays
    // flat however large the file is, while the kernel always has the next block at hand.
    WaitForOutput(kBlockSize - 1);
    if (m_socket->state() != QAbstractSocket::ConnectedState || m_socket->write(data, size) != size)
        RaiseSendFailure();
    m_handedOver += size;
}

void TPowersock::FlushOutput()
{
    WaitForOutput(0);
}

void TPowersock::Write(std::string_view data)
{
    Status("Write", 8);
    if (!m_connected || m_socket->state() != QAbstractSocket::ConnectedState)
        RaiseSendFailure();
    for (size_t offset = 0; offset < data.size(); offset += static_cast<size_t>(kBlockSize)) {
        const size_t size = std::min(data.size() - offset, static_cast<size_t>(kBlockSize));
        SendBlock(data.data() + offset, static_cast<qint64>(size));
    }
    FlushOutput();
}

void TPowersock::Writeln(std::string_view line)
{
    Status("Writeln", 8);
    std::string text(line);
    text += "\r\n";
    Write(text);
}

void TPowersock::SendBlocks(QIODevice& source)
{
    if (!m_connected || m_socket->state() != QAbstractSocket::ConnectedState)
        RaiseSendFailure();
    QByteArray block(static_cast<qsizetype>(kBlockSize), Qt::Uninitialized);
    for (;;) {
        if (Canceled) {
            Canceled = false;
            throw EAbortError("Socket send aborted");
        }
        const qint64 size = source.read(block.data(), kBlockSize);
        if (size < 0)
            throw NetError("Cannot read the data to send: " + source.errorString().toStdString());
        if (size == 0)
            break;
        SendBlock(block.constData(), size);
        BytesDone += size;
        emit OnPacketSent();
    }
    FlushOutput();
}

void TPowersock::SendFile(const std::string& path)
{
    QFile file(platform::PathFromCp932(path));
    if (!file.open(QIODevice::ReadOnly))
        throw NetError("Cannot open file " + path);
    SendFile(file);
}

void TPowersock::SendFile(QFile& openedFile)
{
    Status("SendFile", 8);
    BytesDone = 0;
    BytesTotal = openedFile.size();
    SendBlocks(openedFile);
}

void TPowersock::SendStream(QIODevice& stream)
{
    Status("SendStream", 8);
    if (!stream.isSequential())
        stream.seek(0);
    BytesDone = 0;
    BytesTotal = stream.size();
    SendBlocks(stream);
}

// ---- reading

bool TPowersock::LineReady() const
{
    return m_socket->canReadLine();
}

bool TPowersock::LineTooLong() const
{
    return ReplyLineTooLong(*m_socket);
}

bool TPowersock::InputEnded() const
{
    return m_peerClosed || !m_connected || m_pendingError != 0;
}

std::string TPowersock::ReadLn()
{
    Status("ReadLn", 8);
    if (!m_connected && m_socket->bytesAvailable() == 0) {
        // After the peer's close every read gives the empty line that says so.
        if (m_closedByPeer)
            return {};
        RaiseSocketError(kErrNotConnected);
    }
    WaitResult result = WaitResult::Done;
    if (!LineReady() && !LineTooLong() && !InputEnded())
        result = Wait([this] { return LineReady() || LineTooLong() || InputEnded(); });

    if (LineReady()) {
        const QByteArray line = m_socket->readLine();
        if (m_peerClosed && m_socket->bytesAvailable() == 0)
            CloseSocket();
        Status(std::string_view(line.constData(), static_cast<size_t>(line.size())), 1);
        return std::string(line.constData(), static_cast<size_t>(line.size()));
    }
    if (LineTooLong()) {
        // The stream cannot be brought back into step after a cut line, so the connection ends.
        CloseSocket(false);
        throw ESockError(ReplyLineTooLongText());
    }
    if (result != WaitResult::Done) {
        Canceled = false;
        throw EAbortError("Socket readln aborted");
    }
    if (m_pendingError != 0)
        RaiseSocketError(m_pendingError);
    // The peer closed: what came before the close, without a line end, is the last line.
    std::string rest;
    if (m_socket->bytesAvailable() > 0) {
        const QByteArray bytes = m_socket->readAll();
        rest.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    if (m_connected)
        CloseSocket();
    return rest;
}

std::string TPowersock::Read(qint64 count)
{
    Status("Read( " + std::to_string(count) + " )", 8);
    if (count <= 0) {
        if (m_socket->bytesAvailable() == 0)
            return {};
        const QByteArray data = m_socket->readAll();
        return std::string(data.constData(), static_cast<size_t>(data.size()));
    }
    std::string data;
    while (static_cast<qint64>(data.size()) < count) {
        if (m_socket->bytesAvailable() == 0) {
            if (InputEnded())
                break;
            if (Wait([this] { return m_socket->bytesAvailable() > 0 || InputEnded(); }) != WaitResult::Done) {
                Canceled = false;
                throw EAbortError("Socket read aborted");
            }
            continue;
        }
        const QByteArray part = m_socket->read(count - static_cast<qint64>(data.size()));
        data.append(part.constData(), static_cast<size_t>(part.size()));
    }
    if (m_pendingError != 0 && static_cast<qint64>(data.size()) < count)
        RaiseSocketError(m_pendingError);
    if (m_peerClosed && m_socket->bytesAvailable() == 0 && m_connected)
        CloseSocket();
    return data;
}

bool TPowersock::DataAvailable() const
{
    return m_socket->bytesAvailable() > 0;
}

void TPowersock::ClearInput()
{
    Status("Clearing Input", 8);
    if (m_socket->bytesAvailable() > 0)
        m_socket->skip(kBlockSize);
}

// ---- replies

void TPowersock::SetFirstReplyLine(const std::string& line)
{
    m_firstReplyLine = line;
    m_replyMissing = line.empty();
    ReplyText = std::string(WithoutLineEnd(line));
    ReplyLines.assign(1, ReplyText);
    ReplyCode = ReplyCodeOf(line);
}

int TPowersock::Transaction(std::string_view command)
{
    SendCommandLine(command);
    SetFirstReplyLine(ReadLn());
    return ReplyCode;
}

void TPowersock::SendCommandLine(std::string_view command)
{
    Status("Transaction", 8);
    // Passwords are not worth a status line.
    Status(command.starts_with("PASS ") ? std::string_view("PASS ****") : command, 1);
    ReplyCode = 0;
    Writeln(command);
}

void TPowersock::ReadReplyRest()
{
    std::string line = m_firstReplyLine;
    while (ReplyContinues(m_firstReplyLine, line)) {
        line = ReadLn();
        if (!line.empty())
            ReplyLines.emplace_back(WithoutLineEnd(line));
    }
}

int TPowersock::ReadReply()
{
    ReplyCode = 0;
    SetFirstReplyLine(ReadLn());
    ReadReplyRest();
    return ReplyCode;
}

// ---- listening

void TPowersock::Listen(const QHostAddress& address)
{
    Status("Listening", 8);
    CloseListener();
    m_server = new TlsCapableServer(this);
    m_server->setMaxPendingConnections(1);
    if (!m_server->listen(address, Port)) {
        const int number = SocketErrorNumber(m_server->serverError(), m_server->errorString());
        CloseListener();
        RaiseSocketError(IsReportedSocketError(number) ? number : 10022);
    }
}

quint16 TPowersock::ListeningPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

void TPowersock::Accept(const QHostAddress& allowedPeer)
{
    Status("Accepting", 4);
    if (!m_server)
        throw ESockError("Error creating Data Connection");
    bool failed = false;
    const QMetaObject::Connection onError =
        connect(m_server, &QTcpServer::acceptError, this, [&failed] { failed = true; });
    QSslSocket* accepted = nullptr;
    const auto arrived = [&] {
        while (!accepted && m_server->hasPendingConnections()) {
            QTcpSocket* candidate = m_server->nextPendingConnection();
            // Someone else than the server knocking gets nothing of what is to be sent.
            if (allowedPeer.isNull() || candidate->peerAddress().isEqual(allowedPeer))
                accepted = qobject_cast<QSslSocket*>(candidate);
            if (!accepted) {
                candidate->abort();
                candidate->deleteLater();
            }
        }
        return accepted != nullptr || failed;
    };
    const WaitResult result = arrived() ? WaitResult::Done : Wait(arrived);
    disconnect(onError);
    CloseListener();
    if (accepted) {
        ReleaseSocket(false);
        AttachSocket(accepted);
        m_connected = true;
        m_closedByPeer = false;
        return;
    }
    if (failed && result == WaitResult::Done)
        throw ESockError("Error creating Data Connection");
    Canceled = false;
    throw ESockError("Accepting Canceled");
}

} // namespace net
