// Placeholder until the settings model exists: reports that nothing can be loaded yet.
#include "app/Commands.h"

#include <iostream>

namespace app {

namespace {

int Run(const QStringList&)
{
    std::cerr << "quillmap: settings are not available in this build" << std::endl;
    return 1;
}

const CommandRegistration registration({"settings", "Print the settings of the program's folder.", &Run});

} // namespace

} // namespace app
