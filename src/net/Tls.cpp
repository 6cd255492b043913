#include "net/Tls.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <sys/socket.h>

namespace net {

namespace {

using text::Sjis;

std::string Cp932(const QString& text)
{
    return platform::QStringToCp932(text);
}

std::string HostPort(const std::string& host, quint16 port)
{
    return host + ":" + std::to_string(port);
}

// "CN=name, O=organisation" of the fields a person recognises.
std::string NameOf(const QSslCertificate& certificate, bool issuer)
{
    const auto info = [&](QSslCertificate::SubjectInfo field) {
        return (issuer ? certificate.issuerInfo(field) : certificate.subjectInfo(field))
            .join(QStringLiteral(" "));
    };
    QStringList parts;
    const std::pair<QSslCertificate::SubjectInfo, const char*> fields[] = {
        {QSslCertificate::CommonName, "CN"},
        {QSslCertificate::Organization, "O"},
        {QSslCertificate::OrganizationalUnitName, "OU"},
        {QSslCertificate::CountryName, "C"},
    };
    for (const auto& [field, label] : fields) {
        const QString value = info(field);
        if (!value.isEmpty())
            parts << QString::fromLatin1(label) + u'=' + value;
    }
    return Cp932(parts.join(QStringLiteral(", ")));
}

std::string TimeText(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString() + " UTC";
}

// Whether anything has arrived on the plain connection: in Qt's buffers or still in the system's.
bool ClearTextWaiting(QSslSocket& socket)
{
    if (socket.bytesAvailable() > 0)
        return true;
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor < 0)
        return false;
    char byte = 0;
    return ::recv(static_cast<int>(descriptor), &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

} // namespace

bool OffersExtension(const std::vector<std::string>& ehloReply, std::string_view keyword)
{
    // "250-STARTTLS" or "250 STARTTLS": the first word after the code, in any case.
    for (size_t i = 1; i < ehloReply.size(); ++i) {
        const std::string& line = ehloReply[i];
        if (line.size() < 4)
            continue;
        const size_t end = line.find(' ', 4);
        std::string word = line.substr(4, end == std::string::npos ? end : end - 4);
        for (char& c : word)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (word == keyword)
            return true;
    }
    return false;
}

int TlsModeOf(int stored)
{
    return stored == tlsNone || stored == tlsImplicit ? stored : tlsExplicit;
}

std::string CertificateFingerprint(const QSslCertificate& certificate)
{
    const QByteArray digest = certificate.digest(QCryptographicHash::Sha256);
    return digest.toHex(':').toUpper().toStdString();
}

CertificateInfo DescribeCertificate(const QSslCertificate& certificate, const std::string& host, quint16 port,
                                    const QList<QSslError>& errors)
{
    CertificateInfo info;
    info.Host = host;
    info.Port = port;
    info.Subject = NameOf(certificate, false);
    info.Issuer = NameOf(certificate, true);
    info.ValidFrom = TimeText(certificate.effectiveDate());
    info.ValidTo = TimeText(certificate.expiryDate());
    info.Fingerprint = CertificateFingerprint(certificate);
    QStringList problems;
    for (const QSslError& error : errors)
        if (!problems.contains(error.errorString()))
            problems << error.errorString();
    info.Problem = Cp932(problems.join(QStringLiteral("; ")));
    return info;
}

std::string TrustQuestion(const CertificateInfo& c)
{
    const std::string where = HostPort(c.Host, c.Port);
    return where + Sjis(u8" のサーバー証明書を確認できませんでした。\r\n(") + c.Problem + ")\r\n\r\n" +
           Sjis(u8"発行先：") + c.Subject + "\r\n" + Sjis(u8"発行者：") + c.Issuer + "\r\n" +
           Sjis(u8"有効期間：") + c.ValidFrom + Sjis(u8" ～ ") + c.ValidTo + "\r\n" +
           "SHA-256: " + c.Fingerprint + "\r\n\r\n" + Sjis(u8"この証明書を ") + where +
           Sjis(
               u8" の証明書として信頼しますか？\r\n信頼すると、この証明書が変わるまで確認せずに接続します。");
}

std::string TlsNotOfferedText(const std::string& host, quint16 port)
{
    return HostPort(host, port) + Sjis(u8" ｻｰﾊﾞｰがTLSに対応していないため接続を中止しました");
}

std::string TlsHandshakeFailedText(const std::string& host, quint16 port)
{
    return HostPort(host, port) + Sjis(u8" TLSで接続できませんでした");
}

std::string CertificateRefusedText(const std::string& host, quint16 port)
{
    return HostPort(host, port) + Sjis(u8" ｻｰﾊﾞｰ証明書を確認できなかったため接続を中止しました");
}

std::string ClearTextBeforeTlsText(const std::string& host, quint16 port)
{
    return HostPort(host, port) + Sjis(u8" TLS開始前に余分なﾃﾞｰﾀを受信したため接続を中止しました");
}

TlsHandshake::TlsHandshake(QSslSocket& socket, TlsPeer peer) : m_socket(&socket), m_peer(std::move(peer))
{
    if (ClearTextWaiting(socket)) {
        m_failed = true;
        m_clearTextInjected = true;
        return;
    }
    QSslConfiguration configuration = socket.sslConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Kept, so that FTP data connections can resume the control connection's session (many servers
    // refuse a data connection that does not).
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    if (!m_peer.SessionTicket.isEmpty())
        configuration.setSessionTicket(m_peer.SessionTicket);
    socket.setSslConfiguration(configuration);
    socket.setPeerVerifyName(QString::fromStdString(m_peer.Host));
    connect(&socket, &QSslSocket::sslErrors, this, &TlsHandshake::OnSslErrors);
    connect(&socket, &QAbstractSocket::errorOccurred, this, [this] {
        if (m_socket && !m_socket->isEncrypted())
            m_failed = true;
    });
    connect(&socket, &QAbstractSocket::disconnected, this, [this] {
        if (m_socket && !m_socket->isEncrypted())
            m_failed = true;
    });
    socket.startClientEncryption();
}

bool TlsHandshake::Finished() const
{
    return m_failed || !m_socket || m_socket->isEncrypted() ||
           m_socket->state() != QAbstractSocket::ConnectedState;
}

bool TlsHandshake::Succeeded() const
{
    return !m_failed && m_socket && m_socket->isEncrypted();
}

std::string TlsHandshake::FailureText() const
{
    if (m_clearTextInjected)
        return ClearTextBeforeTlsText(m_peer.Host, m_peer.Port);
    return m_certificateRefused ? CertificateRefusedText(m_peer.Host, m_peer.Port)
                                : TlsHandshakeFailedText(m_peer.Host, m_peer.Port);
}

const char* TlsHandshake::FailureMessage() const
{
    if (m_clearTextInjected)
        return "Clear Text Before TLS Handshake";
    return m_certificateRefused ? "Certificate Not Trusted" : "TLS Handshake Failed";
}

void TlsHandshake::OnSslErrors(const QList<QSslError>& errors)
{
    // Runs inside the handshake: ignoring the errors here lets it go on, anything else ends it.
    const QSslCertificate certificate = m_socket ? m_socket->peerCertificate() : QSslCertificate();
    if (certificate.isNull()) {
        m_certificateRefused = true;
        return;
    }
    const std::string fingerprint = CertificateFingerprint(certificate);
    bool trusted = m_peer.Trust && m_peer.Trust->IsTrusted(m_peer.Host, m_peer.Port, fingerprint);
    if (!trusted && m_peer.Trust && m_peer.MayAsk)
        trusted =
            m_peer.Trust->ConfirmTrust(DescribeCertificate(certificate, m_peer.Host, m_peer.Port, errors));
    // The person may have taken long enough for the server to give up meanwhile.
    if (trusted && m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->ignoreSslErrors();
    else
        m_certificateRefused = true;
}

} // namespace net
