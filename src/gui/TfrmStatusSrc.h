#pragma once
// The status page source viewer "ｽﾃｰﾀｽHTMLｿｰｽ": shows the router page's markup, finds the next
// address after the cursor, and lets the user select the text that stands before the global address
// (the search key).

#include "gui/SourceMap.h"

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QStatusBar;
class QWidget;

namespace platform {
class UserInterface;
}

namespace gui {

class TfrmStatusSrc : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmStatusSrc(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmStatusSrc() override;

    // The markup shown (code page 932); set before exec().
    std::string SourceText;
    // The code page 932 bytes of the selection chosen with OK; empty after Cancel.
    std::string SelectedKey;

    // "ｷｬﾝｾﾙ", the Escape key and any other way of closing without OK.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Shows the controls' status tips in the window's own status bar.
    bool event(QEvent* event) override;

private:
    void FindNextAddress();
    void OnOK();

    platform::UserInterface& m_ui;
    QPlainTextEdit* m_source = nullptr;
    QWidget* m_panel = nullptr;
    QStatusBar* m_status = nullptr;
    SourceMap m_map;
};

} // namespace gui
