// The check cycle's decisions (when to check, what to log and mail, when to keep the previous
// address, how it closes) with scripted network steps, on a short minute.
#include "cycle/CheckCycle.h"
#include "core/OperationLog.h"
#include "core/WebPageReader.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "support/CheckCycleTestAccess.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <QElapsedTimer>
#include <deque>
#include <gtest/gtest.h>

using platform::ScriptedUserInterface;
using text::Sjis;

namespace {

constexpr int kMinuteMs = 40;

struct ScriptedSteps : core::CheckSteps
{
    std::deque<std::string> pages; // answers of FetchStatusPage; empty text when none left
    bool uploadResult = true;
    bool hangInUpload = false; // the upload waits until AbortNetwork
    bool hangInFetch = false;  // every fetch waits until AbortNetwork (a router that never answers)
    std::string hostName = "host.example.test";
    std::string secondAddress;              // what the second source answers
    std::deque<std::string> publishedPages; // answers of the read-back, in turn; then nothing
    int secondFetches = 0;
    int publishedReads = 0;
    int fetches = 0;
    int uploads = 0;
    int lookups = 0;
    int aborts = 0;
    int closingRuns = 0;
    bool checkUnwoundBeforeClosing = true;
    bool inUpload = false;
    std::vector<std::pair<int, std::string>> mails;
    std::function<void()> duringUpload;
    std::function<void()> afterFetch;
    core::MainState* state = nullptr;
    platform::UserInterface* ui = nullptr; // the one the cycle gives its steps

    std::string FetchStatusPage() override
    {
        ++fetches;
        if (hangInFetch) {
            const int abortsBefore = aborts;
            platform::WaitUntil([&] { return aborts > abortsBefore; }, 10000);
            return {};
        }
        if (pages.empty())
            return {};
        std::string page = pages.front();
        if (pages.size() > 1)
            pages.pop_front();
        if (afterFetch)
            afterFetch();
        return page;
    }
    bool Navigating() const override { return false; }
    void CancelNavigation() override {}
    std::string FetchSecondAddress() override
    {
        ++secondFetches;
        return secondAddress;
    }
    std::string FetchPublishedPage() override
    {
        ++publishedReads;
        if (publishedPages.empty())
            return {};
        std::string page = publishedPages.front();
        publishedPages.pop_front();
        return page;
    }
    netinfo::Ipv6Choice ipv6; // what the IPv6 choice answers
    int ipv6Choices = 0;
    netinfo::Ipv6Choice ChooseIpv6Address(const std::string&, const std::string&, const std::string&) override
    {
        ++ipv6Choices;
        return ipv6;
    }
    std::string LookupHostName(const std::string&) override
    {
        ++lookups;
        return hostName;
    }
    bool UploadPages(bool) override
    {
        ++uploads;
        inUpload = true;
        if (duringUpload)
            duringUpload();
        if (hangInUpload) {
            const int abortsBefore = aborts;
            platform::WaitUntil([&] { return aborts > abortsBefore; }, 10000);
            inUpload = false;
            return false;
        }
        inUpload = false;
        return uploadResult;
    }
    void SendNoticeMail(std::int32_t kind, const std::string& text) override
    {
        mails.emplace_back(kind, text);
    }
    void AbortNetwork() override { ++aborts; }
    void RunClosingUpload() override
    {
        ++closingRuns;
        checkUnwoundBeforeClosing = !inUpload;
        state->ClosingDone = true;
        settings::SaveSettings(*state->Settings, settings::SaveScope::Shutdown);
        state->Settings.reset();
    }
};

std::string Page(const std::string& address)
{
    return "<body><table><tr><td>WAN</td><td>" + address + "</td></tr></table></body>";
}

class CheckCycleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("QUILLMAP_MINUTE_MS", QByteArray::number(kMinuteMs));
        QDir().mkpath(folder.file(QStringLiteral("www")));
        settings::TConfig config;
        settings::LoadSettings(config, nullptr);
        config.FtpServer = "127.0.0.1";
        config.ReplaceFolder = folder.filePath(QStringLiteral("www"));
        config.ReplaceLink = "/var/www/html";
        config.Interval = 3;
        config.TimeOut = 3;
        config.NoticeItem = 3;
        config.MailNotice = 1;
        config.PrevIP = "203.0.113.5";
        edit(config);
        settings::SaveSettings(config, settings::SaveScope::All);
    }
    void TearDown() override { qunsetenv("QUILLMAP_MINUTE_MS"); }

    virtual void edit(settings::TConfig&) {}

    // Builds the cycle with the scripted steps and runs its start-up.
    bool create()
    {
        cycle = std::make_unique<core::CheckCycle>(log, ui, [this](const core::CycleMediator& m) {
            auto s = std::make_unique<ScriptedSteps>();
            steps = s.get();
            steps->state = &m.State;
            steps->ui = &m.Ui;
            steps->pages = nextPages;
            return s;
        });
        cycle->SetLockFolder(folder.path());
        // Every published value, and whether it was the cycle's view at the moment of the signal.
        QObject::connect(cycle.get(), &core::CheckCycle::viewChanged, [this](const core::CycleView& view) {
            views.push_back(view);
            viewsCurrent = viewsCurrent && view == cycle->View();
        });
        return cycle->FormCreate();
    }

    settings::TConfig& config() { return *core::CheckCycleTestAccess::State(*cycle).Settings; }

    std::vector<std::string> logTexts() const
    {
        std::vector<std::string> out;
        for (const core::LogRow& row : log.Rows())
            out.push_back(row.Text);
        return out;
    }

    // Waits (bounded) until n uploads or fetches have happened.
    bool waitFor(const std::function<bool()>& done, int ms = 5000)
    {
        return platform::WaitUntil(done, ms) == platform::WaitResult::Done;
    }

    testsupport::TempFolder folder;
    core::OperationLog log;
    ScriptedUserInterface ui;
    std::deque<std::string> nextPages;
    std::unique_ptr<core::CheckCycle> cycle;
    std::vector<core::CycleView> views;
    bool viewsCurrent = true;
    ScriptedSteps* steps = nullptr;
};

} // namespace

