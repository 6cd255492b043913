// The dynamic DNS update over HTTPS with the program's certificate rules, the `ddns-update` command
// as a user runs it, and the HTTP answer reader's framing.
#include "ddns/DdnsUpdater.h"
#include "net/HttpClient.h"
#include "settings/ConfigUnit.h"
#include "support/RunProgram.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"
#include "text/Sjis.h"

#include <QFile>
#include <gtest/gtest.h>

using text::Sjis;

namespace {

// Trust as the program keeps it: the settings' trusted certificates, nobody to ask.
class SettingsTrust : public net::TlsTrust
{
public:
    explicit SettingsTrust(const settings::TConfig& config) : m_config(config) {}
    bool IsTrusted(const std::string& host, quint16 port, const std::string& fingerprint) const override
    {
        return settings::IsCertificateTrusted(m_config, host, port, fingerprint);
    }
    bool ConfirmTrust(const net::CertificateInfo&) override { return false; }

private:
    const settings::TConfig& m_config;
};

settings::TConfig Dyndns2Over(const std::string& server)
{
    settings::TConfig c;
    c.DdnsUse = 1;
    c.DdnsProvider = "dyndns2";
    c.DdnsHosts = "home.example.test";
    c.DdnsUser = "user";
    c.DdnsPass = "secret";
    c.DdnsRecords = 4;
    c.DdnsServer = server;
    return c;
}

} // namespace

TEST(DdnsHttps, TheProviderIsReachedOverVerifiedTlsOrNotAtAll)
{
    const testsupport::TestCertificates* certs = testsupport::SharedCertificates();
    ASSERT_NE(certs, nullptr) << testsupport::SharedCertificatesError().toStdString();
    testsupport::ServerProcess good;
    ASSERT_TRUE(good.startPython(
        QStringLiteral("ddns_provider.py"),
        {QStringLiteral("--cert"), certs->Good.Certificate, QStringLiteral("--key"), certs->Good.Key}))
        << good.error().toStdString();
    // "host:port" means HTTPS.
    settings::TConfig c = Dyndns2Over("127.0.0.1:" + good.value(QStringLiteral("HTTPS")).toStdString());
    SettingsTrust trust(c);
    ddns::DdnsUpdater updater;
    updater.SetTrust(&trust, false);
    ddns::DdnsOptions options;
    options.AddressA = "203.0.113.5";
    const ddns::DdnsResult r = updater.Run(c, options);
    ASSERT_EQ(r.Lines.size(), 1u);
    EXPECT_EQ(r.Lines[0], "home.example.test (A): good 203.0.113.5");
    EXPECT_TRUE(r.UpToDate);

    // A certificate nobody vouches for: refused, tried again later, never a stop.
    testsupport::ServerProcess selfSigned;
    ASSERT_TRUE(selfSigned.startPython(QStringLiteral("ddns_provider.py"),
                                       {QStringLiteral("--cert"), certs->SelfSignedA.Certificate,
                                        QStringLiteral("--key"), certs->SelfSignedA.Key}))
        << selfSigned.error().toStdString();
    const std::string port = selfSigned.value(QStringLiteral("HTTPS")).toStdString();
    settings::TConfig d = Dyndns2Over("127.0.0.1:" + port);
    SettingsTrust trustD(d);
    updater.SetTrust(&trustD, false);
    const ddns::DdnsResult refused = updater.Run(d, options);
    EXPECT_FALSE(refused.UpToDate);
    EXPECT_FALSE(refused.Stopped);
    EXPECT_EQ(refused.LogKind, 0);
    EXPECT_NE(refused.LogText.find("127.0.0.1:" + port), std::string::npos) << refused.LogText;
    EXPECT_EQ(selfSigned.httpGet(QStringLiteral("/_control/requests")), QByteArray("0"));

    // Once the user trusts exactly this certificate for this host and port, it goes through.
    d.TrustedCertificates[settings::CertificateKey("127.0.0.1", std::stoi(port))] =
        testsupport::TestCertificates::Fingerprint(certs->SelfSignedA.Certificate);
    d.DdnsRetryAt.clear();
    EXPECT_TRUE(updater.Run(d, options).UpToDate);
    EXPECT_EQ(selfSigned.httpGet(QStringLiteral("/_control/requests")), QByteArray("1"));
}

