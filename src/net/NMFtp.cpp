#include "net/NMFtp.h"

#include "net/NetErrors.h"
#include "net/NetText.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"

#include <QBuffer>
#include <QFile>
#include <QMetaMethod>
#include <algorithm>
#include <initializer_list>

namespace net {

namespace {

constexpr const char* kClosedByServer = "Connection closed by the server";

// A line break inside a command would end it early and start another one of the sender's choosing.
void RefuseLineBreaks(std::initializer_list<std::string_view> texts)
{
    for (std::string_view text : texts)
        if (HoldsLineBreak(text))
            throw FTPException("Line break in an FTP command argument refused");
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ParseByte(std::string_view text, size_t& pos, int& value)
{
    const size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
        value = value * 10 + (text[pos++] - '0');
    return pos > start && value <= 255 && (pos >= text.size() || text[pos] < '0' || text[pos] > '9');
}

} // namespace

TNMFTP::TNMFTP(QObject* parent) : TPowersock(parent)
{
    Port = 21;
}

TNMFTP::~TNMFTP() = default;

int TNMFTP::CommandKindOf(std::string_view command)
{
    if (command.starts_with("CWD "))
        return cmdChangeDir;
    if (command.starts_with("MKD "))
        return cmdMakeDir;
    if (command.starts_with("DELE "))
        return cmdDelete;
    if (command.starts_with("RMD "))
        return cmdRemoveDir;
    if (command == "PWD")
        return cmdCurrentDir;
    return cmdMisc;
}

bool TNMFTP::ParsePasvPort(std::string_view reply, quint16& port)
{
    // Servers word the reply differently and not all of them use parentheses; the six numbers
    // h1,h2,h3,h4,p1,p2 are what counts. The reply code in front is skipped.
    size_t pos = 0;
    while (pos < reply.size() && reply[pos] >= '0' && reply[pos] <= '9')
        ++pos;
    for (; pos < reply.size(); ++pos) {
        if (reply[pos] < '0' || reply[pos] > '9' ||
            (pos > 0 && reply[pos - 1] >= '0' && reply[pos - 1] <= '9'))
            continue;
        size_t p = pos;
        int numbers[6];
        int count = 0;
        while (count < 6 && ParseByte(reply, p, numbers[count])) {
            ++count;
            if (count < 6) {
                if (p >= reply.size() || reply[p] != ',')
                    break;
                ++p;
            }
        }
        if (count == 6) {
            const int value = numbers[4] * 256 + numbers[5];
            if (value == 0)
                return false;
            port = static_cast<quint16>(value);
            return true;
        }
    }
    return false;
}

std::string TNMFTP::PortArgument(const QHostAddress& address, quint16 port)
{
    bool ok = false;
    const quint32 ip = address.toIPv4Address(&ok);
    if (!ok)
        throw FTPException("PORT needs an IPv4 address, not " + address.toString().toStdString());
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += std::to_string((ip >> shift) & 0xFF) + ',';
    return text + std::to_string(port >> 8) + ',' + std::to_string(port & 0xFF);
}

bool TNMFTP::ListsUtf8(const std::vector<std::string>& featReply)
{
    // The first and the last line carry the code; each feature is a line of its own, led by a
    // space, possibly with parameters after it.
    for (size_t i = 1; i < featReply.size(); ++i) {
        const std::string line = TrimBlanks(featReply[i]);
        if (SameName(line.substr(0, line.find(' ')), "UTF8"))
            return true;
    }
    return false;
}

std::string TNMFTP::WireName(const std::string& name)
{
    // An ASCII name is the same in either encoding, so it needs no question to the server.
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return name;
    if (!m_featAsked) {
        CheckConnected();
        if (DataAvailable())
            ClearInput();
        Exchange("FEAT");
        m_featAsked = true;
        m_utf8Names = ReplyCode >= 200 && ReplyCode <= 299 && ListsUtf8(ReplyLines);
        // Servers that always speak UTF-8 refuse the option; their refusal changes nothing.
        if (m_utf8Names)
            Exchange("OPTS UTF8 ON");
    }
    return m_utf8Names ? platform::Cp932ToUtf8(name) : name;
}

void TNMFTP::Exchange(const std::string& command)
{
    RefuseLineBreaks({command});
    SendCommandLine(command);
    ReadWholeReply();
}

void TNMFTP::ReadWholeReply()
{
    ReadReply();
    if (ReplyMissing())
        throw FTPException(kClosedByServer);
}

bool TNMFTP::FailureHandled(int kind)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&TNMFTP::OnFailure)))
        return false;
    bool handled = false;
    emit OnFailure(handled, kind);
    return handled;
}

