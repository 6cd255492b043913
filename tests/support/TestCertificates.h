#pragma once
// Certificates for the TLS tests, made with the openssl command in a temporary folder of their own:
// a test authority with a certificate for 127.0.0.1 and localhost and one for another name, and two
// self-signed certificates for 127.0.0.1 (to play a certificate that changed).

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

struct CertificateFiles
{
    QString Certificate;
    QString Key;
};

class TestCertificates
{
public:
    // Makes everything; false (with Error()) when openssl failed.
    bool Make();
    QString Error() const { return m_error; }

    CertificateFiles Authority;
    // Issued by Authority for localhost and 127.0.0.1.
    CertificateFiles Good;
    // Issued by Authority for other.example only.
    CertificateFiles OtherName;
    // Self-signed for 127.0.0.1, two different ones.
    CertificateFiles SelfSignedA;
    CertificateFiles SelfSignedB;

    // Lets this process's TLS connections trust Authority as the system's store would (the default
    // configuration every new socket starts from).
    void TrustAuthorityInThisProcess() const;
    // The SHA-256 fingerprint of a certificate file, as the program writes it.
    static std::string Fingerprint(const QString& certificateFile);

private:
    bool Run(const QStringList& args);
    bool Issue(const QString& name, const QString& altNames, CertificateFiles& files);
    bool SelfSigned(const QString& name, CertificateFiles& files);

    QTemporaryDir m_dir;
    QString m_error;
};

// Made once per test program (openssl takes a moment), kept until it ends, with the authority
// trusted in this process from then on (call it before the clients are made). Null when it failed.
const TestCertificates* SharedCertificates();
QString SharedCertificatesError();

} // namespace testsupport
