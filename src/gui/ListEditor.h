#pragma once
// The list boxes of the small settings dialogs: an entry box, a list and the buttons "追加", "削除" and
// "ｸﾘｱ". Adding (the button or the Enter key in the entry box) puts the entry at the end of the list,
// moving an equal item there instead of repeating it; an entry holding the list's forbidden character
// is refused with a message box and stays in the box for correcting. Items are kept as the program's
// code page 932 bytes, so texts read from the settings file go back unchanged.

#include "text/VB.h"

#include <QObject>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace platform {
class UserInterface;
}

namespace gui {

class ListEditor : public QObject
{
    Q_OBJECT
public:
    // The refusal of an entry that holds the forbidden character (all texts code page 932).
    struct Refusal
    {
        std::string forbidden;
        std::string message;
        bool asWarning = true; // a warning box; false: an information box
    };
    // Object names of the controls, so that tests and screenshots find them.
    struct Names
    {
        QString list, entry, add, remove, clear;
    };

    // Builds the controls inside container (which gets the layout): the entry box with "追加" beside
    // it, the list under it with "削除" and "ｸﾘｱ" beside it.
    ListEditor(platform::UserInterface& ui, QWidget& container, const Names& names, Refusal refusal,
               bool multiSelection);

    void SetItems(const text::StringList& items);
    text::StringList Items() const;

    QListWidget& List() const { return *m_list; }
    QLineEdit& Entry() const { return *m_entry; }

    void Add();
    void RemoveSelected();
    void Clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AppendItem(const std::string& cp932);

    platform::UserInterface& m_ui;
    Refusal m_refusal;
    QListWidget* m_list = nullptr;
    QLineEdit* m_entry = nullptr;
};

} // namespace gui
