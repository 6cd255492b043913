// The settings dialog's page "DDNS設定": filled from and saved to [DDNS], its enable rules, its
// refusal of settings that cannot be used, and the test button against the fake provider.
#include "TfrmConfigFixture.h"
#include "ddns/DdnsUpdater.h"
#include "support/ServerProcess.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

using namespace configtest;

namespace {

class ConfigDialogDdns : public ConfigDialogTest
{
protected:
    void openWith(const std::function<void(settings::TConfig&)>& more)
    {
        open([&](settings::TConfig& c) {
            c.DdnsUse = 1;
            c.DdnsProvider = "duckdns";
            c.DdnsHosts = "home.duckdns.org";
            c.DdnsToken = "tok-1";
            c.DdnsRecords = 4;
            if (more)
                more(c);
        });
    }
};

} // namespace

TEST_F(ConfigDialogDdns, FilledRuledRefusedWhereIncompleteAndSaved)
{
    openWith({});
    auto* provider = w<QComboBox>("cboDdnsProvider");
    EXPECT_EQ(provider->currentText(), QStringLiteral("DuckDNS"));
    EXPECT_EQ(box("txtDdnsHosts")->text(), QStringLiteral("home.duckdns.org"));
    EXPECT_EQ(box("txtDdnsToken")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box("txtDdnsPass")->echoMode(), QLineEdit::Password);
    // DuckDNS takes a token, no user, password or server.
    EXPECT_TRUE(box("txtDdnsToken")->isEnabled());
    EXPECT_FALSE(box("txtDdnsUser")->isEnabled());
    EXPECT_FALSE(box("txtDdnsServer")->isEnabled());
    provider->setCurrentIndex(0); // dyndns2
    EXPECT_TRUE(box("txtDdnsUser")->isEnabled());
    EXPECT_TRUE(box("txtDdnsPass")->isEnabled());
    EXPECT_TRUE(box("txtDdnsServer")->isEnabled());
    EXPECT_FALSE(box("txtDdnsToken")->isEnabled());
    click("chkDdnsUse");
    EXPECT_FALSE(w<QGroupBox>("fraDdns")->isEnabled());
    click("chkDdnsUse");
    EXPECT_TRUE(w<QGroupBox>("fraDdns")->isEnabled());

    // dyndns2 without its user: refused on the DDNS page with the focus on the box.
    click("cmdOK");
    EXPECT_EQ(warnings(), std::vector<std::string>{"DDNSのユーザー名が未設定です。"});
    EXPECT_EQ(currentPage(), w<QWidget>("tabDdns"));
    EXPECT_EQ(focused(), box("txtDdnsUser"));
    EXPECT_FALSE(gui::TfrmConfigTestAccess::Saved(*dialog));
    type("txtDdnsUser", QStringLiteral("user"));
    type("txtDdnsPass", QStringLiteral("secret"));
    ui.Clear();
    click("cmdOK");
    EXPECT_EQ(warnings(), std::vector<std::string>{"DDNSサーバーが未設定です。"});
    EXPECT_EQ(focused(), box("txtDdnsServer"));
    type("txtDdnsServer", QStringLiteral("members.example.test"));
    w<QComboBox>("cboDdnsRecords")->setCurrentIndex(2);
    click("cmdOK");
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    settings::TConfig onDisk;
    settings::LoadSettings(onDisk, nullptr);
    EXPECT_EQ(onDisk.DdnsUse, 1);
    EXPECT_EQ(onDisk.DdnsProvider, "dyndns2");
    EXPECT_EQ(onDisk.DdnsUser, "user");
    EXPECT_EQ(onDisk.DdnsPass, "secret");
    EXPECT_EQ(onDisk.DdnsServer, "members.example.test");
    EXPECT_EQ(onDisk.DdnsRecords, 46);
    EXPECT_EQ(testsupport::ReadBytes(settingsFile()).find("secret"), std::string::npos);
}

TEST_F(ConfigDialogDdns, AStopIsShownAndTheTestSendsTheScreenValuesWithoutTouchingTheState)
{
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("ddns_provider.py"),
                                   {QStringLiteral("--hosts"), QStringLiteral("home.example.test,www.example.test")}))
        << server.error().toStdString();
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port());
    openWith([&url](settings::TConfig& c) {
        c.DdnsProvider = "dyndns2";
        c.DdnsHosts = "home.example.test";
        c.DdnsUser = "user";
        c.DdnsPass = "wrong";
        c.DdnsServer = url;
        c.PrevIP = "203.0.113.5";
        // What an earlier check learned: the provider refused these settings.
        c.DdnsStopped = 1;
        c.DdnsStopReason = "home.example.test: badauth";
        c.DdnsStateOf = ddns::DdnsSettingsKey(c);
    });
    EXPECT_NE(w<QLabel>("lblDdnsState")->text().indexOf(QStringLiteral("badauth")), -1);

    click("cmdDdnsTest");
    EXPECT_EQ(warnings(),
              std::vector<std::string>{"DDNSを更新できませんでした。\r\nhome.example.test (A): badauth"});
    type("txtDdnsPass", QStringLiteral("secret"));
    ui.Clear();
    // The same host again within ten minutes: refused, nothing sent.
    click("cmdDdnsTest");
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find("10分に1回まで"), std::string::npos) << warnings()[0];
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("1"));
    type("txtDdnsHosts", QStringLiteral("www.example.test"));
    ui.Clear();
    click("cmdDdnsTest");
    EXPECT_EQ(informations(),
              std::vector<std::string>{"DDNSを更新しました。\r\nwww.example.test (A): good 203.0.113.5"});
    EXPECT_EQ(server.httpGet(QStringLiteral("/_control/requests")), QByteArray("2"));
    // The live settings keep what the checks learned until OK.
    EXPECT_EQ(config->DdnsStopped, 1);
    EXPECT_EQ(config->DdnsPass, "wrong");
    EXPECT_TRUE(button("cmdDdnsTest")->isEnabled());
    EXPECT_TRUE(fileUnchanged());
}
