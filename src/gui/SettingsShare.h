#pragma once
// How the small settings dialogs save their share of the settings file on OK.

#include "settings/ConfigUnit.h"

#include <functional>

class QDialog;

namespace platform {
class UserInterface;
}

namespace gui {

// Writes the dialog's fields (write) into a copy of config and saves the copy's share (scope); only
// when that save succeeded are the fields written into config itself. A save that failed is shown as
// a warning and leaves config as it was, so the object never holds what the file does not.
bool SaveSettingsShare(platform::UserInterface& ui, settings::TConfig& config, settings::SaveScope scope,
                       const std::function<void(settings::TConfig&)>& write);

// Shows a small dialog modally, lending it config for that time only (held is the dialog's pointer
// to the object, null again afterwards). True when the dialog ended with OK.
bool ShowShareDialog(QDialog& dialog, settings::TConfig*& held, settings::TConfig& config);

// The keyword list of config, or an empty list when the object has none yet.
const text::StringList& ListOrEmpty(const std::unique_ptr<text::StringList>& list);

} // namespace gui
