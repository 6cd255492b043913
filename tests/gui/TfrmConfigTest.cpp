// The settings dialog's own rules through its real widgets: filling and saving, the validation on OK
// in its order (message, page, focus), the enable rules, the corrections when a box is left, the
// number boxes, the restart note and a settings file that cannot be written.
#include "engine/EngineSupport.h"
#include "gui/TfrmConfig.h"
#include "TfrmConfigFixture.h"
#include "netinfo/AdaptersInfo.h"
#include "netinfo/RouterTest.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace configtest;

namespace {

class ConfigDialogFill : public ConfigDialogTest
{
protected:
    void edit(settings::TConfig& c) override
    {
        c.Interval = 17;
        c.TimeOut = 4;
        c.StatusURL = S(u8"/状態.cgi");
        c.StatusPass = "pa ss";
        c.GlobalIPAuto = 0;
        c.GlobalIPKey = S(u8"WAN側IPｱﾄﾞﾚｽ");
        c.NoticeItem = 5;
        c.MailNotice = 1;
        c.FtpPort = 12345;
        c.SmtpPort = 587;
        c.NoScript = 7;
        c.RobotUse = 1;
    }
};

} // namespace

TEST_F(ConfigDialogFill, ShowsTheSettingsAndOkSavesThemBackUnchanged)
{
    open();
    EXPECT_EQ(box("txtCheckInterval")->text(), QStringLiteral("17"));
    EXPECT_EQ(box("txtStatusURL")->text(), QString::fromUtf8(u8"/状態.cgi"));
    EXPECT_EQ(box("txtStatusPass")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(button("optGlobalIPm")->isChecked());
    EXPECT_EQ(box("txtGlobalIPkey")->text(), QString::fromUtf8(u8"WAN側IPｱﾄﾞﾚｽ"));
    // A value longer than three characters from the file is shown whole.
    EXPECT_EQ(box("txtFtpPort")->text(), QStringLiteral("12345"));
    // NoticeItem bit by bit, the hidden box included.
    EXPECT_TRUE(button("chkNotice1")->isChecked());
    EXPECT_FALSE(button("chkNotice2")->isChecked());
    EXPECT_TRUE(button("chkNotice4")->isChecked());
    EXPECT_FALSE(button("chkNotice4")->isVisible());
    EXPECT_TRUE(button("chkNoScript")->isChecked());
    EXPECT_EQ(currentPage(), w("tabBasic"));

    click("cmdOK");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(warnings().empty());
    // Only the flag that was not 1 is written in the program's own form.
    std::vector<std::string> expected = before;
    for (std::string& line : expected)
        if (line == "Status/NoScript=7")
            line = "Status/NoScript=1";
    EXPECT_EQ(settingstest::Describe(*config, false), expected);
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.FtpPort, 12345);
    EXPECT_EQ(reread.NoticeItem, 5);
    EXPECT_EQ(reread.GlobalIPKey, S(u8"WAN側IPｱﾄﾞﾚｽ"));
}

TEST_F(ConfigDialogTest, ATextWithoutAScreenFormGoesBackByteExactUnlessEdited)
{
    // 0x85 0x40 is no character of code page 932: on screen it is a "?" of some kind.
    open([](settings::TConfig& c) {
        c.FtpPass = std::string("a\x85\x40z");
        c.FtpUser = std::string("u\x85\x40");
    });
    type("txtFtpUser", QStringLiteral("newuser"));
    click("cmdOK");
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->FtpPass, std::string("a\x85\x40z"));
    EXPECT_EQ(config->FtpUser, "newuser");
}