TEST_F(CheckCycleTest, UnreachablePageIsTriedTwiceLoggedHalfWidthAndMailedAsKindOne)
{
    ASSERT_TRUE(create());
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->fetches, 2);
    ASSERT_EQ(log.Rows().size(), 1u);
    EXPECT_EQ(log.Rows()[0].Text, Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした｡"));
    EXPECT_EQ(log.Rows()[0].Kind, core::lkRunFailure);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 1);
    // The mail keeps the full-width text.
    EXPECT_EQ(steps->mails[0].second, Sjis(u8"ルータのステータスページにアクセスできませんでした。"));
    EXPECT_EQ(config().PrevIP, "203.0.113.5");
}

TEST_F(CheckCycleTest, SameAddressLogsNothingAndMailsNothing)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_TRUE(log.Rows().empty());
    EXPECT_TRUE(steps->mails.empty());
    EXPECT_EQ(steps->uploads, 0);
}

TEST_F(CheckCycleTest, AddressNotFoundIsLoggedAndMailedAsKindTwo)
{
    nextPages = {"<body>no address here 192.168.0.1</body>"};
    ASSERT_TRUE(create());
    core::CheckCycleTestAccess::RunCheck(*cycle);
    ASSERT_EQ(logTexts(), std::vector<std::string>{Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが見つかりませんでした｡")});
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 2);
    EXPECT_EQ(steps->fetches, 1);
}

TEST_F(CheckCycleTest, AnAddressBehindCarrierGradeNatIsNotPublishedAndTheRowSaysWhy)
{
    nextPages = {Page("100.72.14.9")};
    ASSERT_TRUE(create());
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 0);
    const std::string note =
        "100.72.14.9" + Sjis(u8"はｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ(100.64.0.0/10)のため使えません。"
                             u8"外からは届きません。ﾙｰﾀにｸﾞﾛｰﾊﾞﾙIPが割り当てられていません。");
    ASSERT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが見つかりませんでした｡"), note}));
    EXPECT_EQ(log.Rows()[1].Kind, core::lkRunFailure);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0],
              std::make_pair(2, Sjis(u8"グローバルIPが見つかりませんでした。") + "\r\n" + note));
    EXPECT_EQ(config().PrevIP, "203.0.113.5");
}

TEST_F(CheckCycleTest, ChangedAddressUploadsMailsAndKeepsTheNewAddress)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(steps->lookups, 0);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.77"),
                                                    Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。")}));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(
        steps->mails[0],
        std::make_pair(0, Sjis(u8"グローバルIPが変わりました(203.0.113.77)、ホームページを更新しました。")));
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).NewHostName, "");
}

TEST_F(CheckCycleTest, FailedUploadKeepsThePreviousAddressSoTheNextCheckTriesAgain)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->uploadResult = false;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(log.Rows().back().Text, Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。"));
    EXPECT_EQ(log.Rows().back().Kind, core::lkRunFailure);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 3);
    EXPECT_EQ(config().PrevIP, "203.0.113.5");
    steps->uploadResult = true;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 2);
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
}

TEST_F(CheckCycleTest, HostNameIsLookedUpOnlyWhenLinksUseIt)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().IPtoURL = 1;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->lookups, 1);
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).NewHostName, "host.example.test");
}

TEST_F(CheckCycleTest, WithoutUploadTheChangeIsMailedWhateverNoticeItemSays)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().FtpUpload = 0;
    config().NoticeItem = 0;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 0);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0], std::make_pair(0, Sjis(u8"グローバルIPが変わりました") + "\r\n203.0.113.77"));
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
}

TEST_F(CheckCycleTest, SettingsThatCannotWorkRefuseTheStartWithTheirMessage)
{
    ASSERT_TRUE(create());
    const auto refusal = [&]() -> std::string {
        ui.Clear();
        EXPECT_FALSE(core::CheckCycleTestAccess::CheckSettingsReady(*cycle));
        return ui.Calls().empty() ? std::string() : ui.Calls().back().text;
    };
    config().ReplaceLink.clear();
    EXPECT_EQ(refusal(), Sjis(u8"差し換えるﾘﾝｸが未設定です。"));
    config().ReplaceFolder = folder.filePath(QStringLiteral("missing"));
    EXPECT_EQ(refusal(), Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。"));
    config().ReplaceFolder.clear();
    EXPECT_EQ(refusal(), Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが未設定です。"));
    config().FtpServer.clear();
    EXPECT_EQ(refusal(), Sjis(u8"FTPｻｰﾊﾞｰが未設定です。"));
    config().GlobalIPAuto = 0;
    config().GlobalIPKey.clear();
    EXPECT_EQ(refusal(), Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索キーが未設定です。"));
    // Without uploading only the key matters.
    config().GlobalIPAuto = 1;
    config().FtpUpload = 0;
    EXPECT_TRUE(core::CheckCycleTestAccess::CheckSettingsReady(*cycle));
    cycle->cmdStartChkClick();
    EXPECT_TRUE(cycle->View().Monitoring);
}

TEST_F(CheckCycleTest, StartWithTheSameAddressAndNoMeansNoCheckNowButMonitoring)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick();
    EXPECT_TRUE(cycle->View().Monitoring);
    EXPECT_EQ(steps->fetches, 1);
    EXPECT_EQ(steps->uploads, 0);
    ASSERT_EQ(ui.Count(ScriptedUserInterface::Kind::Question), 1u);
    const auto question = std::find_if(ui.Calls().begin(), ui.Calls().end(), [](const auto& c) {
        return c.kind == ScriptedUserInterface::Kind::Question;
    });
    EXPECT_EQ(question->text,
              Sjis(u8"前回実行した時のｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ(203.0.113.5)\r\nと同じですが最初に一度実行しますか？"));
    EXPECT_TRUE(core::CheckCycleTestAccess::TimerCheck(*cycle).isActive());
    EXPECT_FALSE(cycle->View().SettingsEnabled);
    // The first timed check follows after Interval (3) minutes.
    EXPECT_TRUE(waitFor([&] { return steps->fetches >= 2; }));
    EXPECT_EQ(core::CheckCycleTestAccess::CheckMinutes(*cycle), 0);
}

TEST_F(CheckCycleTest, StartWithADifferentAddressRunsAtOnceWithTheFullUploadQuestion)
{
    nextPages = {Page("203.0.113.9")};
    ASSERT_TRUE(create());
    ui.QueueAnswer(true); // upload every file
    bool uploadAllDuringRun = false;
    steps->duringUpload = [&] { uploadAllDuringRun = core::CheckCycleTestAccess::State(*cycle).UploadAll; };
    cycle->cmdStartChkClick();
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_TRUE(uploadAllDuringRun);
    EXPECT_FALSE(core::CheckCycleTestAccess::State(*cycle).UploadAll);
    EXPECT_EQ(config().PrevIP, "203.0.113.9");
    EXPECT_TRUE(cycle->View().RunEnabled);
    // Stop again.
    cycle->cmdStartChkClick();
    EXPECT_FALSE(cycle->View().Monitoring);
    EXPECT_FALSE(core::CheckCycleTestAccess::TimerCheck(*cycle).isActive());
    EXPECT_TRUE(cycle->View().SettingsEnabled);
}

TEST_F(CheckCycleTest, TimedChecksCountMinutesUpToTheInterval)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    config().PrevIP.clear();
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick(); // runs at once (no previous address)
    EXPECT_EQ(steps->fetches, 1);
    // Two ticks: nothing yet; the third runs the check.
    EXPECT_TRUE(waitFor([&] { return core::CheckCycleTestAccess::CheckMinutes(*cycle) == 2; }));
    EXPECT_EQ(steps->fetches, 1);
    EXPECT_TRUE(waitFor([&] { return steps->fetches == 2; }));
}

TEST_F(CheckCycleTest, TrayStartRunsTheFirstCheckAboutASecondLater)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    cycle->mnuStartChkClick();
    EXPECT_TRUE(cycle->View().Monitoring);
    EXPECT_EQ(steps->fetches, 0);
    EXPECT_EQ(ui.Count(ScriptedUserInterface::Kind::Question), 0u);
    EXPECT_EQ(core::CheckCycleTestAccess::TimerCheck(*cycle).interval(), 1000);
    EXPECT_TRUE(waitFor([&] { return steps->fetches == 1; }, 5000));
    EXPECT_EQ(core::CheckCycleTestAccess::TimerCheck(*cycle).interval(), kMinuteMs);
}

