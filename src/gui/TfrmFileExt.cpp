#include "gui/AuxDialogs.h"

#include "gui/DialogButtons.h"
#include "gui/ListEditor.h"
#include "gui/QtText.h"
#include "gui/SettingsShare.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gui {

TfrmFileExt::TfrmFileExt(platform::UserInterface& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmFileExt"));
    setWindowTitle(J(u8"ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ設定"));
    auto* layout = new QVBoxLayout(this);

    auto* group = new QGroupBox(J(u8"対象ﾌｧｲﾙ"), this);
    group->setObjectName(QStringLiteral("fraExt"));
    // ";" separates the masks in the settings file, so a mask cannot hold one.
    m_masks = new ListEditor(m_ui, *group,
                             {QStringLiteral("lstExt"), QStringLiteral("txtExt"), QStringLiteral("cmdAdd"),
                              QStringLiteral("cmdDelete"), QStringLiteral("cmdClear")},
                             {";", text::Sjis(u8"不正なﾌｧｲﾙ名です。"), true}, true);
    layout->addWidget(group, 1);

    m_repOnly = new QCheckBox(J(u8"差し換えﾘﾝｸのあるﾌｧｲﾙのみ"), this);
    m_repOnly->setObjectName(QStringLiteral("chkRepOnly"));
    layout->addWidget(m_repOnly);

    QPushButton* ok = AddOkCancel(*this, *layout);
    connect(ok, &QPushButton::clicked, this, &TfrmFileExt::OnOK);
}

TfrmFileExt::~TfrmFileExt() = default;

void TfrmFileExt::Fill(const settings::TConfig& config)
{
    m_masks->SetItems(text::SplitText(config.ReplaceExt, ";", true));
    m_masks->Entry().clear();
    m_repOnly->setChecked(config.ReplaceOnly != 0);
}

void TfrmFileExt::Write(settings::TConfig& config) const
{
    std::string masks;
    for (const std::string& mask : m_masks->Items()) {
        if (!masks.empty())
            masks += ';';
        masks += mask;
    }
    config.ReplaceExt = masks;
    config.ReplaceOnly = m_repOnly->isChecked() ? 1 : 0;
}

void TfrmFileExt::OnOK()
{
    if (m_config && SaveSettingsShare(m_ui, *m_config, settings::SaveScope::FileTypes,
                                      [this](settings::TConfig& config) { Write(config); }))
        accept();
}

bool TfrmFileExt::Edit(settings::TConfig& config)
{
    Fill(config);
    return ShowShareDialog(*this, m_config, config);
}

} // namespace gui
