#pragma once
// The busy cursor for as long as the object lives: a wait that the user started shows it, and it is
// restored however the wait ends (a result, a failure, an exception).

#include <QApplication>

namespace gui {

class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace gui
