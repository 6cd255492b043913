// The status tab with the browser engine: the engine's own page while the engine reads the status
// page, the rich-text view while the HTTP client does.
#include "gui/StatusPageView.h"

#if QUILLMAP_HAS_ENGINE
#include "engine/KeptEngine.h"

#include <QStackedWidget>
#include <QTextBrowser>
#include <QWebEngineView>
#include <gtest/gtest.h>

TEST(EngineStatusView, ShowsTheEnginesLivePageWhileTheEngineReads)
{
    // As root the engine runs only with its sandbox switched off by the user (here: the test).
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QWidget tab;
    engine::KeptEngine engine;
    const std::unique_ptr<gui::StatusPageView> view = gui::MakeStatusPageView(&tab, &engine);
    auto* stack = qobject_cast<QStackedWidget*>(view->Widget());
    ASSERT_NE(stack, nullptr);
    EXPECT_NE(qobject_cast<QTextBrowser*>(stack->currentWidget()), nullptr);

    std::string whyNot;
    ASSERT_NE(engine.Acquire(whyNot), nullptr) << whyNot;
    auto* web = qobject_cast<QWebEngineView*>(stack->currentWidget());
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->page(), engine.Fetcher()->Page());

    // A change of credentials gives the engine a new page; the view follows it.
    core::StatusRequest first;
    first.url = QUrl(QStringLiteral("about:blank"));
    engine.Fetcher()->Navigate(first);
    engine.Fetcher()->Stop();
    core::StatusRequest second = first;
    second.logon = true;
    second.user = QStringLiteral("root");
    engine.Fetcher()->Navigate(second);
    engine.Fetcher()->Stop();
    EXPECT_EQ(web->page(), engine.Fetcher()->Page());

    engine.Bypassed();
    EXPECT_NE(qobject_cast<QTextBrowser*>(stack->currentWidget()), nullptr);
    view->ShowPage("<body>203.0.113.9</body>");
    EXPECT_TRUE(qobject_cast<QTextBrowser*>(stack->currentWidget())->toPlainText().contains(QStringLiteral("203.0.113.9")));
}
#endif
