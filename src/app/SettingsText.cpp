#include "app/SettingsText.h"

#include "platform/Codepage.h"
#include "validation/SettingsCheck.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <numeric>

namespace app {

namespace {

using settings::ConfigField;
using settings::FieldCoding;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return s;
}

// Edits between two names (insert, delete, replace one letter).
size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Normalised(const std::string& name)
{
    std::string n = Lower(name);
    std::replace(n.begin(), n.end(), '/', '.');
    return n;
}

} // namespace

std::string FieldName(const ConfigField& field)
{
    return std::string(field.section) + "." + field.key;
}

const ConfigField* FindFieldByName(const std::string& name)
{
    const std::string wanted = Normalised(name);
    for (const ConfigField& f : settings::ConfigFields())
        if (Lower(FieldName(f)) == wanted)
            return &f;
    return nullptr;
}

std::vector<std::string> CloseNames(const std::string& name)
{
    const std::string wanted = Normalised(name);
    const size_t dot = wanted.find('.');
    const std::string keyPart = dot == std::string::npos ? wanted : wanted.substr(dot + 1);
    std::vector<std::pair<size_t, std::string>> scored;
    for (const ConfigField& f : settings::ConfigFields()) {
        const std::string candidate = Lower(FieldName(f));
        const size_t d = Distance(wanted, candidate);
        // Close by spelling, or the same key under another section ("Server" of FTP, SMTP, POP).
        const bool sameKey = !keyPart.empty() && Lower(f.key) == keyPart;
        if (d <= std::max<size_t>(2, wanted.size() / 4) || sameKey)
            scored.emplace_back(sameKey ? std::min<size_t>(d, 1) : d, FieldName(f));
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (const auto& [score, n] : scored)
        if (names.size() < 6)
            names.push_back(n);
    return names;
}

bool IsSecret(const ConfigField& field)
{
    return field.coding == FieldCoding::Password;
}

bool IsProgramOwned(const ConfigField& field)
{
    return std::string_view(field.section) == "About" && std::string_view(field.key) == "Version";
}

std::string FieldText(const settings::TConfig& config, const ConfigField& field, bool showSecrets)
{
    using namespace settings;
    if (const auto* number = std::get_if<IntegerMember>(&field.member))
        return std::to_string(config.**number);
    if (const auto* list = std::get_if<ListMember>(&field.member)) {
        std::string joined;
        if (config.**list)
            for (const std::string& item : *(config.**list))
                joined += (joined.empty() ? "" : ",") + item;
        return platform::Cp932ToUtf8(joined);
    }
    const std::string& value = config.*std::get<TextMember>(field.member);
    if (IsSecret(field) && !showSecrets)
        return "********";
    return platform::Cp932ToUtf8(value);
}

Cp932Conversion StrictCp932(const std::string& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    Cp932Conversion result;
    // Each character on its own: one that has no form in code page 932 becomes "?" there, and a "?" that
    // was typed stays one.
    for (const char32_t c : text.toUcs4()) {
        const std::string one = QString::fromUcs4(&c, 1).toStdString();
        const std::string converted = platform::Utf8ToCp932(one);
        if (c != U'?' && converted.find('?') != std::string::npos) {
            result.missing = one;
            return result;
        }
        result.cp932 += converted;
    }
    return result;
}

std::optional<std::string> SetFieldText(settings::TConfig& config, const ConfigField& field,
                                        const std::string& utf8)
{
    using namespace settings;
    if (const auto* number = std::get_if<IntegerMember>(&field.member)) {
        const std::optional<std::int32_t> value = validation::WholeNumber(utf8);
        if (!value)
            return FieldName(field) + " takes a whole number, not \"" + utf8 + "\"";
        config.** number = *value;
        return std::nullopt;
    }
    const Cp932Conversion converted = StrictCp932(utf8);
    if (!converted.missing.empty())
        return "\"" + converted.missing + "\" has no Shift_JIS form and cannot be stored in " +
               FieldName(field) + " (the settings file is Shift_JIS, as the Windows program reads it)";
    if (const auto* list = std::get_if<ListMember>(&field.member)) {
        // Items are separated by "," as the file stores them; an empty value is an empty list.
        config.** list = std::make_unique<text::StringList>(
            converted.cp932.empty() ? text::StringList{} : text::SplitText(converted.cp932, ",", false));
        return std::nullopt;
    }
    config.*std::get<TextMember>(field.member) = converted.cp932;
    return std::nullopt;
}

void SetFieldDefault(settings::TConfig& config, const ConfigField& field)
{
    using namespace settings;
    if (const auto* number = std::get_if<IntegerMember>(&field.member))
        config.** number = field.defaultInteger;
    else if (const auto* list = std::get_if<ListMember>(&field.member))
        config.** list = std::make_unique<text::StringList>();
    else
        config.*std::get<TextMember>(field.member) = FieldDefaultText(field, config);
}

} // namespace app
