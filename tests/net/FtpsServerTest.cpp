// FTP over TLS against real servers on 127.0.0.1: pyftpdlib's TLS handler (explicit, passive and
// active), vsftpd with session reuse required (explicit and implicit), and the failures: a server
// without TLS, a certificate for another name, a changed certificate, a handshake that never ends.
#include "core/CertificateTrust.h"
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "support/RunProgram.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

using net::TNMFTP;
using testsupport::CertificateFiles;
using testsupport::SharedCertificates;

namespace {

constexpr int kTestTimeOutMs = 15000;

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class FtpsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(m_certs, nullptr) << "openssl could not make the test certificates";
        ASSERT_TRUE(QDir().mkpath(m_root.path()));
    }

    // pyftpdlib with explicit TLS and the given certificate (none: plain FTP).
    void StartPyftpdlib(const CertificateFiles* certificate)
    {
        QStringList args{QStringLiteral("--root"),        m_root.path(),
                         QStringLiteral("--user"),        QStringLiteral("quill"),
                         QStringLiteral("--password"),    QStringLiteral("secret"),
                         QStringLiteral("--command-log"), m_local.file(QStringLiteral("commands.log"))};
        if (certificate)
            args << QStringLiteral("--tls-cert") << certificate->Certificate << QStringLiteral("--tls-key")
                 << certificate->Key;
        ASSERT_TRUE(m_server.startPython(QStringLiteral("ftpserver.py"), args))
            << m_server.error().toStdString();
        Aim(m_ftp, "127.0.0.1", "quill", "secret");
    }

    void Aim(TNMFTP& ftp, const std::string& host, const std::string& user, const std::string& password)
    {
        ftp.Host = host;
        ftp.Port = m_server.port();
        ftp.UserID = user;
        ftp.Password = password;
        ftp.TimeOut = kTestTimeOutMs;
        QObject::connect(&ftp, &TNMFTP::OnTlsFailure,
                         [this](const std::string& text) { m_tlsFailures.push_back(text); });
    }

    std::string Commands() const
    {
        return testsupport::ReadBytes(m_local.file(QStringLiteral("commands.log")));
    }

    std::string MakeFile(const QString& name, const std::string& bytes)
    {
        testsupport::WriteBytes(m_local.file(name), bytes);
        return m_local.filePath(name);
    }

    const testsupport::TestCertificates* m_certs = SharedCertificates();
    testsupport::TempFolder m_root{false};
    testsupport::TempFolder m_local{false};
    testsupport::ServerProcess m_server;
    TNMFTP m_ftp;
    std::vector<std::string> m_tlsFailures;
};

} // namespace

TEST_F(FtpsTest, ExplicitTlsPassiveAndActiveUploadsArriveByteForByte)
{
    StartPyftpdlib(&m_certs->Good);
    m_ftp.Security = net::tlsExplicit;
    m_ftp.Connect();
    EXPECT_TRUE(m_ftp.Encrypted());
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    const std::string passive = RandomBytes(300001, 1);
    m_ftp.Passive = true;
    m_ftp.StoreFile(MakeFile(QStringLiteral("p.bin"), passive), "p.bin");
    const std::string active = RandomBytes(200003, 2);
    m_ftp.Passive = false;
    m_ftp.StoreFile(MakeFile(QStringLiteral("a.bin"), active), "a.bin");
    m_ftp.Disconnect();
    EXPECT_EQ(testsupport::ReadBytes(m_root.file(QStringLiteral("p.bin"))), passive);
    EXPECT_EQ(testsupport::ReadBytes(m_root.file(QStringLiteral("a.bin"))), active);
    // TLS before the log-on, data protection after it.
    const std::string log = Commands();
    const size_t auth = log.find("AUTH TLS\n"), user = log.find("USER quill\n"), prot = log.find("PROT P\n");
    ASSERT_NE(auth, std::string::npos) << log;
    EXPECT_LT(auth, user);
    EXPECT_LT(user, log.find("PBSZ 0\n"));
    EXPECT_LT(log.find("PBSZ 0\n"), prot);
    EXPECT_TRUE(m_tlsFailures.empty());
}

