#include "app/Commands.h"

#include "platform/Codepage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace app {

namespace {

// Function-local so that registrations from other files' static objects find it constructed.
std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}

} // namespace

CommandRegistration::CommandRegistration(Command command)
{
    Registry().push_back(command);
}

const Command* FindCommand(const QString& name)
{
    for (const Command& c : Registry())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QStringList CommandSummaries()
{
    std::vector<Command> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    QStringList lines;
    for (const Command& c : sorted)
        lines << QStringLiteral("  %1  %2").arg(QLatin1String(c.name), QString::fromUtf8(c.summary));
    return lines;
}

std::string TerminalText(const std::string& cp932)
{
    std::string text = platform::Cp932ToUtf8(cp932);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

} // namespace app