TEST_F(CheckCycleTest, StopFromTheTrayDuringATimedCheckHolds)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->duringUpload = [&] { cycle->mnuStartChkClick(); }; // the tray item acts as stop
    cycle->mnuStartChkClick();
    EXPECT_TRUE(waitFor([&] { return steps->uploads == 1; }));
    EXPECT_FALSE(cycle->View().Monitoring);
    EXPECT_FALSE(core::CheckCycleTestAccess::TimerCheck(*cycle).isActive());
    // No further check follows.
    platform::WaitUntil([] { return false; }, 6 * kMinuteMs);
    EXPECT_EQ(steps->fetches, 1);
}

TEST_F(CheckCycleTest, AbortTimerEndsAHangingRunWithItsLogLine)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().TimeOut = 1;
    steps->hangInUpload = true;
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    EXPECT_EQ(steps->aborts, 1);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.77"),
                                                    Sjis(u8"ﾀｲﾑｱｳﾄにより切断します"),
                                                    Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。")}));
    EXPECT_EQ(config().PrevIP, "203.0.113.5");
}

TEST_F(CheckCycleTest, AfterTheAbortTimerNoFurtherNetworkStepStartsAndTheFailureIsReported)
{
    ASSERT_TRUE(create());
    config().TimeOut = 1;
    config().IPtoURL = 1;
    // The router never answers: the abort timer ends the first fetch, and no second one starts
    // (nothing would end it), but the failure still gets its row and its notice.
    steps->hangInFetch = true;
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    EXPECT_EQ(steps->fetches, 1);
    EXPECT_EQ(steps->aborts, 1);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ﾀｲﾑｱｳﾄにより切断します"),
                                                    Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした｡")}));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 1);

    // The page arrives, but the time runs out before the upload: neither the look-up nor the upload
    // starts, the run fails and the previous address stays for the next check.
    steps->mails.clear();
    steps->hangInFetch = false;
    steps->pages = {Page("203.0.113.77")};
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    const int abortsBefore = steps->aborts;
    steps->afterFetch = [&] { EXPECT_TRUE(waitFor([&] { return steps->aborts > abortsBefore; })); };
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    EXPECT_EQ(steps->lookups, 0);
    EXPECT_EQ(steps->uploads, 0);
    EXPECT_EQ(log.Rows().back().Text, Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。"));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 3);
    EXPECT_EQ(config().PrevIP, "203.0.113.5");

    // The next check has its full time again.
    steps->afterFetch = nullptr;
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
}

TEST_F(CheckCycleTest, ATimeOutDuringAnUploadSaysHowManyFilesWereSent)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().TimeOut = 1;
    steps->hangInUpload = true;
    // The upload run keeps these counts while it goes on.
    steps->duringUpload = [&] {
        core::CheckCycleTestAccess::State(*cycle).UploadFilesSent = 3;
        core::CheckCycleTestAccess::State(*cycle).UploadFilesTotal = 10;
    };
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, true);
    core::CheckCycleTestAccess::RunCheck(*cycle);
    core::CheckCycleTestAccess::ArmAbortTimer(*cycle, false);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.77"),
                                                    Sjis(u8"ﾀｲﾑｱｳﾄにより切断します (10ﾌｧｲﾙ中3ﾌｧｲﾙ送信済み)"),
                                                    Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。")}));
}

