#pragma once
// The test mail of the settings dialog ("通知ﾃｽﾄ") and of `quillmap test-mail`: sends "通知テストです"
// with the settings as they are on screen, and tells the result as the text and kind of one box.
// The live settings are the same before and after the test.

#include "mail/NoticeMail.h"

#include <functional>
#include <string>

namespace platform {
class UserInterface;
}

namespace mail {

struct TestMailOutcome
{
    bool Sent = false;
    // The text of the box (code page 932) and its kind: information when sent, else warning.
    std::string Text;
    bool Warning = true;
};

// Backs up the live settings, lets applyEntries write the dialog's entries into them (may be
// empty: the settings as they are), sends the test mail over the path that SmtpLogon selects, and
// restores the settings from the backup, also when something throws.
TestMailOutcome RunTestMail(TNoticeMailer& mailer, settings::TConfig& live,
                            const std::function<void(settings::TConfig&)>& applyEntries);

// Shows the outcome in an information or warning box with an OK button.
void ShowTestMailOutcome(platform::UserInterface& ui, const TestMailOutcome& outcome);

} // namespace mail
