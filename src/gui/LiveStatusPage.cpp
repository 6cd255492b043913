// The status tab with the browser engine in this process. Only the program that carries the engine
// links this file: the tray program without it never maps the engine's libraries.
#include "gui/StatusPageView.h"

#include "engine/KeptEngine.h"

#include <QStackedWidget>
#include <QWebEngineView>

namespace gui {

namespace {

class LiveStatusPage final : public StatusPageView
{
public:
    LiveStatusPage(QWidget* parent, engine::KeptEngine& engine)
        : m_stack(new QStackedWidget(parent)), m_text(MakeStatusPageView(m_stack))
    {
        m_stack->addWidget(m_text->Widget());
        QObject::connect(&engine, &engine::KeptEngine::engineInUse, m_stack,
                         [this, &engine](bool inUse) { Show(inUse ? engine.Fetcher() : nullptr); });
        if (engine.Fetcher())
            Show(engine.Fetcher());
    }

    QWidget* Widget() override { return m_stack; }
    // The text view follows every page, so that it is right when the HTTP client takes over again.
    void ShowPage(const std::string& cp932) override { m_text->ShowPage(cp932); }

private:
    void Show(engine::EngineStatusFetcher* fetcher)
    {
        if (!fetcher) {
            m_stack->setCurrentWidget(m_text->Widget());
            return;
        }
        if (!m_web) {
            m_web = new QWebEngineView(m_stack);
            m_web->setObjectName(QStringLiteral("WebBrowser1Engine"));
            // The page stays the engine's: the view only shows it.
            m_web->setPage(fetcher->Page());
            QObject::connect(fetcher, &engine::EngineStatusFetcher::pageReplaced, m_web,
                             [web = m_web](QWebEnginePage* page) { web->setPage(page); });
            m_stack->addWidget(m_web);
        }
        m_stack->setCurrentWidget(m_web);
    }

    // Owned by their parent widgets.
    QStackedWidget* m_stack;
    std::unique_ptr<StatusPageView> m_text;
    QWebEngineView* m_web = nullptr;
};

} // namespace

std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent, engine::KeptEngine* engine)
{
    if (engine)
        return std::make_unique<LiveStatusPage>(parent, *engine);
    return MakeStatusPageView(parent);
}

} // namespace gui
