// `quillmap settings get|set|unset|check`: one setting at a time, on the rules of the settings dialog.
// A change is saved as the dialog's OK saves (every key in the file's own form, passwords scrambled),
// and only when it brings in no problem that the settings did not have before.
#include "app/SettingsText.h"
#include "app/SettingsTools.h"
#include "platform/Codepage.h"
#include "platform/ProfileFile.h"
#include "platform/SecretInput.h"
#include "settings/ConfigFields.h"
#include "settings/ConfigUnit.h"
#include "validation/SettingsCheck.h"

#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <iostream>

namespace app {

namespace {

using settings::ConfigField;
using validation::SettingsProblem;

void PrintProblems(const std::vector<SettingsProblem>& problems, std::ostream& out)
{
    for (const SettingsProblem& p : problems)
        out << p.Name() << ": " << platform::Cp932ToUtf8(p.message) << '\n';
    out.flush();
}

// A secret comes from standard input (--stdin) or from the terminal, typed twice without echo.
std::optional<std::string> ReadSecret(const ConfigField& field, bool fromStdin)
{
    if (fromStdin)
        return platform::ReadSecretFromStdin();
    if (!platform::StdinIsTerminal()) {
        Complain(FieldName(field) + " is read from a terminal or, with --stdin, from standard input");
        return std::nullopt;
    }
    const auto first = platform::ReadSecretFromTerminal(FieldName(field) + ": ");
    if (!first)
        return std::nullopt;
    const auto again = platform::ReadSecretFromTerminal(FieldName(field) + " (again): ");
    if (!again || *again != *first) {
        Complain("the two entries differ; nothing changed");
        return std::nullopt;
    }
    return first;
}

// The value of `set`: a secret is never taken from the command line, where the process list and the
// shell's history would keep it.
std::optional<std::string> ValueToSet(const ConfigField& field, const QStringList& rest, bool fromStdin)
{
    if (IsSecret(field)) {
        if (rest.size() > 1) {
            Complain(FieldName(field) + " is never given on the command line: type it at the prompt, or "
                                        "pipe it in with --stdin");
            return std::nullopt;
        }
        return ReadSecret(field, fromStdin);
    }
    if (fromStdin && rest.size() == 1)
        return platform::ReadSecretFromStdin();
    if (rest.size() != 2 || fromStdin) {
        Complain("usage: quillmap settings set SECTION.KEY VALUE (or --stdin; see --help)");
        return std::nullopt;
    }
    return rest[1].toStdString();
}

// The change is refused when it brings in a problem, or leaves one on the key changed; what was wrong
// elsewhere before stays the user's to mend (a set-up goes one key at a time).
bool ChangeAccepted(const std::vector<SettingsProblem>& before, const settings::TConfig& changed,
                    const ConfigField& field, const validation::NumberTexts& typed)
{
    const std::vector<SettingsProblem> after = validation::CheckSettings(changed, typed);
    std::vector<SettingsProblem> added;
    for (const SettingsProblem& p : after)
        if (p.Name() == FieldName(field) || std::find(before.begin(), before.end(), p) == before.end())
            added.push_back(p);
    if (added.empty())
        return true;
    PrintProblems(added, std::cerr);
    std::cerr << "quillmap settings: not saved; the settings file is unchanged" << std::endl;
    return false;
}

int SaveOrComplain(const std::function<void()>& save)
{
    try {
        save();
    } catch (const settings::SettingsWriteError& e) {
        Complain(platform::Cp932ToUtf8(e.what()));
        return kSettingsFailed;
    }
    return kSettingsDone;
}

} // namespace

void Complain(const std::string& utf8)
{
    std::cerr << "quillmap settings: " << utf8 << std::endl;
}

bool SplitOptions(const QStringList& args, const QStringList& known, QStringList& options, QStringList& rest,
                  const char* tool)
{
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (!optionsEnded && arg == QLatin1String("--"))
            optionsEnded = true;
        else if (!optionsEnded && arg.startsWith(QLatin1String("--")) && known.contains(arg))
            options << arg;
        else if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            Complain(std::string(tool) + ": unknown option " + arg.toStdString() + " (see --help)");
            return false;
        } else
            rest << arg;
    }
    return true;
}

const ConfigField* FieldOrComplain(const QString& name)
{
    if (const ConfigField* field = FindFieldByName(name.toStdString()))
        return field;
    std::string message = "no setting is called " + name.toStdString();
    const std::vector<std::string> close = CloseNames(name.toStdString());
    if (!close.empty()) {
        message += "; did you mean";
        for (size_t i = 0; i < close.size(); ++i)
            message += (i == 0 ? " " : ", ") + close[i];
        message += "?";
    }
    Complain(message + " (quillmap settings names lists them all)");
    return nullptr;
}