TEST_F(ConfigDialogTest, EditRunsModallyAndTellsOkFromCancel)
{
    open();
    gui::TfrmConfigTestAccess::EndEditing(*dialog);
    dialog->hide();
    for (const bool ok : {false, true}) {
        QTimer::singleShot(0, dialog.get(), [&] {
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_TRUE(dialog->isModal());
            box("txtCheckInterval")->setText(QStringLiteral("42"));
            click(ok ? "cmdOK" : "cmdCancel");
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, dialog.get(), [&] { dialog->reject(); });
        guard.start(10000);
        EXPECT_EQ(dialog->Edit(*config), ok);
        EXPECT_TRUE(guard.isActive()) << "the dialog did not close by itself";
        EXPECT_EQ(config->Interval, ok ? 42 : 3);
    }
    // Each showing fills afresh.
    QTimer::singleShot(0, dialog.get(), [&] {
        EXPECT_EQ(box("txtCheckInterval")->text(), QStringLiteral("42"));
        dialog->reject();
    });
    EXPECT_FALSE(dialog->Edit(*config));
}

TEST_F(ConfigDialogTest, CancelAndEscapeLeaveTheSettingsAndTheFile)
{
    open();
    type("txtFtpServer", QStringLiteral("ftp.example.test"));
    click("chkNoScript");
    click("cmdCancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(settingsUnchanged());
    EXPECT_TRUE(fileUnchanged());
    EXPECT_TRUE(ui.Calls().empty());
}

// ---- validation

namespace {

class ConfigDialogValidation : public ConfigDialogTest
{
protected:
    void expectRefused(const std::u8string& message, const char* page, const char* control)
    {
        ui.Clear();
        click("cmdOK");
        ASSERT_EQ(warnings(), std::vector<std::string>{reinterpret_cast<const char*>(message.c_str())});
        EXPECT_EQ(currentPage(), w(page)) << control;
        EXPECT_EQ(focused(), w(control)) << control;
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(gui::TfrmConfigTestAccess::Saved(*dialog));
        EXPECT_TRUE(settingsUnchanged()) << control;
        EXPECT_TRUE(fileUnchanged()) << control;
        // The next step starts from another page, so the page change is seen.
        w<QTabWidget>("tabConfig")->setCurrentIndex(std::string(page) == "tabBasic" ? 2 : 0);
    }
};

} // namespace

TEST_F(ConfigDialogValidation, EachStepInItsOrderWithItsMessagePageAndFocus)
{
    open([](settings::TConfig& c) {
        c.GatewayAuto = 0;
        c.GatewayIP.clear();
        c.GlobalIPAuto = 0;
        c.GlobalIPKey.clear();
        c.FtpUpload = 0;
        c.MailNotice = 0;
        c.FtpServer.clear();
        c.ReplaceFolder.clear();
        c.ReplaceLink.clear();
        c.SmtpServer.clear();
        c.PopLogon = 1;
        c.PopServer.clear();
        c.MailAddress.clear();
    });
    // Filled from settings with both off, both stay off.
    EXPECT_FALSE(button("chkFtpUpload")->isChecked());
    EXPECT_FALSE(button("chkMailNotice")->isChecked());

    expectRefused(u8"ﾙｰﾀのIPｱﾄﾞﾚｽが未設定です。", "tabBasic", "txtRouterIP");
    type("txtRouterIP", QStringLiteral("192.168.0.1"));
    expectRefused(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索キーが未設定です。", "tabBasic", "txtGlobalIPkey");
    // A blank is a key (only a text of length 0 is empty).
    type("txtGlobalIPkey", QStringLiteral(" "));
    expectRefused(u8"FTPｱｯﾌﾟﾛｰﾄﾞかﾒｰﾙ通知どちらかを行う必要があります。", "tabUpload", "chkFtpUpload");
    click("chkFtpUpload");
    click("chkMailNotice");
    expectRefused(u8"FTPｻｰﾊﾞｰが未設定です。", "tabUpload", "txtFtpServer");
    type("txtFtpServer", QStringLiteral("ftp.example.test"));
    expectRefused(u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが未設定です。", "tabUpload", "txtReplaceFolder");
    type("txtReplaceFolder", folder.file(QStringLiteral("missing")));
    expectRefused(u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。", "tabUpload", "txtReplaceFolder");
    type("txtReplaceFolder", folder.file(QStringLiteral("www")));
    expectRefused(u8"差し換えるﾘﾝｸが未設定です。", "tabUpload", "txtReplaceLink");
    type("txtReplaceLink", QStringLiteral("/var/www/html"));
    expectRefused(u8"SMTPｻｰﾊﾞｰが未設定です。", "tabMail", "txtSmtpServer");
    type("txtSmtpServer", QStringLiteral("smtp.example.test"));
    expectRefused(u8"POPｻｰﾊﾞｰが未設定です。", "tabMail", "txtPopServer");
    type("txtPopServer", QStringLiteral("pop.example.test"));
    expectRefused(u8"通知先ｱﾄﾞﾚｽが未設定です。", "tabMail", "txtMailAddress");
    type("txtMailAddress", QStringLiteral("me@example.test"));

    ui.Clear();
    click("cmdOK");
    EXPECT_TRUE(ui.Calls().empty());
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->GatewayIP, "192.168.0.1");
    EXPECT_EQ(config->GlobalIPKey, " ");
    EXPECT_EQ(config->FtpUpload, 1);
    EXPECT_EQ(config->MailNotice, 1);
    EXPECT_EQ(config->MailAddress, "me@example.test");
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(settingstest::Describe(reread, false), settingstest::Describe(*config, false));
}

TEST_F(ConfigDialogValidation, OnlyTheEnabledPartsAreChecked)
{
    // The router found automatically, the automatic search, no uploads: their boxes may be empty.
    open([](settings::TConfig& c) {
        c.GatewayAuto = 1;
        c.GatewayIP.clear();
        c.GlobalIPAuto = 1;
        c.GlobalIPKey.clear();
        c.FtpUpload = 0;
        c.MailNotice = 1;
        c.FtpServer.clear();
        c.ReplaceFolder.clear();
        c.PopLogon = 0;
        c.PopServer.clear();
    });
    click("cmdOK");
    EXPECT_TRUE(warnings().empty());
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
}

TEST_F(ConfigDialogValidation, ANumberBoxThatIsNoWholeNumberIsRefusedAfterTheOtherChecks)
{
    open([](settings::TConfig& c) { c.MailAddress.clear(); });
    type("txtSmtpPort", QStringLiteral("2a"));
    // The described checks come first.
    expectRefused(u8"通知先ｱﾄﾞﾚｽが未設定です。", "tabMail", "txtMailAddress");
    type("txtMailAddress", QStringLiteral("me@example.test"));
    expectRefused(u8"「SMTPﾎﾟｰﾄ」には整数を入力してください。", "tabMail", "txtSmtpPort");
    type("txtSmtpPort", QStringLiteral("+"));
    expectRefused(u8"「SMTPﾎﾟｰﾄ」には整数を入力してください。", "tabMail", "txtSmtpPort");
    type("txtSmtpPort", QStringLiteral("25"));
    // 12abc survives leaving the box (its leading number is in range) but is no number.
    type("txtCheckInterval", QStringLiteral("12abc"));
    type("txtFtpPort", QStringLiteral("x"));
    expectRefused(u8"「ｽﾃｰﾀｽﾁｪｯｸ間隔」には整数を入力してください。", "tabBasic", "txtCheckInterval");
    type("txtCheckInterval", QStringLiteral("12"));
    expectRefused(u8"「FTPﾎﾟｰﾄ」には整数を入力してください。", "tabUpload", "txtFtpPort");
    // Blanks around a number are no fault.
    type("txtFtpPort", QStringLiteral(" 21"));
    ui.Clear();
    click("cmdOK");
    EXPECT_TRUE(warnings().empty());
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->Interval, 12);
    EXPECT_EQ(config->FtpPort, 21);
}

TEST_F(ConfigDialogTest, ChangingOnlyScriptsOffShowsTheRestartNoteOnceAndSaves)
{
    open();
    click("cmdOK");
    EXPECT_TRUE(ui.Calls().empty()) << "no note without a change";
    open();
    click("chkNoScript");
    click("cmdOK");
    ASSERT_EQ(informations(), std::vector<std::string>{"「ｽｸﾘﾌﾟﾄ無効」を変更した場合は本ソフトを再起動\r\n"
                                                       "しないと設定が有効にならない場合があります。"});
    EXPECT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].caption, "Quillmap");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.NoScript, 1);
}

