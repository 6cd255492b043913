#pragma once
// Encrypted connections for the line protocol clients, on Qt's QSslSocket (OpenSSL underneath).
//
// A certificate counts as confirmed when the system's trust store vouches for it and it names the
// host, or when the user once chose to trust exactly this certificate (its SHA-256 fingerprint) for
// this host and port. Anything else fails the handshake; only a client that a person is watching
// (MayAsk) puts the certificate to them, through TlsTrust, while the handshake waits. There is no
// switch that turns verification off.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <string>
#include <string_view>
#include <vector>

class QSslCertificate;
class QSslSocket;

namespace net {

// The values of [FTP], [SMTP] and [POP] Security.
enum TlsMode : int {
    tlsNone = 0,
    // The client asks for TLS on the plain connection: FTP "AUTH TLS", SMTP "STARTTLS", POP3 "STLS".
    tlsExplicit = 1,
    // TLS from the first byte (usually ports 990, 465 and 995).
    tlsImplicit = 2,
};

// The mode of a stored value. A value this release does not know was written by a newer one or by
// hand; it certainly does not ask for clear text, so it is taken as explicit TLS.
int TlsModeOf(int stored);

// A certificate as it is put to the user. Texts are code page 932 (certificates carry ASCII in
// practice; other characters are replaced).
struct CertificateInfo
{
    std::string Host;
    quint16 Port = 0;
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom;
    std::string ValidTo;
    // SHA-256 of the certificate, upper-case hex pairs joined with ":".
    std::string Fingerprint;
    // Why the system does not vouch for it.
    std::string Problem;
};

// Decides about certificates that the system's trust store does not confirm.
class TlsTrust
{
public:
    virtual ~TlsTrust() = default;
    // Whether the user chose to trust exactly this certificate for host and port.
    virtual bool IsTrusted(const std::string& host, quint16 port, const std::string& fingerprint) const = 0;
    // Asks the user whether to trust the certificate for its host and port from now on; true when
    // they said yes (the trust is then kept). An implementation without a person answers false.
    virtual bool ConfirmTrust(const CertificateInfo& certificate) = 0;
};

std::string CertificateFingerprint(const QSslCertificate& certificate);
CertificateInfo DescribeCertificate(const QSslCertificate& certificate, const std::string& host, quint16 port,
                                    const QList<QSslError>& errors);
// The question put to the user (code page 932).
std::string TrustQuestion(const CertificateInfo& certificate);

// Whether an EHLO reply (its lines, the first one included) lists the extension, such as "STARTTLS".
bool OffersExtension(const std::vector<std::string>& ehloReply, std::string_view keyword);

// The log rows of a step that asked for TLS and did not get it (code page 932, half-width).
std::string TlsNotOfferedText(const std::string& host, quint16 port);
std::string TlsHandshakeFailedText(const std::string& host, quint16 port);
std::string CertificateRefusedText(const std::string& host, quint16 port);
std::string ClearTextBeforeTlsText(const std::string& host, quint16 port);

// Where a TLS connection goes and who decides about its certificate.
struct TlsPeer
{
    // The name the certificate must carry, and the host and port under which trust is filed.
    std::string Host;
    quint16 Port = 0;
    TlsTrust* Trust = nullptr;
    // Whether a certificate nobody vouches for may be put to the user.
    bool MayAsk = false;
    // A session to resume (the FTP data connections resume the control connection's session).
    QByteArray SessionTicket;
};

// One client handshake on a connected socket: started by the constructor, watched until Finished().
// The owner waits in its own wait helper and then asks Succeeded().
//
// A server sends nothing between its go-ahead ("234" to AUTH TLS, "220" to STARTTLS, "+OK" to STLS)
// and our first handshake message, so any byte already received at that point was put there by
// someone else (or the server is broken): read after the handshake it would pass for an encrypted
// reply. Such a handshake is not started; it fails at once (ClearTextInjected) and the owner drops
// the connection with what it holds.
class TlsHandshake : public QObject
{
public:
    TlsHandshake(QSslSocket& socket, TlsPeer peer);

    bool Finished() const;
    bool Succeeded() const;
    // The handshake failed because the certificate was not confirmed.
    bool CertificateRefused() const { return m_certificateRefused; }
    // The handshake was refused because bytes had arrived before it.
    bool ClearTextInjected() const { return m_clearTextInjected; }
    // The log row for a failed handshake.
    std::string FailureText() const;
    // The error message for a failed handshake that was neither cancelled nor timed out.
    const char* FailureMessage() const;

private:
    void OnSslErrors(const QList<QSslError>& errors);

    // The socket may go (a close by the peer replaces it) before the owner looks again.
    QPointer<QSslSocket> m_socket;
    TlsPeer m_peer;
    bool m_failed = false;
    bool m_certificateRefused = false;
    bool m_clearTextInjected = false;
};

} // namespace net
