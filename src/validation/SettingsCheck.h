#pragma once
// The one check of the settings: the settings dialog's OK, `quillmap settings set/check/edit` and the
// service's start all ask it, and all show its messages (code page 932, the dialog's own words).
//
// A check is a list of rules in the dialog's order; each rule belongs to one key of the file and says
// what is wrong with the settings, or nothing. Rules on values (required fields of a switched-on
// feature, the IPv6 suffix, the dynamic DNS settings, host names) come first, then the numbers with
// their ranges. A new setting gets its rule by adding one line to the tables in SettingsCheck.cpp:
// ValueRules() for a condition on values, NumberRules() for a number and its range.

#include "settings/ConfigUnit.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace validation {

struct SettingsProblem
{
    std::string section; // as the field table spells it ("FTP")
    std::string key;     // ("Server")
    std::string message; // code page 932, as the dialog shows it
    // "FTP.Server": the name the tools use.
    std::string Name() const { return section + "." + key; }
    bool operator==(const SettingsProblem&) const = default;
};

// The texts of number fields as a person typed them (the dialog's boxes, the command line), by
// "Section.Key". A text that is no whole number is refused with the dialog's message; otherwise the
// number stored in the settings is checked against its range.
using NumberTexts = std::map<std::string, std::string>;

// Every problem of the settings, in the dialog's order; empty when the settings may be used.
std::vector<SettingsProblem> CheckSettings(const settings::TConfig& config, const NumberTexts& typed = {});

// The refusal of a text typed for a checked number (section/key) that is no whole number, with the
// dialog's message; nothing when the text is a whole number or the key holds no checked number.
std::optional<SettingsProblem> CheckNumberText(std::string_view section, std::string_view key,
                                               std::string_view text);

// The text, trimmed of blanks, as a whole number: an optional sign and at least one ASCII digit,
// nothing else, within the range of the settings' 32-bit numbers ("12abc", "+", "" and "1e3" are not).
std::optional<std::int32_t> WholeNumber(std::string_view text);

} // namespace validation
