#pragma once
// The program's end while dialogs are open (a termination signal, the session's end): each open
// dialog waits in a loop of its own, and the code that opened it goes on only once it is closed, so
// the closing run could otherwise wait for a person who has left.

namespace gui {

// Closes every open dialog as its Cancel button would (settings dialog, message boxes, the boxes
// over them): nothing typed in them is kept, a question counts as answered No.
void CancelOpenDialogs();

} // namespace gui
