#pragma once
// The text `quillmap settings edit` puts in front of the editor: the settings in UTF-8 with LF line
// ends, one "Key = value" line per setting under its "[Section]", secrets shown as "********".
// A value that holds line breaks or other control characters, blanks at either end or a leading
// double quote is written in double quotes with backslash escapes (\n \r \t \" \\ \xNN), so that the
// text reads back as it was written.

#include "settings/ConfigUnit.h"
#include "validation/SettingsCheck.h"

#include <string>
#include <vector>

namespace app {

std::string RenderSettingsText(const settings::TConfig& config, const std::string& path);

struct EditedSettings
{
    // What cannot be stored at all ("line 12: ..."), UTF-8.
    std::vector<std::string> errors;
    // Numbers that are no whole numbers, for the check to refuse in the dialog's words.
    validation::NumberTexts typed;
};

// Puts the values of an edited text into config (which holds the settings as they were): a secret
// left as "********" and a key taken out of the text keep their values.
EditedSettings ApplySettingsText(const std::string& text, settings::TConfig& config);

} // namespace app
