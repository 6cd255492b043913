#pragma once
// The --help of each command: usage, options and examples.

#include <QStringList>

namespace app {

// The help text of a command; null for a command without one (the unit test of the commands makes
// sure there is none).
const char* CommandHelp(const char* name);
// Whether the arguments ask for help (--help or -h before a "--").
bool AsksForHelp(const QStringList& args);

} // namespace app
