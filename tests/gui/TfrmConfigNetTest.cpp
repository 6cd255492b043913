// The settings dialog's test buttons against real servers on 127.0.0.1: the router simulator read
// through the check cycle (status page and address search), pyftpdlib (FTP test) and aiosmtpd (test
// mail). Each test that lends the screen values to the settings leaves every setting as it was.
#include "TfrmConfigFixture.h"
#include "statuspage/RouterFixture.h"
#include "support/ClosedPort.h"
#include "support/ServerProcess.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace configtest;

namespace {

const char* const kNoPage = "ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。";

class ConfigDialogRouter : public ConfigDialogTest
{
protected:
    // The lent settings read the simulator's status page (or, with unreachable, a closed port).
    void openOnRouter(bool unreachable = false, const std::function<void(settings::TConfig&)>& more = {})
    {
        ASSERT_TRUE(router.ok());
        const std::string host =
            unreachable ? "127.0.0.1:" + std::to_string(testsupport::ClosedPort()) : router.host();
        open([&](settings::TConfig& c) {
            c.GatewayAuto = 0;
            c.GatewayIP = host;
            c.StatusURL = routertest::kStatusPath;
            c.StatusLogon = 1;
            c.StatusUser = "root";
            c.StatusPass = "kiwi";
            c.TimeOut = 1;
            if (more)
                more(c);
        });
    }

    routertest::Router router;
};

} // namespace

TEST_F(ConfigDialogRouter, TheStatusPageTestReadsWithTheScreenValuesAndRestoresEverySetting)
{
    openOnRouter();
    // Values on screen that differ (a slow page, so that the wait can be watched) from the settings in every
    // kind of field.
    type("txtCheckInterval", QStringLiteral("9"));
    type("txtFtpServer", QStringLiteral("ftp.example.test"));
    type("txtFtpPort", QStringLiteral("2121"));
    click("chkFtpPasv");
    click("chkNotice2");
    click("chkSmtpLogon");
    type("txtSmtpPass", QStringLiteral("pw"));
    click("optGlobalIPm");
    type("txtGlobalIPkey", QStringLiteral("IP"));

    bool busyCursorShown = false;
    bool okDisabled = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        busyCursorShown |= QApplication::overrideCursor() != nullptr &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        okDisabled |= !w("cmdOK")->isEnabled() && !w("cmdBrowseTest")->isEnabled();
    });
    probe.start(5);
    type("txtStatusURL", QStringLiteral("/slow.html?delay=0.3"));
    click("cmdBrowseTest");
    probe.stop();

    EXPECT_TRUE(warnings().empty());
    // The page went to the main window behind the dialog: the outcome is told in front of it.
    ASSERT_EQ(informations().size(), 1u);
    EXPECT_EQ(informations()[0].rfind("ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞを表示できました(", 0), 0u) << informations()[0];
    EXPECT_EQ(host->fetches, 1);
    EXPECT_EQ(router.LastRequest().value(QStringLiteral("path")).toString(),
              QStringLiteral("/slow.html?delay=0.3"));
    EXPECT_NE(host->StatusHtml().find("203.0.113.45"), std::string::npos);
    EXPECT_TRUE(busyCursorShown);
    EXPECT_TRUE(okDisabled) << "OK must wait until the settings are back";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(w("cmdOK")->isEnabled());
    EXPECT_TRUE(w("cmdBrowseTest")->isEnabled());
    EXPECT_TRUE(settingsUnchanged());

    click("cmdCancel");
    EXPECT_TRUE(settingsUnchanged());
    EXPECT_TRUE(fileUnchanged());
}

