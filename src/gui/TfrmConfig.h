#pragma once
// The settings dialog "設定": three pages of settings with their enable rules, the validation on OK,
// the corrections when a box is left, and the test buttons (router address, status page, address
// search with the key picker, FTP connection, test mail). It edits the one settings object that the
// main window lends it, in place, and saves it whole on OK.

#include "net/NMFtp.h"

#include <QDialog>
#include <QString>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}
namespace netinfo {
class HostResolver;
class HostNameLookup;
} // namespace netinfo
namespace mail {
class TNoticeMailer;
}
namespace ddns {
class DdnsUpdater;
}
namespace core {
struct AddressSearchLog;
class SecondSource;
class WebPageReader;
} // namespace core

namespace gui {

class ConfigDialogHost;
class SecurityChoice;
class TfrmCfgClosed;
class TfrmFileExt;
class TfrmHead;
class TfrmStatusSrc;
class UpDownEdit;
// Tests reach the dialog's steps through this; it is defined in the tests only.
struct TfrmConfigTestAccess;

class TfrmConfig : public QDialog
{
    Q_OBJECT
public:
    TfrmConfig(ConfigDialogHost& host, platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmConfig() override;

    // Fills the controls from config, shows the dialog modally and gives the object back when it
    // closes. True when it ended with OK, that is, with the screen values saved into config and into
    // the settings file.
    bool Edit(settings::TConfig& config);

    // The whole pages where the screen has room; otherwise the room there is.
    QSize sizeHint() const override;

protected:
    // Every way of closing (OK, Cancel, Escape, the close box) passes here: a test that waits for
    // the network is stopped first.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend struct TfrmConfigTestAccess;

    // How a status page test ended.
    enum class PageTest {
        Read,
        NotRead,
        // No URL, or a number box that is not a number: the user has been told why, nothing ran.
        Refused,
    };

    // Building the pages (TfrmConfigPages.cpp).
    void BuildPages();
    QWidget* BuildBasicPage();
    QWidget* BuildUploadPage();
    QWidget* BuildMailPage();
    void ConnectRules();
    QLineEdit* TextBox(const char* name, bool masked = false);
    QCheckBox* CheckBox(const char* name, std::u8string_view caption);
    QLabel* Label(const char* name, std::u8string_view caption);
    QPushButton* Button(const char* name, std::u8string_view caption);

    // The reachable address's controls (TfrmConfigAddress.cpp).
    QGroupBox* BuildSecondSourceGroup(QWidget* page);
    QGroupBox* BuildCheckUrlGroup(QWidget* page);
    void FillAddressControls(const settings::TConfig& c);
    void TransferAddressControls(settings::TConfig& c) const;
    void AddressRules();
    void cmdSource2TestClick();
    void cmdCheckURLTestClick();

    // Publishing over IPv6 (TfrmConfigIpv6.cpp).
    QGroupBox* BuildIpv6Group(QWidget* page);
    void FillIpv6Controls(const settings::TConfig& c);
    void TransferIpv6Controls(settings::TConfig& c) const;
    void Ipv6Rules();
    void cmdIpv6TestClick();
    // The dynamic DNS page (TfrmConfigDdns.cpp).
    QWidget* BuildDdnsPage();
    void FillDdnsControls(const settings::TConfig& c);
    void TransferDdnsControls(settings::TConfig& c) const;
    void DdnsRules();
    void cmdDdnsTestClick();
    // Its group for the user's own DNS server (TfrmConfigDdnsRfc2136.cpp).
    QGroupBox* BuildDdnsRfc2136Group(QWidget* page);
    void FillDdnsRfc2136(const settings::TConfig& c);
    void TransferDdnsRfc2136(settings::TConfig& c) const;
    void DdnsRfc2136Rules(bool chosen);

    // Editing (TfrmConfig.cpp).
    void BeginEditing(settings::TConfig& config);
    void EndEditing();
    void FormShow();
    void TransferBack(settings::TConfig& config) const;
    void SetText(QLineEdit* box, const std::string& cp932);
    std::string TextOf(const QLineEdit* box) const;
    void cmdOKClick();
    // Saves everything; a keyring that cannot take the passwords puts them into the file only with the
    // user's consent. False when nothing was saved (the dialog stays open).
    bool SaveAll(settings::TConfig& c);
    // The settings' one check (validation::CheckSettings) on the values on screen: false after showing
    // the first problem, with its page in front and the focus on its control (TfrmConfigCheck.cpp).
    bool ValidateEntries();
    // False (with the message, page and focus) when a number box does not hold a whole number.
    bool CheckNumberBoxes();
    // The control that edits a key of the file; null for what only the file holds.
    QWidget* ControlOf(const std::string& name) const;
    void ShowProblem(const std::string& message, QWidget* control);
    void ApplyFieldCorrections();
    void CorrectMinutes(UpDownEdit* box);
    void CorrectStatusUrl();

    // Enable rules.
    void optRouterIPClick();
    void chkStatusIDClick();
    void optGlobalIPClick();
    void chkFtpUploadClick();
    void chkMailNoticeClick();
    void chkSmtpLogonClick();
    void chkPopLogonClick();
    void chkRobotSearchClick();
    void chkCloseUploadClick();
    void ApplyAllRules();

    // Test buttons (TfrmConfigTests.cpp).
    void cmdRouterIPClick();
    void cmdBrowseTestClick();
    // quiet: no warning of its own when no page was read (the caller gives one).
    PageTest StatusPageTest(bool quiet);
    void cmdGlolalIPClick();
    // The search test's result box; its "詳細" button shows the search's decisions.
    void ShowSearchResult(const std::string& message, const core::AddressSearchLog& searchLog);
    void cmdGlobalIPkeyClick();
    void cmdFtpTestClick();
    void cmdMailTestClick();
    // The host name of the global address found by the search test; empty when it has none.
    std::string LookupName(const std::string& address);
    // The auxiliary dialogs and the folder pickers.
    void cmdRobotEditClick();
    void cmdFileExtClick();
    void cmdClosedDetailClick();
    void cmdReplaceFolderClick();
    void cmdReplaceLinkClick();

    std::string Caption() const;

    ConfigDialogHost& m_host;
    platform::UserInterface& m_ui;
    settings::TConfig* m_config = nullptr;
    bool m_filling = false;
    bool m_saved = false;
    // The exact bytes each text box was filled with: a text the user left alone goes back unchanged,
    // even where its bytes have no screen form.
    std::map<const QLineEdit*, std::pair<QString, std::string>> m_filled;

    // The encryption choices beside the three servers (children of their boxes).
    SecurityChoice* m_ftpSecurity = nullptr;
    SecurityChoice* m_smtpSecurity = nullptr;
    SecurityChoice* m_popSecurity = nullptr;

    // The dialog's own FTP client, used only by the FTP test.
    net::TNMFTP m_ftp;
    // Counts the closings, so that a test that waited can tell the dialog was closed meanwhile.
    int m_closings = 0;
    // Set while the test mail or a host-name look-up waits, so that a close can stop it.
    mail::TNoticeMailer* m_mailer = nullptr;
    netinfo::HostNameLookup* m_lookup = nullptr;
    core::SecondSource* m_secondSource = nullptr;
    core::WebPageReader* m_pageReader = nullptr;
    ddns::DdnsUpdater* m_ddnsUpdater = nullptr;
    // The resolver of the search test's host-name look-up; null: the system's.
    netinfo::HostResolver* m_resolver = nullptr;
    // Tests that have put the screen values into the settings object and not yet restored them;
    // OK waits for none to be left.
    int m_settingsOnLoan = 0;

    // The dialogs this one opens, made once with it (children: they go with it).
    TfrmHead* frmHead = nullptr;
    TfrmFileExt* frmFileExt = nullptr;
    TfrmCfgClosed* frmCfgClosed = nullptr;
    TfrmStatusSrc* frmStatusSrc = nullptr;

    QTabWidget* tabConfig = nullptr;
    QWidget* tabBasic = nullptr;
    QWidget* tabUpload = nullptr;
    QWidget* tabMail = nullptr;
    QWidget* tabDdns = nullptr;

    // 基本設定
    QLabel* lblCheckInterval = nullptr;
    UpDownEdit* udCheckInterval = nullptr;
    QLineEdit* txtCheckInterval = nullptr;
    QLabel* lblTimeOut = nullptr;
    UpDownEdit* udTimeOut = nullptr;
    QLineEdit* txtTimeOut = nullptr;
    QRadioButton* optRouterIPa = nullptr;
    QRadioButton* optRouterIPm = nullptr;
    QLineEdit* txtRouterIP = nullptr;
    QPushButton* cmdRouterIP = nullptr;
    QLineEdit* txtStatusURL = nullptr;
    QPushButton* cmdBrowseTest = nullptr;
    QLineEdit* txtStatusPST = nullptr;
    QCheckBox* chkStatusID = nullptr;
    QLabel* lblStatusUser = nullptr;
    QLineEdit* txtStatusUser = nullptr;
    QLabel* lblStatusPass = nullptr;
    QLineEdit* txtStatusPass = nullptr;
    QCheckBox* chkNoScript = nullptr;
    // The status page through the browser engine ([Status] Engine); disabled in a build without it.
    QCheckBox* chkEngine = nullptr;
    QRadioButton* optGlobalIPa = nullptr;
    QRadioButton* optGlobalIPm = nullptr;
    QLineEdit* txtGlobalIPkey = nullptr;
    QPushButton* cmdGlobalIPkey = nullptr;
    QPushButton* cmdGlolalIP = nullptr;
    QCheckBox* chkLeavePlural = nullptr;
    // The passwords of every page in the desktop's keyring ([Config] Keyring), beside OK.
    QCheckBox* chkKeyring = nullptr;
    QComboBox* cboSource2 = nullptr;
    QPushButton* cmdSource2Test = nullptr;
    QLabel* lblEchoURL = nullptr;
    QLineEdit* txtEchoURL = nullptr;
    QCheckBox* chkIpv6Use = nullptr;
    QLabel* lblIpv6Interface = nullptr;
    QLineEdit* txtIpv6Interface = nullptr;
    QLabel* lblIpv6Suffix = nullptr;
    QLineEdit* txtIpv6Suffix = nullptr;
    QPushButton* cmdIpv6Test = nullptr;

    // ｱｯﾌﾟﾛｰﾄﾞ設定
    QCheckBox* chkFtpUpload = nullptr;
    QGroupBox* fraFtp = nullptr;
    QLabel* lblFtpServer = nullptr;
    QLineEdit* txtFtpServer = nullptr;
    QLabel* lblFtpPort = nullptr;
    QLineEdit* txtFtpPort = nullptr;
    QLabel* lblFtpUser = nullptr;
    QLineEdit* txtFtpUser = nullptr;
    QLabel* lblFtpPass = nullptr;
    QLineEdit* txtFtpPass = nullptr;
    QLabel* lblFtpDir = nullptr;
    QLineEdit* txtFtpDir = nullptr;
    QCheckBox* chkFtpPasv = nullptr;
    QLabel* lblFtpSecurity = nullptr;
    QComboBox* cboFtpSecurity = nullptr;
    QLabel* lblFtpParallel = nullptr;
    QSpinBox* spnFtpParallel = nullptr;
    QPushButton* cmdFtpTest = nullptr;
    QGroupBox* fraCheckURL = nullptr;
    QLabel* lblCheckURL = nullptr;
    QLineEdit* txtCheckURL = nullptr;
    QPushButton* cmdCheckURLTest = nullptr;
    QLabel* lblReplaceFolder = nullptr;
    QLineEdit* txtReplaceFolder = nullptr;
    QPushButton* cmdReplaceFolder = nullptr;
    QCheckBox* chkReplaceFolder = nullptr;
    QLabel* lblReplaceLink = nullptr;
    QLineEdit* txtReplaceLink = nullptr;
    QPushButton* cmdReplaceLink = nullptr;
    QCheckBox* chkIPtoURL = nullptr;
    QCheckBox* chkRobotSearch = nullptr;
    QPushButton* cmdRobotEdit = nullptr;
    QCheckBox* chkCloseUpload = nullptr;
    QPushButton* cmdClosedDetail = nullptr;
    QPushButton* cmdFileExt = nullptr;

    // ﾒｰﾙ通知設定
    QCheckBox* chkMailNotice = nullptr;
    QPushButton* cmdMailTest = nullptr;
    QGroupBox* fraSend = nullptr;
    QLabel* lblSmtpServer = nullptr;
    QLineEdit* txtSmtpServer = nullptr;
    QLabel* lblSmtpPort = nullptr;
    QLineEdit* txtSmtpPort = nullptr;
    QLabel* lblSmtpUser = nullptr;
    QLineEdit* txtSmtpUser = nullptr;
    QCheckBox* chkSmtpLogon = nullptr;
    QLineEdit* txtSmtpPass = nullptr;
    QLabel* lblSmtpSecurity = nullptr;
    QComboBox* cboSmtpSecurity = nullptr;
    QCheckBox* chkPopLogon = nullptr;
    QLabel* lblPopSecurity = nullptr;
    QComboBox* cboPopSecurity = nullptr;
    QLabel* lblPopServer = nullptr;
    QLineEdit* txtPopServer = nullptr;
    QLabel* lblPopPort = nullptr;
    QLineEdit* txtPopPort = nullptr;
    QLabel* lblPopUser = nullptr;
    QLineEdit* txtPopUser = nullptr;
    QLabel* lblPopPass = nullptr;
    QLineEdit* txtPopPass = nullptr;
    QLabel* lblMailAddress = nullptr;
    QLineEdit* txtMailAddress = nullptr;
    QLabel* lblMailAddressFrom = nullptr;
    QLineEdit* txtMailAddressFrom = nullptr;
    QCheckBox* chkMailHanKana = nullptr;
    QGroupBox* fraNotice = nullptr;
    QCheckBox* chkNotice1 = nullptr;
    QCheckBox* chkNotice2 = nullptr;
    QCheckBox* chkNotice4 = nullptr;

    // DDNS設定
    QCheckBox* chkDdnsUse = nullptr;
    QGroupBox* fraDdns = nullptr;
    QLabel* lblDdnsProvider = nullptr;
    QComboBox* cboDdnsProvider = nullptr;
    QLabel* lblDdnsHosts = nullptr;
    QLineEdit* txtDdnsHosts = nullptr;
    QLabel* lblDdnsUser = nullptr;
    QLineEdit* txtDdnsUser = nullptr;
    QLabel* lblDdnsPass = nullptr;
    QLineEdit* txtDdnsPass = nullptr;
    QLabel* lblDdnsToken = nullptr;
    QLineEdit* txtDdnsToken = nullptr;
    QLabel* lblDdnsServer = nullptr;
    QLineEdit* txtDdnsServer = nullptr;
    QLabel* lblDdnsRecords = nullptr;
    QComboBox* cboDdnsRecords = nullptr;
    QPushButton* cmdDdnsTest = nullptr;
    QLabel* lblDdnsHint = nullptr;
    QLabel* lblDdnsState = nullptr;
    QGroupBox* fraDdnsRfc2136 = nullptr;
    QLabel* lblDdnsZone = nullptr;
    QLineEdit* txtDdnsZone = nullptr;
    QLabel* lblDdnsKeyName = nullptr;
    QLineEdit* txtDdnsKeyName = nullptr;
    QLabel* lblDdnsKeyAlgorithm = nullptr;
    QComboBox* cboDdnsKeyAlgorithm = nullptr;

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

} // namespace gui
