#pragma once
// The command-line tools. Each takes the arguments after its name and returns the exit status.
// Output to the terminal is UTF-8; the program's own texts are converted at this edge.

#include <QStringList>

namespace app {

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args);
};

// Every subcommand the program knows, in the order --help lists them.
const Command* FindCommand(const QString& name);
QStringList CommandSummaries();

} // namespace app
