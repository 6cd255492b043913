// The settings dialog's page "DDNS設定": the host names that follow the address, their provider and
// its credentials, which records, the server of the generic protocol, and a test button that sends
// one update with the values on screen.
#include "core/AddressSearch.h"
#include "core/CertificateTrust.h"
#include "ddns/DdnsUpdater.h"
#include "ddns/HostState.h"
#include "ddns/PlainHttpRule.h"
#include "ddns/PublishedIpv6.h"
#include "gui/BusyCursor.h"
#include "gui/ConfigDialogHost.h"
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace gui {

namespace {

// The records choice, in the order of the combo box, with the values of [DDNS] Records.
constexpr int kRecordValues[] = {4, 6, 46};

int RecordIndex(int records)
{
    const auto* at = std::find(std::begin(kRecordValues), std::end(kRecordValues), records);
    return at == std::end(kRecordValues) ? 0 : static_cast<int>(at - std::begin(kRecordValues));
}

// What the providers ask for: a user name, a password, a token, the generic protocol's server.
struct ProviderNeeds
{
    bool user = false;
    bool pass = false;
    bool token = false;
    bool server = false;
};

ProviderNeeds NeedsOf(const std::string& provider)
{
    if (provider == "dyndns2")
        return {true, true, false, true};
    if (provider == "mydns")
        return {true, true, false, false};
    if (provider == "ddo" || provider == "ieserver")
        return {false, true, false, false};
    return {false, false, true, false}; // duckdns, cloudflare
}

// A line under the boxes: the token permissions Cloudflare needs, the generic protocol's server.
const char8_t* HintOf(const std::string& provider)
{
    if (provider == "cloudflare")
        return u8"APIﾄｰｸﾝには ｿﾞｰﾝ:ｿﾞｰﾝ:読み取り (Zone Read) と ｿﾞｰﾝ:DNS:編集 (DNS Edit) の権限が必要です。";
    if (provider == "dyndns2")
        return u8"ｻｰﾊﾞｰは ﾎｽﾄ名[:ﾎﾟｰﾄ][/ﾊﾟｽ] (https)。http:// はLAN内のｻｰﾊﾞｰだけです。";
    if (provider == "mydns")
        return u8"MyDNSは送信元のｱﾄﾞﾚｽを登録します。AAAAには IPv6のｻﾌｨｯｸｽを空にしてください。";
    return u8"";
}

} // namespace

QWidget* TfrmConfig::BuildDdnsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabDdns"));
    chkDdnsUse = CheckBox("chkDdnsUse", u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽが変わったらDDNSのﾎｽﾄ名も更新する");
    fraDdns = new QGroupBox(J(u8"DDNSｻｰﾋﾞｽ"), page);
    fraDdns->setObjectName(QStringLiteral("fraDdns"));

    lblDdnsProvider = Label("lblDdnsProvider", u8"ｻｰﾋﾞｽ：");
    cboDdnsProvider = new QComboBox(fraDdns);
    cboDdnsProvider->setObjectName(QStringLiteral("cboDdnsProvider"));
    // In the order of ddns::ProviderNames().
    cboDdnsProvider->addItems({J(u8"dyndns2互換"), QStringLiteral("MyDNS.JP"), QStringLiteral("DDO.jp"),
                               QStringLiteral("ieServer.net"), QStringLiteral("DuckDNS"),
                               QStringLiteral("Cloudflare")});
    lblDdnsHosts = Label("lblDdnsHosts", u8"ﾎｽﾄ名：");
    txtDdnsHosts = TextBox("txtDdnsHosts");
    txtDdnsHosts->setPlaceholderText(J(u8"home.example.jp, www.example.jp"));
    lblDdnsUser = Label("lblDdnsUser", u8"ﾕｰｻﾞｰ名：");
    txtDdnsUser = TextBox("txtDdnsUser");
    lblDdnsPass = Label("lblDdnsPass", u8"ﾊﾟｽﾜｰﾄﾞ：");
    txtDdnsPass = TextBox("txtDdnsPass", true);
    lblDdnsToken = Label("lblDdnsToken", u8"ﾄｰｸﾝ：");
    txtDdnsToken = TextBox("txtDdnsToken", true);
    lblDdnsServer = Label("lblDdnsServer", u8"ｻｰﾊﾞｰ：");
    txtDdnsServer = TextBox("txtDdnsServer");
    txtDdnsServer->setPlaceholderText(QStringLiteral("members.example.jp[/nic/update]"));
    lblDdnsRecords = Label("lblDdnsRecords", u8"ﾚｺｰﾄﾞ：");
    cboDdnsRecords = new QComboBox(fraDdns);
    cboDdnsRecords->setObjectName(QStringLiteral("cboDdnsRecords"));
    cboDdnsRecords->addItems({J(u8"A (IPv4)"), J(u8"AAAA (IPv6)"), J(u8"A と AAAA")});
    cmdDdnsTest = Button("cmdDdnsTest", u8"更新ﾃｽﾄ");
    // What each provider asks of the user that the boxes alone do not say.
    lblDdnsHint = Label("lblDdnsHint", u8"");
    lblDdnsHint->setWordWrap(true);
    lblDdnsState = Label("lblDdnsState", u8"");
    lblDdnsState->setWordWrap(true);

    const std::pair<QLabel*, QWidget*> rows[] = {
        {lblDdnsProvider, cboDdnsProvider}, {lblDdnsHosts, txtDdnsHosts}, {lblDdnsUser, txtDdnsUser},
        {lblDdnsPass, txtDdnsPass},         {lblDdnsToken, txtDdnsToken}, {lblDdnsServer, txtDdnsServer},
        {lblDdnsRecords, cboDdnsRecords},
    };
    auto* grid = new QGridLayout(fraDdns);
    int row = 0;
    for (const auto& [label, box] : rows) {
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1, 1, 2);
        ++row;
    }
    grid->addWidget(lblDdnsHint, row, 0, 1, 2);
    grid->addWidget(cmdDdnsTest, row, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(chkDdnsUse);
    layout->addWidget(fraDdns);
    layout->addWidget(lblDdnsState);
    layout->addStretch(1);

    connect(chkDdnsUse, &QCheckBox::toggled, this, [this] { DdnsRules(); });
    connect(cboDdnsProvider, &QComboBox::currentIndexChanged, this, [this] { DdnsRules(); });
    connect(cmdDdnsTest, &QPushButton::clicked, this, [this] { cmdDdnsTestClick(); });
    return page;
}

void TfrmConfig::FillDdnsControls(const settings::TConfig& c)
{
    chkDdnsUse->setChecked(c.DdnsUse != 0);
    const std::vector<std::string>& names = ddns::ProviderNames();
    std::string provider = c.DdnsProvider;
    std::transform(provider.begin(), provider.end(), provider.begin(),
                   [](char ch) { return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch); });
    const auto at = std::find(names.begin(), names.end(), provider);
    cboDdnsProvider->setCurrentIndex(at == names.end() ? 0 : static_cast<int>(at - names.begin()));
    SetText(txtDdnsHosts, c.DdnsHosts);
    SetText(txtDdnsUser, c.DdnsUser);
    SetText(txtDdnsPass, c.DdnsPass);
    SetText(txtDdnsToken, c.DdnsToken);
    SetText(txtDdnsServer, c.DdnsServer);
    cboDdnsRecords->setCurrentIndex(RecordIndex(c.DdnsRecords));
    // What the updates learned: a stop is what the user most needs to see here.
    if (c.DdnsStopped != 0 && c.DdnsStateOf == ddns::DdnsSettingsKey(c))
        lblDdnsState->setText(J(u8"更新は停止中です：") + Qs(c.DdnsStopReason) + u'\n' +
                              J(u8"設定を直してOKを押すと再開します。"));
    else if (!c.DdnsSentA.empty() || !c.DdnsSentAAAA.empty())
        lblDdnsState->setText(
            J(u8"前回の更新：") + Qs(c.DdnsSentA) +
            (c.DdnsSentA.empty() || c.DdnsSentAAAA.empty() ? QString() : QStringLiteral(" / ")) +
            Qs(c.DdnsSentAAAA));
    else
        lblDdnsState->clear();
}