TEST_F(ConfigDialogTest, ASettingsFileThatCannotBeWrittenKeepsTheDialogOpen)
{
    open();
    type("txtFtpServer", QStringLiteral("ftp.example.test"));
    // A folder where the file should be cannot be written, whoever runs the test (root included).
    ASSERT_TRUE(QFile::remove(settingsFile()));
    ASSERT_TRUE(QDir().mkdir(settingsFile()));
    click("cmdOK");
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find("Quillmap.ini に書き込めません"), std::string::npos) << warnings()[0];
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(gui::TfrmConfigTestAccess::Saved(*dialog));
    // The object holds the values on screen, as a retry will save them.
    EXPECT_EQ(config->FtpServer, "ftp.example.test");
    ASSERT_TRUE(QDir().rmdir(settingsFile()));
    click("cmdOK");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_FALSE(dialog->isVisible());
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.FtpServer, "ftp.example.test");
}

TEST_F(ConfigDialogTest, AKeyringThatCannotTakeThePasswordsPutsThemInTheFileOnlyWithConsent)
{
    // No session bus behind this address: the keyring is absent, whatever the machine running the
    // test offers (its own keyring is never touched).
    struct BusRestore
    {
        const bool had = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray value = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        ~BusRestore()
        {
            had ? qputenv("DBUS_SESSION_BUS_ADDRESS", value) : qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    } const restore;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder.file(QStringLiteral("no-bus")).toLocal8Bit());
    open();
    type("txtFtpPass", QStringLiteral("ftp-secret"));
    click("chkKeyring");
    ui.QueueAnswer(false);
    click("cmdOK");
    const std::vector<std::string> questions = shown(ScriptedUserInterface::Kind::Question);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("ﾊﾟｽﾜｰﾄﾞをｷｰﾘﾝｸﾞに保存できません"), std::string::npos) << questions[0];
    EXPECT_NE(questions[0].find("Quillmap.ini)に保存しますか"), std::string::npos) << questions[0];
    // No: nothing saved, the dialog stays with the box as the user left it.
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(testsupport::ReadBytes(settingsFile()), fileBefore);
    EXPECT_TRUE(button("chkKeyring")->isChecked());

    ui.QueueAnswer(true);
    click("cmdOK");
    EXPECT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_FALSE(button("chkKeyring")->isChecked());
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.Keyring, 0);
    EXPECT_EQ(reread.FtpPass, "ftp-secret");
    // The option was never in use: the file stays in the form older releases wrote.
    EXPECT_EQ(testsupport::ReadBytes(settingsFile()).find("Keyring"), std::string::npos);
}

