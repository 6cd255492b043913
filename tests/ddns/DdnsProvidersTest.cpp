// The dynamic DNS update against a fake provider on loopback addresses (tests/servers/ddns_provider.py)
// that speaks all six providers' interfaces: what each sends, how each answer is judged, and the
// rules around them (stop after a refusal, back-off, refresh, nothing secret in rows or mails).
#include "ddns/DdnsUpdater.h"
#include "ddns/IeServerProvider.h"
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
    ASSERT_GE(log.size(), 4);
    const QJsonObject update = log[0].toObject();
    EXPECT_EQ(update.value("path").toString(),
              QStringLiteral("/nic/update?hostname=home.example.test&myip=203.0.113.5"));
    const QJsonObject headers = update.value("headers").toObject();
    EXPECT_EQ(headers.value("User-Agent").toString(), QStringLiteral("Quillmap/1.43"));
    EXPECT_EQ(headers.value("Authorization").toString(),
              QStringLiteral("Basic ") + QString::fromLatin1(QByteArray("user:pa55-Word!").toBase64()));
    // Cloudflare: the zones, the record, the change of its content.
    EXPECT_EQ(log[1].toObject().value("path").toString(), QStringLiteral("/client/v4/zones?per_page=50"));
    EXPECT_EQ(log[1].toObject().value("headers").toObject().value("Authorization").toString(),
              QStringLiteral("Bearer ") + QString::fromLatin1(kToken));
    EXPECT_EQ(log[3].toObject().value("method").toString(), QStringLiteral("PATCH"));
    EXPECT_EQ(log[3].toObject().value("body").toString(), QStringLiteral("{\"content\":\"203.0.113.9\"}"));
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
        {"http401", kProviders[0], {}, QStringLiteral("?status=401&body=Unauthorized")},
        {"mydns401", kProviders[1], wrongPass, {}},
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

TEST_F(DdnsTest, ProviderTroubleBacksOffOnTheShortMinuteAnd911WaitsHalfAnHour)
{
    settings::TConfig c = Config(kProviders[0]);
    Override(QStringLiteral("?status=503&body=busy"));
    const DdnsResult first = Run(c, "203.0.113.5");
    EXPECT_FALSE(first.Stopped);
    EXPECT_FALSE(first.UpToDate);
    EXPECT_EQ(first.LogKind, 0);
    EXPECT_NE(first.LogText.find("503"), std::string::npos) << first.LogText;
    EXPECT_EQ(c.DdnsFailures, 1);
    EXPECT_EQ(Requests(), 1);
    // Within the back-off (one short minute): nothing is sent.
    const DdnsResult waiting = Run(c, "203.0.113.5");
    EXPECT_FALSE(waiting.Sent);
    EXPECT_TRUE(waiting.LogText.empty());
    EXPECT_EQ(Requests(), 1);
    QThread::msleep(500);
    Run(c, "203.0.113.5");
    EXPECT_EQ(Requests(), 2);
    EXPECT_EQ(c.DdnsFailures, 2);
    // The second failure waits two minutes.
    QThread::msleep(300);
    Run(c, "203.0.113.5");
    EXPECT_EQ(Requests(), 2);
    QThread::msleep(600);
    Override({});
    EXPECT_TRUE(Run(c, "203.0.113.5").UpToDate);
    EXPECT_EQ(Requests(), 3);
    EXPECT_EQ(c.DdnsFailures, 0);
    EXPECT_TRUE(c.DdnsRetryAt.empty());

    // 911: not before 30 minutes, whatever the back-off would allow.
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime now = start;
    updater.Now = [&now] { return now; };
    Override(QStringLiteral("?status=200&body=911"));
    const DdnsResult trouble = Run(c, "203.0.113.6");
    EXPECT_FALSE(trouble.Stopped);
    EXPECT_EQ(Requests(), 4);
    now = start.addMSecs(29 * 400);
    Run(c, "203.0.113.6");
    EXPECT_EQ(Requests(), 4);
    now = start.addMSecs(30 * 400 + 1);
    Override({});
    EXPECT_TRUE(Run(c, "203.0.113.6").UpToDate);
    EXPECT_EQ(Requests(), 5);
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
    EXPECT_EQ(r.Lines[1], "home.example.test (AAAA): " + Sjis(u8"公開するアドレスがありません"));
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
