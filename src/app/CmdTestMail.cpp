// `quillmap test-mail`: sends the settings dialog's test mail with the settings of the program's
// folder and prints the result text; exit status 0 when the mail was sent, 1 otherwise.
#include "app/Commands.h"
#include "mail/TestMail.h"
#include "platform/Codepage.h"
#include "platform/TerminalUserInterface.h"
#include "settings/ConfigUnit.h"

#include <iostream>

namespace app {

namespace {

int Run(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::cerr << "quillmap test-mail: takes no arguments" << std::endl;
        return 2;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    // A person at a terminal is asked about a certificate the system does not vouch for.
    platform::TerminalUserInterface ui;
    mail::TNoticeMailer mailer(config, nullptr, &ui);
    const mail::TestMailOutcome outcome = mail::RunTestMail(mailer, config, {});
    std::cout << TerminalText(outcome.Text) << std::endl;
    return outcome.Sent ? 0 : 1;
}

const CommandRegistration registration(
    {"test-mail", "Send the test mail \"通知テストです\" with the settings of the program's folder.", &Run});

} // namespace

} // namespace app
