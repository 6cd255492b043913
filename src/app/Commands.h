#pragma once
// The command-line tools. Each lives in its own file and registers itself with a static
// CommandRegistration; each takes the arguments after its name and returns the exit status.
// Output to the terminal is UTF-8; the program's own texts are converted at this edge.

#include <QStringList>

namespace app {

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args);
};

struct CommandRegistration
{
    explicit CommandRegistration(Command command);
};

const Command* FindCommand(const QString& name);
// One line per command, sorted by name, for --help.
QStringList CommandSummaries();

} // namespace app
