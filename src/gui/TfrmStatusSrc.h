#pragma once
// The status page source viewer "ｽﾃｰﾀｽHTMLｿｰｽ": shows the router page's markup, finds the next
// address after the cursor, and lets the user select the text that stands before the global address
// (the search key).

#include <QDialog>
#include <string>

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
};

} // namespace gui
