#pragma once
// The help a person gets when the program starts without a settings file.

#include <QString>

namespace platform {
class UserInterface;
}

namespace settings {

// Where the shipped Readme.txt lies for a program file in programFileFolder: beside it (a portable
// copy or a build folder), else in the installation's documentation folder
// (<prefix>/share/doc/quillmap for <prefix>/bin).
QString ReadmeSourceFolder(const QString& programFileFolder);

// Opens Readme.txt of the program's folder. When the folder has none but the installation folder (the
// folder of the program file) has one, that copy is put into the program's folder first. Without any
// Readme.txt a short message says to read it. ui may be null: the copy is still made, nothing is
// shown. When the file cannot be opened, the message is shown instead.
void ShowFirstRunHelp(platform::UserInterface* ui, const QString& programFolder,
                      const QString& installFolder);

} // namespace settings
