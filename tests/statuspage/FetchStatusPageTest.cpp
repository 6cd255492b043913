// FetchStatusPage with the HTTP client against the router simulator.
#include "RouterFixture.h"

#include "core/AddressSearch.h"
#include "core/StatusPage.h"
#include "core/StatusPageBody.h"
#include "core/StatusPageHttp.h"
#include "support/ClosedPort.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QTimer>
#include <gtest/gtest.h>

using core::SearchAddressAuto;
using routertest::Router;

namespace {

// Every fetch in these tests ends by itself well within this; a hang fails instead of blocking.
constexpr int kSafetyLimitMs = 30000;

struct Fetch
{
    core::HttpStatusFetcher fetcher;
    core::StatusPage page{fetcher};
    Fetch() { page.TimeLimitMs = kSafetyLimitMs; }
    std::string Run(const settings::TConfig& config)
    {
        EXPECT_TRUE(page.FetchStatusPage(config));
        EXPECT_FALSE(page.TimedOut);
        EXPECT_FALSE(page.Navigating);
        EXPECT_FALSE(page.Busy());
        return page.StatusHtml;
    }
};

} // namespace

TEST(FetchStatusPage, ReadsTheBodyOfTheStatusPageWithCredentials)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    const std::string html = fetch.Run(router.Settings());
    EXPECT_TRUE(html.starts_with("<BODY bgcolor=\"#ffffff\">")) << html;
    EXPECT_TRUE(html.ends_with("</BODY>")) << html;
    EXPECT_NE(html.find(text::Sjis(u8"WAN側IPアドレス")), std::string::npos);
    EXPECT_EQ(SearchAddressAuto(html), routertest::kWan);

    const QJsonObject request = router.LastRequest();
    EXPECT_EQ(request[QStringLiteral("method")].toString(), QStringLiteral("GET"));
    EXPECT_EQ(request[QStringLiteral("path")].toString(), QString::fromLatin1(routertest::kStatusPath));
    const QJsonObject headers = request[QStringLiteral("headers")].toObject();
    EXPECT_EQ(headers[QStringLiteral("pragma")].toString(), QStringLiteral("nocache"));
    EXPECT_EQ(headers[QStringLiteral("authorization")].toString(), QStringLiteral("Basic cm9vdDpraXdp"));
}

TEST(FetchStatusPage, SeesTheAddressChangeWhileTheRouterRuns)
{
    testsupport::TempFolder folder(false);
    const QString addressFile = folder.file(QStringLiteral("wan.txt"));
    Router router({QStringLiteral("--address-file"), addressFile});
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings())), routertest::kWan);
    testsupport::WriteBytes(addressFile, "198.51.100.23\n");
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings())), "198.51.100.23");
    router.Control(QStringLiteral("/_control/address?value=192.0.2.77"));
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings())), "192.0.2.77");
}

TEST(FetchStatusPage, ARefusalPageIsReadLikeAnyPage)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    settings::TConfig config = router.Settings();
    config.StatusPass = "wrong";
    const std::string refused = fetch.Run(config);
    EXPECT_NE(refused.find("Unauthorized"), std::string::npos);
    EXPECT_EQ(SearchAddressAuto(refused), "");
    EXPECT_EQ(fetch.page.LastOutcome().httpStatus, 401);

    // The password changed back in the settings is used at once (nothing remembered in between).
    config.StatusPass = "kiwi";
    EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), routertest::kWan);
    config.StatusPass = "wrong";
    EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), "");

    // Without logon no credentials are offered at all.
    config.StatusLogon = 0;
    EXPECT_NE(fetch.Run(config).find("Unauthorized"), std::string::npos);
    EXPECT_FALSE(
        router.LastRequest()[QStringLiteral("headers")].toObject().contains(QStringLiteral("authorization")));
}

TEST(FetchStatusPage, PostDataIsSentAsAFormAtEveryFetch)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    settings::TConfig config = router.Settings("/post-status.cgi");
    EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), ""); // GET shows only the form

    config.StatusPost = "cmd=status";
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(SearchAddressAuto(fetch.Run(config)), routertest::kWan);
        const QJsonObject request = router.LastRequest();
        EXPECT_EQ(request[QStringLiteral("method")].toString(), QStringLiteral("POST"));
        EXPECT_EQ(request[QStringLiteral("body")].toString(), QStringLiteral("cmd=status"));
        EXPECT_EQ(request[QStringLiteral("headers")].toObject()[QStringLiteral("content-type")].toString(),
                  QStringLiteral("application/x-www-form-urlencoded"));
    }
}

TEST(FetchStatusPage, PagesInEveryCodeEndAsTheSameShiftJisText)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    const std::string reference = fetch.Run(router.Settings());
    ASSERT_FALSE(reference.empty());
    for (const char* code : {"shift_jis", "euc-jp", "utf-8"})
        for (const char* declaration : {"header", "meta", "none"}) {
            SCOPED_TRACE(std::string(code) + " " + declaration);
            EXPECT_EQ(fetch.Run(router.Settings(std::string("/status/") + code + "/" + declaration)),
                      reference);
        }
}

