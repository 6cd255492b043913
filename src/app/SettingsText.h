#pragma once
// The settings as the command-line tools show and take them: fields named "Section.Key" as the file
// spells them (any letter case), values in UTF-8 on the terminal and code page 932 in the settings.

#include "settings/ConfigFields.h"

#include <optional>
#include <string>
#include <vector>

namespace app {

// "Section.Key" of a field, spelled as the file spells it.
std::string FieldName(const settings::ConfigField& field);

// The field a name given on the command line means ("ftp.server", "FTP/Server"); null when none.
const settings::ConfigField* FindFieldByName(const std::string& name);
// The names that come closest to a mistyped one, best first (at most a handful).
std::vector<std::string> CloseNames(const std::string& name);

bool IsSecret(const settings::ConfigField& field);
// Written by the program itself and never by a person (About.Version).
bool IsProgramOwned(const settings::ConfigField& field);

// The value as UTF-8 (lists joined with ","); secrets as "********" unless shown.
std::string FieldText(const settings::TConfig& config, const settings::ConfigField& field, bool showSecrets);

// Puts a UTF-8 value into the field. Returns an error text (UTF-8, for the terminal) when the value
// cannot be stored: a character with no Shift_JIS form, a number that is no whole number, a keyword
// holding ",". The field is unchanged then.
std::optional<std::string> SetFieldText(settings::TConfig& config, const settings::ConfigField& field,
                                        const std::string& utf8);

// The value a missing key reads as (what `unset` gives the field).
void SetFieldDefault(settings::TConfig& config, const settings::ConfigField& field);

// The UTF-8 text in code page 932, or the first character that has no form there.
struct Cp932Conversion
{
    std::string cp932;
    std::string missing; // UTF-8 of the first character that could not be converted; empty when none
};
Cp932Conversion StrictCp932(const std::string& utf8);

} // namespace app
