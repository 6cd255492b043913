// The upload run over FTPS, unattended: a certificate nobody vouches for fails the run before the
// log-on, with a log row that names the server, and nobody is asked; once the user has trusted it
// (as the settings dialog's test keeps it), the same run goes through in TLS.
#include "UploadFixture.h"

#include "core/CertificateTrust.h"
#include "support/TestCertificates.h"
#include "upload/UploadRun.h"

using namespace uploadtest;
using upload::UploadPages;

TEST_F(UploadTest, AnUntrustedCertificateFailsTheRunUntilTheUserTrustsIt)
{
    const testsupport::TestCertificates* certs = testsupport::SharedCertificates();
    ASSERT_NE(certs, nullptr);
    StartServer({QStringLiteral("--tls-cert"), certs->SelfSignedA.Certificate, QStringLiteral("--tls-key"),
                 certs->SelfSignedA.Key});
    Config().FtpSecurity = 1;
    core::CertificateTrust trust([this] { return m_state.Settings.get(); }, nullptr);
    m_context.Trust = &trust;
    WriteSite(QStringLiteral("index.htm"), LinkedPage("top"));

    EXPECT_FALSE(UploadPages(m_context, false));
    const std::string where = "127.0.0.1:" + std::to_string(m_server.port());
    EXPECT_EQ(LogRows(), (std::vector<std::string>{
                             Row(1, where + Sjis(u8" ｻｰﾊﾞｰ証明書を確認できなかったため接続を中止しました")),
                             Row(1, u8"FTPサーバーへ接続できませんでした")}));
    EXPECT_TRUE(Commands().filter(QStringLiteral("USER")).isEmpty()) << Commands().join(u',').toStdString();
    EXPECT_TRUE(m_ui.Calls().empty()) << "an unattended run asks nobody";

    Config().TrustedCertificates[settings::CertificateKey("127.0.0.1", m_server.port())] =
        testsupport::TestCertificates::Fingerprint(certs->SelfSignedA.Certificate);
    EXPECT_TRUE(UploadPages(m_context, false));
    EXPECT_EQ(OnServer(QStringLiteral("index.htm")), LinkedPageOnServer("top"));
    EXPECT_TRUE(Commands().contains(QStringLiteral("PROT P")));
}
