// The settings dialog's controls of publishing over IPv6, on the first page: whether the links get
// this machine's IPv6 address instead of the router's IPv4 address, on which interface, and the
// interface identifier of a home server that is another machine of the same network. The test shows
// the address that would be published and every address passed over, with the reason.
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "netinfo/Ipv6Choice.h"
#include "platform/Codepage.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace gui {

QGroupBox* TfrmConfig::BuildIpv6Group(QWidget* page)
{
    auto* group = new QGroupBox(J(u8"IPv6での公開"), page);
    group->setObjectName(QStringLiteral("fraIpv6"));
    chkIpv6Use = CheckBox("chkIpv6Use", u8"ﾘﾝｸにこのﾏｼﾝのIPv6ｱﾄﾞﾚｽを使う (IPv4の着信がない回線)");
    lblIpv6Interface = Label("lblIpv6Interface", u8"ｲﾝﾀｰﾌｪｲｽ：");
    txtIpv6Interface = TextBox("txtIpv6Interface");
    txtIpv6Interface->setPlaceholderText(J(u8"空欄: 自動"));
    lblIpv6Suffix = Label("lblIpv6Suffix", u8"ｻﾌｨｯｸｽ：");
    txtIpv6Suffix = TextBox("txtIpv6Suffix");
    txtIpv6Suffix->setPlaceholderText(J(u8"例: ::10"));
    cmdIpv6Test = Button("cmdIpv6Test", u8"IPv6ﾃｽﾄ");
    lblIpv6Interface->setBuddy(txtIpv6Interface);
    lblIpv6Suffix->setBuddy(txtIpv6Suffix);
    auto* layout = new QGridLayout(group);
    layout->addWidget(chkIpv6Use, 0, 0, 1, 5);
    layout->addWidget(lblIpv6Interface, 1, 0);
    layout->addWidget(txtIpv6Interface, 1, 1);
    layout->addWidget(lblIpv6Suffix, 1, 2);
    layout->addWidget(txtIpv6Suffix, 1, 3);
    layout->addWidget(cmdIpv6Test, 1, 4);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    connect(chkIpv6Use, &QCheckBox::toggled, this, [this] { Ipv6Rules(); });
    connect(cmdIpv6Test, &QPushButton::clicked, this, [this] { cmdIpv6TestClick(); });
    return group;
}

void TfrmConfig::FillIpv6Controls(const settings::TConfig& c)
{
    chkIpv6Use->setChecked(c.Ipv6Use != 0);
    SetText(txtIpv6Interface, c.Ipv6Interface);
    SetText(txtIpv6Suffix, c.Ipv6Suffix);
}

void TfrmConfig::TransferIpv6Controls(settings::TConfig& c) const
{
    c.Ipv6Use = chkIpv6Use->isChecked() ? 1 : 0;
    c.Ipv6Interface = TextOf(txtIpv6Interface);
    c.Ipv6Suffix = TextOf(txtIpv6Suffix);
}

void TfrmConfig::Ipv6Rules()
{
    const bool on = chkIpv6Use->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblIpv6Interface, txtIpv6Interface, lblIpv6Suffix, txtIpv6Suffix})
        w->setEnabled(on);
}

void TfrmConfig::cmdIpv6TestClick()
{
    // Interface names are the system's (UTF-8); the boxes hold code page 932 like every other text.
    const netinfo::Ipv6Choice choice =
        netinfo::ChooseIpv6Address(platform::Cp932ToUtf8(TextOf(txtIpv6Interface)), TextOf(txtIpv6Suffix));
    std::string message;
    for (const std::string& line : netinfo::ExplainIpv6Choice(choice))
        message += (message.empty() ? "" : "\r\n") + line;
    if (choice.address.empty())
        m_ui.ShowWarning(message, Caption());
    else
        m_ui.ShowInformation(message, Caption());
}

} // namespace gui
