// The dynamic DNS update against a fake provider on loopback addresses (tests/servers/ddns_provider.py)
// that speaks all six providers' interfaces: what each sends, how each answer is judged, and the
// rules around them (stop after a refusal, back-off, refresh, per-host state, forced sends,
// nothing secret in rows or mails).
#include "ddns/DdnsUpdater.h"
#include "ddns/Dyndns2Provider.h"
#include "ddns/HostState.h"
#include "ddns/IeServerProvider.h"
#include "ddns/PlainHttpRule.h"
#include "ddns/SecretMask.h"
#include "settings/ConfigUnit.h"
#include "support/ServerProcess.h"
#include "support/TestCertificates.h"
#include "text/Sjis.h"
#include "text/VB.h"
#include "text/jconvert.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using ddns::DdnsOptions;
using ddns::DdnsResult;
using ddns::DdnsUpdater;
using text::Sjis;

namespace {

constexpr const char* kPass = "pa55-Word!";
constexpr const char* kToken = "tok-7b1e9c";
constexpr const char* kHosts = "home.example.test,home.duckdns.org,home.dip.jp";

struct ProviderCase
{
    const char* provider;
    const char* host;
    const char* path; // of the fake's interface, for [DDNS] TestURL
};

const ProviderCase kProviders[] = {
    {"dyndns2", "home.example.test", ""},           {"mydns", "home.example.test", "/login.html"},
    {"ddo", "home.example.test", "/dnsupdate.php"}, {"ieserver", "home.dip.jp", "/cgi-bin/dip.cgi"},
    {"duckdns", "home.duckdns.org", "/update"},     {"cloudflare", "home.example.test", "/client/v4"},
};

class DdnsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.startPython(QStringLiteral("ddns_provider.py"),
                                       {QStringLiteral("--password"), QString::fromLatin1(kPass),
                                        QStringLiteral("--token"), QString::fromLatin1(kToken),
                                        QStringLiteral("--hosts"), QString::fromLatin1(kHosts)}))
            << server.error().toStdString();
        updater.MinuteMs = 400;
    }

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(server.port()); }

    settings::TConfig Config(const ProviderCase& p) const
    {
        settings::TConfig c;
        c.DdnsUse = 1;
        c.DdnsProvider = p.provider;
        c.DdnsHosts = p.host;
        c.DdnsUser = "user";
        c.DdnsPass = kPass;
        c.DdnsToken = kToken;
        c.DdnsRecords = 4;
        c.DdnsTestURL = Base() + p.path;
        return c;
    }

    DdnsResult Run(settings::TConfig& c, const std::string& a, bool force = false)
    {
        DdnsOptions options;
        options.AddressA = a;
        options.Force = force;
        return updater.Run(c, options);
    }

    int Requests() const { return server.httpGet(QStringLiteral("/_control/requests")).toInt(); }
    QJsonArray RequestLog() const
    {
        return QJsonDocument::fromJson(server.httpGet(QStringLiteral("/_control/log"))).array();
    }
    QJsonObject Records() const
    {
        return QJsonDocument::fromJson(server.httpGet(QStringLiteral("/_control/records"))).object();
    }
    void Override(const QString& query) const
    {
        ASSERT_EQ(server.httpGet(QStringLiteral("/_control/override") + query), QByteArray("ok"));
    }

    testsupport::ServerProcess server;
    DdnsUpdater updater;
};

// Whether a text (row, line, mail, reason) gives away a secret.
void ExpectNoSecret(const std::string& text)
{
    EXPECT_EQ(text.find(kPass), std::string::npos) << text;
    EXPECT_EQ(text.find(kToken), std::string::npos) << text;
    EXPECT_EQ(text.find("pa55-Word%21"), std::string::npos) << text;
}

void ExpectNoSecret(const DdnsResult& r, const settings::TConfig& c)
{
    ExpectNoSecret(r.LogText);
    ExpectNoSecret(r.MailLine);
    ExpectNoSecret(c.DdnsStopReason);
    for (const std::string& line : r.Lines)
        ExpectNoSecret(line);
}

} // namespace

TEST_F(DdnsTest, EveryProviderPublishesTheAddressOnceAndThenLeavesTheRecordAlone)
{
    for (const ProviderCase& p : kProviders) {
        SCOPED_TRACE(p.provider);
        settings::TConfig c = Config(p);
        // A loopback address of this machine: MyDNS and ieServer take the caller's address, so the
        // request must leave from it.
        const std::string address = "127.0.0.8";
        const int before = Requests();
        const DdnsResult first = Run(c, address);
        EXPECT_TRUE(first.UpToDate);
        EXPECT_TRUE(first.Sent);
        EXPECT_FALSE(first.Stopped);
        EXPECT_EQ(first.LogKind, 2);
        EXPECT_NE(first.LogText.find("127.0.0.8"), std::string::npos) << first.LogText;
        EXPECT_EQ(Records().value(QString::fromLatin1(p.host) + QStringLiteral("/A")).toString(),
                  QStringLiteral("127.0.0.8"));
        EXPECT_EQ(c.DdnsSentA, address);
        EXPECT_FALSE(c.DdnsUpdated.empty());
        ASSERT_FALSE(first.Lines.empty());
        EXPECT_EQ(first.Lines[0].rfind(std::string(p.host) + " (A): ", 0), 0u) << first.Lines[0];
        ExpectNoSecret(first, c);

        const int afterFirst = Requests();
        EXPECT_GT(afterFirst, before);
        const DdnsResult second = Run(c, address);
        EXPECT_TRUE(second.UpToDate);
        EXPECT_FALSE(second.Sent);
        EXPECT_TRUE(second.LogText.empty()) << "no row when nothing was sent";
        EXPECT_EQ(Requests(), afterFirst);
    }
}

