// Mail over TLS against real servers on 127.0.0.1: aiosmtpd with STARTTLS required and with implicit
// TLS, on both send paths (AUTH PLAIN when LOGIN is not offered), dovecot's POP3 with TLS required
// (STLS on the plain port, and a TLS listener), and the refusals: no STARTTLS, no STLS.
#include "mail/NoticeMail.h"
#include "mail/TestMail.h"
#include "net/IdSMTP.h"
#include "net/NMpop3.h"
#include "net/NMsmtp.h"
#include "net/NetErrors.h"
#include "support/FakeServer.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"
#include "text/Sjis.h"

#include "MailServers.h"

#include <QDir>
#include <gtest/gtest.h>

using testsupport::SharedCertificates;

namespace {

// aiosmtpd with the test certificate; mode "starttls", "implicit" or empty (no TLS at all).
class TlsSmtpServer
{
public:
    bool Start(const QString& mode, bool noLogin = false)
    {
        const testsupport::TestCertificates* certs = SharedCertificates();
        if (!certs || !m_dir.isValid())
            return false;
        QStringList args{QStringLiteral("--folder"),      m_dir.path() + QStringLiteral("/mail"),
                         QStringLiteral("--user"),        QString::fromLatin1(mailtest::kUser),
                         QStringLiteral("--password"),    QString::fromLatin1(mailtest::kPassword),
                         QStringLiteral("--command-log"), CommandLogPath()};
        if (!mode.isEmpty())
            args << QStringLiteral("--tls-cert") << certs->Good.Certificate << QStringLiteral("--tls-key")
                 << certs->Good.Key << QStringLiteral("--tls-mode") << mode;
        if (noLogin)
            args << QStringLiteral("--no-login");
        return m_process.startPython(QStringLiteral("smtpserver.py"), args);
    }
    quint16 Port() const { return m_process.port(); }
    QString Error() const { return m_process.error(); }
    QString CommandLogPath() const { return m_dir.path() + QStringLiteral("/commands.log"); }
    std::string Commands() const { return testsupport::ReadBytes(CommandLogPath()); }
    size_t MessageCount() const
    {
        return QDir(m_dir.path() + QStringLiteral("/mail")).entryList({QStringLiteral("*.json")}).size();
    }

private:
    QTemporaryDir m_dir;
    testsupport::ServerProcess m_process;
};

class MailTlsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedCertificates(), nullptr) << "openssl could not make the test certificates";
        settings::LoadSettings(m_config, nullptr);
        m_config.MailAddress = "notice@example.jp";
        m_config.SmtpServer = "127.0.0.1";
        m_config.SmtpUser = mailtest::kUser;
        m_config.SmtpPass = mailtest::kPassword;
    }

    testsupport::TempFolder m_home;
    settings::TConfig m_config;
    core::OperationLog m_log;
};

std::string LogText(const core::OperationLog& log)
{
    std::string all;
    for (const core::LogRow& row : log.Rows())
        all += row.Text + "\n";
    return all;
}

} // namespace

TEST_F(MailTlsTest, StartTlsOnBothSendPaths)
{
    TlsSmtpServer server;
    ASSERT_TRUE(server.Start(QStringLiteral("starttls"))) << server.Error().toStdString();
    m_config.SmtpPort = server.Port();
    m_config.SmtpSecurity = net::tlsExplicit;
    mail::TNoticeMailer mailer(m_config, &m_log);
    EXPECT_TRUE(mailer.SendMailPlain(text::Sjis(u8"平文の経路")));
    EXPECT_TRUE(mailer.LastSendEncrypted());
    EXPECT_EQ(mailer.SendMailAuth(text::Sjis(u8"認証の経路")), mail::srSent);
    EXPECT_TRUE(mailer.LastSendEncrypted());
    EXPECT_EQ(server.MessageCount(), 2u);
    // EHLO, STARTTLS, then the introduction again inside TLS; AUTH only there.
    const std::string log = server.Commands();
    EXPECT_TRUE(log.starts_with("EHLO\nSTARTTLS\nHELO\n")) << log;
    const size_t second = log.find("EHLO\nSTARTTLS\nEHLO\nAUTH\n");
    EXPECT_NE(second, std::string::npos) << log;
    EXPECT_EQ(LogText(m_log), "");
}