int SettingsGet(const QStringList& args)
{
    QStringList options, rest;
    if (!SplitOptions(args, {QStringLiteral("--show-passwords")}, options, rest, "get"))
        return kSettingsRefused;
    if (rest.size() != 1) {
        Complain("usage: quillmap settings get [--show-passwords] SECTION.KEY");
        return kSettingsRefused;
    }
    const ConfigField* field = FieldOrComplain(rest.first());
    if (!field)
        return kSettingsRefused;
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    std::cout << FieldText(config, *field, !options.isEmpty()) << std::endl;
    return kSettingsDone;
}

int SettingsSet(const QStringList& args)
{
    QStringList options, rest;
    if (!SplitOptions(args, {QStringLiteral("--stdin")}, options, rest, "set"))
        return kSettingsRefused;
    if (rest.isEmpty()) {
        Complain("usage: quillmap settings set SECTION.KEY VALUE (or --stdin; see --help)");
        return kSettingsRefused;
    }
    const ConfigField* field = FieldOrComplain(rest.first());
    if (!field)
        return kSettingsRefused;
    if (IsProgramOwned(*field)) {
        Complain(FieldName(*field) + " is written by the program itself");
        return kSettingsRefused;
    }
    const std::optional<std::string> value = ValueToSet(*field, rest, !options.isEmpty());
    if (!value)
        return kSettingsRefused;

    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    const std::vector<SettingsProblem> before = validation::CheckSettings(config);
    if (const std::optional<std::string> error = SetFieldText(config, *field, *value)) {
        // A number the dialog has a box for is refused in the dialog's words.
        const auto refusal = validation::CheckNumberText(field->section, field->key, *value);
        Complain(refusal ? FieldName(*field) + ": " + platform::Cp932ToUtf8(refusal->message) : *error);
        return kSettingsRefused;
    }
    if (!ChangeAccepted(before, config, *field, {{FieldName(*field), platform::Utf8ToCp932(*value)}}))
        return kSettingsRefused;
    return SaveOrComplain([&config] { settings::SaveSettings(config, settings::SaveScope::All); });
}

int SettingsUnset(const QStringList& args)
{
    if (args.size() != 1 || args.first().startsWith(u'-')) {
        Complain("usage: quillmap settings unset SECTION.KEY");
        return kSettingsRefused;
    }
    const ConfigField* field = FieldOrComplain(args.first());
    if (!field)
        return kSettingsRefused;
    if (IsProgramOwned(*field)) {
        Complain(FieldName(*field) + " is written by the program itself");
        return kSettingsRefused;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    const std::vector<SettingsProblem> before = validation::CheckSettings(config);
    SetFieldDefault(config, *field);
    if (!ChangeAccepted(before, config, *field, {}))
        return kSettingsRefused;
    // A password stays in the file with its default: a missing one would read as a scrambled text.
    if (IsSecret(*field))
        return SaveOrComplain([&config] { settings::SaveSettings(config, settings::SaveScope::All); });
    return SaveOrComplain(
        [&config, field] { settings::SaveSettingsWithout(config, field->section, field->key); });
}

int SettingsCheck(const QStringList& args)
{
    if (!args.isEmpty()) {
        Complain("usage: quillmap settings check");
        return kSettingsRefused;
    }
    const QString path = QString::fromStdString(settings::SettingsFilePath());
    platform::ProfileFile file(path);
    const platform::ProfileFile::LoadResult loaded = file.Load();
    if (loaded == platform::ProfileFile::LoadResult::Unreadable) {
        Complain("cannot read " + path.toStdString());
        return kSettingsFailed;
    }
    if (loaded == platform::ProfileFile::LoadResult::Missing)
        Complain("there is no settings file yet (" + path.toStdString() + "); the defaults were checked");
    // Loading reads a number that is no number as its default; the check names it instead.
    validation::NumberTexts typed;
    for (const ConfigField& f : settings::ConfigFields()) {
        std::int32_t ignored = 0;
        const std::string stored = file.ReadString(f.section, f.key, {});
        if (f.coding == settings::FieldCoding::Integer && file.HasValue(f.section, f.key) &&
            !platform::ProfileFile::ParseInteger(stored, ignored))
            typed[FieldName(f)] = stored;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    const std::vector<SettingsProblem> problems = validation::CheckSettings(config, typed);
    PrintProblems(problems, std::cout);
    return problems.empty() ? kSettingsDone : kSettingsFailed;
}

} // namespace app
