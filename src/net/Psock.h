#pragma once
// TPowersock: the TCP client socket under the FTP, SMTP and POP3 clients.
//
// One TCP connection at a time, with host look-up, a time-out, cancellation, line-oriented reading
// and writing, and the one reply reader that every line protocol client shares. Everything runs on
// the GUI thread: each operation that needs the network waits in platform::WaitUntil, so timers,
// clicks and socket signals keep being handled meanwhile, and ends when its condition holds, when
// `Canceled` is set (by Cancel or Abort, typically from a timer or a handler that runs during the
// wait) or when `TimeOut` milliseconds have passed (0 = no limit).
//
// Failures are exceptions (net/NetErrors.h) carrying the messages the clients and the log expect;
// events are Qt signals. Signals whose handler may answer through a `Handled` flag pass it by
// reference and must be connected directly (the default within one thread).
//
// Building a client on it: derive, keep the base's Connect (it resolves and connects), read the
// greeting with ReadReply, send commands with Transaction (one command line, first reply line) and,
// where replies can span several lines, ReadReplyRest; then judge ReplyCode. Override
// SocketConnected when the client's OnConnect must wait for its own log-on.

#include "net/Reply.h"
#include "net/Tls.h"

#include <QHostAddress>
#include <QObject>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QFile;
class QIODevice;
class QSslSocket;
class QTcpServer;

namespace platform {
enum class WaitResult;
}

namespace net {

class TPowersock : public QObject
{
    Q_OBJECT
public:
    // Files and streams go out in blocks of at most this size, one OnPacketSent per block.
    static constexpr qint64 kBlockSize = 65536;
    // A reply line (with its line end) may be at most this long; a longer one is refused rather
    // than buffered without bound.
    static constexpr qint64 kMaxLineLength = kMaxReplyLineLength;

    explicit TPowersock(QObject* parent = nullptr);
    ~TPowersock() override;
    TPowersock(const TPowersock&) = delete;
    TPowersock& operator=(const TPowersock&) = delete;

    // Where to connect: a dotted IPv4 address or a host name. When Proxy is not empty the
    // connection goes to Proxy:ProxyPort instead.
    std::string Host;
    quint16 Port = 0;
    std::string Proxy;
    quint16 ProxyPort = 0;
    // Milliseconds each wait may last; 0 = no limit.
    int TimeOut = 0;
    // After a Cancel (or a time-out) the connection is being given up: until the next Connect no
    // wait lasts longer than this, so a log-off to a server that hangs ends within seconds.
    static constexpr int kWaitAfterStopMs = 2000;
    // Status texts of a level up to this one are reported through OnStatus (1 commands and
    // replies, 4 buffer sends, closes and accepting, 8 everything else); 0 reports none.
    int ReportLevel = 0;

    // Set by Cancel and Abort; every wait ends when it is set. Cleared at the start of Connect and
    // of the clients' commands, and by the operation that reports it.
    bool Canceled = false;
    // Set when a wait ran out of time (and Abort was called); cleared when the next wait starts.
    bool TimedOut = false;

    // The last reply read by Transaction or ReadReply: the code formed by the leading digits of
    // its first line, the first line without its line end, and every line of a multi-line reply.
    int ReplyCode = 0;
    std::string ReplyText;
    std::vector<std::string> ReplyLines;

    // Progress of SendFile and SendStream.
    qint64 BytesDone = 0;
    qint64 BytesTotal = 0;

    // Encryption (net/Tls.h). With tlsImplicit, Connect does the TLS handshake right after the TCP
    // connect; a client that asks for TLS on the plain connection calls StartTls itself.
    int Security = tlsNone;
    // Who decides about a certificate that the system does not vouch for; null: nobody (only the
    // system's trust store counts).
    TlsTrust* Trust = nullptr;
    // Whether such a certificate may be put to the user (someone is watching this connection).
    bool MayAskTrust = false;
    // The name the certificate must carry and the port under which its trust is filed; empty and 0
    // mean Host and Port (a data connection names its control connection's).
    std::string CertificateHost;
    quint16 CertificatePort = 0;

    bool Connected() const { return m_connected; }
    // Whether the connection is encrypted.
    bool Encrypted() const;
    // The number of the last socket error reported (see net/SocketErrors.h); 0 when none.
    int LastErrorNumber() const { return m_lastError; }
    QHostAddress LocalAddress() const;
    QHostAddress PeerAddress() const;

    // Resolves the host and connects. ESockError: "Already connected", "Host Lookup Timed Out",
    // "Host Lookup Canceled", "Null Remote Address", "Connection Timed out", "Connection Canceled",
    // "Connection Failed" (the socket error, such as "10061:Connection refused", goes to OnError).
    virtual void Connect();
    // Connects as Connect does, calling meanwhile once the connection has been started and before it
    // is waited for: a step whose own round trip may overlap the connect's. meanwhile is not called
    // when the start already failed.
    void ConnectWhile(const std::function<void()>& meanwhile);
    // Closes the connection (the clients send their log-off first).
    virtual void Disconnect();
    // Ends what the component is doing; the base cancels the current wait.
    virtual void Abort();
    void Cancel();
    // Calls OnConnectionRequired and throws NetError("Not Connected") when not connected.
    void CheckConnected();

