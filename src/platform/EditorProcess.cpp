#include "platform/EditorProcess.h"

#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

std::string EditorCommand()
{
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    // Debian's alternatives name the administrator's choice `editor`.
    if (!QStandardPaths::findExecutable(QStringLiteral("editor")).isEmpty())
        return "editor";
    return "vi";
}

int RunEditor(const std::string& path)
{
    const std::string command = EditorCommand() + " \"$1\"";
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), "sh", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace platform