TEST_F(FtpsTest, AServerWithoutTlsNeverSeesTheLogOn)
{
    StartPyftpdlib(nullptr);
    m_ftp.Security = net::tlsExplicit;
    EXPECT_THROW(m_ftp.Connect(), net::FTPException);
    EXPECT_FALSE(m_ftp.Connected());
    ASSERT_EQ(m_tlsFailures.size(), 1u);
    EXPECT_TRUE(m_tlsFailures[0].starts_with("127.0.0.1:" + std::to_string(m_server.port()) + " "));
    const std::string log = Commands();
    EXPECT_NE(log.find("AUTH TLS"), std::string::npos) << log;
    EXPECT_EQ(log.find("USER"), std::string::npos) << log;
    EXPECT_EQ(log.find("PASS"), std::string::npos) << log;
}

TEST_F(FtpsTest, LinesInjectedWithTheGoAheadEndTheConnectionBeforeTheLogOn)
{
    // Read after the handshake, the injected 230 would pass for the answer to USER and skip PASS.
    StartPyftpdlib(&m_certs->Good);
    testsupport::ServerProcess proxy;
    ASSERT_TRUE(testsupport::StartInjectingProxy(proxy, m_server.port(), QStringLiteral("230 Logged in.")))
        << proxy.error().toStdString();
    m_ftp.Port = proxy.port();
    m_ftp.Security = net::tlsExplicit;
    EXPECT_THROW(m_ftp.Connect(), net::ESockError);
    EXPECT_FALSE(m_ftp.Connected());
    EXPECT_EQ(m_tlsFailures,
              std::vector<std::string>{net::ClearTextBeforeTlsText("127.0.0.1", proxy.port())});
    EXPECT_EQ(Commands(), "AUTH TLS\n");
}

TEST_F(FtpsTest, CertificateTrustIsAskedOnceKeptAndBoundToTheCertificate)
{
    // Issued by a trusted authority, but for another name.
    StartPyftpdlib(&m_certs->OtherName);
    testsupport::TempFolder home;
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    m_ftp.Security = net::tlsExplicit;

    // Unattended: nobody is asked, the log-on fails and says why.
    core::CertificateTrust unattended([&config] { return &config; }, nullptr);
    m_ftp.Trust = &unattended;
    EXPECT_THROW(m_ftp.Connect(), net::ESockError);
    ASSERT_EQ(m_tlsFailures.size(), 1u);
    EXPECT_NE(m_tlsFailures[0].find("127.0.0.1:"), std::string::npos);
    EXPECT_EQ(Commands().find("USER"), std::string::npos);

    // A person who says no: the same.
    platform::ScriptedUserInterface ui;
    ui.QueueAnswer(false);
    core::CertificateTrust attended([&config] { return &config; }, &ui);
    m_ftp.Trust = &attended;
    m_ftp.MayAskTrust = true;
    EXPECT_THROW(m_ftp.Connect(), net::ESockError);
    ASSERT_EQ(ui.Count(platform::ScriptedUserInterface::Kind::Question), 1u);
    const std::string question = ui.Calls().back().text;
    const std::string fingerprint =
        testsupport::TestCertificates::Fingerprint(m_certs->OtherName.Certificate);
    EXPECT_NE(question.find(fingerprint), std::string::npos) << "the question shows the fingerprint";
    EXPECT_NE(question.find("other.example"), std::string::npos) << "and the subject";
    EXPECT_TRUE(config.TrustedCertificates.empty());

    // Yes: trusted, kept in the settings and in the file, and the log-on goes through.
    ui.QueueAnswer(true);
    m_ftp.Connect();
    EXPECT_TRUE(m_ftp.Encrypted());
    m_ftp.Disconnect();
    const std::string key = settings::CertificateKey("127.0.0.1", m_server.port());
    EXPECT_EQ(config.TrustedCertificates[key], fingerprint);
    settings::TConfig fromFile;
    settings::LoadSettings(fromFile, nullptr);
    EXPECT_EQ(fromFile.TrustedCertificates[key], fingerprint);

    // An unattended check afterwards trusts it without asking, data connection included.
    TNMFTP check;
    Aim(check, "127.0.0.1", "quill", "secret");
    check.Security = net::tlsExplicit;
    core::CertificateTrust later([&fromFile] { return &fromFile; }, nullptr);
    check.Trust = &later;
    check.Passive = true;
    check.Connect();
    check.SetTransferType(TNMFTP::ttBinary);
    check.StoreFile(MakeFile(QStringLiteral("t.txt"), "trusted\r\n"), "t.txt");
    check.Disconnect();
    EXPECT_EQ(testsupport::ReadBytes(m_root.file(QStringLiteral("t.txt"))), "trusted\r\n");
    EXPECT_EQ(ui.Count(platform::ScriptedUserInterface::Kind::Question), 2u);
}