TEST_F(DdnsTest, RequestsNameQuillmapAndCarryTheCredentialsTheProviderWants)
{
    settings::TConfig dyndns = Config(kProviders[0]);
    Run(dyndns, "203.0.113.5");
    // Another address: the fake keeps one set of records for all providers.
    settings::TConfig cloudflare = Config(kProviders[5]);
    Run(cloudflare, "203.0.113.9");
    const QJsonArray log = RequestLog();

    const QJsonObject update = log[0].toObject();
    EXPECT_EQ(update.value("path").toString(),
              QStringLiteral("/nic/update?hostname=home.example.test&myip=203.0.113.5"));
    const QJsonObject headers = update.value("headers").toObject();
    EXPECT_EQ(headers.value("User-Agent").toString(),
              QStringLiteral("Quillmap/1.43 (+https://github.com/quillmap/quillmap)"));
    EXPECT_EQ(headers.value("Authorization").toString(),
              QStringLiteral("Basic ") + QString::fromLatin1(QByteArray("user:pa55-Word!").toBase64()));
    // Cloudflare: the zone by name (the host itself first, then its parent), the records, the
    // change of the content.
    ASSERT_EQ(log.size(), 5);
    EXPECT_EQ(log[1].toObject().value("path").toString(),
              QStringLiteral("/client/v4/zones?name=home.example.test"));
    EXPECT_EQ(log[2].toObject().value("path").toString(),
              QStringLiteral("/client/v4/zones?name=example.test"));
    EXPECT_EQ(log[1].toObject().value("headers").toObject().value("Authorization").toString(),
              QStringLiteral("Bearer ") + QString::fromLatin1(kToken));
    EXPECT_EQ(
        log[3].toObject().value("path").toString(),
        QStringLiteral(
            "/client/v4/zones/zone-example.test/dns_records?type=A&name=home.example.test&per_page=100"));
    EXPECT_EQ(log[4].toObject().value("method").toString(), QStringLiteral("PATCH"));
    EXPECT_EQ(log[4].toObject().value("body").toString(), QStringLiteral("{\"content\":\"203.0.113.9\"}"));
}

TEST_F(DdnsTest, AnAnswerThatTheRecordHeldTheAddressAlreadyCountsAsDone)
{
    settings::TConfig c = Config(kProviders[0]);
    Run(c, "203.0.113.5");
    // The state is lost (another copy of the settings): the provider says nochg.
    settings::TConfig fresh = Config(kProviders[0]);
    const DdnsResult r = Run(fresh, "203.0.113.5");
    EXPECT_TRUE(r.UpToDate);
    EXPECT_EQ(fresh.DdnsSentA, "203.0.113.5");
    ASSERT_EQ(r.Lines.size(), 1u);
    EXPECT_EQ(r.Lines[0], "home.example.test (A): nochg 203.0.113.5");
    EXPECT_EQ(r.LogKind, 2);
    // The mail keeps the full-width form, the row gets the half-width one.
    EXPECT_EQ(r.MailLine, Sjis(u8"DDNSは更新済みでした(home.example.test A 203.0.113.5)。"));
    EXPECT_EQ(r.LogText, text::StrConvMap(r.MailLine, text::kMapHalfWidth));
    EXPECT_EQ(r.LogText.back(), '\xA1');

    settings::TConfig duck = Config(kProviders[4]);
    Run(duck, "203.0.113.5");
    settings::TConfig duckFresh = Config(kProviders[4]);
    EXPECT_TRUE(Run(duckFresh, "203.0.113.5").UpToDate);
    settings::TConfig cf = Config(kProviders[5]);
    Run(cf, "203.0.113.5");
    settings::TConfig cfFresh = Config(kProviders[5]);
    const DdnsResult cfAgain = Run(cfFresh, "203.0.113.5");
    EXPECT_TRUE(cfAgain.UpToDate);
    EXPECT_EQ(cfAgain.Lines[0], "home.example.test (A): nochg 203.0.113.5");
}

