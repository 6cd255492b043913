#pragma once
// The "OK" and "ｷｬﾝｾﾙ" row at the foot of the small dialogs.

class QBoxLayout;
class QDialog;
class QPushButton;

namespace gui {

// Adds the right-aligned buttons "OK" (cmdOK, the default button) and "ｷｬﾝｾﾙ" (cmdCancel, which
// rejects the dialog) to layout and returns OK for the caller to connect.
QPushButton* AddOkCancel(QDialog& dialog, QBoxLayout& layout);

} // namespace gui
