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

} // namespace

std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent)
{
    return std::make_unique<TextBrowserStatusPage>(parent);
}

} // namespace gui