// Each refusal: the updates stop with one row of kind 0, the provider sees exactly one request, and
// nothing more goes out (not even a forced run) until the DDNS settings change.
TEST_F(DdnsTest, EveryRefusalStopsTheUpdatesAfterOneRequestUntilTheSettingsChange)
{
    struct Refusal
    {
        const char* name;
        ProviderCase provider;
        std::function<void(settings::TConfig&)> spoil;
        QString override; // a scripted answer instead, for what the fake does not say by itself
    };
    const auto wrongPass = [](settings::TConfig& c) { c.DdnsPass = "wrong"; };
    const auto wrongToken = [](settings::TConfig& c) { c.DdnsToken = "wrong"; };
    const std::vector<Refusal> refusals = {
        {"badauth", kProviders[0], wrongPass, {}},
        {"nohost", kProviders[0], [](settings::TConfig& c) { c.DdnsHosts = "other.example.test"; }, {}},
        {"notfqdn", kProviders[0], [](settings::TConfig& c) { c.DdnsHosts = "home"; }, {}},
        {"abuse", kProviders[0], {}, QStringLiteral("?status=200&body=abuse")},
        {"badagent", kProviders[0], {}, QStringLiteral("?status=200&body=badagent")},
        {"ignored", kProviders[0], {}, QStringLiteral("?status=200&body=good%20127.0.0.1")},
        {"http401", kProviders[0], {}, QStringLiteral("?status=401&body=Unauthorized")},
        {"mydns200WithoutSuccess", kProviders[1], wrongPass, {}},
        {"mydns401", kProviders[1], {}, QStringLiteral("?status=401&body=Unauthorized")},
        {"ddo", kProviders[2], wrongPass, {}},
        {"ieserver", kProviders[3], wrongPass, {}},
        {"duckdnsKO", kProviders[4], wrongToken, {}},
        {"cloudflare403", kProviders[5], wrongToken, {}},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        Override(refusal.override);
        settings::TConfig c = Config(refusal.provider);
        if (refusal.spoil)
            refusal.spoil(c);
        const int before = Requests();
        const DdnsResult r = Run(c, "127.0.0.8");
        EXPECT_TRUE(r.StoppedNow);
        EXPECT_TRUE(r.Stopped);
        EXPECT_FALSE(r.UpToDate);
        EXPECT_EQ(r.LogKind, 0);
        EXPECT_NE(r.LogText.find("DDNS"), std::string::npos);
        EXPECT_FALSE(r.MailLine.empty());
        EXPECT_EQ(c.DdnsStopped, 1);
        EXPECT_FALSE(c.DdnsStopReason.empty());
        EXPECT_EQ(Requests(), before + 1) << "exactly one request";
        ExpectNoSecret(r, c);

        // No retry storm: neither the next check, nor a forced run, nor a month later.
        const DdnsResult again = Run(c, "127.0.0.9", true);
        updater.Now = [] { return QDateTime::currentDateTimeUtc().addDays(40); };
        const DdnsResult later = Run(c, "127.0.0.9");
        updater.Now = [] { return QDateTime::currentDateTimeUtc(); };
        EXPECT_TRUE(again.Stopped);
        EXPECT_FALSE(again.StoppedNow);
        EXPECT_TRUE(again.LogText.empty()) << "one row, not one per check";
        EXPECT_TRUE(later.Stopped);
        EXPECT_EQ(Requests(), before + 1);

        // The user mends the settings: updates go out again.
        Override({});
        settings::TConfig mended = Config(refusal.provider);
        mended.DdnsStateOf = c.DdnsStateOf;
        mended.DdnsStopped = c.DdnsStopped;
        mended.DdnsStopReason = c.DdnsStopReason;
        const DdnsResult resumed = Run(mended, "127.0.0.8");
        if (refusal.spoil) {
            EXPECT_TRUE(resumed.UpToDate) << (resumed.Lines.empty() ? "" : resumed.Lines[0]);
            EXPECT_EQ(mended.DdnsStopped, 0);
        } else {
            // Same settings as the refused ones: still stopped.
            EXPECT_TRUE(resumed.Stopped);
        }
    }
}

// The back-off on the updater's clock (a minute is 400 ms of it): 5 minutes, doubling to an hour;
// ieServer starts at 10; 911 waits half an hour whatever the back-off would allow.
TEST_F(DdnsTest, ProviderTroubleBacksOffFromFiveMinutesToAnHourAnd911WaitsHalfAnHour)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    const auto minutes = [&start](double m) { return start.addMSecs(static_cast<qint64>(m * 400)); };
    settings::TConfig c = Config(kProviders[0]);
    Override(QStringLiteral("?status=503&body=busy"));
    const DdnsResult first = Run(c, "203.0.113.5");
    EXPECT_FALSE(first.Stopped);
    EXPECT_FALSE(first.UpToDate);
    EXPECT_EQ(first.LogKind, 0);
    EXPECT_NE(first.LogText.find("503"), std::string::npos) << first.LogText;
    EXPECT_EQ(c.DdnsFailures, 1);
    EXPECT_EQ(Requests(), 1);
    // Each failure waits twice as long as the one before, up to an hour: 5, 10, 20, 40, 60, 60.
    double at = 0;
    int requests = 1;
    for (const double wait : {5.0, 10.0, 20.0, 40.0, 60.0, 60.0}) {
        SCOPED_TRACE(wait);
        now = minutes(at + wait - 0.1);
        const DdnsResult waiting = Run(c, "203.0.113.5");
        EXPECT_FALSE(waiting.Sent);
        EXPECT_TRUE(waiting.LogText.empty());
        EXPECT_EQ(Requests(), requests);
        at += wait;
        now = minutes(at);
        Run(c, "203.0.113.5");
        EXPECT_EQ(Requests(), ++requests);
    }
    Override({});
    now = minutes(at + 60);
    EXPECT_TRUE(Run(c, "203.0.113.5").UpToDate);
    EXPECT_EQ(c.DdnsFailures, 0);
    EXPECT_TRUE(c.DdnsRetryAt.empty());

    // 911: not before 30 minutes.
    const QDateTime trouble = now;
    Override(QStringLiteral("?status=200&body=911"));
    EXPECT_FALSE(Run(c, "203.0.113.6").Stopped);
    const int after911 = Requests();
    now = trouble.addMSecs(29 * 400);
    Run(c, "203.0.113.6");
    EXPECT_EQ(Requests(), after911);
    now = trouble.addMSecs(30 * 400 + 1);
    Override({});
    EXPECT_TRUE(Run(c, "203.0.113.6").UpToDate);
    EXPECT_EQ(Requests(), after911 + 1);

    // ieServer asks for ten minutes between tries.
    settings::TConfig ie = Config(kProviders[3]);
    Override(QStringLiteral("?status=503&body=busy"));
    const QDateTime ieStart = now;
    Run(ie, "127.0.0.8");
    const int afterIe = Requests();
    now = ieStart.addMSecs(9 * 400);
    Run(ie, "127.0.0.8");
    EXPECT_EQ(Requests(), afterIe);
    now = ieStart.addMSecs(10 * 400);
    Run(ie, "127.0.0.8");
    EXPECT_EQ(Requests(), afterIe + 1);
}

