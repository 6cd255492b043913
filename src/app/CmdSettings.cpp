// Placeholder until the settings model exists: reports that nothing can be loaded yet.
#include "app/Commands.h"

#include <iostream>

namespace app {

int RunSettingsCommand(const QStringList&)
{
    std::cerr << "quillmap: settings are not available in this build" << std::endl;
    return 1;
}

} // namespace app