TEST_F(MailTlsTest, ImplicitTlsOnBothSendPathsAndAuthPlainWhenLoginIsNotOffered)
{
    TlsSmtpServer server;
    ASSERT_TRUE(server.Start(QStringLiteral("implicit"), true)) << server.Error().toStdString();
    m_config.SmtpPort = server.Port();
    m_config.SmtpSecurity = net::tlsImplicit;
    mail::TNoticeMailer mailer(m_config, &m_log);
    EXPECT_TRUE(mailer.SendMailPlain("plain"));
    EXPECT_EQ(mailer.SendMailAuth("auth"), mail::srSent);
    EXPECT_TRUE(mailer.LastSendEncrypted());
    EXPECT_EQ(server.MessageCount(), 2u);
    EXPECT_NE(server.Commands().find("AUTH"), std::string::npos);
}

TEST_F(MailTlsTest, AServerWithoutStartTlsGetsNoMailAndNoLogOn)
{
    TlsSmtpServer server;
    ASSERT_TRUE(server.Start(QString())) << server.Error().toStdString();
    m_config.SmtpPort = server.Port();
    m_config.SmtpSecurity = net::tlsExplicit;
    m_config.MailNotice = 1;
    m_config.SmtpLogon = 1;
    mail::TNoticeMailer mailer(m_config, &m_log);
    EXPECT_EQ(mailer.SendMailAuth("auth"), mail::srSmtpConnectFailed);
    EXPECT_FALSE(mailer.SendMailPlain("plain"));
    EXPECT_EQ(server.MessageCount(), 0u);
    const std::string commands = server.Commands();
    EXPECT_EQ(commands.find("AUTH"), std::string::npos) << commands;
    EXPECT_EQ(commands.find("MAIL"), std::string::npos) << commands;
    EXPECT_EQ(commands, "EHLO\nEHLO\n") << "nothing after the EHLO that lacked STARTTLS, not even QUIT";
    // The notice path: its own failure row, plus the one that says why.
    mailer.SendNoticeMail(mail::nkAddressNotFound, "x");
    const std::string rows = LogText(m_log);
    EXPECT_NE(rows.find(text::Sjis(u8"TLSに対応していない")), std::string::npos) << rows;
    EXPECT_NE(rows.find(text::Sjis(u8"通知ﾒｰﾙの送信に失敗しました。")), std::string::npos) << rows;
    // The test mail says so too.
    const mail::TestMailOutcome outcome = mail::RunTestMail(mailer, m_config, {});
    EXPECT_FALSE(outcome.Sent);
    EXPECT_NE(outcome.Text.find(text::Sjis(u8"TLSに対応していない")), std::string::npos);
}

TEST_F(MailTlsTest, PopBeforeSmtpWithStlsAndWithImplicitTls)
{
    const testsupport::TestCertificates* certs = SharedCertificates();
    QTemporaryDir dir;
    testsupport::ServerProcess pop;
    ASSERT_TRUE(pop.startPython(QStringLiteral("pop3server.py"),
                                {QStringLiteral("--folder"), dir.path(), QStringLiteral("--user"),
                                 QString::fromLatin1(mailtest::kUser), QStringLiteral("--password"),
                                 QString::fromLatin1(mailtest::kPassword), QStringLiteral("--tls-cert"),
                                 certs->Good.Certificate, QStringLiteral("--tls-key"), certs->Good.Key},
                                30000))
        << pop.error().toStdString();
    TlsSmtpServer smtp;
    ASSERT_TRUE(smtp.Start(QStringLiteral("starttls"))) << smtp.Error().toStdString();
    m_config.SmtpPort = smtp.Port();
    m_config.SmtpSecurity = net::tlsExplicit;
    m_config.PopLogon = 1;
    m_config.PopServer = "127.0.0.1";
    m_config.PopUser = mailtest::kUser;
    m_config.PopPass = mailtest::kPassword;
    mail::TNoticeMailer mailer(m_config, &m_log);

    m_config.PopPort = pop.port();
    m_config.PopSecurity = net::tlsExplicit;
    EXPECT_EQ(mailer.SendMailAuth("stls"), mail::srSent);
    EXPECT_TRUE(mailer.LastSendEncrypted());

    m_config.PopPort = pop.value(QStringLiteral("TLSPORT")).toInt();
    m_config.PopSecurity = net::tlsImplicit;
    EXPECT_TRUE(mailer.SendMailPlain("implicit"));
    EXPECT_TRUE(mailer.LastSendEncrypted());
    EXPECT_EQ(smtp.MessageCount(), 2u);
}

