// The user's own DNS server: updates signed with a TSIG key against a real BIND 9 named on loopback
// (tests/servers/namedserver.py), the records read back with dig; its refusals, its silence, a stop,
// and the settings that are refused before anything is sent.
#include "ddns/DdnsUpdater.h"
#include "ddns/Rfc2136Settings.h"
#include "settings/ConfigUnit.h"
#include "support/ClosedPort.h"
#include "support/NamedServer.h"
#include "text/Sjis.h"

#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <memory>

using ddns::DdnsResult;
using testsupport::NamedServer;
using text::Sjis;

namespace {

QString RandomSecret()
{
    QByteArray bytes(32, '\0');
    for (char& b : bytes)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(bytes.toBase64());
}

const QString kSecret = RandomSecret();
const QString kOtherSecret = RandomSecret();

class Rfc2136Test : public ::testing::Test
{
protected:
    // One server for all the tests: each test uses host names of its own.
    static void SetUpTestSuite()
    {
        named = std::make_unique<NamedServer>();
        started = named->start(QStringLiteral("home.test"),
                               {{QStringLiteral("hmac-sha256"), QStringLiteral("quillmap-key"), kSecret},
                                {QStringLiteral("hmac-sha512"), QStringLiteral("quillmap-512"), kOtherSecret},
                                {QStringLiteral("hmac-sha1"), QStringLiteral("quillmap-sha1"), kOtherSecret}},
                               {QStringLiteral("locked.test")});
    }
    static void TearDownTestSuite() { named.reset(); }
    void SetUp() override { ASSERT_TRUE(started) << named->error().toStdString(); }

    static settings::TConfig Config(const std::string& hosts, const std::string& server)
    {
        settings::TConfig c;
        c.DdnsUse = 1;
        c.DdnsProvider = "rfc2136";
        c.DdnsHosts = hosts;
        c.DdnsServer = server;
        c.DdnsZone = "home.test";
        c.DdnsKeyName = "quillmap-key";
        c.DdnsToken = kSecret.toStdString();
        c.DdnsRecords = 4;
        return c;
    }
    static settings::TConfig Config(const std::string& hosts)
    {
        return Config(hosts, "127.0.0.1:" + std::to_string(named->port()));
    }

    DdnsResult Run(settings::TConfig& c, const std::string& a, const std::string& aaaa = {})
    {
        ddns::DdnsOptions options;
        options.AddressA = a;
        options.AddressAAAA = aaaa;
        return updater.Run(c, options);
    }

    static QStringList Records(const char* name, const char* type)
    {
        return named->records(QString::fromLatin1(name), QString::fromLatin1(type));
    }

