// The status page read through the browser engine, against the router simulator: pages that scripts
// fill, frames, credentials, POST, and loads that never end.
#include "statuspage/RouterFixture.h"

#include "TestPaths.h"
#include "core/AddressSearch.h"
#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "core/StatusPageProcess.h"
#include "engine/EngineStatusFetcher.h"
#include "engine/EngineSupport.h"
#include "support/ClosedPort.h"
#include "text/Sjis.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <unistd.h>

using core::SearchAddressAuto;
using routertest::Router;

namespace {

// Every load here ends by itself well within this; a hang fails instead of blocking.
constexpr int kSafetyLimitMs = 30000;
// A load ended by cancel, stop or its limit ends well before the safety limit, also on a machine busy
// with other tests.
constexpr int kEndedWellBeforeMs = 20000;

struct EngineFetch
{
    engine::EngineStatusFetcher fetcher;
    core::StatusPage page{fetcher};
    EngineFetch() { page.TimeLimitMs = kSafetyLimitMs; }
    std::string Run(const settings::TConfig& config)
    {
        EXPECT_TRUE(page.FetchStatusPage(config));
        EXPECT_FALSE(page.TimedOut);
        EXPECT_FALSE(page.Busy());
        return page.StatusHtml;
    }
};

std::string HttpFetch(const settings::TConfig& config)
{
    core::HttpStatusFetcher fetcher;
    core::StatusPage page(fetcher);
    page.TimeLimitMs = kSafetyLimitMs;
    EXPECT_TRUE(page.FetchStatusPage(config));
    return page.StatusHtml;
}

} // namespace

TEST(EngineFetch, FindsTheAddressThatScriptsWriteWhereTheHttpClientFindsNone)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    // Written at once, fetched as JSON by a second request, written by a script element added after
    // the load whose source comes 600 ms late, and written 400 ms and 1 s after the load: longer than
    // the quiet time, which a script or a timer still pending does not end.
    for (const char* path : {"/script-write.html", "/script-json.html", "/script-insert.html?ms=600",
                             "/script-delay.html?ms=400", "/script-delay.html?ms=1000"}) {
        SCOPED_TRACE(path);
        const settings::TConfig config = router.Settings(path);
        const std::string byHttp = HttpFetch(config);
        EXPECT_NE(byHttp.find("id=\"wan\""), std::string::npos) << byHttp;
        EXPECT_EQ(SearchAddressAuto(byHttp), "");

        const std::string html = fetch.Run(config);
        EXPECT_TRUE(html.starts_with("<body>")) << html;
        EXPECT_NE(html.find(std::string("<td id=\"wan\">") + routertest::kWan + "</td>"), std::string::npos)
            << html;
        EXPECT_EQ(SearchAddressAuto(html), routertest::kWan);
        // Shown for the load only: between checks the engine may hold the page back again.
        EXPECT_FALSE(fetch.fetcher.Page()->isVisible());
    }
    // The page itself (the last request: the last page fills itself by a timer) was asked for fresh.
    const QJsonObject last = router.LastRequest();
    EXPECT_EQ(last[QStringLiteral("headers")].toObject()[QStringLiteral("pragma")].toString(),
              QStringLiteral("nocache"));
}

TEST(EngineFetch, ShiftJisPagesAndFramesetsAreReadWhole)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    const std::string status = fetch.Run(router.Settings());
    // The engine writes tag names in lower case, unlike the page itself.
    EXPECT_TRUE(status.starts_with("<body bgcolor=\"#ffffff\">")) << status;
    EXPECT_NE(status.find(text::Sjis(u8"WAN側IPアドレス")), std::string::npos);
    EXPECT_EQ(SearchAddressAuto(status), routertest::kWan);

    // The address stands in an inner frame: the HTTP client sees only the frameset.
    const settings::TConfig frames = router.Settings("/frames.html");
    EXPECT_EQ(SearchAddressAuto(HttpFetch(frames)), "");
    const std::string html = fetch.Run(frames);
    EXPECT_TRUE(html.starts_with("<frameset")) << html;
    EXPECT_NE(html.find("Menu"), std::string::npos) << html;
    EXPECT_EQ(SearchAddressAuto(html), routertest::kWan) << html;
}