TEST_F(DdnsTest, ADroppedConnectionIsAFailureForNowNotARefusal)
{
    settings::TConfig c = Config(kProviders[0]);
    Override(QStringLiteral("?drop=1"));
    const DdnsResult r = Run(c, "203.0.113.5");
    EXPECT_FALSE(r.Stopped);
    EXPECT_FALSE(r.UpToDate);
    EXPECT_EQ(r.LogKind, 0);
    EXPECT_NE(r.LogText.find(text::StrConvMap(Sjis(u8"接続が切れました"), text::kMapHalfWidth)),
              std::string::npos)
        << r.LogText;
    EXPECT_FALSE(c.DdnsRetryAt.empty());
    EXPECT_TRUE(c.DdnsSentA.empty());
}

TEST_F(DdnsTest, AStopEndsTheWaitAndSendsNothingMore)
{
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsHosts = "home.example.test, second.example.test";
    Override(QStringLiteral("?hang=1"));
    QTimer::singleShot(300, [this] { updater.Stop(); });
    QElapsedTimer elapsed;
    elapsed.start();
    const DdnsResult r = Run(c, "203.0.113.5");
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_FALSE(r.Stopped) << "a stop of the program is no refusal";
    EXPECT_FALSE(r.UpToDate);
    EXPECT_EQ(r.LogKind, 0);
    EXPECT_EQ(Requests(), 1) << "the second host was not asked";
    // The next run sends again (after its back-off).
    c.DdnsRetryAt.clear();
    Override({});
    EXPECT_TRUE(Run(c, "203.0.113.5").Sent);
}

TEST_F(DdnsTest, AnswersThatEchoTheSecretsAreMasked)
{
    settings::TConfig c = Config(kProviders[0]);
    Override(QStringLiteral("?status=200&body=badauth%20user%3Apa55-Word!%20tok-7b1e9c%20pa55-Word%2521"));
    const DdnsResult r = Run(c, "203.0.113.5");
    EXPECT_TRUE(r.StoppedNow);
    ExpectNoSecret(r, c);
    EXPECT_NE(r.LogText.find("****"), std::string::npos) << r.LogText;

    // The basic authorization echoed, the password across the 120-byte cut of the row, the
    // percent-encoded form: masked before the row is cut and the stop reason kept.
    const std::string basic = QByteArray("user:pa55-Word!").toBase64().toStdString();
    for (const std::string& echo :
         {"badauth Authorization: Basic " + basic, "badauth " + std::string(106, 'x') + " pa55-Word!",
          std::string("badauth pa55-Word%21")}) {
        SCOPED_TRACE(echo);
        settings::TConfig d = Config(kProviders[0]);
        Override(QStringLiteral("?status=200&body=") +
                 QString::fromLatin1(QByteArray::fromStdString(echo).toPercentEncoding()));
        const DdnsResult echoed = Run(d, "203.0.113.5");
        ExpectNoSecret(echoed, d);
        EXPECT_EQ(echoed.LogText.find(basic.substr(0, 12)), std::string::npos) << echoed.LogText;
        EXPECT_EQ(d.DdnsStopReason.find("pa55"), std::string::npos) << d.DdnsStopReason;
        EXPECT_EQ(echoed.LogText.find("pa55"), std::string::npos) << echoed.LogText;
    }
}

TEST(SecretMask, EveryFormOfThePasswordAndTheTokenIsMasked)
{
    settings::TConfig c;
    c.DdnsUser = "user";
    c.DdnsPass = "p w/Z";
    c.DdnsToken = "t0k:en";
    const std::string basic = QByteArray("user:p w/Z").toBase64().toStdString();
    const std::string token64 = QByteArray("t0k:en").toBase64(QByteArray::OmitTrailingEquals).toStdString();
    EXPECT_EQ(ddns::MaskSecrets("a p w/Z b", c), "a **** b");
    EXPECT_EQ(ddns::MaskSecrets("p%20w%2FZ p+w%2fZ p%20w/%5A", c), "**** **** ****");
    EXPECT_EQ(ddns::MaskSecrets("Basic " + basic, c).find(basic.substr(0, 8)), std::string::npos);
    EXPECT_EQ(ddns::MaskSecrets("x" + token64 + "y t0k%3Aen", c), "x****y ****");
    // Another text stays as it is.
    EXPECT_EQ(ddns::MaskSecrets("p w/Y t0k:e", c), "p w/Y t0k:e");
}

