#pragma once
// The user's text editor, run on a file the way git, crontab and visudo run it: $VISUAL, else
// $EDITOR, else the system's `editor`, else `vi`; the command may carry its own arguments
// ("code --wait"), so it is run by the shell with the file as its last argument.

#include <string>

namespace platform {

// The editor command that would be run.
std::string EditorCommand();

// Runs the editor on path with this terminal and waits for it. Its exit status, or -1 when it could
// not be started or was ended by a signal.
int RunEditor(const std::string& path);

} // namespace platform