    // Sends the bytes and waits until the socket has taken all of them.
    void Write(std::string_view data);
    // Write with CR LF appended.
    void Writeln(std::string_view line);
    // Reads exactly one line, returned with its line end; bytes after the line feed stay for the
    // next read. When the peer closes, returns what came before the close (empty if nothing).
    // EAbortError "Socket readln aborted" on cancel or time-out; ESockError when the line grows
    // past kMaxLineLength without a line feed, or on a socket error.
    std::string ReadLn();
    // count 0: whatever is waiting; count > 0: waits for count bytes (fewer when the peer closes).
    std::string Read(qint64 count = 0);

    // Sets ReplyCode to 0, sends the command line, reads the first reply line into ReplyText,
    // ReplyLines and ReplyCode. Returns ReplyCode.
    int Transaction(std::string_view command);
    // The first half of Transaction: sets ReplyCode to 0 and sends the command line; the reply is left
    // for ReadReply.
    void SendCommandLine(std::string_view command);
    // Reads the further lines of a reply whose first line Transaction or ReadReply has read
    // (net/Reply.h has the rule), appending them to ReplyLines.
    void ReadReplyRest();
    // Reads one whole reply (a greeting, or the reply that follows a data transfer). Returns
    // ReplyCode.
    int ReadReply();
    // Whether the last reply is empty because the peer closed before sending anything.
    bool ReplyMissing() const { return m_replyMissing; }

    // Send a whole file or stream in blocks; BytesDone and BytesTotal follow the progress.
    // EAbortError "Socket send aborted" on cancel or time-out.
    void SendFile(const std::string& path);
    void SendFile(QFile& openedFile);
    void SendStream(QIODevice& stream);

    // Listens on address:Port (Port 0 = any free port) for one incoming connection.
    void Listen(const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    quint16 ListeningPort() const;
    // Waits for the incoming connection and makes it this component's connection. When allowedPeer
    // is given, connections from any other address are turned away. ESockError "Accepting
    // Canceled" (cancel or time-out) or "Error creating Data Connection".
    void Accept(const QHostAddress& allowedPeer = QHostAddress());

    // Starts TLS on the connected socket and waits for the handshake. On failure the connection is
    // closed, OnTlsFailure carries the log row and ESockError "TLS Handshake Failed" or "Certificate
    // Not Trusted" follows. sessionTicket: a session of another connection to resume.
    void StartTls(const QByteArray& sessionTicket = {});
    // The newest resumable session of this connection (empty when there is none yet).
    QByteArray SessionTicket() const { return m_sessionTicket; }
    // Waits at most ms milliseconds for a session that another connection can resume; a TLS 1.3
    // server sends it only after the handshake. True when there is one.
    bool WaitForSessionTicket(int ms);
    // Tells the owner why a step that asked for TLS did not get it (code page 932 log row).
    void ReportTlsFailure(const std::string& text);

    // Whether received bytes are waiting to be read.
    bool DataAvailable() const;
    // Discards up to kBlockSize waiting bytes.
    void ClearInput();

signals:
    void OnConnect();
    void OnDisconnect();
    void OnError(int errorNumber, const std::string& message);
    void OnStatus(const std::string& text);
    void OnPacketSent();
    void OnConnectionFailed();
    // Called when the host cannot be resolved; a handler that sets Handled (after correcting Host,
    // say) gets one more look-up.
    void OnInvalidHost(bool& Handled);
    void OnHostResolved();
    void OnConnectionRequired();
    // A step that asked for TLS did not get it; text is the log row (code page 932).
    void OnTlsFailure(const std::string& text);
    // Cancel was called (by Abort, a time-out or the owner): whoever shares the work of this
    // connection with others stops them too.
    void OnCancel();

protected:
    // The socket has connected; the base reports OnConnect at once.
    virtual void SocketConnected();
    // Closes the socket and prepares a fresh one. graceful: pending bytes are still delivered;
    // otherwise the connection is dropped at once.
    void CloseSocket(bool graceful = true);
    void Status(std::string_view text, int level);
    // Waits for done() as described above; on a time-out sets TimedOut and calls Abort.
    platform::WaitResult Wait(const std::function<bool()>& done);
    // Records the error, reports it through OnError and throws the ESockError.
    [[noreturn]] void RaiseSocketError(int errorNumber);
    // CertificateHost or Host, CertificatePort or Port.
    std::string TlsHost() const;
    quint16 TlsPort() const;

private:
    void NewSocket();
    void AttachSocket(QSslSocket* socket);
    qint64 PendingOutput() const;
    void ReleaseSocket(bool graceful);
    void CloseListener();
    QHostAddress ResolveHost();
    QHostAddress LookUp(const QString& name);
    void SetFirstReplyLine(const std::string& line);
    bool LineReady() const;
    bool LineTooLong() const;
    bool InputEnded() const;
    // Hands one block to the socket once it has room for it.
    void SendBlock(const char* data, qint64 size);
    void FlushOutput();
    void WaitForOutput(qint64 maxPending);
    void SendBlocks(QIODevice& source);
    [[noreturn]] void RaiseSendFailure();

    QSslSocket* m_socket = nullptr;
    QTcpServer* m_server = nullptr;
    bool m_connected = false;
    bool m_peerClosed = false;
    // The connection ended because the peer closed it (not by our own Disconnect).
    bool m_closedByPeer = false;
    bool m_replyMissing = false;
    // Cancel was called since the last Connect started.
    bool m_stopRequested = false;
    int m_pendingError = 0;
    int m_lastError = 0;
    // Bytes given to the socket and bytes it has written to the system, for flow control.
    qint64 m_handedOver = 0;
    qint64 m_delivered = 0;
    std::string m_firstReplyLine;
    QByteArray m_sessionTicket;
    int m_sessionTickets = 0;
};

} // namespace net