void TfrmConfig::TransferDdnsControls(settings::TConfig& c) const
{
    c.DdnsUse = chkDdnsUse->isChecked() ? 1 : 0;
    const std::string provider =
        ddns::ProviderNames().at(static_cast<size_t>(cboDdnsProvider->currentIndex()));
    // A name the program writes itself keeps the spelling the file had (Cloudflare, cloudflare).
    std::string stored = c.DdnsProvider;
    std::transform(stored.begin(), stored.end(), stored.begin(),
                   [](char ch) { return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch); });
    if (stored != provider)
        c.DdnsProvider = provider;
    c.DdnsHosts = TextOf(txtDdnsHosts);
    c.DdnsUser = TextOf(txtDdnsUser);
    c.DdnsPass = TextOf(txtDdnsPass);
    c.DdnsToken = TextOf(txtDdnsToken);
    c.DdnsServer = TextOf(txtDdnsServer);
    c.DdnsRecords = kRecordValues[std::clamp(cboDdnsRecords->currentIndex(), 0, 2)];
}

void TfrmConfig::DdnsRules()
{
    const bool on = chkDdnsUse->isChecked();
    fraDdns->setEnabled(on);
    const ProviderNeeds needs =
        NeedsOf(ddns::ProviderNames().at(static_cast<size_t>(std::max(0, cboDdnsProvider->currentIndex()))));
    lblDdnsUser->setEnabled(needs.user);
    txtDdnsUser->setEnabled(needs.user);
    lblDdnsPass->setEnabled(needs.pass);
    txtDdnsPass->setEnabled(needs.pass);
    lblDdnsToken->setEnabled(needs.token);
    txtDdnsToken->setEnabled(needs.token);
    lblDdnsServer->setEnabled(needs.server);
    txtDdnsServer->setEnabled(needs.server);
    lblDdnsHint->setText(J(
        HintOf(ddns::ProviderNames().at(static_cast<size_t>(std::max(0, cboDdnsProvider->currentIndex()))))));
}