// ---- enable rules

TEST_F(ConfigDialogTest, UploadsAndNoticesCannotBothBeTurnedOff)
{
    open([](settings::TConfig& c) {
        c.FtpUpload = 1;
        c.MailNotice = 0;
    });
    EXPECT_FALSE(box("txtSmtpServer")->isEnabled());
    click("chkFtpUpload");
    EXPECT_FALSE(button("chkFtpUpload")->isChecked());
    EXPECT_TRUE(button("chkMailNotice")->isChecked());
    EXPECT_FALSE(box("txtFtpServer")->isEnabled());
    EXPECT_TRUE(box("txtSmtpServer")->isEnabled());
    w<QTabWidget>("tabConfig")->setCurrentWidget(w("tabMail"));
    click("chkMailNotice");
    EXPECT_FALSE(button("chkMailNotice")->isChecked());
    EXPECT_TRUE(button("chkFtpUpload")->isChecked());
    EXPECT_TRUE(box("txtFtpServer")->isEnabled());
    EXPECT_FALSE(box("txtSmtpServer")->isEnabled());
    // Turning one on leaves the other as it is.
    click("chkMailNotice");
    EXPECT_TRUE(button("chkMailNotice")->isChecked());
    EXPECT_TRUE(button("chkFtpUpload")->isChecked());
}