TEST_F(CheckCycleTest, ClosingDuringACheckWaitsForItToUnwindAndRunsOnce)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->hangInUpload = true;
    int closedSignals = 0;
    QObject::connect(cycle.get(), &core::CheckCycle::closed, [&] { ++closedSignals; });
    steps->duringUpload = [&] { QTimer::singleShot(10, [&] { cycle->FormCloseQuery(); }); };
    cycle->mnuStartChkClick();
    EXPECT_TRUE(waitFor([&] { return closedSignals == 1; }));
    EXPECT_EQ(steps->closingRuns, 1);
    EXPECT_TRUE(steps->checkUnwoundBeforeClosing);
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).Settings, nullptr);
    // After the interrupted upload nothing else was done: no failure line, no mail.
    EXPECT_TRUE(steps->mails.empty());
    EXPECT_EQ(log.Rows().size(), 1u);
    // The session's end afterwards does not run it again.
    cycle->EndSession();
    EXPECT_EQ(steps->closingRuns, 1);
    EXPECT_EQ(closedSignals, 1);
    // The previous address reached the file unchanged.
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.PrevIP, "203.0.113.5");
}

namespace {

class AutoRunTest : public CheckCycleTest
{
    void edit(settings::TConfig& config) override { config.AutoRun = 1; }
};

class SingleCopyTest : public CheckCycleTest
{
    void edit(settings::TConfig& config) override { config.LeavePlural = 0; }
};

} // namespace

TEST_F(AutoRunTest, AutoRunStartsQuietlyAndChecksAtTheFirstTick)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    EXPECT_TRUE(cycle->View().Monitoring);
    EXPECT_TRUE(core::CheckCycleTestAccess::State(*cycle).chkAutoRun);
    EXPECT_EQ(ui.Count(ScriptedUserInterface::Kind::Question), 0u);
    EXPECT_EQ(steps->fetches, 0);
    EXPECT_EQ(core::CheckCycleTestAccess::TimerCheck(*cycle).interval(), kMinuteMs);
    EXPECT_TRUE(waitFor([&] { return steps->fetches == 1; }));
}

TEST_F(SingleCopyTest, ASecondCopyIsRefusedWithItsWarning)
{
    ASSERT_TRUE(create());
    core::OperationLog otherLog;
    ScriptedUserInterface otherUi;
    bool built = false;
    core::CheckCycle second(otherLog, otherUi, [&](const core::CycleMediator&) {
        built = true;
        return std::unique_ptr<core::CheckSteps>();
    });
    second.SetLockFolder(folder.path());
    EXPECT_FALSE(second.FormCreate());
    EXPECT_FALSE(built);
    ASSERT_EQ(otherUi.Count(ScriptedUserInterface::Kind::Warning), 1u);
    EXPECT_EQ(otherUi.Calls().back().text, Sjis(u8"「Quillmap」はすでに起動しています。"));
    // Closing the refused copy runs no closing run.
    second.FormCloseQuery();
    EXPECT_TRUE(second.View().Closed);
}

TEST_F(CheckCycleTest, SeveralCopiesMayRunWhenAllowed)
{
    ASSERT_TRUE(create());
    core::OperationLog otherLog;
    ScriptedUserInterface otherUi;
    core::CheckCycle second(otherLog, otherUi, [](const core::CycleMediator& m) {
        auto s = std::make_unique<ScriptedSteps>();
        s->state = &m.State;
        return s;
    });
    second.SetLockFolder(folder.path());
    EXPECT_TRUE(second.FormCreate());
    EXPECT_EQ(otherUi.Count(ScriptedUserInterface::Kind::Warning), 0u);
}

TEST_F(CheckCycleTest, TheUploadFailedNoticeReadsAsJapanese)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->uploadResult = false;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(
        steps->mails[0],
        std::make_pair(
            3, Sjis(u8"グローバルIPが変わりましたが(203.0.113.77)、ホームページの更新に失敗しました。")));
}

// The surface that windows and the headless service drive: one view value, one signal.
namespace {

const std::string kIdleCaption = "Quillmap";

// Every signal carried a change: no two published values in a row are equal, and each was the
// view at the moment it was sent.
void ExpectOneSignalPerChange(const std::vector<core::CycleView>& views, bool current)
{
    EXPECT_TRUE(current);
    for (size_t i = 1; i < views.size(); ++i)
        EXPECT_FALSE(views[i] == views[i - 1]) << "signal " << i << " repeats the value before it";
}

} // namespace

