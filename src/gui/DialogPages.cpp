#include "gui/DialogPages.h"

#include <QGridLayout>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace gui {

namespace {

// A page is never squeezed below this many lines of text: enough to see where one is.
constexpr int kMinimumPageLines = 8;

class FitScrollArea final : public QScrollArea
{
public:
    explicit FitScrollArea(QWidget* content)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        // No Tab stop of its own: Tab goes from control to control, and the area scrolls to each.
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setWidget(content);
        // The page's own background, not the scroll area's base colour.
        content->setAutoFillBackground(false);
        viewport()->setAutoFillBackground(false);
    }

    QSize sizeHint() const override
    {
        // Unlike QScrollArea's own hint, not capped to a fraction of the screen: where the screen has
        // room the page shows whole, as it would without the area.
        return widget()->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth());
    }

    QSize minimumSizeHint() const override
    {
        // As narrow as the page allows beside a vertical scroll bar, so that it never scrolls sideways.
        const int width = widget()->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width() +
                          2 * frameWidth();
        return {width, kMinimumPageLines * fontMetrics().height()};
    }
};

void CollectLayout(QLayout* layout, QList<QWidget*>& out);

void CollectWidget(QWidget* widget, QList<QWidget*>& out)
{
    if (auto* area = qobject_cast<QScrollArea*>(widget)) {
        if (area->widget())
            CollectWidget(area->widget(), out);
        return;
    }
    if ((widget->focusPolicy() & Qt::TabFocus) != 0)
        out.push_back(widget);
    if (widget->layout())
        CollectLayout(widget->layout(), out);
}

// A grid's items in reading order: by row, then by column.
QList<QLayoutItem*> ItemsInOrder(QLayout* layout)
{
    QList<QLayoutItem*> items;
    for (int i = 0; i < layout->count(); ++i)
        items.push_back(layout->itemAt(i));
    auto* grid = qobject_cast<QGridLayout*>(layout);
    if (!grid)
        return items;
    const auto position = [grid](QLayoutItem* item) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(item), &row, &column, &rowSpan, &columnSpan);
        return std::pair{row, column};
    };
    std::stable_sort(items.begin(), items.end(),
                     [&position](QLayoutItem* a, QLayoutItem* b) { return position(a) < position(b); });
    return items;
}

void CollectLayout(QLayout* layout, QList<QWidget*>& out)
{
    for (QLayoutItem* item : ItemsInOrder(layout)) {
        if (QWidget* widget = item->widget())
            CollectWidget(widget, out);
        else if (QLayout* inner = item->layout())
            CollectLayout(inner, out);
    }
}

} // namespace

QScrollArea* ScrollablePage(QWidget* content)
{
    auto* area = new FitScrollArea(content);
    area->setObjectName(content->objectName());
    content->setObjectName(content->objectName() + QStringLiteral("Content"));
    return area;
}

QList<QWidget*> LayoutTabOrder(QWidget* root)
{
    QList<QWidget*> order;
    CollectWidget(root, order);
    return order;
}

void SetTabChain(const QList<QWidget*>& widgets)
{
    for (qsizetype i = 1; i < widgets.size(); ++i)
        QWidget::setTabOrder(widgets[i - 1], widgets[i]);
}

QSize ScreenRoom(const QWidget& widget)
{
    const QScreen* screen = widget.screen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    // The title bar and borders the desktop adds around a window; the window's own when it is shown.
    const QWidget* window = widget.window();
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (!window->isVisible() || frame.isEmpty()) {
        const int title = widget.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &widget);
        const int border = widget.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &widget);
        frame = QSize(2 * border, title + 2 * border);
    }
    return screen->availableGeometry().size() - frame;
}

} // namespace gui
