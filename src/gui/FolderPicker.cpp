#include "gui/FolderPicker.h"

#include "gui/QtText.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

namespace gui {

void PickFolderInto(QLineEdit& box)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(box.window(), J(u8"ﾌｫﾙﾀﾞを選択してください"), box.text());
    if (!chosen.isEmpty())
        box.setText(QDir::toNativeSeparators(chosen));
}

} // namespace gui
