// `quillmap log --open | --delete`: the log tab's buttons "ﾛｸﾞﾌｧｲﾙ表示" and "ﾛｸﾞﾌｧｲﾙｸﾘｱ" for the
// Log.txt of the program's folder, with their information texts.
#include "app/Commands.h"
#include "core/OperationLog.h"
#include "platform/TerminalUserInterface.h"

#include <iostream>

namespace app {

namespace {

int Run(const QStringList& args)
{
    const bool open = args == QStringList{QStringLiteral("--open")};
    const bool remove = args == QStringList{QStringLiteral("--delete")};
    if (!open && !remove) {
        std::cerr << "usage: quillmap log --open | --delete" << std::endl;
        return 2;
    }
    platform::TerminalUserInterface ui;
    if (open)
        core::ShowLogFile(ui);
    else
        core::ClearLogFile(ui);
    return 0;
}

const CommandRegistration registration({"log", "Open (--open) or delete (--delete) the log file Log.txt.",
                                        &Run});

} // namespace

} // namespace app