TEST_F(DdnsTest, RecordsAreRefreshedAfter25DaysEvenWithoutAChange)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    settings::TConfig c = Config(kProviders[0]);
    Run(c, "203.0.113.5");
    EXPECT_EQ(Requests(), 1);
    now = start.addDays(24);
    EXPECT_TRUE(Run(c, "203.0.113.5").UpToDate);
    EXPECT_EQ(Requests(), 1);
    now = start.addDays(25).addSecs(1);
    const DdnsResult refreshed = Run(c, "203.0.113.5");
    EXPECT_TRUE(refreshed.Sent);
    EXPECT_TRUE(refreshed.UpToDate);
    EXPECT_EQ(Requests(), 2);
    EXPECT_EQ(c.DdnsUpdated, now.toString(Qt::ISODateWithMs).toStdString());
}

TEST_F(DdnsTest, MyDnsRequestsLeaveFromThePublishedAddressOnBothFamilies)
{
    settings::TConfig c = Config(kProviders[1]);
    Run(c, "127.0.0.23");
    QJsonArray log = RequestLog();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].toObject().value("peer").toString(), QStringLiteral("127.0.0.23"));

    const QString port6 = server.value(QStringLiteral("HTTP6"));
    if (port6.isEmpty())
        GTEST_SKIP() << "no IPv6 loopback";
    c.DdnsRecords = 46;
    c.DdnsTestURL = Base() + "/login.html,http://[::1]:" + port6.toStdString() + "/login.html";
    DdnsOptions options;
    options.AddressA = "127.0.0.24";
    options.AddressAAAA = "::1";
    const DdnsResult r = updater.Run(c, options);
    EXPECT_TRUE(r.UpToDate) << (r.Lines.empty() ? "" : r.Lines.back());
    log = RequestLog();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[1].toObject().value("peer").toString(), QStringLiteral("127.0.0.24"));
    EXPECT_EQ(log[2].toObject().value("peer").toString(), QStringLiteral("::1"));
    EXPECT_EQ(Records().value("home.example.test/AAAA").toString(), QStringLiteral("::1"));
    EXPECT_EQ(c.DdnsSentAAAA, "::1");
}

TEST_F(DdnsTest, DyndnsAndDuckDnsPublishAaaaRecordsOverIpv6Loopback)
{
    const QString port6 = server.value(QStringLiteral("HTTP6"));
    if (port6.isEmpty())
        GTEST_SKIP() << "no IPv6 loopback";
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsRecords = 6;
    c.DdnsTestURL = "http://[::1]:" + port6.toStdString();
    DdnsOptions options;
    options.AddressAAAA = "2001:db8::5";
    EXPECT_TRUE(updater.Run(c, options).UpToDate);
    settings::TConfig duck = Config(kProviders[4]);
    duck.DdnsRecords = 6;
    duck.DdnsTestURL = "http://[::1]:" + port6.toStdString() + "/update";
    options.AddressAAAA = "2001:db8::6";
    EXPECT_TRUE(updater.Run(duck, options).UpToDate);
    const QJsonObject records = Records();
    EXPECT_EQ(records.value("home.example.test/AAAA").toString(), QStringLiteral("2001:db8::5"));
    EXPECT_EQ(records.value("home.duckdns.org/AAAA").toString(), QStringLiteral("2001:db8::6"));
    for (const QJsonValue request : RequestLog())
        EXPECT_EQ(request.toObject().value("peer").toString(), QStringLiteral("::1"));
}

TEST_F(DdnsTest, AaaaWithoutAnAddressIsNotUpToDateAndSendsNothing)
{
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsRecords = 46;
    const DdnsResult r = Run(c, "203.0.113.5");
    EXPECT_FALSE(r.UpToDate);
    EXPECT_EQ(c.DdnsSentA, "203.0.113.5");
    EXPECT_EQ(Requests(), 1);
    ASSERT_EQ(r.Lines.size(), 2u);
    EXPECT_EQ(r.Lines[0], "home.example.test (AAAA): " + Sjis(u8"公開するアドレスがありません"));
    EXPECT_EQ(r.Lines[1], "home.example.test (A): good 203.0.113.5");
}

TEST(IeServerAnswer, EucJpPagesAreReadThroughTheCodeConversions)
{
    const std::string refusal = mail::ConvertJapaneseCode(
        Sjis(u8"<html><body><p>ユーザー名またはパスワードが違います。</p></body></html>"), mail::jcEuc);
    ASSERT_NE(refusal, Sjis(u8"<html><body><p>ユーザー名またはパスワードが違います。</p></body></html>"));
    const ddns::HostResult refused = ddns::JudgeIeServerAnswer("home.dip.jp", refusal, "203.0.113.5");
    EXPECT_EQ(refused.Outcome, ddns::Verdict::Fatal);
    EXPECT_EQ(refused.Answer, Sjis(u8"ユーザー名またはパスワードが違います。"));

    const std::string done = mail::ConvertJapaneseCode(
        Sjis(u8"<p>home.dip.jp のIPアドレスを 203.0.113.5 に更新しました。</p>"), mail::jcEuc);
    EXPECT_EQ(ddns::JudgeIeServerAnswer("home.dip.jp", done, "203.0.113.5").Outcome, ddns::Verdict::Good);
    // Another address shown is no success for this one (203.0.113.50 is not 203.0.113.5).
    const std::string other =
        mail::ConvertJapaneseCode(Sjis(u8"<p>203.0.113.50 に更新しました。</p>"), mail::jcEuc);
    EXPECT_EQ(ddns::JudgeIeServerAnswer("home.dip.jp", other, "203.0.113.5").Outcome, ddns::Verdict::Retry);
}