TEST_F(CheckCycleTest, StartAndStopChangeCaptionsAndEnablesInOneSignalEach)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(cycle->View().Caption, kIdleCaption);
    EXPECT_EQ(cycle->View().RunCaption, Sjis(u8"実行(&E)"));
    EXPECT_TRUE(cycle->View().SettingsEnabled);
    EXPECT_FALSE(cycle->View().CheckRunning);

    ui.QueueAnswer(false); // same address: no check now
    views.clear();
    cycle->cmdStartChkClick();
    const core::CycleView monitoring = cycle->View();
    EXPECT_TRUE(monitoring.Monitoring);
    EXPECT_EQ(monitoring.Caption, Sjis(u8"Quillmap (実行中)"));
    EXPECT_EQ(monitoring.RunCaption, Sjis(u8"停止(&E)"));
    EXPECT_TRUE(monitoring.RunEnabled);
    EXPECT_TRUE(monitoring.BrowseEnabled);
    EXPECT_FALSE(monitoring.SettingsEnabled);
    // While the first look at the page waited, the buttons were off and a check was running.
    ASSERT_GE(views.size(), 2u);
    EXPECT_FALSE(views.front().RunEnabled);
    EXPECT_FALSE(views.front().BrowseEnabled);
    EXPECT_TRUE(std::any_of(views.begin(), views.end(), [](const auto& v) { return v.CheckRunning; }));
    EXPECT_EQ(views.back(), monitoring);

    views.clear();
    cycle->cmdStartChkClick();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_FALSE(views[0].Monitoring);
    EXPECT_EQ(views[0].Caption, kIdleCaption);
    EXPECT_EQ(views[0].RunCaption, Sjis(u8"実行(&E)"));
    EXPECT_TRUE(views[0].SettingsEnabled);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, ATimedCheckTurnsTheButtonsOffWhileItRunsAndShowsItsProgress)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    core::CycleView duringUpload;
    core::CycleView afterStepStatus;
    steps->duringUpload = [&] {
        duringUpload = cycle->View();
        // The upload run's own progress text reaches the view through the steps' user interface.
        steps->ui->SetStatusText("Upload.htm 50%");
        afterStepStatus = cycle->View();
    };
    cycle->mnuStartChkClick();
    ASSERT_TRUE(waitFor([&] { return steps->uploads == 1 && !cycle->View().CheckRunning; }));

    EXPECT_TRUE(duringUpload.Monitoring);
    EXPECT_TRUE(duringUpload.CheckRunning);
    EXPECT_FALSE(duringUpload.RunEnabled);
    EXPECT_FALSE(duringUpload.BrowseEnabled);
    EXPECT_FALSE(duringUpload.SettingsEnabled);
    EXPECT_EQ(duringUpload.StatusText, Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
    EXPECT_EQ(afterStepStatus.StatusText, "Upload.htm 50%");

    const core::CycleView after = cycle->View();
    EXPECT_TRUE(after.RunEnabled);
    EXPECT_TRUE(after.BrowseEnabled);
    EXPECT_FALSE(after.SettingsEnabled); // still monitoring
    EXPECT_EQ(after.StatusText, "");
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, NothingIsSignalledWhenNothingChanges)
{
    ASSERT_TRUE(create());
    config().FtpServer.clear(); // the start is refused with a warning
    views.clear();
    cycle->cmdStartChkClick();
    EXPECT_FALSE(cycle->View().Monitoring);
    EXPECT_EQ(ui.Count(ScriptedUserInterface::Kind::Warning), 1u);
    // The box is disabled (ClosedUse is off in these settings): a tick is ignored.
    ASSERT_FALSE(cycle->View().ClosingUploadEnabled);
    cycle->SetClosingUpload(true);
    EXPECT_FALSE(cycle->View().ClosingUpload);
    // The same status text twice is one change at most.
    steps->ui->SetStatusText("");
    EXPECT_TRUE(views.empty());
    // A redisplay does change things, and each signal carries a change.
    cycle->cmdBrowseClick();
    EXPECT_FALSE(views.empty());
    EXPECT_EQ(views.back(), cycle->View());
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, TheSettingsAreLentOnlyWhileNoCheckRunsAndNothingStartsMeanwhile)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    settings::TConfig* const own = &config();

    // Nor while the redisplay waits for the page, though monitoring is off.
    settings::TConfig* lentDuringRedisplay = own;
    steps->afterFetch = [&] { lentDuringRedisplay = cycle->LendSettings(); };
    cycle->cmdBrowseClick();
    EXPECT_EQ(lentDuringRedisplay, nullptr);
    steps->afterFetch = nullptr;

    // During a check (and while monitoring at all) the dialog gets nothing.
    settings::TConfig* lentDuringCheck = own;
    steps->duringUpload = [&] { lentDuringCheck = cycle->LendSettings(); };
    cycle->mnuStartChkClick();
    ASSERT_TRUE(waitFor([&] { return steps->uploads == 1 && !cycle->View().CheckRunning; }));
    EXPECT_EQ(lentDuringCheck, nullptr);
    EXPECT_EQ(cycle->LendSettings(), nullptr);
    cycle->cmdStartChkClick(); // stop
    ASSERT_FALSE(cycle->View().Monitoring);

    views.clear();
    settings::TConfig* const lent = cycle->LendSettings();
    EXPECT_EQ(lent, own);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_TRUE(views[0].SettingsLent);
    EXPECT_FALSE(views[0].SettingsEnabled);
    EXPECT_FALSE(views[0].RunEnabled);
    EXPECT_FALSE(views[0].BrowseEnabled);
    // Lent once only; neither the button, the tray item nor the redisplay starts anything now.
    EXPECT_EQ(cycle->LendSettings(), nullptr);
    const int fetches = steps->fetches;
    cycle->cmdStartChkClick();
    cycle->mnuStartChkClick();
    cycle->cmdBrowseClick();
    EXPECT_FALSE(cycle->View().Monitoring);
    EXPECT_EQ(steps->fetches, fetches);
    EXPECT_EQ(views.size(), 1u);

    cycle->ReturnSettings(false);
    EXPECT_FALSE(cycle->View().SettingsLent);
    EXPECT_TRUE(cycle->View().SettingsEnabled);
    EXPECT_TRUE(cycle->View().RunEnabled);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, SavedSettingsDecideTheClosingUploadBoxAndCancelLeavesIt)
{
    ASSERT_TRUE(create());
    ASSERT_FALSE(cycle->View().ClosingUploadEnabled);

    settings::TConfig* s = cycle->LendSettings();
    ASSERT_NE(s, nullptr);
    s->ClosedUse = 1;
    s->FtpUpload = 1;
    views.clear();
    cycle->ReturnSettings(true);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_TRUE(views[0].ClosingUploadEnabled);
    EXPECT_TRUE(views[0].ClosingUpload);
    EXPECT_TRUE(core::CheckCycleTestAccess::State(*cycle).chkClosed);

    // The user clears the box; the closing run reads what the box says.
    cycle->SetClosingUpload(false);
    EXPECT_FALSE(cycle->View().ClosingUpload);
    EXPECT_FALSE(core::CheckCycleTestAccess::State(*cycle).chkClosed);

    // Cancel: whatever the dialog did to the object, the box stays.
    s = cycle->LendSettings();
    ASSERT_NE(s, nullptr);
    s->FtpUpload = 0;
    cycle->ReturnSettings(false);
    EXPECT_TRUE(cycle->View().ClosingUploadEnabled);
    EXPECT_FALSE(cycle->View().ClosingUpload);

    // Without uploading there is no closing upload, whatever ClosedUse says.
    s = cycle->LendSettings();
    ASSERT_NE(s, nullptr);
    cycle->ReturnSettings(true);
    EXPECT_FALSE(cycle->View().ClosingUploadEnabled);
    EXPECT_FALSE(cycle->View().ClosingUpload);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, ClosingWhileTheSettingsAreLentWaitsUntilTheyComeBack)
{
    ASSERT_TRUE(create());
    bool saved = false;
    int closedSignals = 0;
    QObject::connect(cycle.get(), &core::CheckCycle::closed, [&](bool ok) {
        ++closedSignals;
        saved = ok;
    });
    ASSERT_NE(cycle->LendSettings(), nullptr);
    cycle->FormCloseQuery();
    // The closing run releases the settings: not while the dialog still edits them.
    EXPECT_EQ(steps->closingRuns, 0);
    EXPECT_EQ(closedSignals, 0);
    EXPECT_FALSE(cycle->View().Closed);
    cycle->ReturnSettings(false);
    EXPECT_EQ(steps->closingRuns, 1);
    EXPECT_EQ(closedSignals, 1);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(cycle->View().Closed);
    EXPECT_FALSE(cycle->View().RunEnabled);
    EXPECT_FALSE(cycle->View().SettingsEnabled);
    EXPECT_EQ(cycle->LendSettings(), nullptr);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

TEST_F(CheckCycleTest, TheSettingsDialogsPageTestReadsThePageOnlyWhileItHoldsTheSettings)
{
    nextPages = {"<body>WAN 203.0.113.9</body>"};
    ASSERT_TRUE(create());
    const auto before = cycle->View().StatusPage;

    // Not lent: nothing is read.
    EXPECT_FALSE(cycle->FetchStatusPageForSettings());
    EXPECT_EQ(steps->fetches, 0);

    settings::TConfig* s = cycle->LendSettings();
    ASSERT_NE(s, nullptr);
    views.clear();
    EXPECT_TRUE(cycle->FetchStatusPageForSettings());
    EXPECT_EQ(steps->fetches, 1);
    EXPECT_EQ(*cycle->View().StatusPage, "<body>WAN 203.0.113.9</body>");
    EXPECT_NE(cycle->View().StatusPage, before);
    // The progress text showed while the page was read, and is gone afterwards.
    bool progressShown = false;
    for (const core::CycleView& v : views)
        progressShown = progressShown || v.StatusText == Sjis(u8"ｽﾃｰﾀｽ表示中...");
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(cycle->View().StatusText.empty());

    // A router that gives nothing is a failed test, not a success.
    steps->pages = {""};
    EXPECT_FALSE(cycle->FetchStatusPageForSettings());
    EXPECT_TRUE(cycle->View().StatusPage->empty());
    cycle->ReturnSettings(false);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

class OptionBoxesTest : public CheckCycleTest
{
    void edit(settings::TConfig& c) override
    {
        c.RecLog = 1;
        c.ShowWindow = 0;
        c.AutoRun = 0;
    }
};

TEST_F(OptionBoxesTest, TheOptionBoxesStartFromTheSettingsAndReachTheClosingRun)
{
    ASSERT_TRUE(create());
    EXPECT_TRUE(cycle->View().RecLog);
    EXPECT_TRUE(cycle->View().HideAtStart);
    EXPECT_FALSE(cycle->View().AutoRun);
    EXPECT_TRUE(log.RecLog());

    cycle->SetRecLog(false);
    cycle->SetHideAtStart(false);
    cycle->SetAutoRun(true);
    EXPECT_FALSE(log.RecLog());
    const core::MainState& state = core::CheckCycleTestAccess::State(*cycle);
    EXPECT_FALSE(state.chkRecLog);
    EXPECT_FALSE(state.chkShowWindow);
    EXPECT_TRUE(state.chkAutoRun);
    EXPECT_FALSE(cycle->View().RecLog);
    EXPECT_FALSE(cycle->View().HideAtStart);
    EXPECT_TRUE(cycle->View().AutoRun);
    ExpectOneSignalPerChange(views, viewsCurrent);
}

// The second source of the address ([GlobalIP] Source2).

TEST_F(CheckCycleTest, TheSecondSourceFillsInWhenThePageHasNoUsableAddress)
{
    nextPages = {Page("100.72.14.9")};
    ASSERT_TRUE(create());
    config().Source2 = 1;
    steps->secondAddress = "198.51.100.8";
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->secondFetches, 1);
    EXPECT_EQ(logTexts(),
              (std::vector<std::string>{
                  Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにｸﾞﾛｰﾊﾞﾙIPがないため、UPnPのｱﾄﾞﾚｽを使います。198.51.100.8"),
                  Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。198.51.100.8"), Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。")}));
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(config().PrevIP, "198.51.100.8");
    // The same situation at the next check: nothing new to say.
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(log.Rows().size(), 3u);
    EXPECT_EQ(steps->uploads, 1);
    // The echo page is named as such.
    config().Source2 = 2;
    steps->secondAddress = "198.51.100.9";
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(logTexts()[3],
              Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにｸﾞﾛｰﾊﾞﾙIPがないため、確認用URLのｱﾄﾞﾚｽを使います。198.51.100.9"));
}

TEST_F(CheckCycleTest, DifferingSourcesKeepThePageAddressAndSayItOncePerDifference)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    config().Source2 = 2;
    steps->secondAddress = "198.51.100.8";
    const std::string row =
        Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞのｱﾄﾞﾚｽ(203.0.113.5)と確認用URLのｱﾄﾞﾚｽ(198.51.100.8)が違います。"
             u8"ｽﾃｰﾀｽﾍﾟｰｼﾞのｱﾄﾞﾚｽを使います。");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(logTexts(), std::vector<std::string>{row});
    EXPECT_EQ(log.Rows()[0].Kind, core::lkRunFailure);
    EXPECT_EQ(steps->uploads, 0);
    EXPECT_EQ(config().PrevIP, "203.0.113.5");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(log.Rows().size(), 1u);
    // Once they agree, a later difference is reported again.
    steps->secondAddress = "203.0.113.5";
    core::CheckCycleTestAccess::RunCheck(*cycle);
    steps->secondAddress = "198.51.100.8";
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{row, row}));
    EXPECT_EQ(steps->secondFetches, 4);
}