TEST(DdnsCommand, UpdatesPrintsOneLinePerHostKeepsItsStateAndSaysWhetherAllIsUpToDate)
{
    testsupport::ServerProcess server;
    ASSERT_TRUE(
        server.startPython(QStringLiteral("ddns_provider.py"),
                           {QStringLiteral("--hosts"), QStringLiteral("a.example.test,b.example.test")}))
        << server.error().toStdString();
    testsupport::TempFolder home;
    {
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.DdnsUse = 1;
        c.DdnsProvider = "dyndns2";
        c.DdnsHosts = "a.example.test, b.example.test";
        c.DdnsUser = "user";
        c.DdnsPass = "secret";
        c.DdnsRecords = 4;
        c.DdnsServer = "http://127.0.0.1:" + std::to_string(server.port());
        settings::SaveSettings(c, settings::SaveScope::All);
    }
    const auto run = [&home](const QStringList& args) {
        return testsupport::RunProgram(
            QStringList{QStringLiteral("--home"), home.path(), QStringLiteral("ddns-update")} + args, 60000,
            [](QProcess& p) { p.setStandardInputFile(QProcess::nullDevice()); });
    };
    const testsupport::ProgramResult dry =
        run({QStringLiteral("--dry-run"), QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    EXPECT_EQ(dry.exitCode, 1) << dry.err;
    EXPECT_EQ(dry.out, "a.example.test (A): 送信します 203.0.113.5\nb.example.test (A): 送信します 203.0.113.5\n");
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("0"));

    const testsupport::ProgramResult first =
        run({QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "a.example.test (A): good 203.0.113.5\nb.example.test (A): good 203.0.113.5\n");
    const std::string ini = testsupport::ReadBytes(home.file(QStringLiteral("Quillmap.ini")));
    EXPECT_NE(ini.find("SentA=203.0.113.5\r\n"), std::string::npos);
    EXPECT_EQ(ini.find("secret"), std::string::npos) << "the password is scrambled in the file";

    const testsupport::ProgramResult again =
        run({QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "a.example.test (A): 更新済み 203.0.113.5\nb.example.test (A): 更新済み 203.0.113.5\n");
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("2"));

    // A forced send right after the last one: refused with its reason, nothing sent (the limit is
    // kept in the settings file, across runs of the command).
    const testsupport::ProgramResult forced =
        run({QStringLiteral("--force"), QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    EXPECT_EQ(forced.exitCode, 1);
    EXPECT_NE(forced.out.find("a.example.test (A): 強制送信は同じホストに10分に1回までです。"), std::string::npos)
        << forced.out;
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("2"));

    ASSERT_EQ(server.httpGet(QStringLiteral("/_control/override?status=200&body=badauth")), QByteArray("ok"));
    const testsupport::ProgramResult refused =
        run({QStringLiteral("--address"), QStringLiteral("203.0.113.6")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "a.example.test (A): badauth\nb.example.test (A): 未送信\n");
    const testsupport::ProgramResult stopped =
        run({QStringLiteral("--address"), QStringLiteral("203.0.113.6")});
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_NE(stopped.out.find("停止中"), std::string::npos) << stopped.out;
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("3"));

    EXPECT_EQ(run({QStringLiteral("--address"), QStringLiteral("nonsense")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("extra")}).exitCode, 2);
    // The file holds the host, the user and the answers: its owner's alone.
    EXPECT_EQ(QFile::permissions(home.file(QStringLiteral("Quillmap.ini"))),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

    // A password in clear over the Internet: the settings are refused before anything is sent.
    {
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.DdnsServer = "http://203.0.113.7";
        settings::SaveSettings(c, settings::SaveScope::All);
    }
    const testsupport::ProgramResult clear = run({QStringLiteral("--address"), QStringLiteral("203.0.113.8")});
    EXPECT_EQ(clear.exitCode, 1);
    EXPECT_NE(clear.err.find("http://"), std::string::npos) << clear.err;
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("3"));
}

TEST(DdnsCommand, AaaaRecordsPublishTheMachinesStableIpv6AddressWithTheSuffixOfTheSettings)
{
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("ddns_provider.py"), {})) << server.error().toStdString();
    const QString port6 = server.value(QStringLiteral("HTTP6"));
    if (port6.isEmpty())
        GTEST_SKIP() << "no IPv6 loopback";
    testsupport::TempFolder home;
    {
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.DdnsUse = 1;
        c.DdnsProvider = "dyndns2";
        c.DdnsHosts = "home.example.test";
        c.DdnsUser = "user";
        c.DdnsPass = "secret";
        c.DdnsRecords = 6;
        c.DdnsServer = "http://[::1]:" + port6.toStdString();
        settings::SaveSettings(c, settings::SaveScope::All);
    }
    // A recorded address table stands in for the kernel's: a privacy address, a stable one, a
    // link-local one.
    const auto run = [&home](const char* suffix) {
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.Ipv6Suffix = suffix;
        settings::SaveSettings(c, settings::SaveScope::All);
        return testsupport::RunProgram({QStringLiteral("--home"), home.path(), QStringLiteral("ddns-update")}, 60000,
                                       [](QProcess& p) {
                                           QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                                           env.insert(QStringLiteral("QUILLMAP_IPV6_ADDRESSES"),
                                                      QStringLiteral(QUILLMAP_TESTS_DIR
                                                                     "/fixtures/netinfo/ipv6/stable-privacy.txt"));
                                           p.setProcessEnvironment(env);
                                           p.setStandardInputFile(QProcess::nullDevice());
                                       });
    };
    const testsupport::ProgramResult stable = run("");
    EXPECT_EQ(stable.exitCode, 0) << stable.err;
    EXPECT_EQ(stable.out, "home.example.test (AAAA): good 2001:db8:b0:7:5f1a:8c2e:90b3:d4e7\n");
    const testsupport::ProgramResult suffixed = run("::10");
    EXPECT_EQ(suffixed.exitCode, 0) << suffixed.err;
    EXPECT_EQ(suffixed.out, "home.example.test (AAAA): good 2001:db8:b0:7::10\n");
}

TEST(HttpAnswer, FramingByLengthChunksOrTheEndOfTheConnection)
{
    const auto parse = net::ParseHttpAnswer;
    const net::HttpAnswerParse sized = parse("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngood", false);
    EXPECT_TRUE(sized.Complete);
    EXPECT_EQ(sized.Body, "good");
    EXPECT_FALSE(parse("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ngood", false).Complete);
    EXPECT_FALSE(parse("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ngood", true).Complete);

    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\ngood\r\n6;x=1\r\n 1.2.3\r\n";
    EXPECT_FALSE(parse(chunked, false).Complete);
    const net::HttpAnswerParse whole = parse(chunked + "0\r\n\r\n", false);
    EXPECT_TRUE(whole.Complete);
    EXPECT_EQ(whole.Body, "good 1.2.3");
    EXPECT_EQ(whole.Headers.at("transfer-encoding"), "chunked");

    const net::HttpAnswerParse open = parse("HTTP/1.0 503 Busy\r\n\r\nlater", false);
    EXPECT_EQ(open.Status, 503);
    EXPECT_FALSE(open.Complete);
    EXPECT_TRUE(parse("HTTP/1.0 503 Busy\r\n\r\nlater", true).Complete);

    EXPECT_TRUE(parse("SSH-2.0-OpenSSH\r\n\r\n", false).Bad);
    EXPECT_TRUE(parse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false).Bad);
    EXPECT_TRUE(parse("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false).Bad);
}