TEST(DdnsSettings, IncompleteSettingsStopWithTheirReasonAndSendNothing)
{
    settings::TConfig c;
    c.DdnsUse = 1;
    c.DdnsProvider = "ieserver";
    c.DdnsHosts = "home.dip.jp";
    c.DdnsPass = "x";
    c.DdnsRecords = 46;
    DdnsUpdater updater;
    DdnsOptions options;
    options.AddressA = "203.0.113.5";
    const DdnsResult r = updater.Run(c, options);
    EXPECT_TRUE(r.StoppedNow);
    EXPECT_EQ(c.DdnsStopReason, Sjis(u8"このプロバイダはAAAAレコードの更新に対応していません"));
    EXPECT_FALSE(r.Sent);

    c.DdnsProvider = "nosuch";
    EXPECT_NE(ddns::DdnsSettingsProblem(c).find("nosuch"), std::string::npos);
    c.DdnsProvider = "dyndns2";
    c.DdnsUser = "u";
    c.DdnsRecords = 4;
    EXPECT_EQ(ddns::DdnsSettingsProblem(c), Sjis(u8"DDNSサーバーが未設定です"));
    c.DdnsServer = "members.example.test";
    EXPECT_EQ(ddns::DdnsSettingsProblem(c), "");
    c.DdnsHosts = " , ";
    EXPECT_EQ(ddns::DdnsSettingsProblem(c), Sjis(u8"DDNSのホスト名が未設定です"));
}

// Records=46 with the generic protocol: one request per host with both addresses, so a server that
// replaces the whole record set per update (the fake does, as deSEC documents) keeps both.
TEST_F(DdnsTest, DyndnsSendsBothAddressesOfAHostInOneRequest)
{
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsRecords = 46;
    DdnsOptions options;
    options.AddressA = "203.0.113.5";
    options.AddressAAAA = "2001:db8::5";
    const DdnsResult r = updater.Run(c, options);
    EXPECT_TRUE(r.UpToDate) << (r.Lines.empty() ? "" : r.Lines[0]);
    const QJsonArray log = RequestLog();
    ASSERT_EQ(log.size(), 1);
    const auto decoded = [](const QJsonValue& request) {
        return QUrl::fromPercentEncoding(request.toObject().value("path").toString().toLatin1());
    };
    EXPECT_EQ(decoded(log[0]),
              QStringLiteral("/nic/update?hostname=home.example.test&myip=203.0.113.5,2001:db8::5"));
    const QJsonObject records = Records();
    EXPECT_EQ(records.value("home.example.test/A").toString(), QStringLiteral("203.0.113.5"));
    EXPECT_EQ(records.value("home.example.test/AAAA").toString(), QStringLiteral("2001:db8::5"));
    EXPECT_EQ(c.DdnsSentA, "203.0.113.5");
    EXPECT_EQ(c.DdnsSentAAAA, "2001:db8::5");
    // Only the IPv6 address changes: both go again, or the A record would be dropped.
    options.AddressAAAA = "2001:db8::6";
    EXPECT_TRUE(updater.Run(c, options).UpToDate);
    EXPECT_EQ(decoded(RequestLog()[1]),
              QStringLiteral("/nic/update?hostname=home.example.test&myip=203.0.113.5,2001:db8::6"));
    EXPECT_EQ(Records().value("home.example.test/A").toString(), QStringLiteral("203.0.113.5"));
}

// An answer counts only when it confirms the address that was sent.
TEST_F(DdnsTest, AnAnswerForAnotherAddressIsAFailureNotASuccess)
{
    struct Case
    {
        const char* name;
        ProviderCase provider;
        QString override;
    };
    const std::vector<Case> cases = {
        {"dyndns2 good", kProviders[0], QStringLiteral("?status=200&body=good%20198.51.100.7")},
        {"dyndns2 nochg", kProviders[0], QStringLiteral("?status=200&body=nochg%20198.51.100.7")},
        {"duckdns", kProviders[4], QStringLiteral("?status=200&body=OK%0A198.51.100.7%0A%0AUPDATED")},
        {"ddo", kProviders[2],
         QStringLiteral("?status=200&body=SUCCESS%3A%20home.example.test%20198.51.100.7")},
        {"ieserver no address", kProviders[3], QStringLiteral("?status=200&body=%3Chtml%3Eok%3C%2Fhtml%3E")},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Override(k.override);
        settings::TConfig c = Config(k.provider);
        const DdnsResult r = Run(c, "127.0.0.8");
        EXPECT_FALSE(r.UpToDate);
        EXPECT_FALSE(r.Stopped);
        EXPECT_EQ(r.LogKind, 0);
        EXPECT_TRUE(c.DdnsSentA.empty());
        EXPECT_FALSE(c.DdnsRetryAt.empty()) << "tried again later";
    }
}