TEST(Pop3Tls, AServerThatRefusesStlsNeverSeesTheUserName)
{
    testsupport::FakeServer server({QStringLiteral("S: +OK ready"), QStringLiteral("C: STLS"),
                                    QStringLiteral("S: -ERR no TLS here"), QStringLiteral("AWAIT-CLOSE")});
    net::TNMPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = server.port();
    pop.UserID = "quill";
    pop.Password = "secret";
    pop.TimeOut = 5000;
    pop.Security = net::tlsExplicit;
    std::string why;
    QObject::connect(&pop, &net::TNMPOP3::OnTlsFailure, [&why](const std::string& text) { why = text; });
    EXPECT_THROW(pop.Connect(), net::ProtocolReplyError);
    EXPECT_TRUE(server.Finish());
    EXPECT_FALSE(why.empty());
}

// Someone on the path adds replies to the go-ahead: read after the handshake they would make a whole
// conversation that the server never had (and, for POP3, a log-on that never happened).
TEST_F(MailTlsTest, RepliesInjectedWithTheGoAheadAreNeverTakenForTheServers)
{
    TlsSmtpServer server;
    ASSERT_TRUE(server.Start(QStringLiteral("starttls"))) << server.Error().toStdString();
    testsupport::ServerProcess proxy;
    ASSERT_TRUE(testsupport::StartInjectingProxy(
        proxy, server.Port(),
        QStringLiteral("250-quillmap-test\\n250 AUTH LOGIN PLAIN\\n334 VXNlcm5hbWU6\\n334 UGFzc3dvcmQ6\\n"
                       "235 ok\\n250 ok\\n250 ok\\n250 ok\\n354 go on\\n250 queued")))
        << proxy.error().toStdString();
    m_config.SmtpPort = proxy.port();
    m_config.SmtpSecurity = net::tlsExplicit;
    m_config.MailNotice = 1;
    mail::TNoticeMailer mailer(m_config, &m_log);
    const std::string injected = net::ClearTextBeforeTlsText("127.0.0.1", proxy.port());
    const std::string failed = text::Sjis(u8"通知ﾒｰﾙの送信に失敗しました。");
    for (const int logon : {0, 1}) {
        m_config.SmtpLogon = logon;
        mailer.SendNoticeMail(mail::nkAddressChanged, "changed");
        EXPECT_EQ(mailer.LastTlsFailure(), injected) << "logon " << logon;
    }
    const std::string once = injected + "\n" + failed + "\n";
    EXPECT_EQ(LogText(m_log), once + once);
    EXPECT_EQ(server.MessageCount(), 0u);
    EXPECT_EQ(server.Commands(), "EHLO\nSTARTTLS\nEHLO\nSTARTTLS\n");
}

TEST(Pop3Tls, RepliesInjectedWithTheStlsGoAheadEndTheLogOn)
{
    const testsupport::TestCertificates* certs = SharedCertificates();
    ASSERT_NE(certs, nullptr);
    QTemporaryDir dir;
    testsupport::ServerProcess dovecot;
    ASSERT_TRUE(dovecot.startPython(QStringLiteral("pop3server.py"),
                                    {QStringLiteral("--folder"), dir.path(), QStringLiteral("--user"),
                                     QString::fromLatin1(mailtest::kUser), QStringLiteral("--password"),
                                     QString::fromLatin1(mailtest::kPassword), QStringLiteral("--tls-cert"),
                                     certs->Good.Certificate, QStringLiteral("--tls-key"), certs->Good.Key},
                                    30000))
        << dovecot.error().toStdString();
    testsupport::ServerProcess proxy;
    ASSERT_TRUE(testsupport::StartInjectingProxy(proxy, dovecot.port(),
                                                 QStringLiteral("+OK user\\n+OK logged in\\n+OK 0 0")))
        << proxy.error().toStdString();
    net::TNMPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = proxy.port();
    pop.UserID = mailtest::kUser;
    pop.Password = "not-the-password";
    pop.TimeOut = 15000;
    pop.Security = net::tlsExplicit;
    std::vector<std::string> rows;
    QObject::connect(&pop, &net::TNMPOP3::OnTlsFailure,
                     [&rows](const std::string& text) { rows.push_back(text); });
    EXPECT_THROW(pop.Connect(), net::ESockError);
    EXPECT_FALSE(pop.Connected());
    EXPECT_EQ(rows, std::vector<std::string>{net::ClearTextBeforeTlsText("127.0.0.1", proxy.port())});
}
