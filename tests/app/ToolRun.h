#pragma once
// The program run as a user runs it from a shell on a home server, with its own folder (--home), an
// environment of the test's choosing and, when given, a file as its standard input.

#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <map>

namespace tooltest {

constexpr int kToolTimeOutMs = 30000;

struct RunOptions
{
    QString stdinFile;
    // A null value takes the variable away.
    std::map<QString, QString> env;
};

inline testsupport::ProgramResult Quillmap(const QString& home, const QStringList& args,
                                           const RunOptions& o = {})
{
    return testsupport::RunProgram(QStringList{QStringLiteral("--home"), home} + args, kToolTimeOutMs,
                                   [&o](QProcess& process) {
                                       QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                                       for (const auto& [name, value] : o.env) {
                                           if (value.isNull())
                                               env.remove(name);
                                           else
                                               env.insert(name, value);
                                       }
                                       process.setProcessEnvironment(env);
                                       if (!o.stdinFile.isEmpty())
                                           process.setStandardInputFile(o.stdinFile);
                                       else
                                           process.setStandardInputFile(QProcess::nullDevice());
                                   });
}

// `quillmap settings ...` in home.
inline testsupport::ProgramResult Settings(const QString& home, const QStringList& args,
                                           const RunOptions& o = {})
{
    return Quillmap(home, QStringList{QStringLiteral("settings")} + args, o);
}

inline QString Ini(const testsupport::TempFolder& home)
{
    return home.file(QStringLiteral("Quillmap.ini"));
}

} // namespace tooltest