TEST_F(ConfigDialogTest, TheUploadSwitchGovernsItsPageAndTheTwoDetailButtons)
{
    open([](settings::TConfig& c) {
        c.FtpUpload = 1;
        c.MailNotice = 1;
        c.RobotUse = 1;
        c.ClosedUse = 0;
    });
    w<QTabWidget>("tabConfig")->setCurrentWidget(w("tabUpload"));
    const char* governed[] = {"txtFtpServer",     "txtFtpUser",       "txtFtpPass",       "txtFtpDir",
                              "txtFtpPort",       "lblFtpServer",     "lblFtpPort",       "cmdFtpTest",
                              "chkFtpPasv",       "lblReplaceFolder", "txtReplaceFolder", "cmdReplaceFolder",
                              "chkReplaceFolder", "lblReplaceLink",   "txtReplaceLink",   "cmdReplaceLink",
                              "chkIPtoURL",       "chkCloseUpload",   "chkRobotSearch",   "fraFtp"};
    for (const char* name : governed)
        EXPECT_TRUE(w(name)->isEnabled()) << name;
    EXPECT_TRUE(w("cmdRobotEdit")->isEnabled());
    EXPECT_FALSE(w("cmdClosedDetail")->isEnabled());
    EXPECT_TRUE(w("cmdFileExt")->isEnabled());
    click("chkCloseUpload");
    EXPECT_TRUE(w("cmdClosedDetail")->isEnabled());
    click("chkRobotSearch");
    EXPECT_FALSE(w("cmdRobotEdit")->isEnabled());
    click("chkRobotSearch");

    click("chkFtpUpload");
    for (const char* name : governed)
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    // Checked but disabled boxes leave their buttons disabled.
    EXPECT_TRUE(button("chkRobotSearch")->isChecked());
    EXPECT_FALSE(w("cmdRobotEdit")->isEnabled());
    EXPECT_FALSE(w("cmdClosedDetail")->isEnabled());
    EXPECT_TRUE(w("cmdFileExt")->isEnabled());
    EXPECT_TRUE(w("cmdMailTest")->isEnabled());
}

TEST_F(ConfigDialogTest, TheBasicPageRules)
{
    open([](settings::TConfig& c) {
        c.GatewayAuto = 1;
        c.StatusLogon = 0;
        c.GlobalIPAuto = 1;
    });
    EXPECT_TRUE(w("cmdRouterIP")->isEnabled());
    EXPECT_FALSE(w("txtRouterIP")->isEnabled());
    for (const char* name : {"lblStatusUser", "txtStatusUser", "lblStatusPass", "txtStatusPass"})
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    EXPECT_FALSE(w("txtGlobalIPkey")->isEnabled());
    EXPECT_FALSE(w("cmdGlobalIPkey")->isEnabled());
    EXPECT_TRUE(w("cmdGlolalIP")->isEnabled());
    EXPECT_TRUE(w("cmdBrowseTest")->isEnabled());

    click("optRouterIPm");
    EXPECT_FALSE(w("cmdRouterIP")->isEnabled());
    EXPECT_TRUE(w("txtRouterIP")->isEnabled());
    click("chkStatusID");
    for (const char* name : {"lblStatusUser", "txtStatusUser", "lblStatusPass", "txtStatusPass"})
        EXPECT_TRUE(w(name)->isEnabled()) << name;
    click("optGlobalIPm");
    EXPECT_TRUE(w("txtGlobalIPkey")->isEnabled());
    EXPECT_TRUE(w("cmdGlobalIPkey")->isEnabled());
    click("optRouterIPa");
    EXPECT_TRUE(w("cmdRouterIP")->isEnabled());
    EXPECT_FALSE(w("txtRouterIP")->isEnabled());
}