TEST_F(CheckCycleTest, WithoutASecondSourceNoneIsAsked)
{
    nextPages = {Page("100.72.14.9")};
    ASSERT_TRUE(create());
    for (const std::int32_t unknown : {0, 3, -1}) {
        config().Source2 = unknown;
        steps->secondAddress = "198.51.100.8";
        core::CheckCycleTestAccess::RunCheck(*cycle);
    }
    EXPECT_EQ(steps->secondFetches, 0);
    EXPECT_EQ(steps->uploads, 0);
}

// The published page read back after an upload ([FTP] CheckURL).

class ReadBackTest : public CheckCycleTest
{
protected:
    void edit(settings::TConfig& c) override { c.FtpCheckURL = "http://www.example.test/~me/index.html"; }
    const std::string kFound = Sjis(u8"公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽがあることを確認しました。");
};

TEST_F(ReadBackTest, ThePublishedPageWithTheNewAddressGivesOneEventRow)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->publishedPages = {"<a href=\"http://203.0.113.77/cam/\">cam</a>"};
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->publishedReads, 1);
    ASSERT_EQ(log.Rows().size(), 3u);
    EXPECT_EQ(log.Rows()[2].Text, kFound + "203.0.113.77");
    EXPECT_EQ(log.Rows()[2].Kind, core::lkEvent);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 0);
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
}

