// The settings dialog's parts of the reachable address: the search test's "詳細", the second source
// of the address and the published page read back, against the router simulator on 127.0.0.1.
#include "TfrmConfigFixture.h"
#include "statuspage/RouterFixture.h"
#include "support/ClosedPort.h"

#include <QComboBox>

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

TEST_F(ConfigDialogAddress, TheSecondSourceAndTheReadBackAddressAreFilledRuledAndSaved)
{
    openOnRouter([](settings::TConfig& c) {
        c.Source2 = 2;
        c.EchoURL = "http://echo.example.test/ip";
        c.FtpCheckURL = "http://www.example.test/";
    });
    auto* choice = w<QComboBox>("cboSource2");
    EXPECT_EQ(choice->currentIndex(), 2);
    EXPECT_EQ(choice->currentText(), QString::fromUtf8(u8"確認用URL"));
    EXPECT_EQ(box("txtEchoURL")->text(), QStringLiteral("http://echo.example.test/ip"));
    EXPECT_EQ(box("txtCheckURL")->text(), QStringLiteral("http://www.example.test/"));
    EXPECT_TRUE(box("txtEchoURL")->isEnabled());
    // The URL box belongs to the echo page alone; the test button to any source.
    choice->setCurrentIndex(1);
    EXPECT_FALSE(box("txtEchoURL")->isEnabled());
    EXPECT_TRUE(button("cmdSource2Test")->isEnabled());
    choice->setCurrentIndex(0);
    EXPECT_FALSE(button("cmdSource2Test")->isEnabled());
    // The read-back follows the upload switch.
    EXPECT_TRUE(box("txtCheckURL")->isEnabled());
    click("chkFtpUpload");
    EXPECT_FALSE(box("txtCheckURL")->isEnabled());
    click("chkFtpUpload");
    EXPECT_TRUE(box("txtCheckURL")->isEnabled());

    choice->setCurrentIndex(1);
    type("txtCheckURL", QStringLiteral("http://127.0.0.1/index.htm"));
    click("cmdOK");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->Source2, 1);
    EXPECT_EQ(config->EchoURL, "http://echo.example.test/ip");
    EXPECT_EQ(config->FtpCheckURL, "http://127.0.0.1/index.htm");
    settings::TConfig onDisk;
    settings::LoadSettings(onDisk, nullptr);
    EXPECT_EQ(onDisk.Source2, 1);
    EXPECT_EQ(onDisk.FtpCheckURL, "http://127.0.0.1/index.htm");
}

TEST_F(ConfigDialogAddress, TheSecondSourceTestAsksTheGatewayOrTheEchoPage)
{
    openOnRouter();
    // UPnP, with the simulator's description given directly: nothing is sent to the network.
    qputenv("QUILLMAP_UPNP_DESCRIPTION_URL",
            QByteArray::fromStdString("http://" + router.host() + "/igd.xml"));
    w<QComboBox>("cboSource2")->setCurrentIndex(1);
    click("cmdSource2Test");
    EXPECT_EQ(informations(), std::vector<std::string>{"UPnPのｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45"});
    router.Control(QStringLiteral("/_control/upnp?value=100.64.9.9"));
    ui.Clear();
    click("cmdSource2Test");
    EXPECT_EQ(warnings(), std::vector<std::string>{
                              "UPnPからｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽを得られませんでした。\r\n\r\n答え: 100.64.9.9"});
    qunsetenv("QUILLMAP_UPNP_DESCRIPTION_URL");

    ui.Clear();
    w<QComboBox>("cboSource2")->setCurrentIndex(2);
    type("txtEchoURL", QString());
    click("cmdSource2Test");
    EXPECT_EQ(warnings(), std::vector<std::string>{"確認用URLが入力されていません。"});
    ui.Clear();
    type("txtEchoURL", QString::fromStdString("http://" + router.host() + "/echo"));
    click("cmdSource2Test");
    EXPECT_EQ(informations(), std::vector<std::string>{"確認用URLのｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(button("cmdSource2Test")->isEnabled());
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogAddress, TheReadBackTestSaysWhetherThePublishedPageHoldsTheLastAddress)
{
    openOnRouter([](settings::TConfig& c) { c.PrevIP = "203.0.113.45"; });
    type("txtCheckURL", QString());
    click("cmdCheckURLTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"確認するﾍﾟｰｼﾞのURLが入力されていません。"});
    // The simulator's echo page shows the address; its status page behind the log-on does not.
    ui.Clear();
    type("txtCheckURL", QString::fromStdString("http://" + router.host() + "/echo"));
    click("cmdCheckURLTest");
    EXPECT_EQ(informations(), std::vector<std::string>{
                                  "ﾍﾟｰｼﾞを読めました。\r\n前回のｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ(203.0.113.45)があります。"});
    // Only a 2xx answer is the page: an error page has a body too, and its code is told.
    for (const char* path : {"/401.html", "/no-such-page.html"}) {
        ui.Clear();
        type("txtCheckURL", QString::fromStdString("http://" + router.host() + path));
        click("cmdCheckURLTest");
        ASSERT_EQ(warnings().size(), 1u) << path;
        EXPECT_EQ(warnings()[0].rfind("ﾍﾟｰｼﾞを読めませんでした。\r\nｻｰﾊﾞｰの答えは HTTP 4", 0), 0u) << warnings()[0];
        EXPECT_TRUE(informations().empty()) << path;
    }
    ui.Clear();
    type("txtCheckURL", QString::fromStdString("http://127.0.0.1:" + std::to_string(testsupport::ClosedPort()) + "/index.htm"));
    click("cmdCheckURLTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{
                              "ﾍﾟｰｼﾞを読めませんでした。\r\n接続を拒否されました(ｻｰﾊﾞｰ名とﾎﾟｰﾄ番号を確認してください)。"});
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogAddress, RenderedPagesShowTheNewControlsUnclipped)
{
    openOnRouter();
    for (const char* name : {"tabBasic", "tabUpload"}) {
        front(w(name));
        dialog->adjustSize();
        QApplication::processEvents();
        for (const char* control : {"cboSource2", "cmdSource2Test", "txtEchoURL", "lblEchoURL", "lblSource2",
                                    "txtCheckURL", "cmdCheckURLTest", "lblCheckURL"}) {
            QWidget* c = w(control);
            if (!w(name)->isAncestorOf(c))
                continue;
            EXPECT_GE(c->width(), c->minimumSizeHint().width()) << control;
        }
        const QString out = qEnvironmentVariable("QUILLMAP_RENDER_DIR");
        if (!out.isEmpty())
            dialog->grab().save(out + QStringLiteral("/%1.png").arg(QLatin1String(name)));
    }
}
