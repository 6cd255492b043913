#include "gui/TfrmStatusSrc.h"

#include "core/AddressSearch.h"
#include "core/Version.h"
#include "gui/BusyCursor.h"
#include "gui/QtText.h"
#include "platform/UserInterface.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextCursor>
#include <QVBoxLayout>

namespace gui {

namespace {

constexpr int kMinimumHeight = 100;

} // namespace

TfrmStatusSrc::TfrmStatusSrc(platform::UserInterface& ui, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ui(ui)
{
    // No close box: the window ends with OK or with Cancel (or Escape).
    setObjectName(QStringLiteral("frmStatusSrc"));
    setWindowTitle(J(u8"ｽﾃｰﾀｽHTMLｿｰｽ"));

    m_source = new QPlainTextEdit(this);
    m_source->setObjectName(QStringLiteral("txtSource"));
    m_source->setReadOnly(true);
    m_source->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_source->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_source->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Read-only, but the caret and the keyboard selection are what the finder starts from.
    m_source->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The found address stays marked while the focus is on the buttons.
    QPalette palette = m_source->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    m_source->setPalette(palette);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("pnlButtons"));
    auto* label =
        new QLabel(J(u8"上のHTMLｿｰｽから、ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽより前にある固有の文字列を選択してください"), m_panel);
    label->setObjectName(QStringLiteral("lblSource"));
    auto* find = new QPushButton(J(u8"IPｱﾄﾞﾚｽ検索"), m_panel);
    find->setObjectName(QStringLiteral("cmdFind"));
    find->setToolTip(J(u8"ｶｰｿﾙ位置から下のIPｱﾄﾞﾚｽを検索します"));
    find->setStatusTip(find->toolTip());
    find->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), m_panel);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(J(u8"ｷｬﾝｾﾙ"), m_panel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(find);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(label);
    panelLayout->addLayout(buttons);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar"));

    // The text box fills the window down to the panel; the status bar runs along the bottom.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* upper = new QVBoxLayout;
    upper->setContentsMargins(8, 8, 8, 8);
    upper->setSpacing(4);
    upper->addWidget(m_source, 1);
    upper->addWidget(m_panel);
    layout->addLayout(upper, 1);
    layout->addWidget(m_status);

    // Never narrower than the panel (the layout sees to that), never lower than 100 pixels.
    setMinimumHeight(std::max(kMinimumHeight, layout->minimumSize().height()));
    resize(640, 480);

    connect(find, &QPushButton::clicked, this, &TfrmStatusSrc::FindNextAddress);
    connect(ok, &QPushButton::clicked, this, &TfrmStatusSrc::OnOK);
    connect(cancel, &QPushButton::clicked, this, &TfrmStatusSrc::reject);
}

TfrmStatusSrc::~TfrmStatusSrc() = default;

void TfrmStatusSrc::showEvent(QShowEvent* event)
{
    m_map = SourceMap::Build(SourceText);
    m_source->setPlainText(m_map.screen);
    m_source->moveCursor(QTextCursor::Start);
    m_source->setFocus();
    QDialog::showEvent(event);
}

bool TfrmStatusSrc::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        m_status->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TfrmStatusSrc::FindNextAddress()
{
    const QTextCursor cursor = m_source->textCursor();
    const auto [start, length] = m_map.Bytes(cursor.selectionStart(), cursor.selectionEnd());
    std::optional<core::ByteRange> found;
    {
        BusyCursor busy;
        found = core::FindNextAddress(SourceText, start, length);
    }
    if (!found) {
        m_ui.ShowInformation(text::Sjis(u8"見つかりません。"), core::kProgramTitle);
        return;
    }
    QTextCursor select(m_source->document());
    select.setPosition(m_map.positionOfByte[found->start]);
    select.setPosition(m_map.positionOfByte[found->start + found->length], QTextCursor::KeepAnchor);
    m_source->setTextCursor(select);
    m_source->ensureCursorVisible();
    m_source->setFocus();
}

void TfrmStatusSrc::OnOK()
{
    const QTextCursor cursor = m_source->textCursor();
    if (!cursor.hasSelection()) {
        m_ui.ShowWarning(text::Sjis(u8"HTMLｿｰｽが選択されていません。"), core::kProgramTitle);
        return;
    }
    const auto [start, length] = m_map.Bytes(cursor.selectionStart(), cursor.selectionEnd());
    SelectedKey = SourceText.substr(start, length);
    accept();
}

void TfrmStatusSrc::reject()
{
    SelectedKey.clear();
    QDialog::reject();
}

} // namespace gui

#include "moc_TfrmStatusSrc.cpp"
