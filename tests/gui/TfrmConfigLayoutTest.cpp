// The settings dialog on small screens and with the keyboard: every page fits a 1366x768 screen at
// 100% and a 1280x1024 screen at 200% with OK on the screen (the pages scroll), and Tab visits each
// page top to bottom.
//
// The screen tests run only under the screens they are written for: ctest starts them a second time
// on the offscreen platform with a screen of that size (QUILLMAP_FIT_SCREEN names it), once at 100%
// and once with QT_SCALE_FACTOR=2.
#include "TfrmConfigFixture.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

using namespace configtest;

namespace {

class ConfigDialogLayout : public ConfigDialogTest
{
protected:
    // The page widgets in Tab order, starting at the page's first control.
    std::vector<QWidget*> tabChain(QWidget* page) const
    {
        std::vector<QWidget*> chain;
        QWidget* first = nullptr;
        for (QWidget* at = dialog->nextInFocusChain(); at != dialog.get(); at = at->nextInFocusChain()) {
            if (!page->isAncestorOf(at) || !(at->focusPolicy() & Qt::TabFocus) || !at->isVisibleTo(page))
                continue;
            if (at == first)
                break;
            if (!first)
                first = at;
            chain.push_back(at);
        }
        return chain;
    }
};

// Top edge of a widget in its page's coordinates.
int Top(const QWidget* w, const QWidget* page)
{
    return w->mapTo(page, QPoint(0, 0)).y();
}

} // namespace

TEST_F(ConfigDialogLayout, TabVisitsEveryPageTopToBottom)
{
    open();
    dialog->resize(dialog->sizeHint());
    QApplication::processEvents();
    auto* tabs = w<QTabWidget>("tabConfig");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        QWidget* page = tabs->widget(i);
        const std::vector<QWidget*> chain = tabChain(page);
        ASSERT_GT(chain.size(), 3u) << i;
        // A control further down never comes before one above it: each stop starts no higher than
        // the middle of the one before (controls of one row stand at slightly different heights).
        for (size_t k = 1; k < chain.size(); ++k) {
            const QWidget* a = chain[k - 1];
            const QWidget* b = chain[k];
            EXPECT_GE(Top(b, page) + b->height(), Top(a, page) + a->height() / 2)
                << tabs->tabText(i).toStdString() << ": " << a->objectName().toStdString() << " before "
                << b->objectName().toStdString();
        }
    }
    // The box at the bottom of the first page is the last stop there, after the groups above it.
    tabs->setCurrentIndex(0);
    EXPECT_EQ(tabChain(tabs->widget(0)).back(), w("chkLeavePlural"));
}

TEST_F(ConfigDialogLayout, EveryPageFitsTheScreenWithOkOnIt)
{
    const QString screenName = qEnvironmentVariable("QUILLMAP_FIT_SCREEN");
    if (screenName.isEmpty())
        GTEST_SKIP() << "run by ctest on a screen of a given size (QUILLMAP_FIT_SCREEN)";
    open();
    const QRect screen = dialog->screen()->availableGeometry();
    // The screen the test was started for, in logical pixels at this scaling.
    ASSERT_EQ(QString::number(qRound(screen.width() * dialog->devicePixelRatioF())) + u'x' +
                  QString::number(qRound(screen.height() * dialog->devicePixelRatioF())),
              screenName);
    // What the dialog asks for fits (the window's frame not counted by the offscreen platform).
    EXPECT_LE(dialog->sizeHint().width(), screen.width());
    EXPECT_LE(dialog->sizeHint().height(), screen.height());
    EXPECT_LE(dialog->minimumSizeHint().height(), screen.height());
    dialog->resize(dialog->sizeHint());
    dialog->move(screen.topLeft());
    auto* tabs = w<QTabWidget>("tabConfig");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        const std::string page = tabs->tabText(i).toStdString();
        const QRect ok(w("cmdOK")->mapToGlobal(QPoint(0, 0)), w("cmdOK")->size());
        EXPECT_TRUE(screen.contains(ok)) << page;
        // Every control of the page can be brought into view, and nothing needs sideways scrolling.
        auto* area = qobject_cast<QScrollArea*>(tabs->widget(i));
        ASSERT_NE(area, nullptr) << page;
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << page;
        for (QWidget* control : tabChain(area)) {
            area->ensureWidgetVisible(control);
            QApplication::processEvents();
            const QRect shown(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(area->viewport()->rect().contains(shown))
                << page << ": " << control->objectName().toStdString();
        }
    }
}
