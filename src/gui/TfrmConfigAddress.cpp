// The settings dialog's controls of the reachable address: the second source of the global address on
// the first page, and the address of the published page that is read back after an upload on the
// upload page. Their test buttons are with the other test buttons.
#include "core/SecondSource.h"
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "settings/ConfigUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace gui {

QGroupBox* TfrmConfig::BuildSecondSourceGroup(QWidget* page)
{
    auto* group = new QGroupBox(J(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの2番目の取得元"), page);
    group->setObjectName(QStringLiteral("fraSource2"));
    auto* lblSource2 = Label("lblSource2", u8"取得元：");
    cboSource2 = new QComboBox(group);
    cboSource2->setObjectName(QStringLiteral("cboSource2"));
    // In the order of the values of [GlobalIP] Source2.
    cboSource2->addItems({J(u8"なし"), Qs(core::SecondSourceName(core::kSourceUpnp)),
                          Qs(core::SecondSourceName(core::kSourceEcho))});
    cmdSource2Test = Button("cmdSource2Test", u8"取得ﾃｽﾄ");
    lblEchoURL = Label("lblEchoURL", u8"確認用URL：");
    txtEchoURL = TextBox("txtEchoURL");
    lblSource2->setBuddy(cboSource2);
    lblEchoURL->setBuddy(txtEchoURL);
    auto* layout = new QGridLayout(group);
    layout->addWidget(lblSource2, 0, 0);
    layout->addWidget(cboSource2, 0, 1, Qt::AlignLeft);
    layout->addWidget(cmdSource2Test, 0, 2);
    layout->addWidget(lblEchoURL, 1, 0);
    layout->addWidget(txtEchoURL, 1, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    connect(cboSource2, &QComboBox::currentIndexChanged, this, [this] { AddressRules(); });
    connect(cmdSource2Test, &QPushButton::clicked, this, [this] { cmdSource2TestClick(); });
    return group;
}

QGroupBox* TfrmConfig::BuildCheckUrlGroup(QWidget* page)
{
    fraCheckURL = new QGroupBox(J(u8"公開ﾍﾟｰｼﾞの確認"), page);
    fraCheckURL->setObjectName(QStringLiteral("fraCheckURL"));
    lblCheckURL = Label("lblCheckURL", u8"ｱｯﾌﾟﾛｰﾄﾞ後に読むURL：");
    txtCheckURL = TextBox("txtCheckURL");
    cmdCheckURLTest = Button("cmdCheckURLTest", u8"確認ﾃｽﾄ");
    lblCheckURL->setBuddy(txtCheckURL);
    auto* layout = new QGridLayout(fraCheckURL);
    layout->addWidget(lblCheckURL, 0, 0);
    layout->addWidget(txtCheckURL, 0, 1);
    layout->addWidget(cmdCheckURLTest, 0, 2);
    layout->setColumnStretch(1, 1);
    connect(chkFtpUpload, &QCheckBox::toggled, this, [this] { AddressRules(); });
    connect(cmdCheckURLTest, &QPushButton::clicked, this, [this] { cmdCheckURLTestClick(); });
    return fraCheckURL;
}

void TfrmConfig::FillAddressControls(const settings::TConfig& c)
{
    cboSource2->setCurrentIndex(core::SecondSourceOf(c));
    SetText(txtEchoURL, c.EchoURL);
    SetText(txtCheckURL, c.FtpCheckURL);
}

void TfrmConfig::TransferAddressControls(settings::TConfig& c) const
{
    c.Source2 = cboSource2->currentIndex();
    c.EchoURL = TextOf(txtEchoURL);
    c.FtpCheckURL = TextOf(txtCheckURL);
}

void TfrmConfig::AddressRules()
{
    const int source = cboSource2->currentIndex();
    cmdSource2Test->setEnabled(source != core::kSourceNone);
    lblEchoURL->setEnabled(source == core::kSourceEcho);
    txtEchoURL->setEnabled(source == core::kSourceEcho);
    // The page is read back only after an upload.
    fraCheckURL->setEnabled(chkFtpUpload->isChecked());
}

} // namespace gui
