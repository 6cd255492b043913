// `quillmap settings [--save] [--show-passwords]`: loads the settings of the program's folder and
// prints every field as "Section/Key=value" in UTF-8; --save also writes them back with scope All, so
// a new program folder gets a complete Quillmap.ini. `quillmap settings get|set|unset|check|edit|names`
// are the sub-commands of SettingsTools.h.
#include "app/Commands.h"
#include "app/SettingsText.h"
#include "app/SettingsTools.h"
#include "platform/Codepage.h"
#include "platform/TerminalUserInterface.h"
#include "settings/ConfigFields.h"
#include "settings/ConfigUnit.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace app {

namespace {

// One field per line: control characters (the notice text has line breaks) are shown escaped.
std::string Printable(const std::string& utf8)
{
    std::string out;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else
            out += c;
    }
    return out;
}

std::string FieldValue(const settings::TConfig& config, const settings::ConfigField& field,
                       bool showPasswords)
{
    // The list form keeps its own short mask; the value itself is the one the settings tools show.
    if (field.coding == settings::FieldCoding::Password && !showPasswords &&
        std::holds_alternative<settings::TextMember>(field.member) &&
        !(config.*std::get<settings::TextMember>(field.member)).empty())
        return "****";
    return Printable(FieldText(config, field, true));
}

int PrintNames(const QStringList& args)
{
    if (!args.isEmpty()) {
        Complain("names takes no arguments");
        return kSettingsRefused;
    }
    for (const settings::ConfigField& field : settings::ConfigFields())
        std::cout << FieldName(field) << '\n';
    std::cout.flush();
    return kSettingsDone;
}

int PrintAll(const QStringList& args)
{
    bool save = false;
    bool showPasswords = false;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--save"))
            save = true;
        else if (arg == QLatin1String("--show-passwords"))
            showPasswords = true;
        else {
            std::cerr << "quillmap settings: unknown argument: " << arg.toStdString()
                      << " (use get, set, unset, check, edit, names, --save, --show-passwords; see "
                         "quillmap settings --help)"
                      << std::endl;
            return 1; // as the list has always answered it
        }
    }

    platform::TerminalUserInterface ui;
    settings::TConfig config;
    settings::LoadSettings(config, &ui);
    for (const settings::ConfigField& field : settings::ConfigFields())
        std::cout << field.section << '/' << field.key << '=' << FieldValue(config, field, showPasswords)
                  << '\n';
    // The certificates the user chose to trust, one key each.
    for (const auto& [key, fingerprint] : config.TrustedCertificates)
        std::cout << "Security/" << Printable(platform::Cp932ToUtf8(key)) << '=' << fingerprint << '\n';
    std::cout.flush();

    if (save) {
        try {
            settings::SaveSettings(config, settings::SaveScope::All);
        } catch (const settings::SettingsWriteError& e) {
            std::cerr << "quillmap: " << platform::Cp932ToUtf8(e.what()) << std::endl;
            return 1;
        }
    }
    return 0;
}

int Run(const QStringList& args)
{
    const std::pair<const char*, int (*)(const QStringList&)> tools[] = {
        {"get", &SettingsGet},     {"set", &SettingsSet},   {"unset", &SettingsUnset},
        {"check", &SettingsCheck}, {"edit", &SettingsEdit}, {"names", &PrintNames},
    };
    if (!args.isEmpty())
        for (const auto& [name, tool] : tools)
            if (args.first() == QLatin1String(name))
                return tool(args.mid(1));
    return PrintAll(args);
}

const CommandRegistration registration({"settings",
                                        "Show, change and check the settings (get, set, unset, check, edit; "
                                        "alone: print them all).",
                                        &Run});

} // namespace

} // namespace app