TEST_F(ConfigDialogRouter, AnUnreadablePageIsSaidAndAnEmptyUrlOrABadNumberReadsNothing)
{
    openOnRouter(true);
    click("cmdBrowseTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{kNoPage});
    EXPECT_EQ(host->fetches, 1);
    EXPECT_TRUE(settingsUnchanged());

    ui.Clear();
    type("txtStatusURL", QString());
    click("cmdBrowseTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"ｽﾃｰﾀｽﾍﾟｰｼﾞのURLが入力されていません。"});

    ui.Clear();
    type("txtStatusURL", QStringLiteral("/x"));
    type("txtSmtpPort", QStringLiteral("2 5"));
    click("cmdBrowseTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"「SMTPﾎﾟｰﾄ」には整数を入力してください。"});
    EXPECT_EQ(currentPage(), w("tabMail"));
    EXPECT_EQ(focused(), w("txtSmtpPort"));
    EXPECT_EQ(host->fetches, 1);
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogRouter, TheSearchTestFindsTheAddressAndItsName)
{
    openOnRouter(false, [](settings::TConfig& c) { c.GlobalIPAuto = 1; });
    click("cmdGlolalIP");
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(informations(),
              std::vector<std::string>{"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45 [wan.example.test]\r\n\r\n"
                                       "この結果が正しくない場合は「検索キーを指定」してください。"});
    EXPECT_EQ(resolver.asked, QStringLiteral("203.0.113.45"));
    EXPECT_TRUE(w("cmdGlolalIP")->isEnabled());
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogRouter, TheSearchAfterAKeyUsesTheKeyOnScreen)
{
    openOnRouter(false, [](settings::TConfig& c) { c.GlobalIPAuto = 1; });
    click("optGlobalIPm");
    type("txtGlobalIPkey", QString());
    click("cmdGlolalIP");
    EXPECT_EQ(warnings(), std::vector<std::string>{"検索キーが入力されていません。"});
    EXPECT_EQ(host->fetches, 0);

    ui.Clear();
    OneNameResolver noName{QString()};
    gui::TfrmConfigTestAccess::SetResolver(*dialog, &noName);
    type("txtGlobalIPkey", QString::fromUtf8(u8"WAN側IPアドレス"));
    click("cmdGlolalIP");
    EXPECT_EQ(informations(),
              std::vector<std::string>{"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45\r\n\r\n"
                                       "この結果が正しくない場合は検索キーを変更してください。"});
    EXPECT_EQ(noName.lookups, 1);

    ui.Clear();
    type("txtGlobalIPkey", QString::fromUtf8(u8"ﾌｧｰﾑｳｪｱ"));
    click("cmdGlolalIP");
    EXPECT_EQ(informations(), std::vector<std::string>{"見つかりませんでした。"});
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogRouter, TheSearchTestTriesAnUnreachableRouterTwiceAndWarnsOnce)
{
    openOnRouter(true);
    click("cmdGlolalIP");
    EXPECT_EQ(host->fetches, 2);
    EXPECT_EQ(warnings(), std::vector<std::string>{kNoPage});
    EXPECT_TRUE(informations().empty());
    EXPECT_EQ(resolver.lookups, 0);
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogRouter, TheKeyPickerTakesTheSelectionBeforeTheAddressAndOffersTheSearch)
{
    openOnRouter(false, [](settings::TConfig& c) {
        c.GlobalIPAuto = 0;
        c.GlobalIPKey = "ADSL IP";
    });
    type("txtGlobalIPkey", QString());
    const QString key = QString::fromUtf8(u8"WAN側IPアドレス</td><td>");
    for (const bool yes : {false, true}) {
        ui.Clear();
        ui.QueueAnswer(yes);
        onNextModal([&key](QDialog& viewer) {
            EXPECT_EQ(viewer.objectName(), QStringLiteral("frmStatusSrc"));
            auto* source = viewer.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"));
            ASSERT_NE(source, nullptr);
            // The page shows as text; the key is the Japanese label and the markup up to the address.
            EXPECT_TRUE(source->find(key));
            QTest::mouseClick(viewer.findChild<QAbstractButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        click("cmdGlobalIPkey");
        EXPECT_EQ(box("txtGlobalIPkey")->text(), key);
        ASSERT_EQ(shown(ScriptedUserInterface::Kind::Question),
                  std::vector<std::string>{"続けてｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索ﾃｽﾄを行いますか？"});
        if (yes)
            EXPECT_EQ(informations(),
                      std::vector<std::string>{"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: 203.0.113.45 [wan.example.test]\r\n\r\n"
                                               "この結果が正しくない場合は検索キーを変更してください。"});
        else
            EXPECT_TRUE(informations().empty());
        EXPECT_TRUE(warnings().empty());
    }
    // Read for the first opening and by the search; the second opening used the page already read.
    EXPECT_EQ(host->fetches, 2);
    EXPECT_TRUE(settingsUnchanged());
    click("cmdOK");
    EXPECT_EQ(config->GlobalIPKey, text::Sjis(u8"WAN側IPアドレス</td><td>"));
}

TEST_F(ConfigDialogRouter, TheKeyPickerWarnsWhenNoPageCanBeRead)
{
    openOnRouter(true, [](settings::TConfig& c) { c.GlobalIPAuto = 0; });
    click("cmdGlobalIPkey");
    EXPECT_EQ(warnings(), std::vector<std::string>{kNoPage});
    EXPECT_EQ(host->fetches, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ---- FTP

namespace {

class ConfigDialogFtp : public ConfigDialogTest
{
protected:
    void SetUp() override
    {
        ConfigDialogTest::SetUp();
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("public_html")));
        ASSERT_TRUE(server.startPython(QStringLiteral("ftpserver.py"),
                                       {QStringLiteral("--root"), root.path(), QStringLiteral("--user"),
                                        QStringLiteral("quill"), QStringLiteral("--password"),
                                        QStringLiteral("secret")}))
            << server.error().toStdString();
        // The server's port has five digits: it comes from the settings, as a long value from the file.
        const quint16 port = server.port();
        open([port](settings::TConfig& c) {
            c.FtpUpload = 1;
            c.FtpServer = "127.0.0.1";
            c.FtpPort = port;
            c.FtpUser = "quill";
            c.FtpPass = "wrong";
            c.FtpPasv = 1;
            c.FtpDir.clear();
        });
    }

    testsupport::TempFolder root{false};
    testsupport::ServerProcess server;
};

} // namespace

TEST_F(ConfigDialogFtp, TheConnectionTestSaysWhatWorked)
{
    const std::string notConnected = "FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。";
    click("cmdFtpTest");
    // The dialog the user looks at says why: pyftpdlib's 530 for the missing password.
    EXPECT_EQ(warnings(), std::vector<std::string>{notConnected + "\r\n\r\nﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞが違います。\r\n"
                                                                  "ｻｰﾊﾞｰの応答: 530 Authentication failed."});

    ui.Clear();
    type("txtFtpPass", QStringLiteral("secret"));
    click("cmdFtpTest");
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(informations(), std::vector<std::string>{"FTPｻｰﾊﾞｰへの接続に成功しました。"});

    ui.Clear();
    type("txtFtpDir", QStringLiteral("public_html"));
    click("cmdFtpTest");
    EXPECT_EQ(informations(),
              std::vector<std::string>{"FTPｻｰﾊﾞｰへの接続に成功しました、ﾃﾞｨﾚｸﾄﾘにもｱｸｾｽできました。"});

    ui.Clear();
    type("txtFtpDir", QStringLiteral("missing"));
    click("cmdFtpTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。"
                                                   "\r\nｻｰﾊﾞｰの応答: 550 No such file or directory."});
    EXPECT_TRUE(informations().empty());

    // A port box that is no whole number connects nowhere.
    ui.Clear();
    type("txtFtpDir", QString());
    type("txtFtpPort", QStringLiteral("2a"));
    click("cmdFtpTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{notConnected + "\r\n\r\nﾎﾟｰﾄには1から65535までの整数を入力してください。"});

    EXPECT_TRUE(w("cmdFtpTest")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(settingsUnchanged()) << "the FTP test does not touch the settings";
}

TEST_F(ConfigDialogTest, ClosingTheDialogStopsAnFtpTestThatWaits)
{
    // A server that takes the connection and never greets.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    std::vector<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection())
            held.push_back(s);
    });
    const quint16 port = silent.serverPort();
    open([port](settings::TConfig& c) {
        c.FtpUpload = 1;
        c.FtpPort = port;
    });
    QTimer::singleShot(300, dialog.get(), [this] { dialog->reject(); });
    QElapsedTimer elapsed;
    elapsed.start();
    click("cmdFtpTest");
    EXPECT_LT(elapsed.elapsed(), 5000) << "the client's own time-out is 20 s";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(ui.Calls().empty()) << "a stopped test reports nothing";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---- mail

namespace {

class ConfigDialogMail : public ConfigDialogTest
{
protected:
    void SetUp() override
    {
        ConfigDialogTest::SetUp();
        ASSERT_TRUE(mailDir.isValid());
        ASSERT_TRUE(smtp.startPython(QStringLiteral("smtpserver.py"),
                                     {QStringLiteral("--folder"), mailDir.path(), QStringLiteral("--user"),
                                      QStringLiteral("quill"), QStringLiteral("--password"),
                                      QStringLiteral("s3cret")}))
            << smtp.error().toStdString();
        // The settings point at a closed port: only the values on screen reach the server.
        open([](settings::TConfig& c) {
            c.MailNotice = 1;
            c.SmtpServer = "127.0.0.1";
            c.SmtpPort = testsupport::ClosedPort();
            c.SmtpUser = "quill";
            c.SmtpPass = "s3cret";
            c.SmtpLogon = 0;
            c.PopLogon = 0;
            c.MailAddress = "owner@example.test";
        });
    }
    int mails() const
    {
        return static_cast<int>(QDir(mailDir.path()).entryList({QStringLiteral("*.json")}).size());
    }
    void screenPort(quint16 port) { box("txtSmtpPort")->setText(QString::number(port)); }

    QTemporaryDir mailDir;
    testsupport::ServerProcess smtp;
};

} // namespace

TEST_F(ConfigDialogMail, TheTestMailGoesOutWithTheScreenValues)
{
    screenPort(smtp.port());
    type("txtMailAddress", QStringLiteral("screen@example.test"));
    click("cmdMailTest");
    EXPECT_EQ(informations(), std::vector<std::string>{"送信しました。"});
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(mails(), 1);
    EXPECT_TRUE(w("cmdMailTest")->isEnabled());
    EXPECT_TRUE(w("cmdOK")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(settingsUnchanged());

    // The authenticating path with the password on screen.
    ui.Clear();
    click("chkSmtpLogon");
    click("cmdMailTest");
    EXPECT_EQ(informations(), std::vector<std::string>{"送信しました。"});
    EXPECT_EQ(mails(), 2);
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogMail, ARefusedConnectionIsSaidByThePathInUse)
{
    const quint16 closed = testsupport::ClosedPort();
    screenPort(closed);
    click("cmdMailTest");
    const std::string refused = "\r\n\r\nSMTPｻｰﾊﾞｰへの接続で失敗しました。\r\n"
                                "接続を拒否されました(ｻｰﾊﾞｰ名とﾎﾟｰﾄ番号を確認してください)。";
    EXPECT_EQ(warnings(), std::vector<std::string>{"送信できませんでした。" + refused});
    ui.Clear();
    click("chkSmtpLogon");
    click("cmdMailTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"SMTPサーバーに接続できませんでした。" + refused});
    EXPECT_EQ(mails(), 0);
    EXPECT_TRUE(settingsUnchanged());
}

TEST_F(ConfigDialogMail, ANumberBoxThatIsNoNumberSendsNothing)
{
    screenPort(smtp.port());
    type("txtPopPort", QStringLiteral("x"));
    click("cmdMailTest");
    EXPECT_EQ(warnings(), std::vector<std::string>{"「POPﾎﾟｰﾄ」には整数を入力してください。"});
    EXPECT_EQ(currentPage(), w("tabMail"));
    EXPECT_EQ(focused(), w("txtPopPort"));
    EXPECT_EQ(mails(), 0);
    EXPECT_TRUE(settingsUnchanged());
}
