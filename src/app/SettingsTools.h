#pragma once
// The sub-commands of `quillmap settings` (get, set, unset, check, edit, names). Each takes the
// arguments after its name and returns the exit status: 0 done, 1 the file could not be read or
// written (or, for check, the settings have problems), 2 a refused name, value or usage.

#include <QStringList>
#include <string>
#include <vector>

namespace settings {
struct ConfigField;
}

namespace app {

constexpr int kSettingsDone = 0;
constexpr int kSettingsFailed = 1;
constexpr int kSettingsRefused = 2;

int SettingsGet(const QStringList& args);
int SettingsSet(const QStringList& args);
int SettingsUnset(const QStringList& args);
int SettingsCheck(const QStringList& args);
int SettingsEdit(const QStringList& args);

// The field a name means, or null after telling the user the close names (standard error).
const settings::ConfigField* FieldOrComplain(const QString& name);

// Splits arguments into the options given (of those known) and the rest; "--" ends the options.
// False (after telling the user) for an option it does not know.
bool SplitOptions(const QStringList& args, const QStringList& known, QStringList& options, QStringList& rest,
                  const char* tool);

// "quillmap settings: " before a line on standard error.
void Complain(const std::string& utf8);

} // namespace app
