// A router whose page never finishes, checked with the program's real network steps on a short
// minute: every load ends by its own limit or the abort timer, and the check ends with its failure
// row instead of waiting for good.
#include "RouterFixture.h"

#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "platform/ScriptedUserInterface.h"
#include "support/CheckCycleTestAccess.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

using routertest::Router;
using text::Sjis;

namespace {

constexpr int kMinuteMs = 300;
// Far beyond what the checks below need; reaching it means a wait that nothing ended.
constexpr int kSafetyMs = 20000;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class HangingRouterTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { qputenv("QUILLMAP_MINUTE_MS", QByteArray::number(kMinuteMs)); }
    void TearDown() override { qunsetenv("QUILLMAP_MINUTE_MS"); }

    // Saves the router's settings for the given page with TimeOut 1 and builds the cycle on them.
    void Create(const Router& router, const std::string& path)
    {
        settings::TConfig config = router.Settings(path);
        config.TimeOut = 1;
        config.FtpUpload = 0;
        config.MailNotice = 0;
        config.NoticeItem = 0;
        config.PrevIP = "203.0.113.5";
        settings::SaveSettings(config, settings::SaveScope::All);
        cycle = std::make_unique<core::CheckCycle>(
            log, ui, [](const core::CycleMediator& m) { return std::make_unique<core::MainComponents>(m); });
        cycle->SetLockFolder(folder.path());
        ASSERT_TRUE(cycle->FormCreate());
        components = static_cast<core::MainComponents*>(core::CheckCycleTestAccess::Steps(*cycle));
    }

    // Stops a load that nothing else ended, so that a hang fails the test instead of blocking it.
    // The cycle on the hanging page of this test's kind, the safety stop armed, the clock started.
    QElapsedTimer Start(const Router& router)
    {
        Create(router, GetParam());
        ArmSafety();
        QElapsedTimer elapsed;
        elapsed.start();
        return elapsed;
    }

    void ArmSafety()
    {
        QTimer::singleShot(kSafetyMs, cycle.get(), [this] {
            safetyFired = true;
            components->Browser().CancelNavigation();
        });
    }

    testsupport::TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    std::unique_ptr<core::CheckCycle> cycle;
    core::MainComponents* components = nullptr;
    bool safetyFired = false;
};

} // namespace

TEST_P(HangingRouterTest, ACheckEndsAtItsTimeOutWithTheUnreachableRow)
{
    Router router;
    ASSERT_TRUE(router.ok());
    const QElapsedTimer elapsed = Start(router);
    const double cpuBefore = CpuSeconds();
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    const double cpuUsed = CpuSeconds() - cpuBefore;
    EXPECT_FALSE(safetyFired) << "a status page load waited without limit";
    // One time-out (a minute of 300 ms) and no second load after it.
    EXPECT_LT(elapsed.elapsed(), 6 * kMinuteMs);
    EXPECT_EQ(log.Rows().back().Text, Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした｡"));
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).Settings->PrevIP, "203.0.113.5");
    // Waiting is not working: the answer that never ends costs next to no processor time.
    EXPECT_LT(cpuUsed, 0.5 * elapsed.elapsed() / 1000.0);
}

TEST_P(HangingRouterTest, ALoadOutsideACheckEndsAtTheTimeOutToo)
{
    Router router;
    ASSERT_TRUE(router.ok());
    // The redisplay button arms no abort timer: only the load's own limit ends it.
    const QElapsedTimer elapsed = Start(router);
    cycle->cmdBrowseClick();
    EXPECT_FALSE(safetyFired) << "a status page load waited without limit";
    EXPECT_LT(elapsed.elapsed(), 6 * kMinuteMs);
    EXPECT_TRUE(components->Browser().TimedOut);
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).StatusHtml, "");
    EXPECT_TRUE(cycle->View().RunEnabled);
}

INSTANTIATE_TEST_SUITE_P(EndlessAnswers, HangingRouterTest,
                         ::testing::Values("/endless.html", "/endless-header.html"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return info.index == 0 ? std::string("EndlessBody")
                                                    : std::string("EndlessHeader");
                         });
