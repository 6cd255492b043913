#include "support/TestCertificates.h"

#include "net/Tls.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace testsupport {

bool TestCertificates::Run(const QStringList& args)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2")
                      .arg(args.join(u' '), QString::fromUtf8(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCertificates::SelfSigned(const QString& name, CertificateFiles& files)
{
    files = {m_dir.filePath(name + QStringLiteral(".pem")), m_dir.filePath(name + QStringLiteral(".key"))};
    return Run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                QStringLiteral("-keyout"), files.Key, QStringLiteral("-out"), files.Certificate,
                QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-subj"),
                QStringLiteral("/CN=127.0.0.1/O=") + name, QStringLiteral("-addext"),
                QStringLiteral("subjectAltName=IP:127.0.0.1")});
}

bool TestCertificates::Issue(const QString& name, const QString& altNames, CertificateFiles& files)
{
    files = {m_dir.filePath(name + QStringLiteral(".pem")), m_dir.filePath(name + QStringLiteral(".key"))};
    const QString request = m_dir.filePath(name + QStringLiteral(".csr"));
    const QString extensions = m_dir.filePath(name + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write(QStringLiteral("subjectAltName=%1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                  .arg(altNames)
                  .toUtf8());
    ext.close();
    return Run({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), files.Key, QStringLiteral("-out"),
                request, QStringLiteral("-subj"), QStringLiteral("/CN=") + name}) &&
           Run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                QStringLiteral("-CA"), Authority.Certificate, QStringLiteral("-CAkey"), Authority.Key,
                QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), files.Certificate,
                QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-extfile"), extensions});
}

bool TestCertificates::Make()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    Authority = {m_dir.filePath(QStringLiteral("ca.pem")), m_dir.filePath(QStringLiteral("ca.key"))};
    return Run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                QStringLiteral("-keyout"), Authority.Key, QStringLiteral("-out"), Authority.Certificate,
                QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-subj"),
                QStringLiteral("/CN=Quillmap Test Authority"), QStringLiteral("-addext"),
                QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")}) &&
           Issue(QStringLiteral("localhost"), QStringLiteral("DNS:localhost,IP:127.0.0.1"), Good) &&
           Issue(QStringLiteral("other.example"), QStringLiteral("DNS:other.example"), OtherName) &&
           SelfSigned(QStringLiteral("selfA"), SelfSignedA) &&
           SelfSigned(QStringLiteral("selfB"), SelfSignedB);
}

void TestCertificates::TrustAuthorityInThisProcess() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(Authority.Certificate));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

std::string TestCertificates::Fingerprint(const QString& certificateFile)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificateFile);
    return certificates.isEmpty() ? std::string() : net::CertificateFingerprint(certificates.first());
}

const TestCertificates* SharedCertificates()
{
    static TestCertificates certificates;
    static const bool made = certificates.Make() && (certificates.TrustAuthorityInThisProcess(), true);
    return made ? &certificates : nullptr;
}

QString SharedCertificatesError()
{
    const TestCertificates* made = SharedCertificates();
    return made ? QString() : QStringLiteral("openssl could not make the test certificates");
}

} // namespace testsupport
