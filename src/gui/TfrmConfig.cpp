#include "gui/TfrmConfig.h"

#include "core/SecondSource.h"
#include "core/Version.h"
#include "ddns/DdnsUpdater.h"
#include "gui/AuxDialogs.h"
#include "gui/ConfigDialogHost.h"
#include "gui/ConfigNumbers.h"
#include "gui/DialogPages.h"
#include "gui/FolderPicker.h"
#include "gui/QtText.h"
#include "gui/SecurityChoice.h"
#include "gui/TfrmStatusSrc.h"
#include "gui/UpDownEdit.h"
#include "mail/NoticeMail.h"
#include "netinfo/wssmpl.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"
#include "upload/ParallelUpload.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace gui {

namespace {

void SetEnabled(std::initializer_list<QWidget*> widgets, bool on)
{
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

// A check mark as the settings store it.
settings::Flag Flag(const QAbstractButton* box)
{
    return box->isChecked() ? 1 : 0;
}

} // namespace

TfrmConfig::TfrmConfig(ConfigDialogHost& host, platform::UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_host(host), m_ui(ui)
{
    BuildPages();
    frmHead = new TfrmHead(m_ui, this);
    frmStatusSrc = new TfrmStatusSrc(m_ui, this);
    frmFileExt = new TfrmFileExt(m_ui, this);
    frmCfgClosed = new TfrmCfgClosed(m_ui, this);
    ConnectRules();
    // Tab goes through each page as it reads, top to bottom, whatever order the controls were made in.
    QList<QWidget*> chain{tabConfig};
    for (QWidget* page : {tabBasic, tabUpload, tabMail, tabDdns})
        chain += LayoutTabOrder(page);
    chain += {chkKeyring, cmdOK, cmdCancel};
    SetTabChain(chain);
    // Until the first filling the mail page follows its (unchecked) switch; no mark changes here.
    m_filling = true;
    chkMailNoticeClick();
    m_filling = false;
}

TfrmConfig::~TfrmConfig() = default;

QSize TfrmConfig::sizeHint() const
{
    // Never taller or wider than the screen: the pages scroll instead, and OK stays in reach.
    return QDialog::sizeHint().boundedTo(ScreenRoom(*this));
}

std::string TfrmConfig::Caption() const
{
    return core::kProgramTitle;
}

void TfrmConfig::ConnectRules()
{
    // The usual ports of none, STARTTLS and SSL/TLS.
    const auto filling = [this] { return m_filling; };
    m_ftpSecurity = new SecurityChoice(*cboFtpSecurity, *txtFtpServer, *txtFtpPort, {21, 21, 990}, filling);
    m_smtpSecurity =
        new SecurityChoice(*cboSmtpSecurity, *txtSmtpServer, *txtSmtpPort, {25, 587, 465}, filling);
    m_popSecurity = new SecurityChoice(*cboPopSecurity, *txtPopServer, *txtPopPort, {110, 110, 995}, filling);
    connect(optRouterIPa, &QRadioButton::toggled, this, [this] { optRouterIPClick(); });
    connect(chkStatusID, &QCheckBox::toggled, this, [this] { chkStatusIDClick(); });
    connect(optGlobalIPa, &QRadioButton::toggled, this, [this] { optGlobalIPClick(); });
    connect(chkFtpUpload, &QCheckBox::toggled, this, [this] { chkFtpUploadClick(); });
    connect(chkMailNotice, &QCheckBox::toggled, this, [this] { chkMailNoticeClick(); });
    connect(chkSmtpLogon, &QCheckBox::toggled, this, [this] { chkSmtpLogonClick(); });
    connect(chkPopLogon, &QCheckBox::toggled, this, [this] { chkPopLogonClick(); });
    connect(chkRobotSearch, &QCheckBox::toggled, this, [this] { chkRobotSearchClick(); });
    connect(chkCloseUpload, &QCheckBox::toggled, this, [this] { chkCloseUploadClick(); });

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(cmdRouterIP, &QPushButton::clicked, this, [this] { cmdRouterIPClick(); });
    connect(cmdBrowseTest, &QPushButton::clicked, this, [this] { cmdBrowseTestClick(); });
    connect(cmdGlolalIP, &QPushButton::clicked, this, [this] { cmdGlolalIPClick(); });
    connect(cmdGlobalIPkey, &QPushButton::clicked, this, [this] { cmdGlobalIPkeyClick(); });
    connect(cmdFtpTest, &QPushButton::clicked, this, [this] { cmdFtpTestClick(); });
    connect(cmdMailTest, &QPushButton::clicked, this, [this] { cmdMailTestClick(); });
    connect(cmdRobotEdit, &QPushButton::clicked, this, [this] { cmdRobotEditClick(); });
    connect(cmdFileExt, &QPushButton::clicked, this, [this] { cmdFileExtClick(); });
    connect(cmdClosedDetail, &QPushButton::clicked, this, [this] { cmdClosedDetailClick(); });
    connect(cmdReplaceFolder, &QPushButton::clicked, this, [this] { cmdReplaceFolderClick(); });
    connect(cmdReplaceLink, &QPushButton::clicked, this, [this] { cmdReplaceLinkClick(); });

    // The corrections when a box is left.
    txtCheckInterval->installEventFilter(this);
    txtTimeOut->installEventFilter(this);
    txtStatusURL->installEventFilter(this);
}

// ---- showing and closing

bool TfrmConfig::Edit(settings::TConfig& config)
{
    // The first showing takes all the room the screen has (Qt would stop at two thirds of it, and
    // a page would scroll on a screen where it fits); the user's own size stays after that.
    if (!testAttribute(Qt::WA_Resized))
        resize(sizeHint());
    BeginEditing(config);
    exec();
    EndEditing();
    return m_saved;
}

void TfrmConfig::BeginEditing(settings::TConfig& config)
{
    m_config = &config;
    m_saved = false;
    tabConfig->setCurrentWidget(tabBasic);
    FormShow();
}

void TfrmConfig::EndEditing()
{
    m_config = nullptr;
    m_filled.clear();
}

void TfrmConfig::done(int result)
{
    ++m_closings;
    // A test still waiting for its server ends now; it reports nothing once the dialog is closed.
    try {
        m_ftp.Abort();
        m_ftp.Cancel();
    } catch (...) {
    }
    if (m_mailer)
        m_mailer->Abort();
    if (m_lookup)
        m_lookup->CancelLookup();
    if (m_secondSource)
        m_secondSource->Stop();
    if (m_pageReader)
        m_pageReader->Stop();
    if (m_ddnsUpdater)
        m_ddnsUpdater->Stop();
    QDialog::done(result);
}

// ---- filling and transferring back

void TfrmConfig::SetText(QLineEdit* box, const std::string& cp932)
{
    const QString shown = Qs(cp932);
    box->setText(shown);
    m_filled[box] = {shown, cp932};
}

std::string TfrmConfig::TextOf(const QLineEdit* box) const
{
    const auto it = m_filled.find(box);
    if (it != m_filled.end() && it->second.first == box->text())
        return it->second.second;
    return Cp(box->text());
}

void TfrmConfig::FormShow()
{
    const settings::TConfig& c = *m_config;
    m_filling = true;
    m_filled.clear();
    SetText(txtCheckInterval, std::to_string(c.Interval));
    SetText(txtTimeOut, std::to_string(c.TimeOut));
    (c.GatewayAuto ? optRouterIPa : optRouterIPm)->setChecked(true);
    SetText(txtRouterIP, c.GatewayIP);
    SetText(txtStatusURL, c.StatusURL);
    SetText(txtStatusPST, c.StatusPost);
    chkStatusID->setChecked(c.StatusLogon != 0);
    SetText(txtStatusUser, c.StatusUser);
    SetText(txtStatusPass, c.StatusPass);
    chkNoScript->setChecked(c.NoScript != 0);
    chkEngine->setChecked(c.StatusEngine != 0);
    (c.GlobalIPAuto ? optGlobalIPa : optGlobalIPm)->setChecked(true);
    SetText(txtGlobalIPkey, c.GlobalIPKey);
    chkLeavePlural->setChecked(c.LeavePlural != 0);
    chkKeyring->setChecked(c.Keyring != 0);

    chkFtpUpload->setChecked(c.FtpUpload != 0);
    SetText(txtFtpServer, c.FtpServer);
    SetText(txtFtpUser, c.FtpUser);
    SetText(txtFtpPass, c.FtpPass);
    SetText(txtFtpDir, c.FtpDir);
    SetText(txtFtpPort, std::to_string(c.FtpPort));
    chkFtpPasv->setChecked(c.FtpPasv != 0);
    m_ftpSecurity->SetMode(c.FtpSecurity);
    spnFtpParallel->setValue(upload::ParallelConnections(c.FtpParallel));
    SetText(txtReplaceFolder, c.ReplaceFolder);
    chkReplaceFolder->setChecked(c.ReplaceAllFolder != 0);
    SetText(txtReplaceLink, c.ReplaceLink);
    chkIPtoURL->setChecked(c.IPtoURL != 0);
    chkRobotSearch->setChecked(c.RobotUse != 0);
    chkCloseUpload->setChecked(c.ClosedUse != 0);

    chkMailNotice->setChecked(c.MailNotice != 0);
    SetText(txtSmtpServer, c.SmtpServer);
    SetText(txtSmtpUser, c.SmtpUser);
    SetText(txtSmtpPort, std::to_string(c.SmtpPort));
    chkSmtpLogon->setChecked(c.SmtpLogon != 0);
    SetText(txtSmtpPass, c.SmtpPass);
    chkPopLogon->setChecked(c.PopLogon != 0);
    SetText(txtPopServer, c.PopServer);
    SetText(txtPopUser, c.PopUser);
    SetText(txtPopPass, c.PopPass);
    SetText(txtPopPort, std::to_string(c.PopPort));
    m_smtpSecurity->SetMode(c.SmtpSecurity);
    m_popSecurity->SetMode(c.PopSecurity);
    SetText(txtMailAddress, c.MailAddress);
    SetText(txtMailAddressFrom, c.MailAddressFrom);
    chkMailHanKana->setChecked(c.MailHanKana != 0);
    chkNotice1->setChecked((c.NoticeItem & 1) != 0);
    chkNotice2->setChecked((c.NoticeItem & 2) != 0);
    chkNotice4->setChecked((c.NoticeItem & 4) != 0);
    FillAddressControls(c);
    FillIpv6Controls(c);
    FillDdnsControls(c);

    // The rules follow what was filled, whether or not a mark changed.
    ApplyAllRules();
    m_filling = false;
}

void TfrmConfig::TransferBack(settings::TConfig& c) const
{
    // A box that is no whole number gives 0; OK and the tests refuse it before anything is used.
    const auto number = [](const QLineEdit* box) { return WholeNumber(box->text()).value_or(0); };
    c.Interval = number(txtCheckInterval);
    c.TimeOut = number(txtTimeOut);
    c.GatewayAuto = Flag(optRouterIPa);
    c.GatewayIP = TextOf(txtRouterIP);
    c.StatusURL = TextOf(txtStatusURL);
    c.StatusPost = TextOf(txtStatusPST);
    c.StatusLogon = Flag(chkStatusID);
    c.StatusUser = TextOf(txtStatusUser);
    c.StatusPass = TextOf(txtStatusPass);
    c.NoScript = Flag(chkNoScript);
    c.StatusEngine = Flag(chkEngine);
    c.GlobalIPAuto = Flag(optGlobalIPa);
    c.GlobalIPKey = TextOf(txtGlobalIPkey);
    c.LeavePlural = Flag(chkLeavePlural);
    c.Keyring = Flag(chkKeyring);
    TransferAddressControls(c);
    TransferIpv6Controls(c);

    c.FtpUpload = Flag(chkFtpUpload);
    c.FtpServer = TextOf(txtFtpServer);
    c.FtpUser = TextOf(txtFtpUser);
    c.FtpPass = TextOf(txtFtpPass);
    c.FtpDir = TextOf(txtFtpDir);
    c.FtpPort = number(txtFtpPort);
    c.FtpPasv = Flag(chkFtpPasv);
    c.FtpSecurity = m_ftpSecurity->Mode();
    c.FtpParallel = spnFtpParallel->value();
    c.ReplaceFolder = TextOf(txtReplaceFolder);
    c.ReplaceAllFolder = Flag(chkReplaceFolder);
    c.ReplaceLink = TextOf(txtReplaceLink);
    c.IPtoURL = Flag(chkIPtoURL);
    c.RobotUse = Flag(chkRobotSearch);
    c.ClosedUse = Flag(chkCloseUpload);

    c.MailNotice = Flag(chkMailNotice);
    c.SmtpServer = TextOf(txtSmtpServer);
    c.SmtpUser = TextOf(txtSmtpUser);
    c.SmtpPort = number(txtSmtpPort);
    c.SmtpLogon = Flag(chkSmtpLogon);
    c.SmtpPass = TextOf(txtSmtpPass);
    c.PopLogon = Flag(chkPopLogon);
    c.PopServer = TextOf(txtPopServer);
    c.PopUser = TextOf(txtPopUser);
    c.PopPass = TextOf(txtPopPass);
    c.PopPort = number(txtPopPort);
    c.SmtpSecurity = m_smtpSecurity->Mode();
    c.PopSecurity = m_popSecurity->Mode();
    c.MailAddress = TextOf(txtMailAddress);
    c.MailAddressFrom = TextOf(txtMailAddressFrom);
    c.MailHanKana = Flag(chkMailHanKana);
    c.NoticeItem = (chkNotice1->isChecked() ? 1 : 0) + (chkNotice2->isChecked() ? 2 : 0) +
                   (chkNotice4->isChecked() ? 4 : 0);
    TransferDdnsControls(c);
}

// ---- OK

void TfrmConfig::cmdOKClick()
{
    // OK is pressed with Enter as well, without leaving the box being typed in.
    ApplyFieldCorrections();
    if (!ValidateEntries())
        return;
    settings::TConfig& c = *m_config;
    if (chkNoScript->isChecked() != (c.NoScript != 0))
        m_ui.ShowInformation(text::Sjis(u8"「ｽｸﾘﾌﾟﾄ無効」を変更した場合は本ソフトを再起動\r\n"
                                        u8"しないと設定が有効にならない場合があります。"),
                             Caption());
    TransferBack(c);
    if (!SaveAll(c))
        return;
    m_saved = true;
    accept();
}

bool TfrmConfig::SaveAll(settings::TConfig& c)
{
    try {
        try {
            settings::SaveSettings(c, settings::SaveScope::All);
        } catch (const settings::KeyringWriteError& e) {
            if (!m_ui.AskYesNo(e.what() +
                                   text::Sjis(u8"\r\n\r\nﾊﾟｽﾜｰﾄﾞを設定ﾌｧｲﾙ(Quillmap.ini)に保存しますか？\r\n"
                                              u8"(「いいえ」: 何も保存せずに設定に戻ります)"),
                               Caption()))
                return false;
            c.Keyring = 0;
            chkKeyring->setChecked(false);
            settings::SaveSettings(c, settings::SaveScope::All);
        }
    } catch (const settings::SettingsWriteError& e) {
        m_ui.ShowWarning(e.what(), Caption());
        return false;
    }
    return true;
}

// ---- corrections when a box is left

bool TfrmConfig::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // A message box or a menu taking the focus for a moment is no leaving of the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == txtCheckInterval)
                CorrectMinutes(udCheckInterval);
            else if (watched == txtTimeOut)
                CorrectMinutes(udTimeOut);
            else if (watched == txtStatusURL)
                CorrectStatusUrl();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmConfig::CorrectMinutes(UpDownEdit* box)
{
    if (!MinutesTextStays(box->Edit()->text(), box->Minimum(), box->Maximum()))
        box->Edit()->setText(QString::fromLatin1(kMinutesFallback));
}

void TfrmConfig::CorrectStatusUrl()
{
    const QString url = txtStatusURL->text();
    if (!url.isEmpty() && !url.startsWith(u'/'))
        txtStatusURL->setText(u'/' + url);
}

void TfrmConfig::ApplyFieldCorrections()
{
    CorrectMinutes(udCheckInterval);
    CorrectMinutes(udTimeOut);
    CorrectStatusUrl();
}

// ---- the auxiliary dialogs and folder pickers

// Each small dialog edits the same settings object and saves its own share on its OK, whatever this
// dialog does afterwards.
void TfrmConfig::cmdRobotEditClick()
{
    if (m_config)
        frmHead->Edit(*m_config);
}

void TfrmConfig::cmdFileExtClick()
{
    if (m_config)
        frmFileExt->Edit(*m_config);
}

void TfrmConfig::cmdClosedDetailClick()
{
    if (m_config)
        frmCfgClosed->Edit(*m_config);
}

void TfrmConfig::cmdReplaceFolderClick()
{
    PickFolderInto(*txtReplaceFolder);
}

void TfrmConfig::cmdReplaceLinkClick()
{
    PickFolderInto(*txtReplaceLink);
}

// ---- enable rules

void TfrmConfig::optRouterIPClick()
{
    const bool automatic = optRouterIPa->isChecked();
    cmdRouterIP->setEnabled(automatic);
    txtRouterIP->setEnabled(!automatic);
}

void TfrmConfig::chkStatusIDClick()
{
    SetEnabled({lblStatusUser, txtStatusUser, lblStatusPass, txtStatusPass}, chkStatusID->isChecked());
}

void TfrmConfig::optGlobalIPClick()
{
    const bool byKey = !optGlobalIPa->isChecked();
    SetEnabled({txtGlobalIPkey, cmdGlobalIPkey}, byKey);
}

void TfrmConfig::chkFtpUploadClick()
{
    // One of the two must stay on: turning uploads off turns notices on.
    if (!m_filling && !chkFtpUpload->isChecked())
        chkMailNotice->setChecked(true);
    const bool on = chkFtpUpload->isChecked();
    SetEnabled({fraFtp,         lblFtpServer,   txtFtpServer,     lblFtpUser,       txtFtpUser,
                lblFtpPass,     txtFtpPass,     lblFtpDir,        txtFtpDir,        cmdFtpTest,
                chkFtpPasv,     lblFtpPort,     txtFtpPort,       lblReplaceFolder, txtReplaceFolder,
                lblFtpSecurity, cboFtpSecurity, chkReplaceFolder, cmdReplaceFolder, lblReplaceLink,
                txtReplaceLink, cmdReplaceLink, chkIPtoURL,       chkCloseUpload,   chkRobotSearch,
                lblFtpParallel, spnFtpParallel},
               on);
    chkRobotSearchClick();
    chkCloseUploadClick();
}

void TfrmConfig::chkMailNoticeClick()
{
    if (!m_filling && !chkMailNotice->isChecked())
        chkFtpUpload->setChecked(true);
    const bool on = chkMailNotice->isChecked();
    SetEnabled({cmdMailTest,        fraSend,         lblSmtpServer,  txtSmtpServer,  lblSmtpUser,
                txtSmtpUser,        chkSmtpLogon,    lblSmtpPort,    txtSmtpPort,    chkPopLogon,
                lblPopPort,         txtPopPort,      lblMailAddress, txtMailAddress, lblMailAddressFrom,
                txtMailAddressFrom, chkMailHanKana,  fraNotice,      chkNotice1,     chkNotice2,
                chkNotice4,         lblSmtpSecurity, cboSmtpSecurity},
               on);
    chkSmtpLogonClick();
    chkPopLogonClick();
}

void TfrmConfig::chkSmtpLogonClick()
{
    txtSmtpPass->setEnabled(chkSmtpLogon->isChecked() && chkSmtpLogon->isEnabled());
}

void TfrmConfig::chkPopLogonClick()
{
    SetEnabled({lblPopServer, txtPopServer, lblPopUser, txtPopUser, lblPopPass, txtPopPass, lblPopSecurity,
                cboPopSecurity},
               chkPopLogon->isChecked() && chkPopLogon->isEnabled());
}

void TfrmConfig::chkRobotSearchClick()
{
    cmdRobotEdit->setEnabled(chkRobotSearch->isChecked() && chkRobotSearch->isEnabled());
}

void TfrmConfig::chkCloseUploadClick()
{
    cmdClosedDetail->setEnabled(chkCloseUpload->isChecked() && chkCloseUpload->isEnabled());
}

void TfrmConfig::ApplyAllRules()
{
    optRouterIPClick();
    chkStatusIDClick();
    optGlobalIPClick();
    chkFtpUploadClick();
    chkMailNoticeClick();
    AddressRules();
    Ipv6Rules();
    DdnsRules();
}

} // namespace gui

// The meta-object code of this file's class is compiled here, with the class, not in the library's
// shared moc unit.
#include "moc_TfrmConfig.cpp"
