#pragma once
// Start at login: the desktop's autostart entry (XDG autostart), the Linux counterpart of a shortcut
// in the start-up folder. A desktop setting of this user, not a key of the settings file.

#include <QString>

namespace platform {

// The program's id on the desktop: the names of the menu entry, the icon, the AppStream data and the
// autostart entry.
inline constexpr const char* kDesktopId = "io.github.quillmap.Quillmap";

// $XDG_CONFIG_HOME/autostart/<id>.desktop (~/.config/autostart when XDG_CONFIG_HOME is unset or
// not an absolute path).
QString AutostartFile();

// Whether the desktop starts the program at login: the entry exists and is not switched off
// (Hidden=true or X-GNOME-Autostart-enabled=false).
bool StartsAtLogin();

// Writes the entry that starts program (the program file's path) at login, or removes it. True on
// success; false when the entry could not be written or removed (the state is then unchanged).
bool SetStartAtLogin(bool on, const QString& program);

// Quotes a program path for the Exec key of a desktop entry when it needs quoting.
QString DesktopExecArgument(const QString& path);

} // namespace platform