void TfrmConfig::cmdDdnsTestClick()
{
    // The values on screen, in a copy: the live settings (and what the updates learned) stay as they are.
    settings::TConfig screen;
    settings::AssignSettings(screen, *m_config);
    TransferDdnsControls(screen);
    screen.Ipv6Suffix = TextOf(txtIpv6Suffix);
    // The limit of forced sends counts the live settings' requests (and earlier tests).
    ddns::KeepTriedTimes(*m_config, screen);
    const std::string problem = ddns::DdnsSettingsProblem(screen);
    if (problem.empty() == false) {
        m_ui.ShowWarning(problem + text::Sjis(u8"。"), Caption());
        return;
    }
    const std::vector<ddns::RecordType> records = ddns::RecordsOf(screen);
    const auto wants = [&records](ddns::RecordType type) {
        return std::find(records.begin(), records.end(), type) != records.end();
    };
    ddns::DdnsOptions options;
    // A test sends, whatever the records hold: that is what it is for.
    options.Force = true;
    if (wants(ddns::RecordType::A)) {
        // The address the last check published, else the one the router's page shows now.
        options.AddressA = m_config->PrevIP;
        if (options.AddressA.empty() && StatusPageTest(true) == PageTest::Read)
            options.AddressA = optGlobalIPa->isChecked()
                                   ? core::SearchAddressAuto(m_host.StatusHtml())
                                   : core::SearchAddressAfterKey(m_host.StatusHtml(), TextOf(txtGlobalIPkey));
        if (options.AddressA.empty()) {
            m_ui.ShowWarning(text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽが分からないため、更新ﾃｽﾄができません。"),
                             Caption());
            return;
        }
    }
    if (wants(ddns::RecordType::AAAA))
        options.AddressAAAA = ddns::PublishedIpv6Address(screen);

    const int closings = m_closings;
    ddns::DdnsResult result;
    {
        QPointer<QPushButton> button(cmdDdnsTest);
        cmdDdnsTest->setEnabled(false);
        const BusyCursor busy;
        // A person is here: a certificate nobody vouches for is put to them, and a yes is kept.
        core::CertificateTrust trust([this] { return m_config; }, &m_ui);
        ddns::DdnsUpdater updater;
        updater.SetTrust(&trust, true);
        m_ddnsUpdater = &updater;
        result = updater.Run(screen, options);
        m_ddnsUpdater = nullptr;
        // The test's sends count against the limit of forced sends of the live settings too.
        if (m_closings == closings)
            ddns::KeepTriedTimes(screen, *m_config);
        if (button)
            button->setEnabled(true);
    }
    if (m_closings != closings)
        return;
    std::string lines;
    for (const std::string& line : result.Lines)
        lines += "\r\n" + line;
    if (result.UpToDate)
        m_ui.ShowInformation(text::Sjis(u8"DDNSを更新しました。") + lines, Caption());
    else
        m_ui.ShowWarning(text::Sjis(u8"DDNSを更新できませんでした。") + lines, Caption());
}

} // namespace gui