// ---- log-on

void TNMFTP::LogOnStep(const std::string& command)
{
    Exchange(command);
    if (ReplyCode > 400 && ReplyCode < 600) {
        emit OnConnectionFailed();
        throw FTPException(ReplyText);
    }
}

void TNMFTP::LogOn()
{
    if (FWAuthenticate) {
        LogOnStep("USER " + FWUserID);
        if (ReplyCode == 331)
            LogOnStep("PASS " + FWPassword);
    }
    if (UserID.empty() || Password.empty())
        emit OnAuthenticationNeeded();
    const bool viaProxy = !Proxy.empty();
    if (viaProxy) {
        // A refused firewall step is judged like the log-on itself: going on after it would
        // report a log-on that never happened.
        switch (FirewallType) {
        case FTUser:
            LogOnStep("USER " + UserID + "@" + Host);
            break;
        case FTOpen:
            LogOnStep("OPEN " + Host);
            break;
        case FTSite:
            LogOnStep("SITE " + Host);
            break;
        default:
            break;
        }
    }
    if (!(viaProxy && FirewallType == FTUser))
        LogOnStep("USER " + UserID);
    if (ReplyCode == 331)
        LogOnStep("PASS " + Password);
}

void TNMFTP::NegotiateTls()
{
    Exchange("AUTH TLS");
    if (ReplyCode != 234) {
        // Without TLS the password would go in clear: the log-on ends here, without another word.
        CloseSocket(false);
        ReportTlsFailure(TlsNotOfferedText(TlsHost(), TlsPort()));
        emit OnConnectionFailed();
        throw FTPException(ReplyText);
    }
    StartTls();
}

void TNMFTP::ProtectData()
{
    // Data connections in TLS as well; a server that refuses would take the files in clear.
    for (const char* command : {"PBSZ 0", "PROT P"}) {
        Exchange(command);
        if (ReplyCode < 200 || ReplyCode > 299) {
            ReportTlsFailure(TlsNotOfferedText(TlsHost(), TlsPort()));
            emit OnConnectionFailed();
            throw FTPException(ReplyText);
        }
    }
}

void TNMFTP::StartDataTls()
{
    m_data->CertificateHost = TlsHost();
    m_data->CertificatePort = TlsPort();
    m_data->Trust = Trust;
    // Nobody is asked on a data connection: its certificate is the control connection's.
    m_data->MayAskTrust = false;
    m_data->StartTls(SessionTicket());
}

void TNMFTP::Connect()
{
    if (Connected())
        return;
    Canceled = false;
    m_featAsked = false;
    m_utf8Names = false;
    m_typeSent = 0;
    RefuseLineBreaks({UserID, Password, FWUserID, FWPassword, Host});
    if (DataAvailable())
        ClearInput();
    TPowersock::Connect();
    try {
        ReadReply();
        // A server that closes before or right after its greeting cannot be logged on to.
        if (ReplyMissing() || !Connected()) {
            emit OnConnectionFailed();
            throw FTPException(kClosedByServer);
        }
        if (ReplyCode > 400) {
            emit OnConnectionFailed();
            throw FTPException(ReplyText);
        }
        if (Security == tlsExplicit)
            NegotiateTls();
        LogOn();
        if (Security != tlsNone)
            ProtectData();
    } catch (...) {
        CloseSocket();
        throw;
    }
    emit OnConnect();
}

void TNMFTP::Disconnect()
{
    if (!Connected())
        return;
    Vendor = kDefaultVendor;
    try {
        if (DataAvailable())
            ClearInput();
        Transaction("QUIT");
        ReadReplyRest();
    } catch (...) {
        CloseSocket();
        throw;
    }
    const int code = ReplyCode;
    const std::string text = ReplyText;
    CloseSocket();
    if (code > 300 && code < 600)
        throw FTPException(text);
}

