#include "app/CommandHelp.h"
#include "app/Commands.h"
#include "app/Headless.h"
#include "app/TrayProgram.h"
#include "core/Version.h"
#include "platform/ProgramFolder.h"
#include "platform/ReplaceProcess.h"
#include "settings/ConfigUnit.h"

#if QUILLMAP_HAS_ENGINE
#include "engine/KeptEngine.h"
#include "gui/StatusPageView.h"
#include "gui/TfrmMain.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string_view>

namespace {

// `quillmap` alone (with --home at most) starts the tray program. Decided before any application
// object exists, because the tray program needs a QApplication and everything else a
// QCoreApplication; anything the parser cannot read goes the old way, which reports it.
bool WantsTrayProgram(int argc, char** argv, QString& homeFolder)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption homeOption(QStringLiteral("home"), QString(), QStringLiteral("DIR"));
    parser.addOption(homeOption);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())
        return false;
    homeFolder = parser.value(homeOption);
    return true;
}

// `fetch-status` may load the page in the browser engine, which needs a graphical application object
// (the engine draws pages even when nobody sees them); it gets one on the offscreen platform, so the
// tool needs no display. Every other tool and the service make do with a QCoreApplication.
bool WantsBrowserEngine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--home") {
            ++i;
            continue;
        }
        if (arg.starts_with("-"))
            continue;
        return arg == "fetch-status";
    }
    return false;
}

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv)
{
    if (!WantsBrowserEngine(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return std::make_unique<QGuiApplication>(argc, argv);
}

// A helper program that this one becomes (quillmap-service, quillmap-tray): beside this one (the build
// folder), or where the package puts it; empty when there is none.
QString HelperProgram(const QString& name)
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {here.filePath(name), here.filePath(QStringLiteral("../libexec/quillmap/") + name)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return {};
}

#if QUILLMAP_HAS_ENGINE
// The engine in this process, kept for the run, its page shown live on the status tab.
app::TrayEngine EngineInThisProcess()
{
    app::TrayEngine engine;
    engine.inProcess = true;
    engine.makeSource = [] { return std::make_unique<engine::KeptEngine>(); };
    engine.showPages = [](gui::TfrmMain& window, core::StatusEngineSource& source) {
        auto& kept = static_cast<engine::KeptEngine&>(source);
        window.ReplaceStatusView([&kept](QWidget* parent) { return gui::MakeStatusPageView(parent, &kept); });
    };
    return engine;
}
#endif

// The tray program carries the browser engine only when the settings choose it. Otherwise this
// program becomes quillmap-tray, which links neither the engine nor the graphics driver that the
// engine's view needs from the start (about half the tray program's memory); an engine chosen later
// in the settings then reads each page in a child process, and the live page comes with the next
// start. The settings are peeked at under an application object of their own, which goes before the
// tray program makes its own.
int StartTrayProgram(int& argc, char** argv, const QString& homeFolder)
{
    QString tray;
    QStringList arguments;
    {
        const QCoreApplication peek(argc, argv);
        platform::InitProgramFolder(homeFolder);
        if (!settings::SettingsChooseEngine() && qEnvironmentVariableIsEmpty("QUILLMAP_IN_PROCESS_TRAY"))
            tray = HelperProgram(QStringLiteral("quillmap-tray"));
        qputenv("QUILLMAP_PROGRAM", QFile::encodeName(QCoreApplication::applicationFilePath()));
        arguments << QStringLiteral("--home") << platform::ProgramFolder();
    }
    if (!tray.isEmpty())
        platform::ReplaceProcess(tray, arguments);
#if QUILLMAP_HAS_ENGINE
    return app::RunTrayProgram(argc, argv, homeFolder, EngineInThisProcess());
#else
    return app::RunTrayProgram(argc, argv, homeFolder, app::EngineInChildProcess(QString()));
#endif
}

} // namespace

int main(int argc, char** argv)
{
    QString homeFolder;
    if (WantsTrayProgram(argc, argv, homeFolder))
        return StartTrayProgram(argc, argv, homeFolder);

    const std::unique_ptr<QCoreApplication> application = MakeApplication(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QString::fromLatin1(core::kProgramTitle));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(core::kVersionText));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Quillmap watches the global address of a broadband router and keeps web pages and a notice mail "
            "up to date.\n\nCommands:\n") +
        app::CommandSummaries().join(u'\n') + QStringLiteral("\n\nquillmap COMMAND --help shows a command's own options and examples."));
    parser.addHelpOption();
    const QCommandLineOption versionOption(QStringList{QStringLiteral("version"), QStringLiteral("v")},
                                           QStringLiteral("Print the version and exit."));
    const QCommandLineOption homeOption(QStringLiteral("home"),
                                        QStringLiteral("Use DIR as the program's folder (settings, log)."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption headlessOption(
        QStringLiteral("headless"),
        QStringLiteral("Run the check cycle without windows until SIGTERM, SIGINT or SIGHUP (a service)."));
    parser.addOption(versionOption);
    parser.addOption(headlessOption);
    parser.addOption(homeOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The tool to run."));
    // Options after the command name belong to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.process(app);

    if (parser.isSet(versionOption)) {
        std::printf("Quillmap %s\n", core::kVersionText);
        return 0;
    }
    platform::InitProgramFolder(parser.value(homeOption));

    if (parser.isSet(headlessOption)) {
        // The service without the windows and the engine linked in, when it is installed with us.
        const QString service = HelperProgram(QStringLiteral("quillmap-service"));
        if (!service.isEmpty() && qEnvironmentVariableIsEmpty("QUILLMAP_IN_PROCESS_SERVICE")) {
            qputenv("QUILLMAP_PROGRAM", QFile::encodeName(QCoreApplication::applicationFilePath()));
            QStringList arguments{QStringLiteral("--headless")};
            if (parser.isSet(homeOption))
                arguments << QStringLiteral("--home") << parser.value(homeOption);
            platform::ReplaceProcess(service, arguments);
        }
        return app::RunHeadless();
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        std::cerr << "quillmap: no command given (see --help)" << std::endl;
        return 2;
    }
    const app::Command* command = app::FindCommand(positional.first());
    if (!command) {
        std::cerr << "quillmap: unknown command: " << positional.first().toStdString() << std::endl;
        return 2;
    }
    const QStringList arguments = positional.mid(1);
    if (app::AsksForHelp(arguments)) {
        const char* help = app::CommandHelp(command->name);
        std::cout << (help ? help : command->summary) << std::flush;
        return 0;
    }
    return command->run(arguments);
}