TEST_F(ReadBackTest, AMissIsTriedAgainAtTheNextTickAndASecondMissIsNotified)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().Interval = 100; // no second check meanwhile
    // The old address, and one that merely begins with the new one, are no match.
    steps->publishedPages = {"<a href=\"http://203.0.113.5/\">", "<a href=\"http://203.0.113.770/\">"};
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick();
    EXPECT_EQ(steps->publishedReads, 1);
    EXPECT_EQ(logTexts().back(),
              Sjis(u8"公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽ(203.0.113.77)がありません。1分後にもう一度確認します。"));
    EXPECT_EQ(log.Rows().back().Kind, core::lkRunFailure);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_TRUE(waitFor([&] { return steps->publishedReads == 2; }));
    EXPECT_EQ(
        logTexts().back(),
        Sjis(u8"公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽ(203.0.113.77)がありません。ｱｯﾌﾟﾛｰﾄﾞしたﾍﾟｰｼﾞが公開されていません。"));
    ASSERT_EQ(steps->mails.size(), 2u);
    EXPECT_EQ(
        steps->mails[1],
        std::make_pair(3, Sjis(u8"グローバルIPが変わりましたが(203.0.113.77)、公開されているホームページに"
                               u8"新しいアドレスがありません。") +
                              "\r\nhttp://www.example.test/~me/index.html"));
    // PrevIP follows the upload; no third read follows.
    EXPECT_EQ(config().PrevIP, "203.0.113.77");
    const int fetches = steps->fetches;
    platform::WaitUntil([] { return false; }, 4 * kMinuteMs);
    EXPECT_EQ(steps->publishedReads, 2);
    EXPECT_EQ(steps->fetches, fetches);
}

TEST_F(ReadBackTest, AnUnreadablePageThatShowsTheHostNameAtTheRetryIsFine)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    config().Interval = 100;
    config().IPtoURL = 1; // the links hold the host name
    config().NoticeItem = 1;
    steps->publishedPages = {"", "<a href=\"http://host.example.test/\">"};
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick();
    EXPECT_EQ(logTexts().back(), Sjis(u8"公開ﾍﾟｰｼﾞを読めませんでした。1分後にもう一度確認します。"));
    EXPECT_TRUE(waitFor([&] { return steps->publishedReads == 2; }));
    EXPECT_EQ(logTexts().back(), kFound + "host.example.test");
    EXPECT_EQ(steps->mails.size(), 1u);
}

TEST_F(ReadBackTest, NothingIsReadAfterAFailedUploadOrWithoutTheKey)
{
    nextPages = {Page("203.0.113.77")};
    ASSERT_TRUE(create());
    steps->uploadResult = false;
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->publishedReads, 0);
    steps->uploadResult = true;
    config().FtpCheckURL.clear();
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 2);
    EXPECT_EQ(steps->publishedReads, 0);
}

TEST(ReadBackMatch, TheAddressOrNameMustStandAlone)
{
    EXPECT_TRUE(core::PageShowsAddress("http://203.0.113.7/", "203.0.113.7"));
    EXPECT_TRUE(core::PageShowsAddress("at 203.0.113.7.", "203.0.113.7"));
    EXPECT_FALSE(core::PageShowsAddress("http://203.0.113.70/", "203.0.113.7"));
    EXPECT_FALSE(core::PageShowsAddress("http://1203.0.113.7/", "203.0.113.7"));
    EXPECT_FALSE(core::PageShowsAddress("203.0.113.7.5", "203.0.113.7"));
    EXPECT_TRUE(core::PageShowsAddress("x 203.0.113.70 y 203.0.113.7", "203.0.113.7"));
    EXPECT_TRUE(core::PageShowsAddress("http://host.example.test:8080/", "host.example.test"));
    EXPECT_FALSE(core::PageShowsAddress("http://myhost.example.test/", "host.example.test"));
    EXPECT_FALSE(core::PageShowsAddress("http://host.example.test.evil/", "host.example.test"));
    EXPECT_FALSE(core::PageShowsAddress("anything", ""));
}

// Publishing over IPv6: this machine's address takes the place of the router's IPv4 address.
class Ipv6CycleTest : public CheckCycleTest
{
protected:
    void edit(settings::TConfig& c) override
    {
        c.Ipv6Use = 1;
        c.PrevIPv6 = "2001:db8:d0:5::10";
    }
    static netinfo::Ipv6Choice Chosen(const std::string& address)
    {
        netinfo::Ipv6Choice choice;
        choice.address = address;
        choice.interfaceName = "eth0";
        return choice;
    }
};

