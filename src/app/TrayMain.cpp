// quillmap-tray: the tray program without the browser engine (`quillmap` becomes this program when the
// settings do not choose the engine). It links neither the engine nor its view, so Qt never loads the
// graphics driver the engine's view shares; an engine chosen later reads each page in a child process
// of the full program, whose path the full program leaves in QUILLMAP_PROGRAM.
#include "app/TrayProgram.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The --home option the full program passes on.
QString HomeOption(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string_view(argv[i]) == "--home")
            return QFile::decodeName(argv[i + 1]);
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QString full = QFile::decodeName(qgetenv("QUILLMAP_PROGRAM"));
    if (full.isEmpty())
        full = QFileInfo(QFile::decodeName(argv[0])).absoluteDir().filePath(QStringLiteral("quillmap"));
    // The desktop knows the program by the name it was started as: the window's class (X11's -name,
    // which Qt reads from the arguments and children do not inherit), the start at login and the
    // shipped files (help, Readme.txt) all belong to `quillmap`.
    platform::SetProgramFile(full);
    std::string instanceOption = "-name";
    std::string instanceName = "quillmap";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.push_back(instanceOption.data());
    arguments.push_back(instanceName.data());
    arguments.push_back(nullptr);
    int count = argc + 2;
    return app::RunTrayProgram(count, arguments.data(), HomeOption(argc, argv),
                               app::EngineInChildProcess(full));
}