void TNMFTP::Abort()
{
    Status("Abort", 8);
    if (m_data)
        m_data->Cancel();
}

// ---- commands

void TNMFTP::SendCommand(const std::string& command)
{
    Canceled = false;
    RefuseLineBreaks({command});
    CheckConnected();
    if (DataAvailable())
        ClearInput();
    Exchange(command);
    const int kind = CommandKindOf(command);
    if (ReplyCode >= 400 && ReplyCode <= 599) {
        if (ReplyCode >= 500 && ReplyCode <= 502)
            emit OnUnSupportedFunction(kind);
        if (!FailureHandled(kind))
            throw FTPException(ReplyText);
        return;
    }
    emit OnSuccess(kind);
}

void TNMFTP::ChangeDirectory(const std::string& path)
{
    RefuseLineBreaks({path});
    SendCommand("CWD " + WireName(path));
}

void TNMFTP::MakeDirectory(const std::string& path)
{
    RefuseLineBreaks({path});
    SendCommand("MKD " + WireName(path));
}

void TNMFTP::SetTransferType(int type)
{
    const char* command = nullptr;
    switch (type) {
    case ttAscii:
        command = "TYPE A";
        break;
    case ttBinary:
        command = "TYPE I";
        break;
    case ttLocal8:
        command = "TYPE L 8";
        break;
    default:
        throw FTPException("Unknown transfer type " + std::to_string(type));
    }
    // Until the server has agreed, its type is unknown: the next file tells it again.
    m_typeSent = 0;
    SendCommand(command);
    if (ReplyCode < 400 || ReplyCode > 599)
        m_typeSent = type;
}

void TNMFTP::UseTransferType(int type)
{
    if (Connected() && type == m_typeSent)
        return;
    SetTransferType(type);
}

// ---- upload

bool TNMFTP::DataStopped() const
{
    return m_data->Canceled || m_data->TimedOut || Canceled;
}

void TNMFTP::RaiseSendAborted()
{
    m_data->Canceled = false;
    Canceled = false;
    throw EAbortError("Socket send aborted");
}

void TNMFTP::Upload(QIODevice& source, const std::string& remoteName)
{
    const bool encrypted = Encrypted();
    // Servers that insist on a resumed session refuse a data connection without one; a TLS 1.3
    // server sends its session only after the handshake, so it is awaited before the first one.
    if (encrypted)
        WaitForSessionTicket(kSessionTicketWaitMs);
    if (Passive) {
        Exchange("PASV");
        if (ReplyCode > 499)
            throw FTPException(ReplyText);
        quint16 port = 0;
        if (!ParsePasvPort(ReplyText, port))
            throw FTPException("No data port in the PASV reply: " + ReplyText);
        // The address in the reply may be one the server only knows from its own side of a
        // router; the server we are talking to is where the data goes.
        m_data->Host = PeerAddress().toString().toStdString();
        m_data->Port = port;
        ConnectDataAndStore(remoteName);
    } else {
        // The server can only reach the address it is told, so nothing else needs to listen.
        const QHostAddress local = LocalAddress();
        m_data->Listen(local);
        Exchange("PORT " + PortArgument(local, m_data->ListeningPort()));
        if (ReplyCode > 300 && ReplyCode < 600)
            throw FTPException(ReplyText);
        Exchange("STOR " + remoteName);
    }
    if (ReplyCode >= 301 && ReplyCode <= 599) {
        if (ReplyCode >= 500 && ReplyCode <= 502)
            emit OnUnSupportedFunction(cmdUpload);
        throw FTPException(ReplyText);
    }
    if (!Passive)
        m_data->Accept(PeerAddress());
    // The server starts its side of the handshake once it has answered STOR.
    if (encrypted)
        StartDataTls();

    emit OnTransactionStart();
    try {
        // A cancel before the first byte is still a cancel, not an upload done.
        if (DataStopped())
            RaiseSendAborted();
        m_data->SendStream(source);
    } catch (...) {
        emit OnTransactionStop();
        throw;
    }
    emit OnTransactionStop();
    if (DataStopped())
        RaiseSendAborted();
    // A file that shrank while it was read reached its end early: the server would store a cut
    // copy and call it complete.
    if (m_data->BytesDone != BytesTotal)
        throw FTPException("Data connection ended after " + std::to_string(m_data->BytesDone) + " of " +
                           std::to_string(BytesTotal) + " bytes");
    // A TLS 1.3 server sends the data connection its session tickets after the handshake; a close
    // that crosses them is taken by some servers (vsftpd) as a broken transfer, so they are let in
    // first. They are normally long there by the end of a transfer.
    if (encrypted)
        m_data->WaitForSessionTicket(kDataTicketWaitMs);
    // The close tells the server that the file is complete; every byte is delivered before it. In
    // TLS the close is announced (close_notify), so that the end cannot be mistaken for a cut.
    m_data->Disconnect();
    // Only the server knows whether the file arrived whole and was stored: a full disk (552, 452),
    // a local error (451) or a data connection that broke (426) all come after the last byte left
    // here. Anything but a positive completion is a failed upload.
    ReadWholeReply();
    if (ReplyCode < 200 || ReplyCode > 299)
        throw FTPException(ReplyText);
}

