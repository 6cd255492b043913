#include "app/SettingsEditText.h"

#include "app/SettingsText.h"
#include "platform/Codepage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

namespace app {

namespace {

using settings::ConfigField;

constexpr std::string_view kHidden = "********";

bool NeedsQuotes(const std::string& value)
{
    if (value.empty())
        return false;
    if (value.front() == ' ' || value.back() == ' ' || value.front() == '"')
        return true;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string Quoted(const std::string& value)
{
    std::string out = "\"";
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"')
            out += std::string("\\") + c;
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else
            out += c;
    }
    return out + "\"";
}

// The value of a quoted text; nothing when an escape is broken.
std::optional<std::string> Unquoted(std::string_view q)
{
    std::string out;
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] != '\\') {
            out += q[i];
            continue;
        }
        if (++i + 1 >= q.size())
            return std::nullopt;
        const char e = q[i];
        if (e == 'n' || e == 'r' || e == 't')
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : '\t';
        else if (e == '\\' || e == '"')
            out += e;
        else if (e == 'x' && i + 3 < q.size()) {
            const std::string hex(q.substr(i + 1, 2));
            char* end = nullptr;
            const long b = std::strtol(hex.c_str(), &end, 16);
            if (end != hex.c_str() + 2)
                return std::nullopt;
            out += static_cast<char>(b);
            i += 2;
        } else
            return std::nullopt;
    }
    return out;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

struct Context
{
    settings::TConfig& config;
    EditedSettings& result;
    std::set<const ConfigField*> seen;
};

void ApplyLine(Context& ctx, const std::string& section, std::string_view line, size_t number)
{
    const auto error = [&](const std::string& what) {
        ctx.result.errors.push_back("line " + std::to_string(number) + ": " + what);
    };
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || section.empty())
        return error(section.empty() ? "a setting before the first [Section]" : "no \"=\" in this line");
    const std::string key(Trim(line.substr(0, equals)));
    const std::string_view raw = Trim(line.substr(equals + 1));
    const ConfigField* field = FindFieldByName(section + "." + key);
    if (!field)
        return error("no setting is called " + section + "." + key);
    if (IsProgramOwned(*field))
        return error(FieldName(*field) + " is written by the program itself");
    if (!ctx.seen.insert(field).second)
        return error(FieldName(*field) + " is given twice");
    std::optional<std::string> value = std::string(raw);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        value = Unquoted(raw);
    if (!value)
        return error("a broken escape in the quoted value of " + FieldName(*field));
    if (IsSecret(*field) && *value == kHidden)
        return; // kept as it is
    if (validation::CheckNumberText(field->section, field->key, *value)) {
        ctx.result.typed[FieldName(*field)] = platform::Utf8ToCp932(*value);
        return;
    }
    if (const auto problem = SetFieldText(ctx.config, *field, *value))
        error(*problem);
}

} // namespace

std::string RenderSettingsText(const settings::TConfig& config, const std::string& path)
{
    std::ostringstream out;
    out << "# Quillmap settings: " << path << "\n"
        << "# Change the values, save and quit the editor. The settings file is written only when every\n"
        << "# value passes the check (the settings dialog's rules); otherwise you may edit again.\n"
        << "# Passwords show as " << kHidden << " and stay as they are unless you type a new one.\n"
        << "# A line taken out keeps its value; `quillmap settings unset` gives a key its default.\n"
        << "# Lines beginning with # are not read. About.Version is written by the program.\n";
    // Each section once, in the order the table first names it.
    std::vector<std::string_view> sections;
    for (const ConfigField& field : settings::ConfigFields())
        if (!IsProgramOwned(field) &&
            std::find(sections.begin(), sections.end(), field.section) == sections.end())
            sections.push_back(field.section);
    for (const std::string_view section : sections) {
        out << "\n[" << section << "]\n";
        for (const ConfigField& field : settings::ConfigFields()) {
            if (field.section != section || IsProgramOwned(field))
                continue;
            // An empty secret shows empty, so that it is plain what is still to be filled in.
            const bool unset = IsSecret(field) && FieldText(config, field, true).empty();
            const std::string value = unset ? std::string() : FieldText(config, field, false);
            out << field.key << " = " << (NeedsQuotes(value) ? Quoted(value) : value) << "\n";
        }
    }
    return out.str();
}

EditedSettings ApplySettingsText(const std::string& text, settings::TConfig& config)
{
    EditedSettings result;
    Context ctx{config, result, {}};
    std::istringstream in(text);
    std::string section;
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        const std::string_view t = Trim(line);
        if (t.empty() || t.front() == '#' || t.front() == ';')
            continue;
        if (t.front() == '[' && t.back() == ']')
            section = std::string(Trim(t.substr(1, t.size() - 2)));
        else
            ApplyLine(ctx, section, t, number);
    }
    return result;
}

} // namespace app