TEST(EngineFetch, NoScriptLeavesScriptPagesWithoutTheAddressAndWaitsNoSettleTime)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    for (const char* path : {"/script-write.html", "/script-json.html"}) {
        SCOPED_TRACE(path);
        settings::TConfig config = router.Settings(path);
        config.NoScript = 1;
        QElapsedTimer clock;
        clock.start();
        const std::string html = fetch.Run(config);
        EXPECT_NE(html.find("<td id=\"wan\"></td>"), std::string::npos) << html;
        EXPECT_EQ(SearchAddressAuto(html), "");
        EXPECT_LT(clock.elapsed(), engine::EngineStatusFetcher::kSettleMs + 5000);
    }
    // The same fetcher runs scripts again when they are allowed.
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/script-write.html"))), routertest::kWan);
}

TEST(EngineFetch, CredentialsAreGivenWhenAskedAndARefusalIsReadLikeAnyPage)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/script-json.html"))), routertest::kWan);
    EXPECT_EQ(router.LastRequest()[QStringLiteral("headers")]
                  .toObject()[QStringLiteral("authorization")]
                  .toString(),
              QStringLiteral("Basic cm9vdDpraXdp"));

    settings::TConfig wrong = router.Settings();
    wrong.StatusPass = "wrong";
    const std::string refused = fetch.Run(wrong);
    EXPECT_NE(refused.find("Unauthorized"), std::string::npos) << refused;
    EXPECT_EQ(SearchAddressAuto(refused), "");
    EXPECT_EQ(fetch.page.LastOutcome().httpStatus, 401);

    // Without logon nothing is offered.
    settings::TConfig none = router.Settings();
    none.StatusLogon = 0;
    EXPECT_EQ(SearchAddressAuto(fetch.Run(none)), "");
    EXPECT_FALSE(
        router.LastRequest()[QStringLiteral("headers")].toObject().contains(QStringLiteral("authorization")));
}

TEST(EngineFetch, PostDataIsSent)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    settings::TConfig config = router.Settings("/post-status.cgi");
    config.StatusPost = "cmd=status&x=1";
    EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), routertest::kWan);
    const QJsonObject last = router.LastRequest();
    EXPECT_EQ(last[QStringLiteral("method")].toString(), QStringLiteral("POST"));
    EXPECT_EQ(last[QStringLiteral("body")].toString(), QStringLiteral("cmd=status&x=1"));
    EXPECT_EQ(last[QStringLiteral("headers")].toObject()[QStringLiteral("pragma")].toString(),
              QStringLiteral("nocache"));

    // Without it the router shows its form only.
    config.StatusPost.clear();
    EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), "");
    EXPECT_EQ(router.LastRequest()[QStringLiteral("method")].toString(), QStringLiteral("GET"));
}

TEST(EngineFetch, APageThatNeverEndsEndsByCancelStopOrTheTimeLimit)
{
    Router router;
    ASSERT_TRUE(router.ok());
    EngineFetch fetch;
    const settings::TConfig endless = router.Settings("/endless.html");

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(1500, [&fetch] { fetch.page.CancelNavigation(); });
    EXPECT_TRUE(fetch.page.FetchStatusPage(endless));
    EXPECT_TRUE(fetch.page.NavigationCanceled);
    EXPECT_TRUE(fetch.page.StatusHtml.empty());
    EXPECT_FALSE(fetch.page.Busy());
    EXPECT_LT(clock.elapsed(), kEndedWellBeforeMs);

    // The check's abort timer.
    clock.restart();
    QTimer::singleShot(1500, [&fetch] { fetch.page.Stop(); });
    EXPECT_TRUE(fetch.page.FetchStatusPage(endless));
    EXPECT_FALSE(fetch.page.NavigationCanceled);
    EXPECT_TRUE(fetch.page.StatusHtml.empty());
    EXPECT_TRUE(fetch.page.LastOutcome().stopped);
    EXPECT_LT(clock.elapsed(), kEndedWellBeforeMs);

    // The fetch's own limit.
    clock.restart();
    fetch.page.TimeLimitMs = 2000;
    EXPECT_TRUE(fetch.page.FetchStatusPage(endless));
    EXPECT_TRUE(fetch.page.TimedOut);
    EXPECT_TRUE(fetch.page.StatusHtml.empty());
    EXPECT_LT(clock.elapsed(), kEndedWellBeforeMs);

    // The engine is usable again at once.
    fetch.page.TimeLimitMs = kSafetyLimitMs;
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/script-write.html"))), routertest::kWan);
}

