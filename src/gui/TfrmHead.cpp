#include "gui/AuxDialogs.h"

#include "gui/DialogButtons.h"
#include "gui/ListEditor.h"
#include "gui/QtText.h"
#include "gui/SettingsShare.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gui {

TfrmHead::TfrmHead(platform::UserInterface& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmHead"));
    setWindowTitle(J(u8"対ﾛﾎﾞｯﾄ検索用設定"));
    auto* layout = new QVBoxLayout(this);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabLanguage"));
    auto* pageJ = new QWidget(tabs);
    pageJ->setObjectName(QStringLiteral("tabJapanese"));
    auto* pageE = new QWidget(tabs);
    pageE->setObjectName(QStringLiteral("tabEnglish"));
    // The same refusal on both pages, once as a warning and once as an information box, as users of
    // the earlier versions know it.
    m_jp = BuildSide(*pageJ, QStringLiteral("J"), true);
    m_en = BuildSide(*pageE, QStringLiteral("E"), false);
    tabs->addTab(pageJ, J(u8"日本語向け"));
    tabs->addTab(pageE, J(u8"英語向け"));
    layout->addWidget(tabs, 1);

    m_nofollow = new QCheckBox(J(u8"ﾛﾎﾞｯﾄ検索させない"), this);
    m_nofollow->setObjectName(QStringLiteral("chkNofollow"));
    connect(m_nofollow, &QCheckBox::toggled, this, &TfrmHead::ApplyNofollow);
    layout->addWidget(m_nofollow);

    QPushButton* ok = AddOkCancel(*this, *layout);
    connect(ok, &QPushButton::clicked, this, &TfrmHead::OnOK);
}

TfrmHead::~TfrmHead() = default;

TfrmHead::Side TfrmHead::BuildSide(QWidget& page, const QString& suffix, bool warnOnComma)
{
    Side side;
    auto* layout = new QVBoxLayout(&page);
    auto* group = new QGroupBox(J(u8"ｷｰﾜｰﾄﾞ"), &page);
    group->setObjectName(QStringLiteral("fraKeyword") + suffix);
    side.keywords =
        new ListEditor(m_ui, *group,
                       {QStringLiteral("lstKeyword") + suffix, QStringLiteral("txtKeyword") + suffix,
                        QStringLiteral("cmdAdd") + suffix, QStringLiteral("cmdDelete") + suffix,
                        QStringLiteral("cmdClear") + suffix},
                       {",", text::Sjis(u8"ｷｰﾜｰﾄﾞに“,”を含めることはできません。"), warnOnComma}, false);
    layout->addWidget(group, 1);

    auto* label = new QLabel(J(u8"ﾍﾟｰｼﾞの説明："), &page);
    label->setObjectName(QStringLiteral("lblDescript") + suffix);
    side.description = new QLineEdit(&page);
    side.description->setObjectName(QStringLiteral("txtDescript") + suffix);
    label->setBuddy(side.description);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(side.description, 1);
    layout->addLayout(row);

    // The group takes its list, entry box and buttons with it.
    side.controls = {group, label, side.description};
    return side;
}

void TfrmHead::ApplyNofollow()
{
    const bool enabled = !m_nofollow->isChecked();
    for (const Side* side : {&m_jp, &m_en})
        for (QWidget* control : side->controls)
            control->setEnabled(enabled);
}

void TfrmHead::Fill(const settings::TConfig& config)
{
    m_nofollow->setChecked(config.RobotNo != 0);
    m_jp.keywords->SetItems(ListOrEmpty(config.KeywordsJP));
    m_en.keywords->SetItems(ListOrEmpty(config.KeywordsEN));
    m_jp.keywords->Entry().clear();
    m_en.keywords->Entry().clear();
    m_jp.description->setText(Qs(config.DescriptionJP));
    m_en.description->setText(Qs(config.DescriptionEN));
    // setChecked reports no toggle when the state stays, so the rule is applied here as well.
    ApplyNofollow();
}

void TfrmHead::Write(settings::TConfig& config) const
{
    config.RobotNo = m_nofollow->isChecked() ? 1 : 0;
    config.KeywordsJP = std::make_unique<text::StringList>(m_jp.keywords->Items());
    config.KeywordsEN = std::make_unique<text::StringList>(m_en.keywords->Items());
    config.DescriptionJP = Cp(m_jp.description->text());
    config.DescriptionEN = Cp(m_en.description->text());
}

void TfrmHead::OnOK()
{
    if (m_config && SaveSettingsShare(m_ui, *m_config, settings::SaveScope::Robots,
                                      [this](settings::TConfig& config) { Write(config); }))
        accept();
}

bool TfrmHead::Edit(settings::TConfig& config)
{
    Fill(config);
    return ShowShareDialog(*this, m_config, config);
}

} // namespace gui

// The meta-object code of the three dialogs is built here rather than in the library-wide moc file,
// so that linking them does not pull in the meta-object code of every other window header.
#include "moc_AuxDialogs.cpp"
