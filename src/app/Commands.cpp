#include "app/Commands.h"

#include <iterator>

namespace app {

// Each tool lives in its own file; this table is the only place that names them all.
int RunSettingsCommand(const QStringList& args);

namespace {

const Command kCommands[] = {
    {"settings", "Load the settings file and print it; --save writes it back in the current form.",
     &RunSettingsCommand},
};

} // namespace

const Command* FindCommand(const QString& name)
{
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QStringList CommandSummaries()
{
    QStringList lines;
    for (const Command& c : kCommands)
        lines << QStringLiteral("  %1  %2").arg(QLatin1String(c.name), QString::fromUtf8(c.summary));
    return lines;
}

} // namespace app
