// `quillmap test-ftp`: the settings dialog's FTP test ("接続ﾃｽﾄ") with the settings of the program's
// folder. Prints the result text in UTF-8; socket errors, which the program would log, go to
// standard error. Exit status 0 when the test succeeded, 1 otherwise.
#include "app/Commands.h"
#include "core/CertificateTrust.h"
#include "core/FtpConnectionTest.h"
#include "net/NMFtp.h"
#include "platform/Codepage.h"
#include "platform/TerminalUserInterface.h"
#include "settings/ConfigUnit.h"

#include <iostream>

namespace app {

namespace {

int Run(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::cerr << "quillmap test-ftp: takes no arguments" << std::endl;
        return 2;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    net::TNMFTP client;
    // A person at a terminal is asked about a certificate the system does not vouch for.
    platform::TerminalUserInterface ui;
    core::CertificateTrust trust([&config] { return &config; }, &ui);
    client.Trust = &trust;
    client.MayAskTrust = true;
    QObject::connect(&client, &net::TNMFTP::OnError, [](int, const std::string& message) {
        std::cerr << "quillmap test-ftp: " << platform::Cp932ToUtf8(message) << std::endl;
    });
    const core::FtpTestResult result =
        core::RunFtpConnectionTest(client, core::FtpTestParametersFrom(config));
    std::cout << TerminalText(result.Text) << std::endl;
    return result.Success ? 0 : 1;
}

const CommandRegistration
    registration({"test-ftp", "Log on to the FTP server of the settings (and change to its folder).", &Run});

} // namespace

} // namespace app