    static inline std::unique_ptr<NamedServer> named;
    static inline bool started = false;
    ddns::DdnsUpdater updater;
};

bool HasLine(const DdnsResult& r, const std::string& part)
{
    for (const std::string& line : r.Lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST_F(Rfc2136Test, SetsTheAAndAaaaRecordsOfEveryHostAndReplacesThemOnTheNextChange)
{
    settings::TConfig c = Config("pc.home.test, NAS.home.test.");
    c.DdnsRecords = 46;
    const DdnsResult first = Run(c, "203.0.113.10", "2001:db8::10");
    EXPECT_TRUE(first.UpToDate) << first.LogText;
    EXPECT_EQ(first.LogKind, 2);
    for (const char* host : {"pc.home.test", "nas.home.test"}) {
        SCOPED_TRACE(host);
        EXPECT_EQ(Records(host, "A"), QStringList{QStringLiteral("203.0.113.10")});
        EXPECT_EQ(Records(host, "AAAA"), QStringList{QStringLiteral("2001:db8::10")});
    }
    EXPECT_EQ(c.DdnsSentA, "203.0.113.10");
    EXPECT_EQ(c.DdnsSentAAAA, "2001:db8::10");

    // The old address goes in the same update that brings the new one: one record, never two.
    const DdnsResult second = Run(c, "203.0.113.11", "2001:db8::10");
    EXPECT_TRUE(second.UpToDate) << second.LogText;
    EXPECT_EQ(Records("pc.home.test", "A"), QStringList{QStringLiteral("203.0.113.11")});
    EXPECT_EQ(Records("nas.home.test", "A"), QStringList{QStringLiteral("203.0.113.11")});
    EXPECT_EQ(Records("pc.home.test", "AAAA"), QStringList{QStringLiteral("2001:db8::10")});
}

TEST_F(Rfc2136Test, KeysOfEveryAlgorithmTheLibrarySignsWithAreAccepted)
{
    const std::pair<const char*, const char*> keys[] = {{"HMAC-SHA512.", "quillmap-512"},
                                                        {"hmac-sha1", "quillmap-sha1"}};
    for (const auto& [algorithm, name] : keys) {
        SCOPED_TRACE(algorithm);
        settings::TConfig c = Config(std::string(name) + ".home.test");
        c.DdnsKeyAlgorithm = algorithm;
        c.DdnsKeyName = name;
        // A secret pasted with a line break inside.
        c.DdnsToken = kOtherSecret.left(20).toStdString() + "\n" + kOtherSecret.mid(20).toStdString();
        EXPECT_TRUE(Run(c, "198.51.100.7").UpToDate) << (c.DdnsStopReason.empty() ? "" : c.DdnsStopReason);
        EXPECT_EQ(Records((std::string(name) + ".home.test").c_str(), "A"),
                  QStringList{QStringLiteral("198.51.100.7")});
    }
}

TEST_F(Rfc2136Test, ARefusalStopsTheUpdatesWithItsCauseUntilTheSettingsChange)
{
    struct Refusal
    {
        const char* cause;
        std::function<void(settings::TConfig&)> change;
        const char* host;
    };
    const Refusal refusals[] = {
        {"NOTAUTH(BADSIG)", [](settings::TConfig& c) { c.DdnsToken = kOtherSecret.toStdString(); },
         "badsig.home.test"},
        {"NOTAUTH(BADKEY)", [](settings::TConfig& c) { c.DdnsKeyName = "nobody-key"; }, "badkey.home.test"},
        {"NOTAUTH(BADKEY)", [](settings::TConfig& c) { c.DdnsKeyAlgorithm = "hmac-sha512"; },
         "badalg.home.test"},
        {"REFUSED",
         [](settings::TConfig& c) {
             c.DdnsZone = "locked.test";
             c.DdnsHosts = "pc.locked.test";
         },
         "pc.locked.test"},
        {"NOTAUTH",
         [](settings::TConfig& c) {
             c.DdnsZone = "elsewhere.test";
             c.DdnsHosts = "pc.elsewhere.test";
         },
         "pc.elsewhere.test"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.host);
        settings::TConfig c = Config(refusal.host);
        refusal.change(c);
        const DdnsResult r = Run(c, "203.0.113.20");
        EXPECT_FALSE(r.UpToDate);
        EXPECT_TRUE(r.StoppedNow);
        EXPECT_EQ(c.DdnsStopped, 1);
        EXPECT_EQ(c.DdnsStopReason.rfind(std::string(refusal.host) + ": " + refusal.cause + " ", 0), 0u)
            << c.DdnsStopReason;
        EXPECT_TRUE(c.DdnsRetryAt.empty());
        EXPECT_TRUE(c.DdnsSentA.empty());
        EXPECT_EQ(r.LogKind, 0);
        EXPECT_TRUE(Records(refusal.host, "A").isEmpty());
        // Stopped: the next run sends nothing.
        EXPECT_FALSE(Run(c, "203.0.113.21").Sent);
    }
    // The secret put right: the update goes through.
    settings::TConfig c = Config("badsig.home.test");
    c.DdnsToken = kOtherSecret.toStdString();
    Run(c, "203.0.113.20");
    c.DdnsToken = kSecret.toStdString();
    EXPECT_TRUE(Run(c, "203.0.113.20").UpToDate);
    EXPECT_EQ(Records("badsig.home.test", "A"), QStringList{QStringLiteral("203.0.113.20")});
}

TEST_F(Rfc2136Test, AServerThatDoesNotAnswerIsTriedAgainLater)
{
    // A UDP port that takes datagrams and never answers, and one where nothing listens.
    QUdpSocket silent;
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 0));
    const std::string servers[] = {"127.0.0.1:" + std::to_string(silent.localPort()),
                                   "127.0.0.1:" + std::to_string(testsupport::ClosedPort())};
    // The time limit is the request's; a short one keeps the test short.
    updater.TimeOutMs = 1500;
    for (const std::string& server : servers) {
        SCOPED_TRACE(server);
        settings::TConfig c = Config("quiet.home.test", server);
        const DdnsResult r = Run(c, "203.0.113.30");
        EXPECT_TRUE(r.Sent);
        EXPECT_FALSE(r.UpToDate);
        EXPECT_FALSE(r.Stopped);
        EXPECT_EQ(c.DdnsStopped, 0);
        EXPECT_EQ(c.DdnsFailures, 1);
        EXPECT_FALSE(c.DdnsRetryAt.empty());
        EXPECT_TRUE(c.DdnsSentA.empty());
        EXPECT_EQ(r.LogKind, 0);
    }
    // The silent port did get the update.
    EXPECT_TRUE(silent.hasPendingDatagrams());
}

TEST_F(Rfc2136Test, StopEndsTheWaitForAnAnswer)
{
    QUdpSocket silent;
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 0));
    settings::TConfig c = Config("stop.home.test", "127.0.0.1:" + std::to_string(silent.localPort()));
    QTimer::singleShot(0, [this] { updater.Stop(); });
    const DdnsResult r = Run(c, "203.0.113.40");
    EXPECT_TRUE(HasLine(r, Sjis(u8"中止しました"))) << (r.Lines.empty() ? "" : r.Lines[0]);
    EXPECT_FALSE(r.Stopped);
    EXPECT_FALSE(c.DdnsRetryAt.empty());
}

