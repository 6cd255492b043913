// The DDNS page's group for the user's own DNS server (provider rfc2136): the zone the host names
// are in, the TSIG key's name and its algorithm. The server and the key's base64 secret are the
// page's Server and Token boxes; the group shows only while that provider is chosen.
#include "ddns/DnsUpdateMessage.h"
#include "ddns/Rfc2136Settings.h"
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "settings/ConfigUnit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace gui {

namespace {

// The algorithms offered, the usual one first; a name the file holds besides these is shown as it is.
const QStringList kAlgorithms = {QStringLiteral("hmac-sha256"), QStringLiteral("hmac-sha512"),
                                 QStringLiteral("hmac-sha1")};

} // namespace

QGroupBox* TfrmConfig::BuildDdnsRfc2136Group(QWidget* page)
{
    fraDdnsRfc2136 = new QGroupBox(J(u8"自前のDNSｻｰﾊﾞｰ (RFC 2136 動的更新)"), page);
    fraDdnsRfc2136->setObjectName(QStringLiteral("fraDdnsRfc2136"));
    lblDdnsZone = Label("lblDdnsZone", u8"ｿﾞｰﾝ：");
    txtDdnsZone = TextBox("txtDdnsZone");
    txtDdnsZone->setPlaceholderText(QStringLiteral("home.example.jp"));
    lblDdnsKeyName = Label("lblDdnsKeyName", u8"TSIG鍵の名前：");
    txtDdnsKeyName = TextBox("txtDdnsKeyName");
    txtDdnsKeyName->setPlaceholderText(QStringLiteral("quillmap-key"));
    lblDdnsKeyAlgorithm = Label("lblDdnsKeyAlgorithm", u8"鍵の方式：");
    cboDdnsKeyAlgorithm = new QComboBox(fraDdnsRfc2136);
    cboDdnsKeyAlgorithm->setObjectName(QStringLiteral("cboDdnsKeyAlgorithm"));
    cboDdnsKeyAlgorithm->addItems(kAlgorithms);
    auto* hint = new QLabel(
        J(u8"ｻｰﾊﾞｰ欄にはDNSｻｰﾊﾞｰ(ﾎｽﾄ名[:ﾎﾟｰﾄ])を、鍵欄にはTSIG鍵の秘密(base64)を入れます。"), fraDdnsRfc2136);
    hint->setWordWrap(true);

    const std::pair<QLabel*, QWidget*> rows[] = {{lblDdnsZone, txtDdnsZone},
                                                 {lblDdnsKeyName, txtDdnsKeyName},
                                                 {lblDdnsKeyAlgorithm, cboDdnsKeyAlgorithm}};
    auto* grid = new QGridLayout(fraDdnsRfc2136);
    int row = 0;
    for (const auto& [label, box] : rows) {
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    grid->addWidget(hint, row, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return fraDdnsRfc2136;
}

void TfrmConfig::FillDdnsRfc2136(const settings::TConfig& c)
{
    SetText(txtDdnsZone, c.DdnsZone);
    SetText(txtDdnsKeyName, c.DdnsKeyName);
    const QString algorithm = Qs(c.DdnsKeyAlgorithm).trimmed();
    while (cboDdnsKeyAlgorithm->count() > kAlgorithms.size())
        cboDdnsKeyAlgorithm->removeItem(cboDdnsKeyAlgorithm->count() - 1);
    if (algorithm.isEmpty()) {
        cboDdnsKeyAlgorithm->setCurrentIndex(0);
        return;
    }
    int at = cboDdnsKeyAlgorithm->findText(algorithm, Qt::MatchFixedString);
    if (at < 0) {
        cboDdnsKeyAlgorithm->addItem(algorithm);
        at = cboDdnsKeyAlgorithm->count() - 1;
    }
    cboDdnsKeyAlgorithm->setCurrentIndex(at);
}

void TfrmConfig::TransferDdnsRfc2136(settings::TConfig& c) const
{
    c.DdnsZone = TextOf(txtDdnsZone);
    c.DdnsKeyName = TextOf(txtDdnsKeyName);
    // The spelling the file had stays when the choice is the same algorithm.
    const std::string chosen = cboDdnsKeyAlgorithm->currentText().toStdString();
    if (ddns::TsigAlgorithmName(c.DdnsKeyAlgorithm) != ddns::TsigAlgorithmName(chosen) ||
        ddns::TsigAlgorithmName(chosen).empty())
        c.DdnsKeyAlgorithm = chosen;
}

void TfrmConfig::DdnsRfc2136Rules(bool chosen)
{
    fraDdnsRfc2136->setVisible(chosen);
    lblDdnsToken->setText(J(chosen ? u8"鍵(base64)：" : u8"ﾄｰｸﾝ："));
    txtDdnsServer->setPlaceholderText(chosen ? QStringLiteral("ns.example.jp:53")
                                             : QStringLiteral("members.example.jp"));
}

} // namespace gui
