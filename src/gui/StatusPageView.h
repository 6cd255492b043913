#pragma once
// The main window's status tab: the router's status page as last read. Behind a small interface so
// that a browser engine can take the place of the plain rich-text view one day.

#include <memory>
#include <string>

class QWidget;

namespace engine {
class KeptEngine;
}

namespace gui {

class StatusPageView
{
public:
    virtual ~StatusPageView() = default;
    // The widget to put on the tab.
    virtual QWidget* Widget() = 0;
    // Shows the body markup of the status page (code page 932); an empty text clears the view.
    virtual void ShowPage(const std::string& cp932) = 0;
};

// The rich-text view: no scripts, links that do nothing, and nothing loaded from anywhere (no
// images, no style sheets, neither from the network nor from files), so that showing a page never
// makes traffic and never reads a file the page names.
std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent);

// With the browser engine in this process: the rich-text view while the HTTP client reads the page,
// the engine's own page (live, with what its scripts did) while the engine does. Defined only in the
// program that carries the engine (LiveStatusPage.cpp).
std::unique_ptr<StatusPageView> MakeStatusPageView(QWidget* parent, engine::KeptEngine* engine);

} // namespace gui
