#pragma once
// The program (or another command) run as a child process, the way a user runs it from a shell: its
// output and exit status, with a bounded wait. A child that does not start or does not end in time
// fails the test and is killed, instead of blocking the test run.

#include "TestPaths.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace testsupport {

struct ProgramResult
{
    // -1 when the child did not start, did not end in time, or crashed.
    int exitCode = -1;
    // Byte for byte as the child wrote them.
    std::string out;
    std::string err;
};

// Runs program with args and waits at most timeoutMs for it. prepare, when given, sets up the
// process before it starts (environment, child-process modifier).
ProgramResult RunProgram(const QStringList& args, int timeoutMs,
                         const std::function<void(QProcess&)>& prepare = {},
                         const QString& program = QStringLiteral(QUILLMAP_BINARY));

} // namespace testsupport
