// quillmap-service: the headless service alone (`quillmap --headless` becomes this program). It links
// neither the windows nor the browser engine; when the settings choose the engine, each load runs in
// a child process of the full program, whose path the full program leaves in QUILLMAP_PROGRAM.
#include "app/Headless.h"
#include "core/Version.h"
#include "platform/ProgramFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(core::kProgramTitle));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(core::kVersionText));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Quillmap check cycle without windows (a service)."));
    parser.addHelpOption();
    const QCommandLineOption homeOption(QStringLiteral("home"),
                                        QStringLiteral("Use DIR as the program's folder (settings, log)."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption headlessOption(QStringLiteral("headless"), QStringLiteral("Run the service (the default)."));
    parser.addOption(homeOption);
    parser.addOption(headlessOption);
    parser.process(app);
    platform::InitProgramFolder(parser.value(homeOption));

    QString full = QFile::decodeName(qgetenv("QUILLMAP_PROGRAM"));
    if (full.isEmpty())
        full = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillmap"));
    return app::RunHeadless(full);
}
