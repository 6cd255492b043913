#pragma once

namespace app {

// The check cycle without windows, for home servers: monitoring starts as the tray item "実行(&E)"
// starts it; every log row also goes to standard output; SIGTERM, SIGINT and SIGHUP end it through
// the closing run. Exit status: 0 after an orderly end, 2 when the settings do not allow monitoring,
// 3 when another copy is running and only one may.
int RunHeadless();

} // namespace app
