// The second sources of the address against the router simulator: its UPnP gateway, given the
// description URL directly (no discovery leaves this machine), and its address echo page; and the
// bounds of the web page reader and of the gateway's answers.
#include "core/SecondSource.h"
#include "RouterFixture.h"
#include "core/UpnpGateway.h"
#include "support/ClosedPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

namespace {

// The resident size in KiB of this process and its number of threads, as the kernel counts them.
struct Footprint
{
    long residentKiB = 0;
    qsizetype threads = 0;
};

Footprint FootprintNow()
{
    Footprint now;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                now.residentKiB = line.mid(6).trimmed().split(' ').value(0).toLong();
    now.threads = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    return now;
}

class SecondSourceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(router.ok()); }
    std::string url(const char* path) const { return "http://" + router.host() + path; }
    // Pages behind the simulator's log-on, with the credentials in the address.
    std::string loggedOn(const char* path) const { return "http://root:kiwi@" + router.host() + path; }
    void set(const char* what, const char* value)
    {
        router.Control(
            QStringLiteral("/_control/%1?value=%2").arg(QLatin1String(what), QLatin1String(value)));
    }

    routertest::Router router;
};

} // namespace

TEST_F(SecondSourceTest, TheGatewayReportsItsExternalAddress)
{
    core::UpnpExternalAddress upnp;
    EXPECT_EQ(upnp.Query(url("/igd.xml"), 10000), routertest::kWan);
    EXPECT_EQ(upnp.LastError(), "");
    set("upnp", "198.51.100.20");
    EXPECT_EQ(upnp.Query(url("/igd.xml"), 10000), "198.51.100.20");
    // A refused action and a description that is no gateway's give nothing, and say why.
    set("upnp", "fault");
    EXPECT_EQ(upnp.Query(url("/igd.xml"), 10000), "");
    EXPECT_NE(upnp.LastError().find("GetExternalIPAddress"), std::string::npos) << upnp.LastError();
    EXPECT_EQ(upnp.Query(url("/echo"), 10000), "");
    EXPECT_NE(upnp.LastError(), "");
    EXPECT_EQ(upnp.Query("http://127.0.0.1:" + std::to_string(testsupport::ClosedPort()) + "/igd.xml", 10000),
              "");
}

TEST_F(SecondSourceTest, OnlyAnAddressTheWorldCanReachCounts)
{
    qputenv("QUILLMAP_UPNP_DESCRIPTION_URL", QByteArray::fromStdString(url("/igd.xml")));
    core::SecondSource source;
    EXPECT_EQ(source.Fetch(core::kSourceUpnp, {}, 10000), routertest::kWan);
    set("upnp", "100.64.0.5");
    EXPECT_EQ(source.Fetch(core::kSourceUpnp, {}, 10000), "");
    EXPECT_EQ(source.LastAnswer(), "100.64.0.5");
    qunsetenv("QUILLMAP_UPNP_DESCRIPTION_URL");

    EXPECT_EQ(source.Fetch(core::kSourceEcho, url("/echo"), 10000), routertest::kWan);
    set("echo", "169.254.1.1");
    EXPECT_EQ(source.Fetch(core::kSourceEcho, url("/echo"), 10000), "");
    EXPECT_EQ(source.LastAnswer(), "Your address: 169.254.1.1\n");
    EXPECT_EQ(source.Fetch(core::kSourceEcho, "", 10000), "");
    EXPECT_EQ(source.Fetch(core::kSourceNone, url("/echo"), 10000), "");
}

TEST_F(SecondSourceTest, AnEndlessPageEndsAtTheLimitOrAtStop)
{
    core::WebPageReader reader;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(reader.Read(loggedOn("/endless.html"), 500), "");
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(reader.Busy());

    core::SecondSource source;
    QTimer::singleShot(300, [&] { source.Stop(); });
    clock.restart();
    EXPECT_EQ(source.Fetch(core::kSourceEcho, loggedOn("/endless.html"), 20000), "");
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(SecondSourceTest, AGatewayThatNeverStopsTalkingIsCutAndLeavesNothingBehind)
{
    core::UpnpExternalAddress upnp;
    // Fast enough to reach the size cap long before the limit.
    EXPECT_EQ(upnp.Query(url("/igd-endless.xml?kib=64"), 20000), "");
    EXPECT_EQ(upnp.LastError(), "description longer than 256 KiB");

    // Slow enough that the limit comes first, fifty checks in a row: each ends with its check.
    const auto check = [&] {
        EXPECT_EQ(upnp.Query(url("/igd-endless.xml?kib=16"), 200), "");
        EXPECT_EQ(upnp.LastError(), "no answer in time");
    };
    for (int i = 0; i < 3; ++i)
        check();
    const Footprint before = FootprintNow();
    for (int i = 0; i < 50; ++i)
        check();
    const Footprint after = FootprintNow();
    RecordProperty("resident_kib_before", static_cast<int>(before.residentKiB));
    RecordProperty("resident_kib_after", static_cast<int>(after.residentKiB));
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_LT(after.residentKiB - before.residentKiB, 8 * 1024) << before.residentKiB << " KiB before";
}
