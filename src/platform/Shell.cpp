#include "platform/Shell.h"

#include <QProcess>

namespace platform {

namespace {

// Starting the handler is quick; a handler that is not there fails at once.
constexpr int kStartLimitMs = 5000;

QString HandlerProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral("cmd");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("open");
#else
    return QStringLiteral("xdg-open");
#endif
}

QStringList HandlerArguments(const QString& pathOrUrl)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("/c"), QStringLiteral("start"), QString(), pathOrUrl};
#else
    return {pathOrUrl};
#endif
}

} // namespace

bool OpenWithDefaultHandler(const QString& pathOrUrl, std::function<void(int exitCode)> ended)
{
    // No parent: a handler still running when the program ends is left running (a browser that
    // xdg-open started in its place), not killed with its QProcess.
    auto* process = new QProcess;
    process->setProgram(HandlerProgram());
    process->setArguments(HandlerArguments(pathOrUrl));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, ended = std::move(ended)](int exitCode, QProcess::ExitStatus status) {
                         if (ended)
                             ended(status == QProcess::NormalExit ? exitCode : -1);
                         process->deleteLater();
                     });
    process->start();
    if (!process->waitForStarted(kStartLimitMs)) {
        delete process;
        return false;
    }
    return true;
}

} // namespace platform
