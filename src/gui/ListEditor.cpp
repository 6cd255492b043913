#include "gui/ListEditor.h"

#include "core/Version.h"
#include "gui/QtText.h"
#include "platform/UserInterface.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace gui {

namespace {

// The item's own bytes: what the settings file held or what was typed, unchanged by the screen form.
constexpr int kBytesRole = Qt::UserRole;

std::string ItemBytes(const QListWidgetItem& item)
{
    return item.data(kBytesRole).toByteArray().toStdString();
}

QPushButton* MakeButton(QWidget& container, std::u8string_view caption, const QString& name)
{
    auto* button = new QPushButton(J(caption), &container);
    button->setObjectName(name);
    // Enter belongs to the entry box and the dialog's OK, never to these buttons.
    button->setAutoDefault(false);
    return button;
}

} // namespace

ListEditor::ListEditor(platform::UserInterface& ui, QWidget& container, const Names& names, Refusal refusal,
                       bool multiSelection)
    : QObject(&container), m_ui(ui), m_refusal(std::move(refusal))
{
    m_entry = new QLineEdit(&container);
    m_entry->setObjectName(names.entry);
    m_list = new QListWidget(&container);
    m_list->setObjectName(names.list);
    m_list->setSelectionMode(multiSelection ? QAbstractItemView::ExtendedSelection
                                            : QAbstractItemView::SingleSelection);
    QPushButton* add = MakeButton(container, u8"追加", names.add);
    QPushButton* remove = MakeButton(container, u8"削除", names.remove);
    QPushButton* clear = MakeButton(container, u8"ｸﾘｱ", names.clear);

    auto* grid = new QGridLayout(&container);
    grid->addWidget(m_entry, 0, 0);
    grid->addWidget(add, 0, 1);
    grid->addWidget(m_list, 1, 0, 3, 1);
    grid->addWidget(remove, 1, 1);
    grid->addWidget(clear, 2, 1);
    grid->setRowStretch(3, 1);

    connect(add, &QPushButton::clicked, this, &ListEditor::Add);
    connect(remove, &QPushButton::clicked, this, &ListEditor::RemoveSelected);
    connect(clear, &QPushButton::clicked, this, &ListEditor::Clear);
    m_entry->installEventFilter(this);
}

void ListEditor::SetItems(const text::StringList& items)
{
    m_list->clear();
    for (const std::string& item : items)
        AppendItem(item);
}

text::StringList ListEditor::Items() const
{
    text::StringList items;
    items.reserve(static_cast<size_t>(m_list->count()));
    for (int i = 0; i < m_list->count(); ++i)
        items.push_back(ItemBytes(*m_list->item(i)));
    return items;
}

void ListEditor::AppendItem(const std::string& cp932)
{
    auto* item = new QListWidgetItem(Qs(cp932));
    item->setData(kBytesRole, QByteArray::fromStdString(cp932));
    m_list->addItem(item);
}

void ListEditor::Add()
{
    const std::string entry = Cp(m_entry->text());
    if (entry.empty())
        return;
    if (text::InStrChars(entry, m_refusal.forbidden) > 0) {
        if (m_refusal.asWarning)
            m_ui.ShowWarning(m_refusal.message, core::kProgramTitle);
        else
            m_ui.ShowInformation(m_refusal.message, core::kProgramTitle);
        m_entry->setFocus();
        return;
    }
    // An item that is already there moves to the end rather than appearing twice.
    for (int i = 0; i < m_list->count(); ++i) {
        if (ItemBytes(*m_list->item(i)) == entry) {
            delete m_list->takeItem(i);
            break;
        }
    }
    AppendItem(entry);
    m_entry->clear();
    m_entry->setFocus();
}

void ListEditor::RemoveSelected()
{
    // Walk from the end so that the rows still to be visited keep their numbers.
    for (int i = m_list->count() - 1; i >= 0; --i)
        if (m_list->item(i)->isSelected())
            delete m_list->takeItem(i);
}

void ListEditor::Clear()
{
    m_list->clear();
}

bool ListEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_entry && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Taken here, so that the dialog's default button does not close the dialog as well.
            Add();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace gui

#include "moc_ListEditor.cpp"
