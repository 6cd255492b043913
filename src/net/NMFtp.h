#pragma once
// TNMFTP: the FTP client of the upload runs and of the settings dialog's connection test. It logs
// on, changes and makes folders, sets the transfer type and stores files, in passive (PASV) or
// active (PORT) mode, on the socket base.
//
// Every refused reply ends in an FTPException carrying the server's reply line, after
// OnConnectionFailed (greeting and log-on) or OnFailure (commands and uploads) has had its say.
// A command argument holding CR or LF is refused before anything is sent, so that a file or folder
// name can never smuggle a second command onto the control connection.

#include "net/Psock.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace net {

class TNMFTP : public TPowersock
{
    Q_OBJECT
public:
    // The kind of command passed to OnSuccess, OnFailure and OnUnSupportedFunction.
    enum CommandKind : int {
        cmdChangeDir = 0,
        cmdMakeDir = 1,
        cmdDelete = 2,
        cmdRemoveDir = 3,
        cmdUpload = 9,
        cmdMisc = 14,
        cmdCurrentDir = 15,
    };
    // Log-on forms through a firewall (only when Proxy is set).
    enum FirewallKind : int {
        FTUser = 0, // USER name@host
        FTOpen = 1, // OPEN host
        FTSite = 2, // SITE host
    };
    // SetTransferType's argument.
    enum TransferKind : int {
        ttAscii = 1,
        ttBinary = 2,
        ttLocal8 = 3,
    };
    static constexpr int kDefaultVendor = 2411;
    // How long an upload waits for the control connection's resumable TLS session.
    static constexpr int kSessionTicketWaitMs = 3000;
    // How long the end of an encrypted data connection waits for the server's session tickets.
    static constexpr int kDataTicketWaitMs = 1000;

    explicit TNMFTP(QObject* parent = nullptr);
    ~TNMFTP() override;

    std::string UserID;
    std::string Password;
    bool Passive = false;
    int FirewallType = FTUser;
    bool FWAuthenticate = false;
    std::string FWUserID;
    std::string FWPassword;
    // Server type for directory listings (not used); reset on every disconnect.
    int Vendor = kDefaultVendor;
    // The names of this connection go in UTF-8 (the server listed UTF8 in its features).
    bool Utf8Names() const { return m_utf8Names; }

    // Connects, reads the greeting and logs on; does nothing when already connected. OnConnect
    // follows a successful log-on. With Security tlsExplicit the greeting is followed by "AUTH TLS"
    // and the handshake before "USER"; with tlsImplicit the connection is in TLS from the start.
    // Either way "PBSZ 0" and "PROT P" follow the log-on, and every data connection is in TLS,
    // resuming the control connection's session. A server that does not agree ends the log-on
    // (OnTlsFailure says why) before anything else is sent.
    void Connect() override;
    // "QUIT" and close; the socket is closed even when the reply is refused or missing.
    void Disconnect() override;
    // Cancels the data connection of a running upload.
    void Abort() override;

    // Sends one command and judges its reply: 400 to 599 is a failure. The command goes out as it
    // is; ChangeDirectory, MakeDirectory and StoreFile take care of the names' encoding.
    void SendCommand(const std::string& command);
    void ChangeDirectory(const std::string& path);
    void MakeDirectory(const std::string& path);
    // ttAscii "TYPE A", ttBinary "TYPE I", ttLocal8 "TYPE L 8", sent every time.
    void SetTransferType(int type);
    // The same, but sent only when the type differs from the last one this connection set (the first
    // file of a connection always sends it): a server keeps the type until it is told another one, and
    // each TYPE is one round trip more per file.
    void UseTransferType(int type);
    // The type the server was last told on this connection; 0 when it has not been told one (or a
    // TYPE was refused, which leaves its type unknown).
    int TransferType() const { return m_typeSent; }
    // Names (paths and file names) are code page 932 text. They go to the server as they are,
    // unless a name holds more than ASCII and the server lists UTF8 in its reply to FEAT (asked
    // once per connection, the first time such a name is sent): then the names go in UTF-8, after
    // "OPTS UTF8 ON" for the servers that want to be told.
    //
    // Stores a local file (code page 932 path) under remoteFile (the local file's name when empty).
    // BytesDone and BytesTotal follow the data connection; OnPacketSent comes once per block.
    void StoreFile(const std::string& localFile, const std::string& remoteFile);
    // Stores bytes held in memory under remoteFile, exactly as StoreFile stores a file with these
    // bytes: nothing is written to the disk on the way.
    void StoreBytes(std::string_view bytes, const std::string& remoteFile);

    // Whether a FEAT reply lists UTF8 among its features.
    static bool ListsUtf8(const std::vector<std::string>& featReply);
    // The command kind of a command line.
    static int CommandKindOf(std::string_view command);
    // The data port of a PASV reply (the last two of its six comma-separated numbers); false when
    // the reply holds no such numbers.
    static bool ParsePasvPort(std::string_view reply, quint16& port);
    // The argument of PORT: the address with commas for dots, then the port's high and low byte.
    static std::string PortArgument(const QHostAddress& address, quint16 port);

signals:
    void OnSuccess(int kind);
    void OnFailure(bool& Handled, int kind);
    void OnUnSupportedFunction(int kind);
    void OnTransactionStart();
    void OnTransactionStop();
    void OnAuthenticationNeeded();

protected:
    // OnConnect is for a finished log-on, not for the bare socket.
    void SocketConnected() override {}

private:
    // Transaction plus the rest of a multi-line reply; a reply the server never sent because it
    // closed the connection is a failure.
    void Exchange(const std::string& command);
    // Reads the whole reply to a command already sent; a server that closed instead is a failure.
    void ReadWholeReply();
    void NegotiateTls();
    void ProtectData();
    void StartDataTls();
    void LogOnStep(const std::string& command);
    void LogOn();
    // OnFailure's say over a failure: true when its handler took care of it.
    bool FailureHandled(int kind);
    void Upload(QIODevice& source, const std::string& remoteName);
    // Passive mode: connects the data connection with STOR on its way meanwhile, and reads STOR's reply.
    void ConnectDataAndStore(const std::string& remoteName);
    // StoreFile's and StoreBytes' common part, from the data connection to OnSuccess.
    void StoreFrom(QIODevice& source, const std::string& remoteName);
    bool DataStopped() const;
    [[noreturn]] void RaiseSendAborted();
    // A name as the server expects it (see above).
    std::string WireName(const std::string& name);

    // Whether FEAT has been asked on this connection, and whether its answer listed UTF8.
    bool m_featAsked = false;
    bool m_utf8Names = false;
    int m_typeSent = 0;

    std::unique_ptr<TPowersock> m_data;
};

} // namespace net
