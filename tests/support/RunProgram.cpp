#include "support/RunProgram.h"

#include <gtest/gtest.h>

namespace testsupport {

ProgramResult RunProgram(const QStringList& args, int timeoutMs,
                         const std::function<void(QProcess&)>& prepare, const QString& program)
{
    QProcess process;
    if (prepare)
        prepare(process);
    process.start(program, args);
    ProgramResult r;
    if (!process.waitForFinished(timeoutMs)) {
        const bool started = process.error() != QProcess::FailedToStart;
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << program.toStdString() << ' ' << args.join(u' ').toStdString()
                      << (started ? " did not finish in " + std::to_string(timeoutMs / 1000) + " s"
                                  : std::string(" did not start"))
                      << ": " << process.errorString().toStdString();
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}

} // namespace testsupport
