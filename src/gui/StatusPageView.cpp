#include "gui/StatusPageView.h"

#include "gui/QtText.h"

#include <QTextBrowser>

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
    }

    // Every resource the page names (images, style sheets) stays unloaded.
    QVariant loadResource(int, const QUrl&) override { return {}; }
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

} // namespace

std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent)
{
    return std::make_unique<TextBrowserStatusPage>(parent);
}

} // namespace gui
