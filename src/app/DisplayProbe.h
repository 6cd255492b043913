#pragma once
// Whether the desktop named by the environment can be reached, asked before the application object
// exists: Qt ends a program whose display cannot be opened with an abort and a core dump, where a
// user needs one line that says what is wrong and what to use instead.

#include <string>

namespace app {

enum class DisplayReach {
    kNoneNamed,   // neither DISPLAY nor WAYLAND_DISPLAY (nor a platform of Qt's own choosing)
    kUnreachable, // named, but nothing answers there
    kReachable,   // answers, or a platform this probe cannot judge was chosen (QT_QPA_PLATFORM)
};

struct DisplayProbe
{
    DisplayReach reach = DisplayReach::kNoneNamed;
    // What was named and not reached, for the message ("DISPLAY=:7"); empty otherwise.
    std::string named;
};

// Tries the X server of DISPLAY (a full connection set-up, authorization included, as Qt's own
// xcb library makes it) and the Wayland compositor's socket of WAYLAND_DISPLAY.
DisplayProbe ProbeDisplay();

} // namespace app
