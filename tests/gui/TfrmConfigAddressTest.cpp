// The settings dialog's parts of the reachable address: the search test's "詳細", the second source
// of the address and the published page read back, against the router simulator on 127.0.0.1.
#include "TfrmConfigFixture.h"
#include "statuspage/RouterFixture.h"

using namespace configtest;

namespace {

class ConfigDialogAddress : public ConfigDialogTest
{
protected:
    void openOnRouter(const std::function<void(settings::TConfig&)>& more = {})
    {
        ASSERT_TRUE(router.ok());
        const settings::TConfig routerSettings = router.Settings();
        open([&](settings::TConfig& c) {
            c.GatewayAuto = 0;
            c.GatewayIP = routerSettings.GatewayIP;
            c.StatusURL = routerSettings.StatusURL;
            c.StatusLogon = 1;
            c.StatusUser = routerSettings.StatusUser;
            c.StatusPass = routerSettings.StatusPass;
            c.GlobalIPAuto = 1;
            c.TimeOut = 1;
            if (more)
                more(c);
        });
    }
    void setWan(const char* address) { router.Control(QStringLiteral("/_control/address?value=") + address); }

    routertest::Router router;
};

} // namespace

TEST_F(ConfigDialogAddress, TheSearchResultsDetailsListTheSearchsDecisions)
{
    openOnRouter();
    // OK alone: the one result box.
    click("cmdGlolalIP");
    ASSERT_EQ(informations().size(), 1u);
    EXPECT_EQ(informations()[0].rfind("ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45", 0), 0u);

    // "詳細": the page's candidates in page order, then the result.
    ui.Clear();
    ui.QueueDetailsChoice(true);
    click("cmdGlolalIP");
    ASSERT_EQ(informations().size(), 2u);
    const std::string details = informations()[1];
    const size_t lan = details.find("192.168.0.1  除外 (ﾌﾟﾗｲﾍﾞｰﾄｱﾄﾞﾚｽ)");
    const size_t dns = details.find("203.0.113.1  除外 (｢DNS｣の後の最初のｱﾄﾞﾚｽ: DNSｻｰﾊﾞｰ)");
    const size_t taken = details.find("203.0.113.45  採用");
    EXPECT_NE(lan, std::string::npos) << details;
    EXPECT_NE(dns, std::string::npos) << details;
    EXPECT_NE(taken, std::string::npos) << details;
    EXPECT_TRUE(lan < dns && dns < taken) << details;
    EXPECT_NE(details.find("\r\n結果: 203.0.113.45"), std::string::npos) << details;

    // A router behind carrier-grade NAT: nothing found, and the details say why.
    setWan("100.64.20.30");
    ui.Clear();
    ui.QueueDetailsChoice(true);
    click("cmdGlolalIP");
    ASSERT_EQ(informations().size(), 2u);
    EXPECT_EQ(informations()[0], "見つかりませんでした。");
    EXPECT_NE(informations()[1].find("100.64.20.30  除外 (ｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ"), std::string::npos)
        << informations()[1];
    EXPECT_TRUE(settingsUnchanged());
}