TEST_F(ConfigDialogTest, TheMailPageRules)
{
    open([](settings::TConfig& c) {
        c.MailNotice = 1;
        c.SmtpLogon = 0;
        c.PopLogon = 0;
    });
    w<QTabWidget>("tabConfig")->setCurrentWidget(w("tabMail"));
    const char* pop[] = {"lblPopServer", "txtPopServer", "lblPopUser",
                         "txtPopUser",   "lblPopPass",   "txtPopPass"};
    EXPECT_FALSE(w("txtSmtpPass")->isEnabled());
    for (const char* name : pop)
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    // The POP3 port follows the mail switch only.
    EXPECT_TRUE(w("txtPopPort")->isEnabled());
    EXPECT_TRUE(w("lblPopPort")->isEnabled());
    click("chkSmtpLogon");
    EXPECT_TRUE(w("txtSmtpPass")->isEnabled());
    click("chkPopLogon");
    for (const char* name : pop)
        EXPECT_TRUE(w(name)->isEnabled()) << name;

    click("chkMailNotice");
    for (const char* name :
         {"cmdMailTest", "fraSend", "txtSmtpServer", "txtSmtpUser", "txtSmtpPort", "chkSmtpLogon",
          "txtSmtpPass", "chkPopLogon", "txtPopPort", "txtMailAddress", "txtMailAddressFrom",
          "chkMailHanKana", "fraNotice", "chkNotice1", "chkNotice2", "chkNotice4"})
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    for (const char* name : pop)
        EXPECT_FALSE(w(name)->isEnabled()) << name;
    click("chkMailNotice");
    EXPECT_TRUE(w("txtSmtpPass")->isEnabled());
    EXPECT_TRUE(w("txtPopServer")->isEnabled());
}

TEST(ConfigDialogCreation, TheMailPageIsDisabledBeforeTheFirstFilling)
{
    struct NoHost : gui::ConfigDialogHost
    {
        bool FetchStatusPageForTest() override { return false; }
        std::string StatusHtml() const override { return {}; }
    } host;
    platform::ScriptedUserInterface ui;
    gui::TfrmConfig dialog(host, ui);
    EXPECT_FALSE(dialog.findChild<QWidget*>(QStringLiteral("txtSmtpServer"))->isEnabled());
    EXPECT_FALSE(dialog.findChild<QWidget*>(QStringLiteral("cmdMailTest"))->isEnabled());
    EXPECT_FALSE(dialog.findChild<QAbstractButton*>(QStringLiteral("chkFtpUpload"))->isChecked());
}

// ---- corrections and number boxes

TEST_F(ConfigDialogTest, MinuteBoxesOutOfRangeBecomeThreeWhenLeft)
{
    open();
    const std::pair<const char*, const char*> cases[] = {
        {"0", "3"}, {"1000", "3"},        {"", "3"},          {"abc", "3"}, {" ", "3"},     {"-5", "3"},
        {"+", "3"}, {"99999999999", "3"}, {"12abc", "12abc"}, {"1", "1"},   {"999", "999"}, {" 7 ", " 7 "},
    };
    for (const char* name : {"txtCheckInterval", "txtTimeOut"}) {
        for (const auto& [typed, kept] : cases) {
            type(name, QString::fromLatin1(typed));
            EXPECT_EQ(box(name)->text(), QString::fromLatin1(typed)) << "corrected before leaving";
            QTest::keyClick(box(name), Qt::Key_Tab);
            EXPECT_NE(focused(), box(name));
            EXPECT_EQ(box(name)->text(), QString::fromLatin1(kept)) << name << " " << typed;
        }
    }
}

