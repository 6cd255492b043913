#pragma once

#include <QString>

namespace app {

// The check cycle without windows, for home servers: monitoring starts as the tray item "実行(&E)"
// starts it; every log row also goes to standard output; SIGTERM, SIGINT and SIGHUP end it through
// the closing run. Exit status: 0 after an orderly end, 2 when the settings do not allow monitoring,
// 3 when another copy is running and only one may.
// engineProgram: the program that loads the status page in the browser engine, when the settings
// choose it (`fetch-status --engine` of the full program); empty: this program.
int RunHeadless(const QString& engineProgram = {});

} // namespace app