TEST_F(Ipv6CycleTest, TheIpv6AddressIsPublishedMailedWithThePrefixLineAndTheIpv4AddressOnlyLogged)
{
    nextPages = {Page("203.0.113.9")};
    ASSERT_TRUE(create());
    steps->ipv6 = Chosen("2001:db8:e0:5::10");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).NewGlobalIP, "2001:db8:e0:5::10");
    EXPECT_EQ(logTexts(), (std::vector<std::string>{Sjis(u8"ﾙｰﾀのIPv4ｱﾄﾞﾚｽ: 203.0.113.9"),
                                                    Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:e0:5::10"),
                                                    Sjis(u8"IPv6のﾌﾟﾚﾌｨｯｸｽが変わりました(以前は2001:db8:d0:5:"
                                                         u8":/64)。ﾙｰﾀのIPv6ﾊﾟｹｯﾄﾌｨﾙﾀを確認してください。"),
                                                    Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。")}));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 0);
    EXPECT_EQ(
        steps->mails[0].second,
        Sjis(u8"グローバルIPが変わりました(2001:db8:e0:5::10)、ホームページを更新しました。\r\n"
             u8"IPv6のプレフィックスが変わりました(以前は2001:db8:d0:5::/64)。ルータのIPv6パケットフィルタが"
             u8"古いアドレスを指定したままになっていないか確認してください。"));
    EXPECT_EQ(config().PrevIPv6, "2001:db8:e0:5::10");
    // The pages no longer hold the IPv4 address: back in IPv4 mode the next check publishes again.
    EXPECT_EQ(config().PrevIP, "");

    // The same addresses again: nothing to publish, and the IPv4 row is not repeated.
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(log.Rows().size(), 4u);

    // Another host of the same /64 network: published, but the packet filter line stays out.
    steps->ipv6 = Chosen("2001:db8:e0:5::11");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 2);
    ASSERT_EQ(steps->mails.size(), 2u);
    EXPECT_EQ(steps->mails[1].second,
              Sjis(u8"グローバルIPが変わりました(2001:db8:e0:5::11)、ホームページを更新しました。"));
}

TEST_F(Ipv6CycleTest, AMissingIpv4AddressOrRouterPageIsNoFailure)
{
    // DS-Lite: the router's WAN side holds 192.0.0.2, no inbound IPv4 exists.
    nextPages = {Page("192.0.0.2")};
    ASSERT_TRUE(create());
    steps->ipv6 = Chosen("2001:db8:e0:5::10");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 1);
    for (const core::LogRow& row : log.Rows())
        EXPECT_NE(row.Kind, core::lkRunFailure) << row.Text;
    EXPECT_EQ(log.Rows().front().Text, Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにIPv4のｸﾞﾛｰﾊﾞﾙIPはありません(IPv6で公開します)。"));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 0);

    // The router cannot be reached: said in the log, but the address is still published.
    steps->pages = {};
    steps->ipv6 = Chosen("2001:db8:f0:1::10");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 2);
    EXPECT_EQ(config().PrevIPv6, "2001:db8:f0:1::10");
    ASSERT_EQ(steps->mails.size(), 2u);
    EXPECT_EQ(steps->mails[1].first, 0) << "no unreachable notice";
}

TEST_F(Ipv6CycleTest, NoUsableIpv6AddressIsAFailureWithTheReason)
{
    nextPages = {Page("203.0.113.9")};
    ASSERT_TRUE(create());
    steps->ipv6.error = Sjis(u8"公開できるIPv6ｱﾄﾞﾚｽ(固定のｸﾞﾛｰﾊﾞﾙｱﾄﾞﾚｽ)がありません。");
    core::CheckCycleTestAccess::RunCheck(*cycle);
    EXPECT_EQ(steps->uploads, 0);
    ASSERT_EQ(log.Rows().size(), 3u);
    EXPECT_EQ(log.Rows()[1].Text, Sjis(u8"IPv6のｸﾞﾛｰﾊﾞﾙｱﾄﾞﾚｽが見つかりませんでした｡"));
    EXPECT_EQ(log.Rows()[1].Kind, core::lkRunFailure);
    EXPECT_EQ(log.Rows()[2].Text, steps->ipv6.error);
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0],
              std::make_pair(2, Sjis(u8"IPv6のグローバルアドレスが見つかりませんでした。\r\n") +
                                    steps->ipv6.error));
    EXPECT_EQ(config().PrevIPv6, "2001:db8:d0:5::10") << "kept for the next check";
}

TEST_F(Ipv6CycleTest, AnAnnouncedChangeOfTheChosenAddressRunsACheckWithinSeconds)
{
    nextPages = {Page("203.0.113.9")};
    ASSERT_TRUE(create());
    config().Interval = 100000; // the interval would come far too late
    steps->ipv6 = Chosen("2001:db8:d0:5::10");
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick();
    ASSERT_TRUE(cycle->View().Monitoring);
    EXPECT_EQ(steps->uploads, 0);

    // Announcements that leave the chosen address as it is (a temporary address came) start nothing.
    core::CheckCycleTestAccess::Ipv6AddressesChanged(*cycle);
    platform::WaitUntil([] { return false; }, 2500);
    EXPECT_EQ(steps->fetches, 1);

    steps->ipv6 = Chosen("2001:db8:e0:5::10");
    QElapsedTimer clock;
    clock.start();
    core::CheckCycleTestAccess::Ipv6AddressesChanged(*cycle);
    core::CheckCycleTestAccess::Ipv6AddressesChanged(*cycle); // a burst gives one check
    ASSERT_TRUE(waitFor([&] { return steps->uploads >= 1; }, 8000));
    EXPECT_LT(clock.elapsed(), 5000);
    platform::WaitUntil([] { return false; }, 2000);
    EXPECT_EQ(steps->uploads, 1);
    EXPECT_EQ(steps->fetches, 2);
    EXPECT_EQ(config().PrevIPv6, "2001:db8:e0:5::10");
    EXPECT_TRUE(core::CheckCycleTestAccess::TimerCheck(*cycle).isActive()) << "the interval runs on";

    // Stopped, nothing reacts any more.
    cycle->cmdStartChkClick();
    steps->ipv6 = Chosen("2001:db8:f0:1::10");
    core::CheckCycleTestAccess::Ipv6AddressesChanged(*cycle);
    platform::WaitUntil([] { return false; }, 2500);
    EXPECT_EQ(steps->uploads, 1);
}

TEST_F(CheckCycleTest, InIpv4ModeAddressAnnouncementsStartNoCheck)
{
    nextPages = {Page("203.0.113.5")};
    ASSERT_TRUE(create());
    config().Interval = 100000;
    ui.QueueAnswer(false);
    cycle->cmdStartChkClick();
    steps->ipv6.address = "2001:db8:e0:5::10";
    core::CheckCycleTestAccess::Ipv6AddressesChanged(*cycle);
    platform::WaitUntil([] { return false; }, 2500);
    EXPECT_EQ(steps->fetches, 1);
    EXPECT_EQ(steps->ipv6Choices, 0);
}
