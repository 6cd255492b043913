// The settings dialog's IPv6 controls on the first page: filled, ruled, refused when the suffix is no
// interface identifier, saved; the test shows the chosen address and every address passed over, from
// a recorded address table that stands in for the machine's.
#include "TestPaths.h"
#include "TfrmConfigFixture.h"

using namespace configtest;

namespace {

class ConfigDialogIpv6 : public ConfigDialogTest
{
protected:
    void SetUp() override
    {
        ConfigDialogTest::SetUp();
        qputenv("QUILLMAP_IPV6_ADDRESSES",
                QUILLMAP_TESTS_DIR "/fixtures/netinfo/ipv6/several-interfaces.txt");
    }
    void TearDown() override
    {
        ConfigDialogTest::TearDown();
        qunsetenv("QUILLMAP_IPV6_ADDRESSES");
    }
};

} // namespace

TEST_F(ConfigDialogIpv6, TheControlsAreFilledRuledCheckedAndSaved)
{
    open([](settings::TConfig& c) { c.Ipv6Interface = "eth0"; });
    EXPECT_FALSE(button("chkIpv6Use")->isChecked());
    EXPECT_EQ(box("txtIpv6Interface")->text(), QStringLiteral("eth0"));
    EXPECT_FALSE(box("txtIpv6Interface")->isEnabled());
    EXPECT_FALSE(box("txtIpv6Suffix")->isEnabled());
    EXPECT_TRUE(button("cmdIpv6Test")->isEnabled()) << "the test helps to decide";
    EXPECT_TRUE(w<QTabWidget>("tabConfig")->widget(0)->isAncestorOf(w<QWidget>("chkIpv6Use")))
        << "first page";

    click("chkIpv6Use");
    EXPECT_TRUE(box("txtIpv6Suffix")->isEnabled());
    type("txtIpv6Suffix", QStringLiteral("2001:db8::10"));
    click("cmdOK");
    EXPECT_EQ(warnings(),
              std::vector<std::string>{
                  "ｻﾌｨｯｸｽがｲﾝﾀｰﾌｪｲｽIDになっていません。下位64ﾋﾞｯﾄだけを ::10 のように書きます。"});
    EXPECT_FALSE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(focused(), box("txtIpv6Suffix"));
    EXPECT_TRUE(fileUnchanged());

    type("txtIpv6Suffix", QStringLiteral("::10"));
    click("cmdOK");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    settings::TConfig onDisk;
    settings::LoadSettings(onDisk, nullptr);
    EXPECT_EQ(onDisk.Ipv6Use, 1);
    EXPECT_EQ(onDisk.Ipv6Interface, "eth0");
    EXPECT_EQ(onDisk.Ipv6Suffix, "::10");
}

TEST_F(ConfigDialogIpv6, TheTestShowsTheChosenAddressAndTheCandidatesWithTheScreenValues)
{
    open();
    click("cmdIpv6Test");
    ASSERT_EQ(informations().size(), 1u);
    const std::string shown = informations()[0];
    EXPECT_NE(shown.find("br0  2001:db8:c0:3::10  採用"), std::string::npos) << shown;
    EXPECT_NE(shown.find("br0  fd00:c0:3::10  除外 (ﾕﾆｰｸﾛｰｶﾙｱﾄﾞﾚｽ"), std::string::npos) << shown;
    EXPECT_NE(shown.find("wlan0  fe80::5054:ff:fe12:3456  除外 (ﾘﾝｸﾛｰｶﾙｱﾄﾞﾚｽ"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\n結果: 2001:db8:c0:3::10 (br0)")) << shown;

    // What the boxes hold now counts, saved or not.
    ui.Clear();
    click("chkIpv6Use");
    type("txtIpv6Interface", QStringLiteral("eth0"));
    type("txtIpv6Suffix", QStringLiteral("::10"));
    click("cmdIpv6Test");
    ASSERT_EQ(informations().size(), 1u);
    EXPECT_NE(informations()[0].find("結果: 2001:db8:c0:1::10 (eth0)"), std::string::npos)
        << informations()[0];

    ui.Clear();
    type("txtIpv6Interface", QStringLiteral("wlan9"));
    click("cmdIpv6Test");
    EXPECT_TRUE(informations().empty());
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_TRUE(
        warnings()[0].ends_with("結果: 見つかりませんでした。ｲﾝﾀｰﾌｪｲｽ wlan9 にIPv6ｱﾄﾞﾚｽがありません。"))
        << warnings()[0];
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogIpv6, TheFirstPageShowsTheIpv6ControlsUnclippedAndStillFitsTheScreen)
{
    open();
    front(w("tabBasic"));
    dialog->adjustSize();
    QApplication::processEvents();
    for (const char* control :
         {"chkIpv6Use", "lblIpv6Interface", "txtIpv6Interface", "lblIpv6Suffix", "txtIpv6Suffix", "cmdIpv6Test"}) {
        QWidget* c = w(control);
        EXPECT_GE(c->width(), c->minimumSizeHint().width()) << control;
        EXPECT_GE(c->height(), c->minimumSizeHint().height()) << control;
    }
    // The dialog grew by one group; it must still open on a 1366x768 laptop screen.
    EXPECT_LE(dialog->height(), 740);
}
