#pragma once
// The command-line tools. Each lives in its own file and registers itself with a static
// CommandRegistration; each takes the arguments after its name and returns the exit status.
// Output to the terminal is UTF-8; the program's own texts are converted at this edge.

#include <QStringList>
#include <string>

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

// A program text (code page 932, CR LF between lines) as a terminal shows it: UTF-8, LF alone.
std::string TerminalText(const std::string& cp932);

} // namespace app
