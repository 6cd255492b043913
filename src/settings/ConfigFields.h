#pragma once
// Every field of TConfig with its place in the settings file, its stored form and its default, in
// declaration order. Loading walks this table; saving, copying and the settings command look fields
// up in it, so a field cannot be forgotten by one of them.

#include "settings/ConfigUnit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace settings {

enum class FieldCoding {
    Text,           // stored as it is
    Integer,        // flags and numbers, decimal
    Password,       // ScrambleText with the key of its service
    Base64,         // always Base64
    Base64Since1_2, // Base64 in files newer than "1.1", plain text before
    Keywords,       // a list joined with ","
};

using TextMember = std::string TConfig::*;
using IntegerMember = std::int32_t TConfig::*;
using ListMember = std::unique_ptr<text::StringList> TConfig::*;
using FieldMember = std::variant<TextMember, IntegerMember, ListMember>;

struct ConfigField
{
    const char* section;
    const char* key;
    FieldCoding coding;
    FieldMember member;
    // Default of a missing key. For texts, nullptr means "worked out while loading" (MailAddressFrom
    // defaults to the address just read); a leading "~/" stands for the home folder.
    const char* defaultText = nullptr;
    std::int32_t defaultInteger = 0;
    // An empty stored value also gives the default.
    bool emptyMeansDefault = false;
    // PasswordService of a password.
    int service = -1;
    // Written only when the value differs from the default or the file holds the key already, so a
    // file that never used the setting stays what older releases wrote.
    bool writtenWhenSet = false;
};

// Declaration order of TConfig.
const std::vector<ConfigField>& ConfigFields();

// The field stored under section/key (exact spelling as in the table); throws std::logic_error when
// there is none.
const ConfigField& FindConfigField(std::string_view section, std::string_view key);

// The text a missing key of a text field reads as: the table's default with "~/" made the home folder,
// or for MailAddressFrom the address config holds.
std::string FieldDefaultText(const ConfigField& field, const TConfig& config);

} // namespace settings