TEST(Rfc2136Settings, WhatCannotWorkIsRefusedBeforeAnythingIsSent)
{
    settings::TConfig good;
    good.DdnsProvider = "RFC2136";
    good.DdnsHosts = "pc.home.test";
    good.DdnsServer = "ns.home.test";
    good.DdnsZone = "Home.Test.";
    good.DdnsKeyName = "key";
    good.DdnsToken = "c2VjcmV0LWtleS1ieXRlcw==";
    const std::pair<std::function<void(settings::TConfig&)>, std::u8string> cases[] = {
        {[](settings::TConfig&) {}, u8""},
        {[](settings::TConfig& c) { c.DdnsServer = "[2001:db8::1]:5353"; }, u8""},
        {[](settings::TConfig& c) { c.DdnsServer = "2001:db8::1"; }, u8""},
        {[](settings::TConfig& c) { c.DdnsHosts = "home.test"; }, u8""},
        {[](settings::TConfig& c) { c.DdnsKeyAlgorithm = "HMAC-SHA512."; }, u8""},
        {[](settings::TConfig& c) { c.DdnsServer = " "; }, u8"DNSサーバーが未設定です"},
        {[](settings::TConfig& c) { c.DdnsServer = "ns.home.test:0"; }, u8"」が正しくありません"},
        {[](settings::TConfig& c) { c.DdnsServer = "ns.home.test:"; }, u8"」が正しくありません"},
        {[](settings::TConfig& c) { c.DdnsServer = "[2001:db8::1"; }, u8"」が正しくありません"},
        {[](settings::TConfig& c) { c.DdnsServer = "ns:53:1"; }, u8"」が正しくありません"},
        {[](settings::TConfig& c) { c.DdnsZone = ""; }, u8"DNSのゾーンが未設定です"},
        {[](settings::TConfig& c) { c.DdnsHosts = "pc.myhome.test"; }, u8"「pc.myhome.test」はゾーン"},
        {[](settings::TConfig& c) { c.DdnsHosts = "pc.home.test,www.other.test"; }, u8"「www.other.test」"},
        {[](settings::TConfig& c) { c.DdnsKeyName = "."; }, u8"TSIG鍵の名前が未設定です"},
        {[](settings::TConfig& c) { c.DdnsKeyAlgorithm = "hmac-md4"; }, u8"」は使えません"},
        {[](settings::TConfig& c) { c.DdnsKeyAlgorithm = "hmac-sha384"; }, u8"」にはまだ対応していません"},
        {[](settings::TConfig& c) { c.DdnsToken = ""; }, u8"TSIG鍵の秘密(base64)が未設定です"},
        {[](settings::TConfig& c) { c.DdnsToken = "not base64!"; }, u8"base64として読めません"},
    };
    for (const auto& [change, expected] : cases) {
        settings::TConfig c;
        settings::AssignSettings(c, good);
        change(c);
        SCOPED_TRACE(c.DdnsServer + " | " + c.DdnsHosts + " | " + c.DdnsKeyAlgorithm + " | " + c.DdnsToken);
        const std::string problem = ddns::DdnsSettingsProblem(c);
        if (expected.empty())
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(Sjis(expected)), std::string::npos) << problem;
    }
}

TEST(Rfc2136Settings, TheServerIsAHostOrAnAddressWithAnOptionalPort)
{
    const std::tuple<const char*, const char*, quint16> servers[] = {
        {"ns.home.test", "ns.home.test", 53}, {" 192.0.2.1:5300 ", "192.0.2.1", 5300},
        {"[::1]:5353", "::1", 5353},          {"[fe80::1]", "fe80::1", 53},
        {"2001:db8::53", "2001:db8::53", 53},
    };
    for (const auto& [text, host, port] : servers) {
        QString parsedHost;
        quint16 parsedPort = 0;
        EXPECT_TRUE(ddns::ParseDnsServer(text, parsedHost, parsedPort)) << text;
        EXPECT_EQ(parsedHost.toStdString(), host);
        EXPECT_EQ(parsedPort, port) << text;
    }
}

TEST(Rfc2136Settings, TheOwnServersKeysBelongToItsStateOnly)
{
    settings::TConfig c;
    c.DdnsProvider = "dyndns2";
    const std::string dyndns = ddns::DdnsSettingsKey(c);
    c.DdnsZone = "home.test";
    c.DdnsKeyAlgorithm = "hmac-sha256";
    EXPECT_EQ(ddns::DdnsSettingsKey(c), dyndns) << "what other providers learned is kept";
    c.DdnsProvider = "rfc2136";
    const std::string own = ddns::DdnsSettingsKey(c);
    c.DdnsKeyName = "another-key";
    EXPECT_NE(ddns::DdnsSettingsKey(c), own) << "another key may be refused no more";
}
