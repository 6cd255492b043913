#pragma once
// The operation log's list "lvwLog" on the main window: two columns "時刻" and "内容", the kind's
// icon on every row, whole rows selected, nothing editable. It follows the log model row by row:
// the model drops its oldest row before it adds one beyond its limit, and the list does the same, so
// both always hold the same rows.

#include "core/OperationLog.h"

#include <QIcon>
#include <QTreeWidget>
#include <array>
#include <vector>

namespace gui {

// Sizes each column of view, in order, to its content (and its header when includeHeader), then
// widens a column that came out narrower than its minimum (minimumWidths[column], when given).
void AutoSizeColumns(QTreeView& view, bool includeHeader, const std::vector<int>& minimumWidths = {});

class LogList : public QTreeWidget
{
    Q_OBJECT
public:
    // Shows the rows the log holds already and every row that follows.
    explicit LogList(const core::OperationLog& log, QWidget* parent = nullptr);

    // The minimum widths of the two columns.
    static constexpr int kTimeColumnMinimum = 120;
    static constexpr int kTextColumnMinimum = 320;

private:
    void AddRow(const core::LogRow& row);
    void RemoveFirstRow();

    std::array<QIcon, 3> m_kindIcons;
};

} // namespace gui
