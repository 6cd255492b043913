// The settings dialog's encryption choices beside the FTP, SMTP and POP servers: what they save,
// the ports that follow them, the preselection for a new server; and the FTP test over TLS with a
// certificate the user is asked to trust, which an unattended check then trusts as well.
#include "TfrmConfigFixture.h"
#include "core/CertificateTrust.h"
#include "net/NMFtp.h"
#include "support/ServerProcess.h"
#include "support/TestCertificates.h"

#include <QComboBox>

using namespace configtest;

namespace {

class ConfigDialogTls : public ConfigDialogTest
{
protected:
    QComboBox* choice(const char* name) const { return w<QComboBox>(name); }
    void choose(const char* name, int index) const
    {
        QComboBox* box = choice(name);
        front(box);
        box->setCurrentIndex(index);
    }
};

} // namespace

TEST_F(ConfigDialogTls, TheChoicesAreFilledAndSaved)
{
    open([](settings::TConfig& c) {
        c.FtpSecurity = 2;
        c.SmtpSecurity = 1;
        c.PopSecurity = 0;
        c.PopLogon = 1;
        c.PopServer = "pop.example.test";
        c.PopUser = "quill";
        c.PopPass = "secret";
    });
    EXPECT_EQ(choice("cboFtpSecurity")->currentIndex(), 2);
    EXPECT_EQ(choice("cboSmtpSecurity")->currentIndex(), 1);
    EXPECT_EQ(choice("cboPopSecurity")->currentIndex(), 0);
    EXPECT_EQ(box("txtFtpPort")->text(), QStringLiteral("21")) << "filling moves no port";
    EXPECT_EQ(choice("cboFtpSecurity")->itemText(1), QStringLiteral("STARTTLS"));

    choose("cboPopSecurity", 2);
    click("cmdOK");
    EXPECT_TRUE(warnings().empty()) << warnings()[0];
    settings::TConfig saved;
    settings::LoadSettings(saved, nullptr);
    EXPECT_EQ(saved.FtpSecurity, 2);
    EXPECT_EQ(saved.SmtpSecurity, 1);
    EXPECT_EQ(saved.PopSecurity, 2);
    EXPECT_EQ(saved.PopPort, 995);
}

TEST_F(ConfigDialogTls, ThePortFollowsTheChoiceUnlessTyped)
{
    open();
    choose("cboSmtpSecurity", 1);
    EXPECT_EQ(box("txtSmtpPort")->text(), QStringLiteral("587"));
    choose("cboSmtpSecurity", 2);
    EXPECT_EQ(box("txtSmtpPort")->text(), QStringLiteral("465"));
    choose("cboSmtpSecurity", 0);
    EXPECT_EQ(box("txtSmtpPort")->text(), QStringLiteral("25"));

    choose("cboFtpSecurity", 2);
    EXPECT_EQ(box("txtFtpPort")->text(), QStringLiteral("990"));
    type("txtFtpPort", QStringLiteral("212"));
    choose("cboFtpSecurity", 1);
    EXPECT_EQ(box("txtFtpPort")->text(), QStringLiteral("212")) << "a typed port stays";
}

TEST_F(ConfigDialogTls, ANewServerNamePreselectsStartTls)
{
    open([](settings::TConfig& c) {
        c.SmtpServer.clear();
        c.PopLogon = 1;
        c.PopServer = "pop.example.test";
    });
    EXPECT_EQ(choice("cboSmtpSecurity")->currentIndex(), 0);
    type("txtSmtpServer", QStringLiteral("smtp.example.jp"));
    EXPECT_EQ(choice("cboSmtpSecurity")->currentIndex(), 1);
    EXPECT_EQ(box("txtSmtpPort")->text(), QStringLiteral("587"));
    // A name that changes into another name is no new server.
    type("txtPopServer", QStringLiteral("pop2.example.test"));
    EXPECT_EQ(choice("cboPopSecurity")->currentIndex(), 0);
}

TEST_F(ConfigDialogTls, TheFtpTestAsksAboutTheCertificateAndAnUnattendedCheckTrustsItAfterwards)
{
    const testsupport::TestCertificates* certs = testsupport::SharedCertificates();
    ASSERT_NE(certs, nullptr);
    testsupport::TempFolder root{false};
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(
        QStringLiteral("ftpserver.py"),
        {QStringLiteral("--root"), root.path(), QStringLiteral("--user"), QStringLiteral("quill"),
         QStringLiteral("--password"), QStringLiteral("secret"), QStringLiteral("--tls-cert"),
         certs->OtherName.Certificate, QStringLiteral("--tls-key"), certs->OtherName.Key}))
        << server.error().toStdString();
    const quint16 port = server.port();
    open([port](settings::TConfig& c) {
        c.FtpUpload = 1;
        c.FtpServer = "127.0.0.1";
        c.FtpPort = port;
        c.FtpUser = "quill";
        c.FtpPass = "secret";
        c.FtpPasv = 1;
    });
    choose("cboFtpSecurity", 1);

    // No: the test fails and says why.
    ui.QueueAnswer(false);
    click("cmdFtpTest");
    ASSERT_EQ(shown(ScriptedUserInterface::Kind::Question).size(), 1u);
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find("ｻｰﾊﾞｰ証明書を確認できなかった"), std::string::npos) << warnings()[0];

    // Yes: connected, in TLS, and the box says so.
    ui.Clear();
    ui.QueueAnswer(true);
    click("cmdFtpTest");
    EXPECT_EQ(informations(),
              std::vector<std::string>{"FTPｻｰﾊﾞｰへの接続に成功しました。\r\n(TLSで暗号化して接続しました)"});
    const std::string key = settings::CertificateKey("127.0.0.1", port);
    EXPECT_FALSE(config->TrustedCertificates[key].empty());

    // The trust is in the file at once, whatever the dialog does next.
    click("cmdCancel");
    settings::TConfig fromFile;
    settings::LoadSettings(fromFile, nullptr);
    EXPECT_EQ(fromFile.TrustedCertificates[key], config->TrustedCertificates[key]);
    net::TNMFTP unattended;
    core::CertificateTrust trust([&fromFile] { return &fromFile; }, nullptr);
    unattended.Trust = &trust;
    unattended.Security = net::tlsExplicit;
    unattended.Host = "127.0.0.1";
    unattended.Port = port;
    unattended.UserID = "quill";
    unattended.Password = "secret";
    unattended.TimeOut = 15000;
    unattended.Connect();
    EXPECT_TRUE(unattended.Encrypted());
    unattended.Disconnect();
}
