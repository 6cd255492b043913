#pragma once
// The user interface of the tray program: warnings, information and questions as modal message
// boxes over the window that is in front, status texts to whoever shows them (the main window's
// status bar), documents opened with the desktop's default handler.

#include "platform/UserInterface.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace gui {

class GuiUserInterface : public platform::UserInterface
{
public:
    // The boxes' parent when no modal dialog is in front (normally the main window); may be null.
    void SetParentWidget(QWidget* parent) { m_parent = parent; }
    // Receives every status text (code page 932).
    void SetStatusSink(std::function<void(const std::string&)> sink) { m_statusSink = std::move(sink); }
    // Receives the monitoring state (the tray icon's picture).
    void SetMonitoringSink(std::function<void(bool)> sink) { m_monitoringSink = std::move(sink); }

    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    bool ShowInformationWithDetails(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    bool AskTrustCertificate(const std::string& text, const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    bool OpenDocument(const std::string& path) override;
    void SetMonitoring(bool running) override;

private:
    QWidget* BoxParent() const;

    QPointer<QWidget> m_parent;
    std::function<void(const std::string&)> m_statusSink;
    std::function<void(bool)> m_monitoringSink;
};

} // namespace gui
