#pragma once
// Pages of a dialog that fit every screen and are visited in reading order: a page in a scroll area
// that asks for its whole size where the screen has room and scrolls where it has not, and the Tab
// key's order taken from the layouts, top to bottom and left to right.

#include <QList>
#include <QSize>

class QScrollArea;
class QWidget;

namespace gui {

// Puts content (a page built with its layout) into a frameless scroll area that takes over the
// content's object name (the content gets the name with "Content" after it). The area's size hint is
// the content's whole size hint, so a screen with room shows the page as it is; its minimum is a few
// lines high, so the dialog can shrink to a small screen and the page scrolls.
QScrollArea* ScrollablePage(QWidget* content);

// The widgets that take the focus by Tab under root, in the order of its layouts: boxes top to
// bottom, grids row by row and each row left to right, inside group boxes, scroll areas and
// compound controls. Hidden widgets are included (they may be shown later); Tab passes over them.
QList<QWidget*> LayoutTabOrder(QWidget* root);

// Chains the widgets in the order given for the Tab key.
void SetTabChain(const QList<QWidget*>& widgets);

// The room a window has on the screen of widget (the available area less the window frame's
// allowance), in the widget's logical pixels.
QSize ScreenRoom(const QWidget& widget);

} // namespace gui
