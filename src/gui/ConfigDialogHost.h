#pragma once
// What the settings dialog needs of the main window: the status page test reads the router's page
// through the main window's check cycle (with the settings as they are on screen), shows it on the
// main window's status tab, and leaves it for the address search test and the key picker.

#include <string>

namespace gui {

class ConfigDialogHost
{
public:
    virtual ~ConfigDialogHost() = default;

    // Reads the router's status page with the settings object as it is now (the dialog has put its
    // screen values in), shows the progress text on the main window's status bar and brings its
    // status tab to the front. True when a page was read.
    virtual bool FetchStatusPageForTest() = 0;
    // The body markup of the status page as last read (code page 932); empty when none was read.
    virtual std::string StatusHtml() const = 0;
};

} // namespace gui
