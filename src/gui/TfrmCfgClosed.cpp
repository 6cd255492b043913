#include "gui/AuxDialogs.h"

#include "gui/DialogButtons.h"
#include "gui/FolderPicker.h"
#include "gui/QtText.h"
#include "gui/SettingsShare.h"
#include "settings/ConfigUnit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace gui {

namespace {

// The controls under each choice are indented below their radio button.
constexpr int kIndent = 20;

} // namespace

TfrmCfgClosed::TfrmCfgClosed(platform::UserInterface& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmCfgClosed"));
    setWindowTitle(J(u8"終了ｱｯﾌﾟﾛｰﾄﾞ 詳細設定"));
    auto* layout = new QVBoxLayout(this);

    m_mode0 = new QRadioButton(J(u8"ﾘﾝｸを無効にして案内文を挿入する"), this);
    m_mode0->setObjectName(QStringLiteral("optMode0"));
    m_mode1 = new QRadioButton(J(u8"ﾌｧｲﾙをｱｯﾌﾟﾛｰﾄﾞする"), this);
    m_mode1->setObjectName(QStringLiteral("optMode1"));
    auto* modes = new QButtonGroup(this);
    modes->addButton(m_mode0, 0);
    modes->addButton(m_mode1, 1);
    connect(modes, &QButtonGroup::idToggled, this, &TfrmCfgClosed::ApplyMode);

    m_textLabel = new QLabel(
        J(u8"HTML内の“<!-- Quillmap Closed -->”部分を置き換える文章： （HTMLﾀｸﾞ・ｽｸﾘﾌﾟﾄを含む可）"), this);
    m_textLabel->setObjectName(QStringLiteral("lblClosedStr"));
    m_textLabel->setTextFormat(Qt::PlainText);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtClosedStr"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTabChangesFocus(true);
    m_textLabel->setBuddy(m_text);
    m_fast = new QCheckBox(J(u8"高速検索 (<A HREF>～</A>が1行内にある場合)"), this);
    m_fast->setObjectName(QStringLiteral("chkFast"));

    m_folderLabel = new QLabel(J(u8"ｱｯﾌﾟﾛｰﾄﾞするﾌｧｲﾙのあるﾌｫﾙﾀﾞ："), this);
    m_folderLabel->setObjectName(QStringLiteral("lblClosedFile"));
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("txtClosedFile"));
    m_folderLabel->setBuddy(m_folder);
    m_folderButton = new QPushButton(J(u8"参照"), this);
    m_folderButton->setObjectName(QStringLiteral("cmdClosedFile"));
    m_folderButton->setAutoDefault(false);
    connect(m_folderButton, &QPushButton::clicked, this, [this] { PickFolderInto(*m_folder); });
    m_folderNote = new QLabel(J(u8"（このﾌｫﾙﾀﾞ以下の全てのﾌｧｲﾙをｱｯﾌﾟﾛｰﾄﾞします）"), this);
    m_folderNote->setObjectName(QStringLiteral("lblClosedFileNote"));

    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, kIndent);
    grid->addWidget(m_mode0, 0, 0, 1, 3);
    grid->addWidget(m_textLabel, 1, 1, 1, 2);
    grid->addWidget(m_text, 2, 1, 1, 2);
    grid->addWidget(m_fast, 3, 1, 1, 2);
    grid->addWidget(m_mode1, 4, 0, 1, 3);
    grid->addWidget(m_folderLabel, 5, 1, 1, 2);
    grid->addWidget(m_folder, 6, 1);
    grid->addWidget(m_folderButton, 6, 2);
    grid->addWidget(m_folderNote, 7, 1, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid, 1);

    QPushButton* ok = AddOkCancel(*this, *layout);
    connect(ok, &QPushButton::clicked, this, &TfrmCfgClosed::OnOK);
}

TfrmCfgClosed::~TfrmCfgClosed() = default;

void TfrmCfgClosed::ApplyMode()
{
    const bool insertNotice = m_mode0->isChecked();
    for (QWidget* control :
         {static_cast<QWidget*>(m_textLabel), static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_fast)})
        control->setEnabled(insertNotice);
    for (QWidget* control : {static_cast<QWidget*>(m_folderLabel), static_cast<QWidget*>(m_folder),
                             static_cast<QWidget*>(m_folderButton), static_cast<QWidget*>(m_folderNote)})
        control->setEnabled(!insertNotice);
}

void TfrmCfgClosed::Fill(const settings::TConfig& config)
{
    // Each CR LF of the stored text starts a new line in the box.
    QStringList lines;
    for (const std::string& line : text::SplitText(config.ClosedString, "\r\n", false))
        lines << Qs(line);
    m_text->setPlainText(lines.join(u'\n'));
    m_folder->setText(Qs(config.ClosedFile));
    m_fast->setChecked(config.ClosedFast != 0);
    (config.ClosedMode != 0 ? m_mode1 : m_mode0)->setChecked(true);
    ApplyMode();
}

void TfrmCfgClosed::Write(settings::TConfig& config) const
{
    // Lines joined with CR LF; a break goes in only after some text, so leading empty lines drop out
    // while empty lines inside and at the end stay.
    std::string closed;
    for (const QString& line : m_text->toPlainText().split(u'\n')) {
        if (!closed.empty())
            closed += "\r\n";
        closed += Cp(line);
    }
    config.ClosedMode = m_mode0->isChecked() ? 0 : 1;
    config.ClosedFast = m_fast->isChecked() ? 1 : 0;
    config.ClosedString = closed;
    config.ClosedFile = Cp(m_folder->text());
}

void TfrmCfgClosed::OnOK()
{
    if (m_config && SaveSettingsShare(m_ui, *m_config, settings::SaveScope::Closing,
                                      [this](settings::TConfig& config) { Write(config); }))
        accept();
}

bool TfrmCfgClosed::Edit(settings::TConfig& config)
{
    Fill(config);
    return ShowShareDialog(*this, m_config, config);
}

} // namespace gui
