// The settings dialog's test buttons: the router address, the status page, the global address search
// with its key picker, the FTP log-on and the test mail. Every network wait runs in the shared wait
// helper under the busy cursor, so the window keeps painting and answering meanwhile.
#include "core/AddressSearch.h"
#include "core/CertificateTrust.h"
#include "core/FtpConnectionTest.h"
#include "core/SecondSource.h"
#include "core/TestFailureText.h"
#include "core/Version.h"
#include "core/WebPageReader.h"
#include "gui/BusyCursor.h"
#include "gui/ConfigDialogHost.h"
#include "gui/ConfigNumbers.h"
#include "gui/QtText.h"
#include "gui/SecurityChoice.h"
#include "gui/TfrmConfig.h"
#include "gui/TfrmStatusSrc.h"
#include "mail/TestMail.h"
#include "netinfo/AdaptersInfo.h"
#include "netinfo/RouterTest.h"
#include "netinfo/wssmpl.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

namespace gui {

namespace {

// The look-up of the found address's host name gives up after this long.
constexpr int kLookupLimitMs = 20000;
// So do the second source of the address and the read of the published page.
constexpr int kPageLimitMs = 20000;

// A button disabled for the time of its test. Afterwards it is enabled again, or, for a button that an
// enable rule governs, as the rule says now (the window stays usable during the test).
class ButtonHold
{
public:
    explicit ButtonHold(QPushButton* button, std::function<bool()> enabledAfter = {})
        : m_button(button), m_enabledAfter(std::move(enabledAfter))
    {
        m_button->setEnabled(false);
    }
    ~ButtonHold()
    {
        if (m_button)
            m_button->setEnabled(!m_enabledAfter || m_enabledAfter());
    }
    ButtonHold(const ButtonHold&) = delete;
    ButtonHold& operator=(const ButtonHold&) = delete;

private:
    QPointer<QPushButton> m_button;
    std::function<bool()> m_enabledAfter;
};

class ScopeExit
{
public:
    explicit ScopeExit(std::function<void()> f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    std::function<void()> m_f;
};

// OK stays disabled while any test holds the screen values in the settings object (they are put back
// when the test ends; saving them meanwhile would leave memory and file apart).
class OkHold
{
public:
    OkHold(int& holds, QWidget& ok) : m_holds(holds), m_ok(ok)
    {
        ++m_holds;
        m_ok.setEnabled(false);
    }
    ~OkHold()
    {
        if (--m_holds == 0)
            m_ok.setEnabled(true);
    }
    OkHold(const OkHold&) = delete;
    OkHold& operator=(const OkHold&) = delete;

private:
    int& m_holds;
    QWidget& m_ok;
};

// A backup of the settings that is put back however the test ends.
class SettingsBackup
{
public:
    explicit SettingsBackup(settings::TConfig& live) : m_live(live)
    {
        settings::AssignSettings(m_backup, live);
    }
    ~SettingsBackup() { settings::AssignSettings(m_live, m_backup); }
    SettingsBackup(const SettingsBackup&) = delete;
    SettingsBackup& operator=(const SettingsBackup&) = delete;

private:
    settings::TConfig& m_live;
    settings::TConfig m_backup;
};

} // namespace

void TfrmConfig::cmdRouterIPClick()
{
    netinfo::AdapterTree tree;
    const netinfo::TIpInfo info = netinfo::GetAdapterInfo(tree);
    // Nothing found is a warning, not a result to take in.
    if (netinfo::RouterTestFound(info))
        m_ui.ShowInformation(netinfo::RouterTestText(info), Caption());
    else
        m_ui.ShowWarning(netinfo::RouterTestText(info), Caption());
}

void TfrmConfig::cmdBrowseTestClick()
{
    // The page lands on the main window, behind this dialog: the outcome is told here, in front.
    if (StatusPageTest(false) != PageTest::Read)
        return;
    m_ui.ShowInformation(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞを表示できました(") +
                             std::to_string(m_host.StatusHtml().size()) +
                             text::Sjis(u8"ﾊﾞｲﾄ)。\r\nﾒｲﾝ画面の「ｽﾃｰﾀｽ」ﾀﾌﾞでご覧ください。"),
                         Caption());
}

TfrmConfig::PageTest TfrmConfig::StatusPageTest(bool quiet)
{
    if (txtStatusURL->text().isEmpty()) {
        m_ui.ShowWarning(text::Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞのURLが入力されていません。"), Caption());
        return PageTest::Refused;
    }
    ApplyFieldCorrections();
    if (!CheckNumberBoxes())
        return PageTest::Refused;
    bool read = false;
    {
        const ButtonHold hold(cmdBrowseTest);
        const BusyCursor busy;
        // The page is read with the values on screen; OK waits until the settings are back.
        const OkHold okHold(m_settingsOnLoan, *cmdOK);
        const SettingsBackup backup(*m_config);
        TransferBack(*m_config);
        read = m_host.FetchStatusPageForTest() && !m_host.StatusHtml().empty();
    }
    if (!read && !quiet)
        m_ui.ShowWarning(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"), Caption());
    return read ? PageTest::Read : PageTest::NotRead;
}

void TfrmConfig::cmdGlolalIPClick()
{
    const bool automatic = optGlobalIPa->isChecked();
    if (!automatic && txtGlobalIPkey->text().isEmpty()) {
        m_ui.ShowWarning(text::Sjis(u8"検索キーが入力されていません。"), Caption());
        return;
    }
    const ButtonHold hold(cmdGlolalIP);
    // A router that did not answer gets a second chance; the one warning comes from here.
    PageTest page = StatusPageTest(true);
    if (page == PageTest::NotRead)
        page = StatusPageTest(true);
    if (page == PageTest::Refused)
        return;
    if (page != PageTest::Read) {
        m_ui.ShowWarning(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"), Caption());
        return;
    }
    const std::string html = m_host.StatusHtml();
    core::AddressSearchLog searchLog;
    const std::string address = automatic
                                    ? core::SearchAddressAuto(html, &searchLog)
                                    : core::SearchAddressAfterKey(html, TextOf(txtGlobalIPkey), &searchLog);
    if (address.empty()) {
        ShowSearchResult(text::Sjis(u8"見つかりませんでした。"), searchLog);
        return;
    }
    std::string message = text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: ") + address;
    const std::string name = LookupName(address);
    if (!name.empty())
        message += " [" + name + "]";
    message += "\r\n\r\n";
    message += automatic ? text::Sjis(u8"この結果が正しくない場合は「検索キーを指定」してください。")
                         : text::Sjis(u8"この結果が正しくない場合は検索キーを変更してください。");
    ShowSearchResult(message, searchLog);
}

void TfrmConfig::ShowSearchResult(const std::string& message, const core::AddressSearchLog& searchLog)
{
    // "詳細" shows how the search went through the page, one decision a line.
    if (!m_ui.ShowInformationWithDetails(message, Caption()))
        return;
    std::string details;
    for (const std::string& line : core::ExplainAddressSearch(searchLog))
        details += (details.empty() ? "" : "\r\n") + line;
    m_ui.ShowInformation(details, Caption());
}

std::string TfrmConfig::LookupName(const std::string& address)
{
    const BusyCursor busy;
    netinfo::TKHostInf hostInf(m_resolver);
    netinfo::HostNameLookup lookup(hostInf);
    m_lookup = &lookup;
    const ScopeExit forget([this] { m_lookup = nullptr; });
    return lookup.LookupHostName(address, kLookupLimitMs);
}

void TfrmConfig::cmdGlobalIPkeyClick()
{
    if (m_host.StatusHtml().empty()) {
        const PageTest page = StatusPageTest(true);
        if (page == PageTest::Refused)
            return;
        if (m_host.StatusHtml().empty()) {
            m_ui.ShowWarning(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"), Caption());
            return;
        }
    }
    frmStatusSrc->SourceText = m_host.StatusHtml();
    // Below and to the right of this dialog by the height of its title bar, so both captions show.
    const int offset = frameGeometry().height() - geometry().height();
    frmStatusSrc->move(frameGeometry().topLeft() + QPoint(offset, offset));
    frmStatusSrc->exec();
    const std::string key = frmStatusSrc->SelectedKey;
    if (key.empty())
        return;
    // The key goes back byte for byte as it was selected in the page.
    SetText(txtGlobalIPkey, key);
    if (m_ui.AskYesNo(text::Sjis(u8"続けてｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索ﾃｽﾄを行いますか？"), Caption()))
        cmdGlolalIPClick();
}

void TfrmConfig::cmdFtpTestClick()
{
    const core::FtpTestParameters parameters{
        TextOf(txtFtpServer), Cp(txtFtpPort->text()),  TextOf(txtFtpUser),   TextOf(txtFtpPass),
        TextOf(txtFtpDir),    chkFtpPasv->isChecked(), m_ftpSecurity->Mode()};
    const int closings = m_closings;
    core::FtpTestResult result;
    {
        // One test at a time on the one client.
        const ButtonHold hold(cmdFtpTest, [this] { return chkFtpUpload->isChecked(); });
        const BusyCursor busy;
        // The user is here: a certificate the system does not vouch for is put to them.
        core::CertificateTrust trust([this] { return m_config; }, &m_ui);
        m_ftp.Trust = &trust;
        m_ftp.MayAskTrust = true;
        const ScopeExit forgetTrust([this] { m_ftp.Trust = nullptr; });
        result = core::RunFtpConnectionTest(m_ftp, parameters);
    }
    // Closing the dialog stopped the test: there is nothing to report.
    if (m_closings != closings)
        return;
    if (result.Warning)
        m_ui.ShowWarning(result.Text, Caption());
    else
        m_ui.ShowInformation(result.Text, Caption());
}

void TfrmConfig::cmdMailTestClick()
{
    ApplyFieldCorrections();
    if (!CheckNumberBoxes())
        return;
    mail::TestMailOutcome outcome;
    {
        const ButtonHold hold(cmdMailTest, [this] { return chkMailNotice->isChecked(); });
        const BusyCursor busy;
        const OkHold okHold(m_settingsOnLoan, *cmdOK);
        mail::TNoticeMailer mailer(*m_config, nullptr, &m_ui);
        m_mailer = &mailer;
        const ScopeExit forget([this] { m_mailer = nullptr; });
        outcome = mail::RunTestMail(mailer, *m_config, [this](settings::TConfig& c) { TransferBack(c); });
    }
    mail::ShowTestMailOutcome(m_ui, outcome);
}

void TfrmConfig::cmdSource2TestClick()
{
    const auto kind = static_cast<core::SecondSourceKind>(cboSource2->currentIndex());
    if (kind == core::kSourceNone)
        return;
    if (kind == core::kSourceEcho && txtEchoURL->text().isEmpty()) {
        m_ui.ShowWarning(text::Sjis(u8"確認用URLが入力されていません。"), Caption());
        return;
    }
    const int closings = m_closings;
    std::string address;
    std::string answer;
    // Why nothing came: the time limit, an HTTP status other than 2xx, the device's error.
    std::string why;
    {
        const ButtonHold hold(cmdSource2Test,
                              [this] { return cboSource2->currentIndex() != core::kSourceNone; });
        const BusyCursor busy;
        core::SecondSource source;
        m_secondSource = &source;
        const ScopeExit forget([this] { m_secondSource = nullptr; });
        address = source.Fetch(kind, TextOf(txtEchoURL), kPageLimitMs);
        answer = source.LastAnswer();
        why = kind == core::kSourceEcho ? core::PageReadFailureText(source.EchoReader().LastOutcome(),
                                                                    source.EchoReader().TimedOut(), kPageLimitMs)
                                        : source.LastUpnpError();
    }
    if (m_closings != closings)
        return;
    const std::string name = core::SecondSourceName(kind);
    if (address.empty()) {
        std::string message = name + text::Sjis(u8"からｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽを得られませんでした。");
        if (!why.empty())
            message += "\r\n" + why;
        if (!answer.empty())
            message += "\r\n\r\n" + text::Sjis(u8"答え: ") + answer;
        m_ui.ShowWarning(message, Caption());
        return;
    }
    m_ui.ShowInformation(name + text::Sjis(u8"のｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ: ") + address, Caption());
}

void TfrmConfig::cmdCheckURLTestClick()
{
    if (txtCheckURL->text().isEmpty()) {
        m_ui.ShowWarning(text::Sjis(u8"確認するﾍﾟｰｼﾞのURLが入力されていません。"), Caption());
        return;
    }
    const int closings = m_closings;
    std::string page;
    core::FetchOutcome outcome;
    bool timedOut = false;
    {
        const ButtonHold hold(cmdCheckURLTest, [this] { return chkFtpUpload->isChecked(); });
        const BusyCursor busy;
        core::WebPageReader reader;
        m_pageReader = &reader;
        const ScopeExit forget([this] { m_pageReader = nullptr; });
        page = reader.Read(TextOf(txtCheckURL), kPageLimitMs);
        outcome = reader.LastOutcome();
        timedOut = reader.TimedOut();
    }
    if (m_closings != closings)
        return;
    // Only a 2xx answer is the page; a 404 page has a body too.
    if (!core::PageWasRead(outcome, timedOut)) {
        std::string message = text::Sjis(u8"ﾍﾟｰｼﾞを読めませんでした。");
        const std::string why = core::PageReadFailureText(outcome, timedOut, kPageLimitMs);
        if (!why.empty())
            message += "\r\n" + why;
        m_ui.ShowWarning(message, Caption());
        return;
    }
    std::string message = text::Sjis(u8"ﾍﾟｰｼﾞを読めました。");
    // What the last upload published should be on it.
    const std::string& published = m_config->PrevIPv6.empty() ? m_config->PrevIP : m_config->PrevIPv6;
    if (!published.empty())
        message += "\r\n" + text::Sjis(u8"前回のｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ(") + published +
                   (core::PageShowsAddress(page, published) ? text::Sjis(u8")があります。")
                                                            : text::Sjis(u8")はありません。"));
    m_ui.ShowInformation(message, Caption());
}

} // namespace gui