TEST_F(FtpsTest, AChangedCertificateIsNoLongerTrusted)
{
    StartPyftpdlib(&m_certs->SelfSignedA);
    testsupport::TempFolder home;
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    config.TrustedCertificates[settings::CertificateKey("127.0.0.1", m_server.port())] =
        testsupport::TestCertificates::Fingerprint(m_certs->SelfSignedA.Certificate);
    core::CertificateTrust trust([&config] { return &config; }, nullptr);
    m_ftp.Security = net::tlsExplicit;
    m_ftp.Trust = &trust;
    m_ftp.Connect();
    EXPECT_TRUE(m_ftp.Encrypted());
    m_ftp.Disconnect();

    // The same host and port now show another certificate.
    const quint16 port = m_server.port();
    m_server.stop();
    QStringList args{QStringLiteral("--root"),     m_root.path(),
                     QStringLiteral("--user"),     QStringLiteral("quill"),
                     QStringLiteral("--password"), QStringLiteral("secret"),
                     QStringLiteral("--tls-cert"), m_certs->SelfSignedB.Certificate,
                     QStringLiteral("--tls-key"),  m_certs->SelfSignedB.Key};
    ASSERT_TRUE(m_server.startPython(QStringLiteral("ftpserver.py"), args)) << m_server.error().toStdString();
    config.TrustedCertificates[settings::CertificateKey("127.0.0.1", m_server.port())] =
        config.TrustedCertificates[settings::CertificateKey("127.0.0.1", port)];
    m_ftp.Port = m_server.port();
    EXPECT_THROW(m_ftp.Connect(), net::ESockError);
    ASSERT_FALSE(m_tlsFailures.empty());
}

TEST_F(FtpsTest, AHandshakeThatNeverEndsIsBoundedByTheTimeOut)
{
    // Accepts and says nothing: the implicit handshake waits for a server hello that never comes.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    std::vector<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection,
                     [&] { held.push_back(silent.nextPendingConnection()); });
    m_ftp.Host = "127.0.0.1";
    m_ftp.Port = silent.serverPort();
    m_ftp.UserID = "quill";
    m_ftp.Password = "secret";
    m_ftp.TimeOut = 1000;
    m_ftp.Security = net::tlsImplicit;
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(m_ftp.Connect(), net::ESockError);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(m_ftp.Connected());
}

namespace {

// vsftpd with TLS required everywhere and session reuse required for data connections.
class VsftpdTest : public FtpsTest
{
protected:
    void TearDown() override
    {
        // The server's own account of a failure.
        if (HasFailure())
            std::cerr << testsupport::ReadBytes(m_root.file(QStringLiteral("vsftpd.log")));
    }

    void StartVsftpd(bool implicit)
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "vsftpd needs to be started by root";
        if (!QFile::exists(QStringLiteral("/usr/sbin/vsftpd")))
            GTEST_SKIP() << "vsftpd is not installed (scripts/deps.sh installs it)";
        QStringList args{QStringLiteral("--folder"), m_root.path(),           QStringLiteral("--cert"),
                         m_certs->Good.Certificate,  QStringLiteral("--key"), m_certs->Good.Key};
        if (implicit)
            args << QStringLiteral("--implicit");
        ASSERT_TRUE(m_server.startPython(QStringLiteral("vsftpdserver.py"), args))
            << m_server.error().toStdString();
        Aim(m_ftp, "127.0.0.1", "anonymous", "quillmap@");
    }