void TNMFTP::ConnectDataAndStore(const std::string& remoteName)
{
    // A passive server waits for the data connection once it has the transfer command, whichever
    // comes first; so STOR goes out while the data connection is being made, and the two round trips
    // overlap: one round trip less per file.
    const std::string command = "STOR " + remoteName;
    RefuseLineBreaks({command});
    bool storeSent = false;
    try {
        m_data->ConnectWhile([&] {
            SendCommandLine(command);
            storeSent = true;
        });
    } catch (...) {
        // The server owes the answer to a STOR whose data connection never came, and gives it only
        // when its own wait ends: this control connection is out of step, and is closed rather than
        // left to read that answer as the next one's.
        if (storeSent)
            CloseSocket(false);
        throw;
    }
    ReadWholeReply();
}

void TNMFTP::StoreFile(const std::string& localFile, const std::string& remoteFile)
{
    CheckConnected();
    Canceled = false;
    const std::string remoteName = remoteFile.empty() ? FileNameOf(localFile) : remoteFile;
    // The file is opened before the server is told to store anything, so that a missing file
    // cannot leave an empty one on the server.
    QFile file(platform::PathFromCp932(localFile));
    if (!file.open(QIODevice::ReadOnly)) {
        if (!FailureHandled(cmdUpload))
            throw FTPException("Cannot open file " + localFile);
        return;
    }
    StoreFrom(file, remoteName);
}

void TNMFTP::StoreBytes(std::string_view bytes, const std::string& remoteFile)
{
    CheckConnected();
    Canceled = false;
    // The bytes are read where they are; the buffer only walks over them.
    QByteArray view = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&view);
    if (!buffer.open(QIODevice::ReadOnly))
        throw FTPException("Cannot read the bytes to send");
    StoreFrom(buffer, remoteFile);
}

void TNMFTP::StoreFrom(QIODevice& source, const std::string& remoteName)
{
    // A handler running inside one of our waits must not start a second upload on the same
    // control connection.
    if (m_data)
        throw FTPException("An upload is already running");
    try {
        RefuseLineBreaks({remoteName});
        const std::string wireName = WireName(remoteName);
        if (DataAvailable())
            ClearInput();
        m_data = std::make_unique<TPowersock>();
        m_data->TimeOut = TimeOut;
        connect(m_data.get(), &TPowersock::OnTlsFailure, this, &TPowersock::ReportTlsFailure);
        connect(m_data.get(), &TPowersock::OnPacketSent, this, [this] {
            BytesDone = m_data->BytesDone;
            emit OnPacketSent();
        });
        BytesDone = 0;
        BytesTotal = source.size();
        Upload(source, wireName);
    } catch (...) {
        if (m_data) {
            m_data->disconnect(this);
            m_data.reset();
        }
        if (!FailureHandled(cmdUpload))
            throw;
        return;
    }
    m_data->disconnect(this);
    m_data.reset();
    emit OnSuccess(cmdUpload);
}

} // namespace net