TEST_F(ConfigDialogTest, OkByTheEnterKeyCorrectsTheBoxBeingTyped)
{
    open();
    type("txtCheckInterval", QStringLiteral("0"));
    QTest::keyClick(box("txtCheckInterval"), Qt::Key_Return);
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->Interval, 3);
}

TEST_F(ConfigDialogTest, TheUpDownPairStepsTheLeadingNumberWithinItsRange)
{
    open();
    auto* up = w<QToolButton>("udCheckIntervalUp");
    auto* down = w<QToolButton>("udCheckIntervalDown");
    box("txtCheckInterval")->setText(QStringLiteral("12abc"));
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(box("txtCheckInterval")->text(), QStringLiteral("13"));
    box("txtCheckInterval")->setText(QStringLiteral("999"));
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(box("txtCheckInterval")->text(), QStringLiteral("999"));
    box("txtCheckInterval")->setText(QStringLiteral("1"));
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(box("txtCheckInterval")->text(), QStringLiteral("1"));
    box("txtTimeOut")->setText(QStringLiteral("5"));
    box("txtTimeOut")->setFocus();
    QTest::keyClick(box("txtTimeOut"), Qt::Key_Down);
    EXPECT_EQ(box("txtTimeOut")->text(), QStringLiteral("4"));
}

TEST_F(ConfigDialogTest, TheStatusUrlGetsItsLeadingSlashWhenLeft)
{
    open();
    for (const auto& [typed, kept] : {std::pair{"cgi-bin/x", "/cgi-bin/x"}, std::pair{"/a", "/a"},
                                      std::pair{"", ""}, std::pair{" x", "/ x"}}) {
        type("txtStatusURL", QString::fromLatin1(typed));
        box("txtStatusPST")->setFocus();
        EXPECT_EQ(box("txtStatusURL")->text(), QString::fromLatin1(kept)) << typed;
    }
}

TEST_F(ConfigDialogTest, PortBoxesTakeThreeTypedCharactersButKeepALongerValue)
{
    open([](settings::TConfig& c) {
        c.MailNotice = 1;
        c.PopPort = 99110;
    });
    w<QTabWidget>("tabConfig")->setCurrentWidget(w("tabMail"));
    type("txtSmtpPort", QStringLiteral("12345"));
    EXPECT_EQ(box("txtSmtpPort")->text(), QStringLiteral("123"));
    EXPECT_EQ(box("txtPopPort")->text(), QStringLiteral("99110"));
    // The long value can be shortened.
    box("txtPopPort")->setFocus();
    box("txtPopPort")->end(false);
    QTest::keyClick(box("txtPopPort"), Qt::Key_Backspace);
    EXPECT_EQ(box("txtPopPort")->text(), QStringLiteral("9911"));
    QTest::keyClicks(box("txtPopPort"), QStringLiteral("0"));
    EXPECT_EQ(box("txtPopPort")->text(), QStringLiteral("9911"));
    QTest::keyClick(box("txtPopPort"), Qt::Key_Backspace);
    QTest::keyClick(box("txtPopPort"), Qt::Key_Backspace);
    EXPECT_EQ(box("txtPopPort")->text(), QStringLiteral("99"));
    QTest::keyClicks(box("txtPopPort"), QStringLiteral("56"));
    EXPECT_EQ(box("txtPopPort")->text(), QStringLiteral("995"));
    click("cmdOK");
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    EXPECT_EQ(config->SmtpPort, 123);
    EXPECT_EQ(config->PopPort, 995);
}

TEST_F(ConfigDialogTest, ALongPortFromTheFileIsSavedUnchanged)
{
    open([](settings::TConfig& c) { c.FtpPort = 10021; });
    click("cmdOK");
    ASSERT_TRUE(gui::TfrmConfigTestAccess::Saved(*dialog));
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.FtpPort, 10021);
}

