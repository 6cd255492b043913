#pragma once
// Everything the core needs from a person goes through this interface: the tray program answers it
// with message boxes, the command line with the terminal, the headless service and the tests with
// scripted answers. Texts are code page 932, as everywhere inside the program.

#include <string>

namespace platform {

class UserInterface
{
public:
    virtual ~UserInterface() = default;

    // A warning box with an OK button (wrong settings and the like).
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
    // An information box with an OK button (results of actions the user started).
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
    // An information box with OK and a "詳細" button; true when "詳細" was chosen. Where no person can
    // choose, it is the plain information box.
    virtual bool ShowInformationWithDetails(const std::string& text, const std::string& caption)
    {
        ShowInformation(text, caption);
        return false;
    }
    // A box without icon and with an OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // Whether to trust a server certificate that could not be confirmed (the text describes it). No
    // is the safe answer, so it is the default button where there is one.
    virtual bool AskTrustCertificate(const std::string& text, const std::string& caption)
    {
        return AskYesNo(text, caption);
    }
    // The status-bar text of the main window.
    virtual void SetStatusText(const std::string& text) = 0;
    // Opens a file with the desktop's default handler; false when that could not be started.
    virtual bool OpenDocument(const std::string& path) = 0;
    // Whether monitoring runs (tray icon and menu state); default: nothing to show.
    virtual void SetMonitoring(bool /*running*/) {}
};

} // namespace platform
