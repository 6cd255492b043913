// Where the dynamic DNS update sits in a check: right after a changed address is found and before
// the upload, also on a check that finds the same address (refresh and retry), with its line in the
// notice mail and a mail of its own for a refusal when the check mails nothing else.
#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "support/CheckCycleTestAccess.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <gtest/gtest.h>

using text::Sjis;

namespace {

struct DdnsSteps : core::CheckSteps
{
    std::string page;
    std::string ipv6; // this machine's address, for a check that publishes over IPv6
    core::DynamicDnsStep answer;
    std::vector<std::string> order; // the steps as they ran
    std::vector<std::pair<int, std::string>> mails;
    core::MainState* state = nullptr;

    std::string FetchStatusPage() override { return page; }
    bool Navigating() const override { return false; }
    void CancelNavigation() override {}
    std::string FetchSecondAddress() override { return {}; }
    std::string FetchPublishedPage() override { return {}; }
    std::string LookupHostName(const std::string&) override { return {}; }
    netinfo::Ipv6Choice ChooseIpv6Address(const std::string&, const std::string&, const std::string&) override
    {
        netinfo::Ipv6Choice choice;
        choice.address = ipv6;
        return choice;
    }
    core::DynamicDnsStep UpdateDynamicDns(const std::string& address) override
    {
        order.push_back("ddns " + address);
        return answer;
    }
    bool UploadPages(bool) override
    {
        order.push_back("upload");
        return true;
    }
    void SendNoticeMail(std::int32_t kind, const std::string& text) override
    {
        order.push_back("mail");
        mails.emplace_back(kind, text);
    }
    void AbortNetwork() override {}
    void RunClosingUpload() override
    {
        state->ClosingDone = true;
        state->Settings.reset();
    }
};

class DdnsCheckTest : public ::testing::Test
{
protected:
    void Start(bool upload, bool overIpv6 = false)
    {
        qputenv("QUILLMAP_MINUTE_MS", "40");
        QDir().mkpath(folder.file(QStringLiteral("www")));
        settings::TConfig config;
        settings::LoadSettings(config, nullptr);
        config.FtpUpload = upload ? 1 : 0;
        config.FtpServer = "127.0.0.1";
        config.ReplaceFolder = folder.filePath(QStringLiteral("www"));
        config.ReplaceLink = "/var/www/html";
        config.MailNotice = 1;
        config.NoticeItem = 1;
        config.PrevIP = "203.0.113.5";
        if (overIpv6) {
            config.Ipv6Use = 1;
            config.PrevIPv6 = "2001:db8:1::10";
        }
        settings::SaveSettings(config, settings::SaveScope::All);
        cycle = std::make_unique<core::CheckCycle>(log, ui, [this](const core::CycleMediator& m) {
            auto s = std::make_unique<DdnsSteps>();
            steps = s.get();
            steps->state = &m.State;
            return s;
        });
        cycle->SetLockFolder(folder.path());
        ASSERT_TRUE(cycle->FormCreate());
    }
    void TearDown() override { qunsetenv("QUILLMAP_MINUTE_MS"); }

    void Check(const std::string& address)
    {
        steps->page = "<body><table><tr><td>WAN</td><td>" + address + "</td></tr></table></body>";
        core::CheckCycleTestAccess::RunCheck(*cycle);
    }

    testsupport::TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    std::unique_ptr<core::CheckCycle> cycle;
    DdnsSteps* steps = nullptr;
};

} // namespace

TEST_F(DdnsCheckTest, AChangedAddressGoesToTheHostNamesBeforeTheUploadAndIntoTheMail)
{
    Start(true);
    steps->answer.MailLine = Sjis(u8"DDNSを更新しました(home.example.test A 198.51.100.7)。");
    Check("198.51.100.7");
    EXPECT_EQ(steps->order, (std::vector<std::string>{"ddns 198.51.100.7", "upload", "mail"}));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 0);
    EXPECT_EQ(steps->mails[0].second,
              Sjis(u8"グローバルIPが変わりました(198.51.100.7)、ホームページを更新しました。") + "\r\n" +
                  steps->answer.MailLine);
    // PrevIP keeps its meaning for the pages.
    EXPECT_EQ(core::CheckCycleTestAccess::State(*cycle).Settings->PrevIP, "198.51.100.7");
}

TEST_F(DdnsCheckTest, TheSameAddressStillGivesTheHostNamesTheirTurnAndARefusalIsMailedOnce)
{
    Start(false);
    Check("203.0.113.5");
    EXPECT_EQ(steps->order, (std::vector<std::string>{"ddns 203.0.113.5"}));
    EXPECT_TRUE(steps->mails.empty());

    steps->answer = {Sjis(u8"DDNSの更新を停止しました(A home.example.test: badauth)。"), true};
    Check("203.0.113.5");
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_EQ(steps->mails[0].first, 4);
    EXPECT_EQ(steps->mails[0].second, steps->answer.MailLine);

    // A refusal on a changed address rides in the change's own mail.
    Check("198.51.100.9");
    ASSERT_EQ(steps->mails.size(), 2u);
    EXPECT_EQ(steps->mails[1].first, 0);
    EXPECT_EQ(steps->mails[1].second,
              Sjis(u8"グローバルIPが変わりました") + "\r\n198.51.100.9\r\n" + steps->answer.MailLine);
}

// Over IPv6 the pages get this machine's IPv6 address, but the A record still names the router's
// IPv4 address: handing it the IPv6 address would make every A update fail.
TEST_F(DdnsCheckTest, OverIpv6TheARecordGetsTheRoutersIpv4Address)
{
    Start(true, true);
    steps->ipv6 = "2001:db8:1::20";
    Check("198.51.100.7");
    EXPECT_EQ(steps->order, (std::vector<std::string>{"ddns 198.51.100.7", "upload", "mail"}));
    ASSERT_EQ(steps->mails.size(), 1u);
    EXPECT_NE(steps->mails[0].second.find("2001:db8:1::20"), std::string::npos);

    // A router page without a usable IPv4 address (DS-Lite) leaves the A record nothing to send.
    steps->order.clear();
    Check("192.0.0.2");
    EXPECT_EQ(steps->order, (std::vector<std::string>{"ddns "}));
}