// ---- the layout

TEST_F(ConfigDialogTest, NoCaptionIsCutOnAnyPage)
{
    open();
    auto* tabs = w<QTabWidget>("tabConfig");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        for (QWidget* child : tabs->currentWidget()->findChildren<QWidget*>()) {
            if (!child->isVisible())
                continue;
            if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
                EXPECT_GE(child->width(), child->minimumSizeHint().width())
                    << child->objectName().toStdString() << " on page " << i;
            }
        }
    }
}

// ---- the small dialogs

TEST_F(ConfigDialogTest, TheThreeButtonsOpenTheirDialogsOnTheSameSettings)
{
    open([](settings::TConfig& c) {
        c.FtpUpload = 1;
        c.RobotUse = 1;
        c.ClosedUse = 1;
        c.ReplaceOnly = 1;
    });
    for (const auto& [buttonName, dialogName] :
         {std::pair{"cmdRobotEdit", "frmHead"}, std::pair{"cmdClosedDetail", "frmCfgClosed"}}) {
        std::string opened;
        onNextModal([&opened](QDialog& d) {
            opened = d.objectName().toStdString();
            d.reject();
        });
        click(buttonName);
        EXPECT_EQ(opened, dialogName);
    }
    // The file types dialog saves its share at once; the settings dialog's Cancel keeps it.
    onNextModal([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmFileExt"));
        QTest::mouseClick(d.findChild<QAbstractButton*>(QStringLiteral("chkRepOnly")), Qt::LeftButton, {},
                          QPoint(8, 8));
        QTest::mouseClick(d.findChild<QAbstractButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    click("cmdFileExt");
    EXPECT_EQ(config->ReplaceOnly, 0);
    click("cmdCancel");
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.ReplaceOnly, 0);
    EXPECT_EQ(config->ReplaceOnly, 0);
}

// ---- the router address test

TEST_F(ConfigDialogTest, TheRouterTestShowsWhatTheAdaptersGiveAndWarnsWhenTheyGiveNothing)
{
    open([](settings::TConfig& c) { c.GatewayAuto = 1; });
    click("cmdRouterIP");
    // This machine's adapters, read locally: a found router is a result, nothing found a warning.
    netinfo::AdapterTree tree;
    const netinfo::TIpInfo found = netinfo::GetAdapterInfo(tree);
    const std::string expected = platform::Cp932ToUtf8(netinfo::RouterTestText(found));
    if (netinfo::RouterTestFound(found)) {
        ASSERT_EQ(informations(), std::vector<std::string>{expected});
        EXPECT_TRUE(expected.starts_with("ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: ")) << expected;
        EXPECT_TRUE(warnings().empty());
    } else {
        ASSERT_EQ(warnings(), std::vector<std::string>{expected});
        EXPECT_TRUE(expected.starts_with("取得できませんでした。\r\n\r\n")) << expected;
        EXPECT_TRUE(informations().empty());
    }
    EXPECT_TRUE(settingsUnchanged());
}

// The browser engine's box beside "ｽｸﾘﾌﾟﾄ無効": [Status] Engine; disabled, with the reason as its tip,
// in a build without the engine.
TEST_F(ConfigDialogTest, TheEngineBoxChoosesTheReaderOfTheStatusPage)
{
    open();
    QAbstractButton* engine = button("chkEngine");
    EXPECT_FALSE(engine->isChecked());
    EXPECT_EQ(engine->isEnabled(), engine::EngineBuilt());
    EXPECT_FALSE(engine->toolTip().isEmpty());
    if (!engine::EngineBuilt())
        return;
    click("chkEngine");
    click("cmdOK");
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(config->StatusEngine, 1);
    open();
    EXPECT_TRUE(button("chkEngine")->isChecked());
    click("chkEngine");
    click("cmdOK");
    EXPECT_EQ(config->StatusEngine, 0);
}