// What the rows show: the providers' own texts, decoded from EUC-JP where they answer in it.
TEST_F(DdnsTest, RowsShowTheProvidersOwnAnswersDecoded)
{
    settings::TConfig mydns = Config(kProviders[1]);
    const DdnsResult done = Run(mydns, "127.0.0.8");
    ASSERT_EQ(done.Lines.size(), 1u);
    EXPECT_EQ(done.Lines[0], "home.example.test (A): Login and IP address notify OK. 127.0.0.8");

    settings::TConfig ddo = Config(kProviders[2]);
    ddo.DdnsPass = "wrong";
    const DdnsResult refused = Run(ddo, "127.0.0.8");
    ASSERT_EQ(refused.Lines.size(), 1u);
    EXPECT_EQ(refused.Lines[0],
              "home.example.test (A): FAILURE: " + Sjis(u8"ドメイン名またはパスワードが違います"));

    // ieServer's refusal page shows the caller's address too: still a refusal.
    settings::TConfig ie = Config(kProviders[3]);
    ie.DdnsPass = "wrong";
    const DdnsResult ieRefused = Run(ie, "127.0.0.8");
    EXPECT_TRUE(ieRefused.StoppedNow);
    EXPECT_NE(ieRefused.Lines[0].find(Sjis(u8"ユーザー名またはパスワードが違います")), std::string::npos);
    EXPECT_NE(ieRefused.Lines[0].find("127.0.0.8"), std::string::npos) << ieRefused.Lines[0];
}

// A retry after one host failed sends only what is not confirmed yet.
TEST_F(DdnsTest, ARetrySendsOnlyTheHostsThatFailed)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsHosts = "home.example.test, home.duckdns.org, home.dip.jp";
    Override(QStringLiteral("?status=200&body=911&host=home.duckdns.org"));
    const DdnsResult first = Run(c, "203.0.113.5");
    EXPECT_FALSE(first.UpToDate);
    ASSERT_EQ(first.Lines.size(), 3u);
    EXPECT_EQ(first.Lines[1], "home.duckdns.org (A): 911");
    EXPECT_EQ(first.Lines[2], "home.dip.jp (A): " + Sjis(u8"未送信"));
    EXPECT_EQ(Requests(), 2);
    EXPECT_TRUE(c.DdnsSentA.empty()) << "not every host holds it";

    Override({});
    now = start.addMSecs(31 * 400);
    const DdnsResult retry = Run(c, "203.0.113.5");
    EXPECT_TRUE(retry.UpToDate);
    ASSERT_EQ(retry.Lines.size(), 3u);
    EXPECT_EQ(retry.Lines[0], "home.example.test (A): " + Sjis(u8"更新済み 203.0.113.5"));
    const QJsonArray log = RequestLog();
    ASSERT_EQ(log.size(), 4);
    EXPECT_NE(log[2].toObject().value("path").toString().indexOf(QLatin1String("hostname=home.duckdns.org")),
              -1);
    EXPECT_NE(log[3].toObject().value("path").toString().indexOf(QLatin1String("hostname=home.dip.jp")), -1);
    EXPECT_EQ(c.DdnsSentA, "203.0.113.5");
}

// A forced send (the dialog's test, --force) goes to a host at most once in ten minutes.
TEST_F(DdnsTest, ForcedSendsToAHostAreLimitedToOneInTenMinutes)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    settings::TConfig c = Config(kProviders[0]);
    EXPECT_TRUE(Run(c, "203.0.113.5", true).UpToDate);
    now = start.addSecs(9 * 60);
    const DdnsResult refused = Run(c, "203.0.113.5", true);
    EXPECT_FALSE(refused.UpToDate);
    EXPECT_FALSE(refused.Sent);
    ASSERT_EQ(refused.Lines.size(), 1u);
    EXPECT_NE(refused.Lines[0].find(Sjis(u8"10分に1回まで")), std::string::npos) << refused.Lines[0];
    EXPECT_EQ(Requests(), 1);
    // Without force nothing is due, and that is no refusal.
    EXPECT_TRUE(Run(c, "203.0.113.5").UpToDate);
    now = start.addSecs(10 * 60);
    EXPECT_TRUE(Run(c, "203.0.113.5", true).Sent);
    EXPECT_EQ(Requests(), 2);

    // The dialog's test runs on a copy of the settings: its sends count for the live ones.
    settings::TConfig live = Config(kProviders[0]);
    ddns::KeepTriedTimes(c, live);
    now = start.addSecs(15 * 60);
    EXPECT_FALSE(Run(live, "203.0.113.5", true).Sent);
}

// MyDNS forgets a record about a week after the last notice: it is confirmed daily, the generic
// protocol every 25 days (more often is abuse there).
TEST_F(DdnsTest, EachProviderRefreshesOnItsOwnSchedule)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    settings::TConfig mydns = Config(kProviders[1]);
    settings::TConfig dyndns = Config(kProviders[0]);
    Run(mydns, "127.0.0.8");
    Run(dyndns, "127.0.0.8");
    EXPECT_EQ(Requests(), 2);
    now = start.addSecs(23 * 3600);
    Run(mydns, "127.0.0.8");
    Run(dyndns, "127.0.0.8");
    EXPECT_EQ(Requests(), 2);
    now = start.addDays(1);
    EXPECT_TRUE(Run(mydns, "127.0.0.8").Sent);
    EXPECT_FALSE(Run(dyndns, "127.0.0.8").Sent);
    EXPECT_EQ(Requests(), 3);
}

