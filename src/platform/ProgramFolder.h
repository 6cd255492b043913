#pragma once
// Where the program keeps Quillmap.ini, Log.txt, Readme.txt and Upload.htm.

#include <QString>
#include <QStringList>
#include <string>

namespace platform {

// Chooses the program's folder once: the explicit folder (from --home) when given, else
// $QUILLMAP_HOME, else the folder of the program file when it is writable (a portable copy), else
// $XDG_CONFIG_HOME/quillmap (~/.config/quillmap), created with mode 0700.
void InitProgramFolder(const QString& explicitFolder = QString());

// The roots under which an installed program file lies among other programs: a folder there is never
// used as the program's folder unless it already holds Quillmap.ini.
QStringList SystemProgramRoots();

// Whether the folder of the program file serves as the program's folder: it holds Quillmap.ini (a
// portable copy set up on purpose), or it is writable and lies under none of systemRoots.
bool IsPortableFolder(const QString& programFileFolder,
                      const QStringList& systemRoots = SystemProgramRoots());

// The program file the user starts (`quillmap`), and its folder, where the files shipped with it are
// found: this process's program file, unless a helper program that `quillmap` became (the tray
// program without the browser engine) set the path of `quillmap` with SetProgramFile. Empty before
// the application object exists when nothing was set.
void SetProgramFile(const QString& path);
QString ProgramFilePath();
QString ProgramFileFolder();

// The folder chosen by InitProgramFolder (initialised on first use when nobody called it), with a
// trailing separator.
QString ProgramFolder();

// A file in the program's folder, as a path in the local 8-bit form the rest of the program uses.
QString ProgramFile(const QString& name);

// Native path text (UTF-8 on POSIX) <-> the program's code page 932 text.
std::string PathToCp932(const QString& path);
QString PathFromCp932(const std::string& path);

} // namespace platform
