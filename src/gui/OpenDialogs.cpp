#include "gui/OpenDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace gui {

void CancelOpenDialogs()
{
    // Collected first: a dialog that closes may take others with it (its children).
    QList<QPointer<QDialog>> open;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            open.append(dialog);
    // Each loop ends when control returns to it, the innermost first, whatever the order here.
    for (const QPointer<QDialog>& dialog : open)
        if (dialog && dialog->isVisible())
            dialog->reject();
}

} // namespace gui
