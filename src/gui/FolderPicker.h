#pragma once
// The folder buttons beside the folder boxes: the desktop's folder dialog captioned
// "ﾌｫﾙﾀﾞを選択してください", opened at the box's text; a chosen folder replaces the text, a cancel
// leaves it.

class QLineEdit;

namespace gui {

void PickFolderInto(QLineEdit& box);

} // namespace gui
