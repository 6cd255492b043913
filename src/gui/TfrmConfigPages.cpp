// The settings dialog's three pages: what stands where, in layouts, so that no Japanese caption is
// cut at any font size.
#include "engine/EngineSupport.h"
#include "gui/DialogPages.h"
#include "gui/QtText.h"
#include "gui/SecurityChoice.h"
#include "gui/TfrmConfig.h"
#include "gui/TypedLengthLimit.h"
#include "gui/UpDownEdit.h"
#include "upload/ParallelUpload.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gui {

namespace {

// The port boxes take at most three typed characters.
constexpr int kPortTypedLength = 3;
// The minute boxes' up-down range.
constexpr int kMinutesMin = 1;
constexpr int kMinutesMax = 999;

QGroupBox* Group(const char* name, std::u8string_view caption, QWidget* parent)
{
    auto* group = new QGroupBox(J(caption), parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

// A box wide enough for a few digits (the ports, the minutes), so that it does not stretch.
void NarrowBox(QWidget* box, int digits)
{
    const int width = box->fontMetrics().horizontalAdvance(QString(digits + 2, u'0'));
    box->setMinimumWidth(width);
    box->setMaximumWidth(width + box->fontMetrics().horizontalAdvance(QStringLiteral("00")));
}

} // namespace

QLineEdit* TfrmConfig::TextBox(const char* name, bool masked)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    if (masked)
        box->setEchoMode(QLineEdit::Password);
    return box;
}

QCheckBox* TfrmConfig::CheckBox(const char* name, std::u8string_view caption)
{
    auto* box = new QCheckBox(J(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* TfrmConfig::Label(const char* name, std::u8string_view caption)
{
    auto* label = new QLabel(J(caption), this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* TfrmConfig::Button(const char* name, std::u8string_view caption)
{
    auto* button = new QPushButton(J(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    // Only OK answers the Enter key.
    button->setAutoDefault(false);
    return button;
}

void TfrmConfig::BuildPages()
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(J(u8"設定"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    tabConfig = new QTabWidget(this);
    tabConfig->setObjectName(QStringLiteral("tabConfig"));
    // Each page scrolls where the screen is too small for it (a laptop's, or at 200% scaling), so
    // that OK stays on the screen.
    tabBasic = ScrollablePage(BuildBasicPage());
    tabUpload = ScrollablePage(BuildUploadPage());
    tabMail = ScrollablePage(BuildMailPage());
    tabDdns = ScrollablePage(BuildDdnsPage());
    tabConfig->addTab(tabBasic, J(u8"基本設定"));
    tabConfig->addTab(tabUpload, J(u8"ｱｯﾌﾟﾛｰﾄﾞ設定"));
    tabConfig->addTab(tabMail, J(u8"ﾒｰﾙ通知設定"));
    tabConfig->addTab(tabDdns, J(u8"DDNS設定"));

    cmdOK = Button("cmdOK", u8"OK");
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel = Button("cmdCancel", u8"ｷｬﾝｾﾙ");
    chkKeyring = CheckBox("chkKeyring", u8"ﾊﾟｽﾜｰﾄﾞをｷｰﾘﾝｸﾞに保存");
    chkKeyring->setToolTip(
        J(u8"ﾙｰﾀ、FTP、ﾒｰﾙ、DDNSのﾊﾟｽﾜｰﾄﾞをﾃﾞｽｸﾄｯﾌﾟのｷｰﾘﾝｸﾞに保存し、Quillmap.iniには保存しません。"
          u8"ｷｰﾘﾝｸﾞのないｻｰﾋﾞｽ(--headless)では使えません。"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkKeyring);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabConfig);
    layout->addLayout(buttons);
}

QWidget* TfrmConfig::BuildBasicPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabBasic"));

    // The two minute boxes, each with its up-down pair and unit.
    lblCheckInterval = Label("lblCheckInterval", u8"ｽﾃｰﾀｽﾁｪｯｸ間隔：");
    udCheckInterval = new UpDownEdit(kMinutesMin, kMinutesMax, QStringLiteral("txtCheckInterval"),
                                     QStringLiteral("udCheckInterval"), page);
    txtCheckInterval = udCheckInterval->Edit();
    NarrowBox(txtCheckInterval, 3);
    lblTimeOut = Label("lblTimeOut", u8"ｱｯﾌﾟﾛｰﾄﾞ処理ﾀｲﾑｱｳﾄ：");
    udTimeOut = new UpDownEdit(kMinutesMin, kMinutesMax, QStringLiteral("txtTimeOut"),
                               QStringLiteral("udTimeOut"), page);
    txtTimeOut = udTimeOut->Edit();
    NarrowBox(txtTimeOut, 3);
    lblCheckInterval->setBuddy(txtCheckInterval);
    lblTimeOut->setBuddy(txtTimeOut);
    auto* minutes = new QGridLayout;
    minutes->addWidget(lblCheckInterval, 0, 0);
    minutes->addWidget(udCheckInterval, 0, 1);
    minutes->addWidget(Label("lblCheckIntervalUnit", u8"分"), 0, 2);
    minutes->addWidget(lblTimeOut, 1, 0);
    minutes->addWidget(udTimeOut, 1, 1);
    minutes->addWidget(Label("lblTimeOutUnit", u8"分"), 1, 2);
    minutes->setColumnStretch(3, 1);

    // Where the router is.
    auto* fraRouter = Group("fraRouter", u8"ﾙｰﾀのIPｱﾄﾞﾚｽ", page);
    optRouterIPa = new QRadioButton(J(u8"自動取得"), fraRouter);
    optRouterIPa->setObjectName(QStringLiteral("optRouterIPa"));
    cmdRouterIP = Button("cmdRouterIP", u8"自動取得のﾃｽﾄ");
    optRouterIPm = new QRadioButton(J(u8"指定"), fraRouter);
    optRouterIPm->setObjectName(QStringLiteral("optRouterIPm"));
    txtRouterIP = TextBox("txtRouterIP");
    auto* routerLayout = new QGridLayout(fraRouter);
    routerLayout->addWidget(optRouterIPa, 0, 0);
    routerLayout->addWidget(cmdRouterIP, 0, 1, Qt::AlignLeft);
    routerLayout->addWidget(optRouterIPm, 1, 0);
    routerLayout->addWidget(txtRouterIP, 1, 1);
    routerLayout->setColumnStretch(1, 1);

    // The status page and how it is read.
    auto* fraStatus = Group("fraStatus", u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞ", page);
    auto* lblStatusURL = Label("lblStatusURL", u8"URL：");
    txtStatusURL = TextBox("txtStatusURL");
    cmdBrowseTest = Button("cmdBrowseTest", u8"表示ﾃｽﾄ");
    auto* lblStatusPST = Label("lblStatusPST", u8"POSTﾃﾞｰﾀ：");
    txtStatusPST = TextBox("txtStatusPST");
    chkStatusID = CheckBox("chkStatusID", u8"表示するには認証が必要");
    lblStatusUser = Label("lblStatusUser", u8"ﾕｰｻﾞｰ名：");
    txtStatusUser = TextBox("txtStatusUser");
    lblStatusPass = Label("lblStatusPass", u8"ﾊﾟｽﾜｰﾄﾞ：");
    txtStatusPass = TextBox("txtStatusPass", true);
    chkNoScript = CheckBox("chkNoScript", u8"ｽｸﾘﾌﾟﾄ無効");
    chkEngine = CheckBox("chkEngine", u8"ﾌﾞﾗｳｻﾞｴﾝｼﾞﾝ使用");
    if (engine::EngineBuilt()) {
        chkEngine->setToolTip(J(u8"ﾙｰﾀのﾍﾟｰｼﾞをﾌﾞﾗｳｻﾞｴﾝｼﾞﾝで読み、ﾍﾟｰｼﾞのｽｸﾘﾌﾟﾄを実行します。"));
    } else {
        chkEngine->setEnabled(false);
        chkEngine->setToolTip(J(u8"このﾌﾟﾛｸﾞﾗﾑはﾌﾞﾗｳｻﾞｴﾝｼﾞﾝ(Qt WebEngine)なしでﾋﾞﾙﾄﾞされています。"));
    }
    lblStatusURL->setBuddy(txtStatusURL);
    lblStatusPST->setBuddy(txtStatusPST);
    lblStatusUser->setBuddy(txtStatusUser);
    lblStatusPass->setBuddy(txtStatusPass);
    auto* statusLayout = new QGridLayout(fraStatus);
    statusLayout->addWidget(lblStatusURL, 0, 0);
    statusLayout->addWidget(txtStatusURL, 0, 1, 1, 3);
    statusLayout->addWidget(cmdBrowseTest, 0, 4);
    statusLayout->addWidget(lblStatusPST, 1, 0);
    statusLayout->addWidget(txtStatusPST, 1, 1, 1, 3);
    statusLayout->addWidget(chkStatusID, 2, 0, 1, 5);
    statusLayout->addWidget(lblStatusUser, 3, 0);
    statusLayout->addWidget(txtStatusUser, 3, 1);
    statusLayout->addWidget(lblStatusPass, 3, 2);
    statusLayout->addWidget(txtStatusPass, 3, 3);
    statusLayout->addWidget(chkNoScript, 4, 0, 1, 2);
    statusLayout->addWidget(chkEngine, 4, 2, 1, 3);
    statusLayout->setColumnStretch(1, 1);
    statusLayout->setColumnStretch(3, 1);

    // How the global address is found in the page.
    auto* fraGlobalIP = Group("fraGlobalIP", u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索", page);
    optGlobalIPa = new QRadioButton(J(u8"自動検索"), fraGlobalIP);
    optGlobalIPa->setObjectName(QStringLiteral("optGlobalIPa"));
    optGlobalIPm = new QRadioButton(J(u8"検索キーを指定"), fraGlobalIP);
    optGlobalIPm->setObjectName(QStringLiteral("optGlobalIPm"));
    txtGlobalIPkey = TextBox("txtGlobalIPkey");
    cmdGlobalIPkey = Button("cmdGlobalIPkey", u8"参照");
    cmdGlolalIP = Button("cmdGlolalIP", u8"検索のﾃｽﾄ");
    auto* globalLayout = new QGridLayout(fraGlobalIP);
    globalLayout->addWidget(optGlobalIPa, 0, 0);
    globalLayout->addWidget(cmdGlolalIP, 0, 1, 1, 2, Qt::AlignLeft);
    globalLayout->addWidget(optGlobalIPm, 1, 0);
    globalLayout->addWidget(txtGlobalIPkey, 1, 1);
    globalLayout->addWidget(cmdGlobalIPkey, 1, 2);
    globalLayout->setColumnStretch(1, 1);

    chkLeavePlural = CheckBox("chkLeavePlural", u8"複数起動を許可する");

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(minutes);
    layout->addWidget(fraRouter);
    layout->addWidget(fraStatus);
    layout->addWidget(fraGlobalIP);
    layout->addWidget(BuildSecondSourceGroup(page));
    layout->addWidget(BuildIpv6Group(page));
    layout->addWidget(chkLeavePlural);
    layout->addStretch(1);
    return page;
}

QWidget* TfrmConfig::BuildUploadPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabUpload"));

    chkFtpUpload = CheckBox("chkFtpUpload", u8"ﾘﾝｸ差し換えｱｯﾌﾟﾛｰﾄﾞを行う");

    // The FTP server the pages go to.
    fraFtp = Group("fraFtp", u8"FTPｻｰﾊﾞｰ設定", page);
    lblFtpServer = Label("lblFtpServer", u8"FTPｻｰﾊﾞｰ：");
    txtFtpServer = TextBox("txtFtpServer");
    lblFtpPort = Label("lblFtpPort", u8"FTPﾎﾟｰﾄ：");
    txtFtpPort = TextBox("txtFtpPort");
    new TypedLengthLimit(*txtFtpPort, kPortTypedLength);
    NarrowBox(txtFtpPort, 5);
    lblFtpUser = Label("lblFtpUser", u8"ﾕｰｻﾞｰ名：");
    txtFtpUser = TextBox("txtFtpUser");
    lblFtpPass = Label("lblFtpPass", u8"ﾊﾟｽﾜｰﾄﾞ：");
    txtFtpPass = TextBox("txtFtpPass", true);
    lblFtpDir = Label("lblFtpDir", u8"ﾃﾞｨﾚｸﾄﾘ：");
    txtFtpDir = TextBox("txtFtpDir");
    chkFtpPasv = CheckBox("chkFtpPasv", u8"PASVﾓｰﾄﾞ");
    lblFtpSecurity = Label("lblFtpSecurity", u8"暗号化：");
    cboFtpSecurity = SecurityChoice::MakeBox(this, "cboFtpSecurity");
    lblFtpSecurity->setBuddy(cboFtpSecurity);
    cmdFtpTest = Button("cmdFtpTest", u8"接続ﾃｽﾄ");
    // More connections at once take fewer round trips in all; some servers allow only a few.
    lblFtpParallel = Label("lblFtpParallel", u8"同時接続数：");
    spnFtpParallel = new QSpinBox(page);
    spnFtpParallel->setObjectName(QStringLiteral("spnFtpParallel"));
    spnFtpParallel->setRange(1, upload::kMaxParallel);
    lblFtpParallel->setBuddy(spnFtpParallel);
    lblFtpServer->setBuddy(txtFtpServer);
    lblFtpPort->setBuddy(txtFtpPort);
    lblFtpUser->setBuddy(txtFtpUser);
    lblFtpPass->setBuddy(txtFtpPass);
    lblFtpDir->setBuddy(txtFtpDir);
    auto* ftpLayout = new QGridLayout(fraFtp);
    ftpLayout->addWidget(lblFtpServer, 0, 0);
    ftpLayout->addWidget(txtFtpServer, 0, 1);
    ftpLayout->addWidget(lblFtpPort, 0, 2);
    ftpLayout->addWidget(txtFtpPort, 0, 3, Qt::AlignLeft);
    ftpLayout->addWidget(lblFtpUser, 1, 0);
    ftpLayout->addWidget(txtFtpUser, 1, 1);
    ftpLayout->addWidget(lblFtpPass, 1, 2);
    ftpLayout->addWidget(txtFtpPass, 1, 3);
    ftpLayout->addWidget(lblFtpDir, 2, 0);
    ftpLayout->addWidget(txtFtpDir, 2, 1);
    ftpLayout->addWidget(chkFtpPasv, 2, 2, 1, 2);
    ftpLayout->addWidget(lblFtpSecurity, 3, 0);
    ftpLayout->addWidget(cboFtpSecurity, 3, 1, Qt::AlignLeft);
    ftpLayout->addWidget(cmdFtpTest, 3, 3, Qt::AlignRight);
    ftpLayout->addWidget(lblFtpParallel, 4, 0);
    ftpLayout->addWidget(spnFtpParallel, 4, 1, Qt::AlignLeft);
    ftpLayout->setColumnStretch(1, 2);
    ftpLayout->setColumnStretch(3, 1);

    // The local pages and the link they point at.
    auto* fraReplace = Group("fraReplace", u8"ﾘﾝｸ差し換え設定", page);
    lblReplaceFolder = Label("lblReplaceFolder", u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞ：");
    txtReplaceFolder = TextBox("txtReplaceFolder");
    cmdReplaceFolder = Button("cmdReplaceFolder", u8"参照");
    chkReplaceFolder = CheckBox("chkReplaceFolder", u8"下位ﾌｫﾙﾀﾞも対象");
    lblReplaceLink = Label("lblReplaceLink", u8"差し換えるﾘﾝｸ：");
    txtReplaceLink = TextBox("txtReplaceLink");
    cmdReplaceLink = Button("cmdReplaceLink", u8"参照");
    chkIPtoURL = CheckBox("chkIPtoURL", u8"IPｱﾄﾞﾚｽではなくﾄﾞﾒｲﾝ名でﾘﾝｸ");
    chkRobotSearch = CheckBox("chkRobotSearch", u8"対ﾛﾎﾞｯﾄ検索用ｷｰﾜｰﾄﾞを設定する");
    cmdRobotEdit = Button("cmdRobotEdit", u8"設定編集");
    chkCloseUpload = CheckBox("chkCloseUpload", u8"終了時ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞを行う");
    cmdClosedDetail = Button("cmdClosedDetail", u8"詳細設定");
    lblReplaceFolder->setBuddy(txtReplaceFolder);
    lblReplaceLink->setBuddy(txtReplaceLink);
    auto* replaceLayout = new QGridLayout(fraReplace);
    replaceLayout->addWidget(lblReplaceFolder, 0, 0, 1, 3);
    replaceLayout->addWidget(txtReplaceFolder, 1, 0, 1, 2);
    replaceLayout->addWidget(cmdReplaceFolder, 1, 2);
    replaceLayout->addWidget(chkReplaceFolder, 2, 0, 1, 3);
    replaceLayout->addWidget(lblReplaceLink, 3, 0, 1, 3);
    replaceLayout->addWidget(txtReplaceLink, 4, 0, 1, 2);
    replaceLayout->addWidget(cmdReplaceLink, 4, 2);
    replaceLayout->addWidget(chkIPtoURL, 5, 0, 1, 3);
    replaceLayout->addWidget(chkRobotSearch, 6, 0);
    replaceLayout->addWidget(cmdRobotEdit, 6, 1, Qt::AlignLeft);
    replaceLayout->addWidget(chkCloseUpload, 7, 0);
    replaceLayout->addWidget(cmdClosedDetail, 7, 1, Qt::AlignLeft);
    replaceLayout->setColumnStretch(1, 1);

    cmdFileExt = Button("cmdFileExt", u8"対象ﾌｧｲﾙ設定");
    auto* fileExt = new QHBoxLayout;
    fileExt->addStretch(1);
    fileExt->addWidget(cmdFileExt);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(chkFtpUpload);
    layout->addWidget(fraFtp);
    layout->addWidget(BuildCheckUrlGroup(page));
    layout->addWidget(fraReplace);
    layout->addLayout(fileExt);
    layout->addStretch(1);
    return page;
}

QWidget* TfrmConfig::BuildMailPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabMail"));

    chkMailNotice = CheckBox("chkMailNotice", u8"ﾒｰﾙ通知を行う");
    cmdMailTest = Button("cmdMailTest", u8"通知ﾃｽﾄ");
    auto* top = new QHBoxLayout;
    top->addWidget(chkMailNotice);
    top->addStretch(1);
    top->addWidget(cmdMailTest);

    // How the mail is sent.
    fraSend = Group("fraSend", u8"送信設定", page);
    lblSmtpServer = Label("lblSmtpServer", u8"SMTPｻｰﾊﾞｰ：");
    txtSmtpServer = TextBox("txtSmtpServer");
    lblSmtpPort = Label("lblSmtpPort", u8"SMTPﾎﾟｰﾄ：");
    txtSmtpPort = TextBox("txtSmtpPort");
    new TypedLengthLimit(*txtSmtpPort, kPortTypedLength);
    NarrowBox(txtSmtpPort, 5);
    lblSmtpUser = Label("lblSmtpUser", u8"ﾕｰｻﾞｰ名：");
    txtSmtpUser = TextBox("txtSmtpUser");
    chkSmtpLogon = CheckBox("chkSmtpLogon", u8"SMTP認証ﾊﾟｽﾜｰﾄﾞ：");
    txtSmtpPass = TextBox("txtSmtpPass", true);
    lblSmtpSecurity = Label("lblSmtpSecurity", u8"暗号化：");
    cboSmtpSecurity = SecurityChoice::MakeBox(this, "cboSmtpSecurity");
    lblSmtpSecurity->setBuddy(cboSmtpSecurity);
    chkPopLogon = CheckBox("chkPopLogon", u8"送信前にPOPｻｰﾊﾞｰへの認証が必要");
    lblPopSecurity = Label("lblPopSecurity", u8"暗号化：");
    cboPopSecurity = SecurityChoice::MakeBox(this, "cboPopSecurity");
    lblPopSecurity->setBuddy(cboPopSecurity);
    lblPopServer = Label("lblPopServer", u8"POPｻｰﾊﾞｰ：");
    txtPopServer = TextBox("txtPopServer");
    lblPopPort = Label("lblPopPort", u8"POPﾎﾟｰﾄ：");
    txtPopPort = TextBox("txtPopPort");
    new TypedLengthLimit(*txtPopPort, kPortTypedLength);
    NarrowBox(txtPopPort, 5);
    lblPopUser = Label("lblPopUser", u8"ﾕｰｻﾞｰ名：");
    txtPopUser = TextBox("txtPopUser");
    lblPopPass = Label("lblPopPass", u8"ﾊﾟｽﾜｰﾄﾞ：");
    txtPopPass = TextBox("txtPopPass", true);
    lblMailAddress = Label("lblMailAddress", u8"通知先ｱﾄﾞﾚｽ：");
    txtMailAddress = TextBox("txtMailAddress");
    lblMailAddressFrom = Label("lblMailAddressFrom", u8"送信元ｱﾄﾞﾚｽ：");
    txtMailAddressFrom = TextBox("txtMailAddressFrom");
    chkMailHanKana = CheckBox("chkMailHanKana", u8"ｶﾀｶﾅを半角で送信(ﾊﾟｹｯﾄ料を節約する場合)");
    lblSmtpServer->setBuddy(txtSmtpServer);
    lblSmtpPort->setBuddy(txtSmtpPort);
    lblSmtpUser->setBuddy(txtSmtpUser);
    lblPopServer->setBuddy(txtPopServer);
    lblPopPort->setBuddy(txtPopPort);
    lblPopUser->setBuddy(txtPopUser);
    lblPopPass->setBuddy(txtPopPass);
    lblMailAddress->setBuddy(txtMailAddress);
    lblMailAddressFrom->setBuddy(txtMailAddressFrom);
    auto* sendLayout = new QGridLayout(fraSend);
    sendLayout->addWidget(lblSmtpServer, 0, 0);
    sendLayout->addWidget(txtSmtpServer, 0, 1);
    sendLayout->addWidget(lblSmtpPort, 0, 2);
    sendLayout->addWidget(txtSmtpPort, 0, 3, Qt::AlignLeft);
    sendLayout->addWidget(lblSmtpUser, 1, 0);
    sendLayout->addWidget(txtSmtpUser, 1, 1);
    sendLayout->addWidget(lblSmtpSecurity, 1, 2);
    sendLayout->addWidget(cboSmtpSecurity, 1, 3, Qt::AlignLeft);
    sendLayout->addWidget(chkSmtpLogon, 2, 0);
    sendLayout->addWidget(txtSmtpPass, 2, 1);
    sendLayout->addWidget(chkPopLogon, 3, 0, 1, 2);
    sendLayout->addWidget(lblPopSecurity, 3, 2);
    sendLayout->addWidget(cboPopSecurity, 3, 3, Qt::AlignLeft);
    sendLayout->addWidget(lblPopServer, 4, 0);
    sendLayout->addWidget(txtPopServer, 4, 1);
    sendLayout->addWidget(lblPopPort, 4, 2);
    sendLayout->addWidget(txtPopPort, 4, 3, Qt::AlignLeft);
    sendLayout->addWidget(lblPopUser, 5, 0);
    sendLayout->addWidget(txtPopUser, 5, 1);
    sendLayout->addWidget(lblPopPass, 5, 2);
    sendLayout->addWidget(txtPopPass, 5, 3);
    sendLayout->addWidget(lblMailAddress, 6, 0);
    sendLayout->addWidget(txtMailAddress, 6, 1, 1, 3);
    sendLayout->addWidget(lblMailAddressFrom, 7, 0);
    sendLayout->addWidget(txtMailAddressFrom, 7, 1, 1, 3);
    sendLayout->addWidget(chkMailHanKana, 8, 0, 1, 4);
    sendLayout->setColumnStretch(1, 2);
    sendLayout->setColumnStretch(3, 1);

    // What is mailed. The upload failure box is kept hidden, but still carries its bit.
    fraNotice = Group("fraNotice", u8"通知する項目", page);
    chkNotice1 = CheckBox("chkNotice1", u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽが変わった");
    chkNotice2 = CheckBox("chkNotice2", u8"ﾙｰﾀのｽﾃｰﾀｽﾁｪｯｸｴﾗｰ");
    chkNotice4 = CheckBox("chkNotice4", u8"ｱｯﾌﾟﾛｰﾄﾞのｴﾗｰ");
    chkNotice4->setVisible(false);
    auto* noticeLayout = new QVBoxLayout(fraNotice);
    noticeLayout->addWidget(chkNotice1);
    noticeLayout->addWidget(chkNotice2);
    noticeLayout->addWidget(chkNotice4);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(fraSend);
    layout->addWidget(fraNotice);
    layout->addStretch(1);
    return page;
}

} // namespace gui