    std::string Uploaded(const QString& name) const
    {
        return testsupport::ReadBytes(m_server.value(QStringLiteral("ROOT")) + QStringLiteral("/upload/") +
                                      name);
    }

    void UploadThree()
    {
        m_ftp.Connect();
        ASSERT_TRUE(m_ftp.Encrypted());
        m_ftp.ChangeDirectory("upload");
        m_ftp.SetTransferType(TNMFTP::ttBinary);
        std::vector<std::string> sent;
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringLiteral("f%1.bin").arg(i);
            sent.push_back(RandomBytes(100000 + static_cast<size_t>(i) * 77777, 10 + i));
            // Every other file in active mode: both kinds of data connection resume the session.
            m_ftp.Passive = i != 1;
            m_ftp.StoreFile(MakeFile(name, sent.back()), name.toStdString());
        }
        m_ftp.Disconnect();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Uploaded(QStringLiteral("f%1.bin").arg(i)), sent[static_cast<size_t>(i)]) << i;
        EXPECT_TRUE(m_tlsFailures.empty());
    }
};

} // namespace

TEST_F(VsftpdTest, ExplicitTlsResumesTheSessionForEveryDataConnection)
{
    StartVsftpd(false);
    if (IsSkipped())
        return;
    m_ftp.Security = net::tlsExplicit;
    UploadThree();
}

TEST_F(VsftpdTest, ImplicitTlsFromTheGreetingOn)
{
    StartVsftpd(true);
    if (IsSkipped())
        return;
    m_ftp.Security = net::tlsImplicit;
    UploadThree();
}

TEST_F(FtpsTest, TheCommandLineSaysWhetherTlsWasUsedAndShowsTheTrust)
{
    // Self-signed, trusted for this host and port in the settings file; the program run without a
    // terminal could not be asked.
    StartPyftpdlib(&m_certs->SelfSignedA);
    testsupport::TempFolder home(false);
    platform::InitProgramFolder(home.path());
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    config.FtpServer = "127.0.0.1";
    config.FtpPort = m_server.port();
    config.FtpUser = "quill";
    config.FtpPass = "secret";
    config.FtpSecurity = net::tlsExplicit;
    const std::string key = settings::CertificateKey("127.0.0.1", m_server.port());
    config.TrustedCertificates[key] =
        testsupport::TestCertificates::Fingerprint(m_certs->SelfSignedA.Certificate);
    settings::SaveSettings(config, settings::SaveScope::All);

    const auto run = [&home](const QString& command) {
        return testsupport::RunProgram({QStringLiteral("--home"), home.path(), command}, 60000,
                                       [](QProcess& p) { p.setStandardInputFile(QProcess::nullDevice()); });
    };
    const testsupport::ProgramResult ftp = run(QStringLiteral("test-ftp"));
    EXPECT_EQ(ftp.exitCode, 0) << ftp.out << ftp.err;
    EXPECT_EQ(ftp.out, "FTPｻｰﾊﾞｰへの接続に成功しました。\n(TLSで暗号化して接続しました)\n");
    const testsupport::ProgramResult shown = run(QStringLiteral("settings"));
    EXPECT_NE(shown.out.find("\nFTP/Security=1\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\nSecurity/" + key + "=" + config.TrustedCertificates[key] + "\n"),
              std::string::npos);

    // Another certificate behind the same name: refused without a question, and said so.
    config.TrustedCertificates[key] =
        testsupport::TestCertificates::Fingerprint(m_certs->SelfSignedB.Certificate);
    settings::SaveSettings(config, settings::SaveScope::Security);
    const testsupport::ProgramResult refused = run(QStringLiteral("test-ftp"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find("ｻｰﾊﾞｰ証明書を確認できなかった"), std::string::npos) << refused.out;
    EXPECT_EQ(Commands().find("USER"), Commands().rfind("USER")) << "one log-on only, the first run's";
}
