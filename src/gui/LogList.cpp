#include "gui/LogList.h"

#include "gui/AppIcons.h"
#include "gui/QtText.h"

#include <QHeaderView>

namespace gui {

void AutoSizeColumns(QTreeView& view, bool includeHeader, const std::vector<int>& minimumWidths)
{
    QHeaderView* header = view.header();
    // Through the base class, where the size hint is public; the tree view's own hint answers.
    const QAbstractItemView& items = view;
    for (int column = 0; column < header->count(); ++column) {
        int width = items.sizeHintForColumn(column);
        if (includeHeader && !header->isHidden())
            width = std::max(width, header->sectionSizeHint(column));
        if (static_cast<size_t>(column) < minimumWidths.size())
            width = std::max(width, minimumWidths[static_cast<size_t>(column)]);
        header->resizeSection(column, width);
    }
}

LogList::LogList(const core::OperationLog& log, QWidget* parent)
    : QTreeWidget(parent), m_kindIcons{LogKindIcon(core::lkRunFailure), LogKindIcon(core::lkStepError),
                                       LogKindIcon(core::lkEvent)}
{
    setObjectName(QStringLiteral("lvwLog"));
    setColumnCount(2);
    setHeaderLabels({J(u8"時刻"), J(u8"内容")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    // The columns take the width of their longest text; a long line scrolls instead of being cut.
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    for (const core::LogRow& row : log.Rows())
        AddRow(row);
    connect(&log, &core::OperationLog::RowAdded, this, &LogList::AddRow);
    connect(&log, &core::OperationLog::FirstRowRemoved, this, &LogList::RemoveFirstRow);
    AutoSizeColumns(*this, true, {kTimeColumnMinimum, kTextColumnMinimum});
}

void LogList::AddRow(const core::LogRow& row)
{
    auto* item = new QTreeWidgetItem(this, {Qs(row.Time), Qs(row.Text)});
    const auto kind = static_cast<size_t>(row.Kind);
    item->setIcon(0, m_kindIcons[kind < m_kindIcons.size() ? kind : size_t{core::lkEvent}]);
    scrollToItem(item);
    AutoSizeColumns(*this, true, {kTimeColumnMinimum, kTextColumnMinimum});
}

void LogList::RemoveFirstRow()
{
    delete takeTopLevelItem(0);
}

} // namespace gui

// The meta-object code of this file's classes is compiled here rather than with the rest of the
// library's, so that a program links only the windows it uses.
#include "moc_LogList.cpp"