TEST(FetchStatusPage, ThePagesOfTheSearchRules)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    // The first address after a DNS label is the DNS server's.
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/dns.html"))), routertest::kWan);
    // A frameset has no body; its markup is read whole, and its frames are not loaded.
    const std::string frames = fetch.Run(router.Settings("/frames.html"));
    EXPECT_NE(frames.find("<frameset"), std::string::npos);
    EXPECT_EQ(SearchAddressAuto(frames), "");
    // Up to five redirects are followed.
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/redirect?n=5"))), routertest::kWan);
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/redirect?n=6"))), "");
}

TEST(FetchStatusPage, ASlowPageIsWaitedFor)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings("/slow.html?delay=1"))), routertest::kWan);
}

TEST(FetchStatusPage, AnEndlessPageEndsAtTheTimeLimitWithNothingRead)
{
    Router router;
    ASSERT_TRUE(router.ok());
    core::HttpStatusFetcher fetcher;
    core::StatusPage page(fetcher);
    page.TimeLimitMs = 1000;
    EXPECT_TRUE(page.FetchStatusPage(router.Settings("/endless.html")));
    EXPECT_TRUE(page.TimedOut);
    EXPECT_EQ(page.StatusHtml, "");
    EXPECT_FALSE(page.Busy());
    EXPECT_FALSE(page.Navigating);
}

TEST(FetchStatusPage, CancelAndTheAbortTimerEndTheWaitFromOutside)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    // The run button: cancelled, the page is not read.
    QTimer::singleShot(200, [&] { fetch.page.CancelNavigation(); });
    EXPECT_TRUE(fetch.page.FetchStatusPage(router.Settings("/endless.html")));
    EXPECT_TRUE(fetch.page.NavigationCanceled);
    EXPECT_FALSE(fetch.page.TimedOut);
    EXPECT_EQ(fetch.page.StatusHtml, "");
    EXPECT_FALSE(fetch.page.Busy());

    // The abort timer: stopped, nothing is read either.
    QTimer::singleShot(200, [&] { fetch.page.Stop(); });
    EXPECT_TRUE(fetch.page.FetchStatusPage(router.Settings("/endless.html")));
    EXPECT_FALSE(fetch.page.NavigationCanceled);
    EXPECT_FALSE(fetch.page.TimedOut);
    EXPECT_TRUE(fetch.page.LastOutcome().stopped);
    EXPECT_EQ(fetch.page.StatusHtml, "");

    // A cancel before anything is loading changes nothing for the next fetch.
    fetch.page.CancelNavigation();
    fetch.page.Stop();
    EXPECT_EQ(SearchAddressAuto(fetch.Run(router.Settings())), routertest::kWan);
}

TEST(FetchStatusPage, BadAnswers)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    // More than 4 MiB: cut there, so the address at the very end is not seen.
    const std::string huge = fetch.Run(router.Settings("/huge.html?mb=6"));
    EXPECT_TRUE(fetch.page.LastOutcome().truncated);
    EXPECT_EQ(huge.size(), core::kMaxStatusPageBytes - std::string("<html>").size());
    EXPECT_EQ(SearchAddressAuto(huge), "");
    // Binary junk is kept as it came and holds no address.
    const std::string junk = fetch.Run(router.Settings("/junk.bin"));
    EXPECT_EQ(junk.size(), 64u * 1024u);
    EXPECT_EQ(SearchAddressAuto(junk), "");
    // A page that does not exist: its error page is read.
    EXPECT_NE(fetch.Run(router.Settings("/no-such-page")).find("Not Found"), std::string::npos);
}

TEST(FetchStatusPage, NoServerMeansNothingRead)
{
    const quint16 closedPort = testsupport::ClosedPort();
    Fetch fetch;
    settings::TConfig config;
    config.GatewayIP = "127.0.0.1:" + std::to_string(closedPort);
    config.StatusURL = "/";
    EXPECT_EQ(fetch.Run(config), "");
    EXPECT_FALSE(fetch.page.LastOutcome().error.isEmpty());
}

TEST(FetchStatusPage, TheRouterAddressFromTheAdapters)
{
    Router router;
    ASSERT_TRUE(router.ok());
    settings::TConfig config = router.Settings();
    config.GatewayAuto = 1;
    config.GatewayIP = "192.0.2.99"; // not used when the address is detected
    int detections = 0;
    core::HttpStatusFetcher fetcher;
    std::string detected = router.host();
    core::StatusPage page(fetcher, [&] {
        ++detections;
        return detected;
    });
    page.TimeLimitMs = kSafetyLimitMs;
    EXPECT_TRUE(page.FetchStatusPage(config));
    EXPECT_EQ(SearchAddressAuto(page.StatusHtml), routertest::kWan);
    // No router found: no URL, nothing loaded, and the text of the last page is gone.
    detected.clear();
    EXPECT_FALSE(page.FetchStatusPage(config));
    EXPECT_EQ(page.StatusHtml, "");
    EXPECT_FALSE(page.Busy());
    EXPECT_EQ(detections, 2);
}

TEST(FetchStatusPage, AnExplicitUrlCarriesItsOwnCredentials)
{
    Router router;
    ASSERT_TRUE(router.ok());
    Fetch fetch;
    settings::TConfig config;
    const QString url =
        QStringLiteral("http://root:kiwi@%1%2")
            .arg(QString::fromStdString(router.host()), QString::fromLatin1(routertest::kStatusPath));
    EXPECT_TRUE(fetch.page.FetchStatusPage(config, url));
    EXPECT_EQ(SearchAddressAuto(fetch.page.StatusHtml), routertest::kWan);
}