TEST(EngineFetch, ARouterThatDoesNotAnswerLeavesNothing)
{
    EngineFetch fetch;
    settings::TConfig config;
    config.GatewayAuto = 0;
    config.GatewayIP = "127.0.0.1:" + std::to_string(testsupport::ClosedPort());
    config.StatusURL = "/status.htm";
    EXPECT_EQ(fetch.Run(config), "");
    EXPECT_FALSE(fetch.page.LastOutcome().error.isEmpty());
}

// The headless service's way: the engine in a child process that lives for one load.
TEST(EngineFetch, AChildProcessReadsThePageAndIsEndedByStop)
{
    Router router;
    ASSERT_TRUE(router.ok());
    core::ProcessStatusFetcher fetcher(
        QStringLiteral(QUILLMAP_BINARY),
        {QStringLiteral("fetch-status"), QStringLiteral("--engine"), QStringLiteral("--request-stdin")});
    core::StatusPage page(fetcher);
    page.TimeLimitMs = kSafetyLimitMs;
    ASSERT_TRUE(page.FetchStatusPage(router.Settings("/script-json.html")));
    EXPECT_EQ(SearchAddressAuto(page.StatusHtml), routertest::kWan) << page.LastOutcome().error.toStdString();
    EXPECT_FALSE(page.Busy());

    settings::TConfig noScript = router.Settings("/script-write.html");
    noScript.NoScript = 1;
    ASSERT_TRUE(page.FetchStatusPage(noScript));
    EXPECT_NE(page.StatusHtml.find("<td id=\"wan\"></td>"), std::string::npos) << page.StatusHtml;

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(2500, [&page] { page.Stop(); });
    ASSERT_TRUE(page.FetchStatusPage(router.Settings("/endless.html")));
    EXPECT_TRUE(page.StatusHtml.empty());
    EXPECT_FALSE(page.Busy());
    EXPECT_LT(clock.elapsed(), 15000);

    // A child that cannot start is a failed load, not a hang.
    core::ProcessStatusFetcher missing(QStringLiteral("/nonexistent/quillmap"), {});
    core::StatusPage none(missing);
    none.TimeLimitMs = kSafetyLimitMs;
    ASSERT_TRUE(none.FetchStatusPage(router.Settings()));
    EXPECT_TRUE(none.StatusHtml.empty());
    EXPECT_FALSE(none.LastOutcome().error.isEmpty());
}

TEST(EngineSupport, AsRootTheEngineRunsOnlyWhenTheUserSwitchedItsSandboxOff)
{
    const QByteArray saved = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    const std::string refusal = engine::EngineRefusal();
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    EXPECT_EQ(engine::EngineRefusal(), "");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "0");
    const std::string refusedAgain = engine::EngineRefusal();
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", saved);
    if (::geteuid() != 0) {
        EXPECT_EQ(refusal, "");
        return;
    }
    EXPECT_NE(refusal.find("root"), std::string::npos);
    EXPECT_EQ(refusedAgain, refusal);
}

// A child whose parent went away (its standard input closed) ends its load and itself.
TEST(EngineFetch, TheChildEndsWhenItsParentGoesAway)
{
    Router router;
    ASSERT_TRUE(router.ok());
    core::StatusRequest request = core::RequestFromUrl(
        QString::fromStdString("http://127.0.0.1:" + std::to_string(router.port()) + "/endless.html"), {});
    QProcess child;
    child.start(QStringLiteral(QUILLMAP_BINARY), {QStringLiteral("fetch-status"), QStringLiteral("--engine"),
                                                  QStringLiteral("--request-stdin")});
    ASSERT_TRUE(child.waitForStarted(5000));
    child.write(core::EncodeStatusRequest(request, -1));
    // The load has begun once the router saw it (asked every 100 ms).
    QTimer poll;
    poll.start(100);
    ASSERT_EQ(platform::WaitUntil(
                  [&] {
                      return router.LastRequest()[QStringLiteral("path")].toString() ==
                             QStringLiteral("/endless.html");
                  },
                  20000),
              platform::WaitResult::Done);
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(15000));
    EXPECT_EQ(child.exitCode(), 1);
}
