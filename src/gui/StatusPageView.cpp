#include "gui/StatusPageView.h"

#include "gui/QtText.h"

#include <QStackedWidget>
#include <QTextBrowser>

#if QUILLMAP_HAS_ENGINE
#include "engine/KeptEngine.h"

#include <QWebEngineView>
#endif

namespace gui {

namespace {

// The document would read a local file itself when the browser declines to load it.
class SealedDocument final : public QTextDocument
{
public:
    explicit SealedDocument(QObject* parent) : QTextDocument(parent) {}

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

class SealedBrowser final : public QTextBrowser
{
public:
    explicit SealedBrowser(QWidget* parent) : QTextBrowser(parent)
    {
        setObjectName(QStringLiteral("WebBrowser1"));
        setDocument(new SealedDocument(this));
        setOpenLinks(false);
        setOpenExternalLinks(false);
        UsePaperColours();
    }

    // Every resource the page names (images, style sheets) stays unloaded.
    QVariant loadResource(int, const QUrl&) override { return {}; }

private:
    // The router's page is shown as a browser shows it, in its own colours over the web's defaults
    // (black on white, blue links), whatever the desktop's palette: a page that sets only a white
    // background would otherwise get a dark palette's light text on it and be unreadable.
    void UsePaperColours()
    {
        QPalette paper = palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            paper.setColor(group, QPalette::Base, Qt::white);
            paper.setColor(group, QPalette::Text, group == QPalette::Disabled ? Qt::darkGray : Qt::black);
            paper.setColor(group, QPalette::Link, QColor(0x00, 0x00, 0xee));
            paper.setColor(group, QPalette::LinkVisited, QColor(0x55, 0x1a, 0x8b));
        }
        // Roles set here stay when the desktop's palette changes; the others follow it.
        setPalette(paper);
    }
};

class TextBrowserStatusPage final : public StatusPageView
{
public:
    explicit TextBrowserStatusPage(QWidget* parent) : m_browser(new SealedBrowser(parent)) {}

    QWidget* Widget() override { return m_browser; }
    void ShowPage(const std::string& cp932) override { m_browser->setHtml(Qs(cp932)); }

private:
    // Owned by its parent widget, as every widget on the window.
    SealedBrowser* m_browser;
};

#if QUILLMAP_HAS_ENGINE
class LiveStatusPage final : public StatusPageView
{
public:
    LiveStatusPage(QWidget* parent, engine::KeptEngine& engine)
        : m_stack(new QStackedWidget(parent)), m_text(m_stack)
    {
        m_stack->addWidget(m_text.Widget());
        QObject::connect(&engine, &engine::KeptEngine::engineInUse, m_stack,
                         [this, &engine](bool inUse) { Show(inUse ? engine.Fetcher() : nullptr); });
        if (engine.Fetcher())
            Show(engine.Fetcher());
    }

    QWidget* Widget() override { return m_stack; }
    // The text view follows every page, so that it is right when the HTTP client takes over again.
    void ShowPage(const std::string& cp932) override { m_text.ShowPage(cp932); }

private:
    void Show(engine::EngineStatusFetcher* fetcher)
    {
        if (!fetcher) {
            m_stack->setCurrentWidget(m_text.Widget());
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
    TextBrowserStatusPage m_text;
    QWebEngineView* m_web = nullptr;
};
#endif

} // namespace

std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent)
{
    return std::make_unique<TextBrowserStatusPage>(parent);
}

std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent, engine::KeptEngine* engine)
{
#if QUILLMAP_HAS_ENGINE
    if (engine)
        return std::make_unique<LiveStatusPage>(parent, *engine);
#else
    (void)engine;
#endif
    return MakeStatusPageView(parent);
}

} // namespace gui
