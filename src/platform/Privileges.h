#pragma once

namespace platform {

// The program runs with the administrator's rights (root on Linux).
bool RunsAsAdministrator();

} // namespace platform