TEST_F(DdnsTest, HostNamesOfOtherThanAsciiGoAsPunycode)
{
    settings::TConfig c = Config(kProviders[0]);
    c.DdnsHosts = Sjis(u8"ほーむ.example.test");
    Run(c, "203.0.113.5");
    const QJsonArray log = RequestLog();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].toObject().value("path").toString(),
              QStringLiteral("/nic/update?hostname=") +
                  QString::fromLatin1(QUrl::toAce(QStringLiteral(u"ほーむ.example.test"))) +
                  QStringLiteral("&myip=203.0.113.5"));
    EXPECT_TRUE(log[0].toObject().value("path").toString().contains(QLatin1String("xn--")));
}

// Cloudflare: the zone by name, longest first (a token limited to one zone sees only it), and every
// record of the host brought to the address.
TEST(CloudflareZones, TheLongestZoneIsFoundByNameAndEveryMatchingRecordIsUpdated)
{
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("ddns_provider.py"),
                                   {QStringLiteral("--token"), QStringLiteral("t"), QStringLiteral("--hosts"),
                                    QStringLiteral("www.home.example.test"), QStringLiteral("--zones"),
                                    QStringLiteral("example.test,home.example.test"),
                                    QStringLiteral("--twice"), QStringLiteral("www.home.example.test")}))
        << server.error().toStdString();
    settings::TConfig c;
    c.DdnsProvider = "cloudflare";
    c.DdnsHosts = "www.home.example.test";
    c.DdnsToken = "t";
    c.DdnsRecords = 4;
    c.DdnsTestURL = "http://127.0.0.1:" + std::to_string(server.port()) + "/client/v4";
    DdnsUpdater updater;
    DdnsOptions options;
    options.AddressA = "203.0.113.5";
    const DdnsResult r = updater.Run(c, options);
    EXPECT_TRUE(r.UpToDate) << (r.Lines.empty() ? "" : r.Lines[0]);
    const QJsonArray log = QJsonDocument::fromJson(server.httpGet(QStringLiteral("/_control/log"))).array();
    ASSERT_EQ(log.size(), 5);
    EXPECT_EQ(log[0].toObject().value("path").toString(),
              QStringLiteral("/client/v4/zones?name=www.home.example.test"));
    EXPECT_EQ(log[1].toObject().value("path").toString(),
              QStringLiteral("/client/v4/zones?name=home.example.test"));
    EXPECT_TRUE(log[2].toObject().value("path").toString().startsWith(
        QLatin1String("/client/v4/zones/zone-home.example.test/dns_records?type=A")));
    const QJsonObject records =
        QJsonDocument::fromJson(server.httpGet(QStringLiteral("/_control/records"))).object();
    EXPECT_EQ(records.value("www.home.example.test/A").toString(), QStringLiteral("203.0.113.5"));
    EXPECT_EQ(records.value("www.home.example.test/A~2").toString(), QStringLiteral("203.0.113.5"));

    // One of the two changed behind the program's back: only that one is patched (a forced send,
    // past the ten minutes between forced sends).
    ASSERT_EQ(server.httpGet(QStringLiteral("/_control/set?key=www.home.example.test/A&value=192.0.2.9")),
              QByteArray("ok"));
    updater.Now = [] { return QDateTime::currentDateTimeUtc().addSecs(11 * 60); };
    options.Force = true;
    EXPECT_TRUE(updater.Run(c, options).UpToDate);
    EXPECT_EQ(QJsonDocument::fromJson(server.httpGet(QStringLiteral("/_control/log"))).array().size(), 9);
}

TEST(DdnsServerRules, PlainHttpOnlyForLocalAddressesAndThePathIsSettable)
{
    for (const char* local :
         {"http://127.0.0.1:8080", "http://10.1.2.3", "http://172.31.0.1/nic/update", "http://192.168.1.1",
          "http://169.254.0.9", "http://[::1]:81", "http://[fe80::1]", "http://[fd12::1]",
          "https://203.0.113.1", "members.example.test"})
        EXPECT_EQ(ddns::PlainHttpProblem(local), "") << local;
    for (const char* remote : {"http://203.0.113.1", "http://172.32.0.1", "http://[2001:db8::1]",
                               "http://[::ffff:203.0.113.1]", "HTTP://8.8.8.8/nic/update"})
        EXPECT_NE(ddns::PlainHttpProblem(remote), "") << remote;

    EXPECT_EQ(ddns::Dyndns2ServerUrl("members.example.test").toString(),
              QStringLiteral("https://members.example.test/nic/update"));
    EXPECT_EQ(ddns::Dyndns2ServerUrl("http://10.0.0.1:8080/dyn/update?x=1").toString(),
              QStringLiteral("http://10.0.0.1:8080/dyn/update"));
    EXPECT_TRUE(ddns::Dyndns2ServerUrl("https://").isEmpty());

    settings::TConfig c;
    c.DdnsProvider = "dyndns2";
    c.DdnsHosts = "home.example.test";
    c.DdnsUser = "u";
    c.DdnsPass = "p";
    c.DdnsRecords = 4;
    c.DdnsServer = "http://203.0.113.1";
    EXPECT_NE(ddns::DdnsSettingsProblem(c).find("http://"), std::string::npos);
    // MyDNS registers the address a request comes from: another machine's IPv6 address cannot be.
    c.DdnsProvider = "mydns";
    c.DdnsRecords = 46;
    c.Ipv6Suffix = "::10";
    EXPECT_NE(ddns::DdnsSettingsProblem(c).find(Sjis(u8"サフィックス")), std::string::npos);
    c.Ipv6Suffix.clear();
    EXPECT_EQ(ddns::DdnsSettingsProblem(c), "");
}
