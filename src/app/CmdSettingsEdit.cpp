// `quillmap settings edit`: the settings in the user's editor, checked before they are saved, as
// visudo checks. The settings file is written once, atomically and in its own form (Shift_JIS, CR LF,
// passwords scrambled), and only when every value passes; until then it stays as it was, and the text
// the user typed stays in its temporary file whenever it is not saved.
#include "app/SettingsEditText.h"
#include "app/SettingsText.h"
#include "app/SettingsTools.h"
#include "platform/Codepage.h"
#include "platform/EditorProcess.h"
#include "platform/SecretInput.h"
#include "settings/ConfigUnit.h"
#include "validation/SettingsCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <iostream>

namespace app {

namespace {

bool WriteText(QFile& file, const std::string& text)
{
    return file.resize(0) && file.seek(0) &&
           file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
           file.flush();
}

std::string ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// Yes only from a person at a terminal; a script gets No, so it never waits.
bool AskEditAgain()
{
    if (!platform::StdinIsTerminal())
        return false;
    std::cerr << "Edit again? [Y/n] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer.empty() || answer[0] == 'y' || answer[0] == 'Y';
}

// The edited text applied to the settings as they are in the file: what is wrong with it, printed.
bool EditedTextPasses(const std::string& text, settings::TConfig& config)
{
    settings::LoadSettings(config, nullptr);
    const EditedSettings edited = ApplySettingsText(text, config);
    for (const std::string& error : edited.errors)
        std::cerr << error << '\n';
    const std::vector<validation::SettingsProblem> problems = validation::CheckSettings(config, edited.typed);
    for (const validation::SettingsProblem& p : problems)
        std::cerr << p.Name() << ": " << platform::Cp932ToUtf8(p.message) << '\n';
    std::cerr.flush();
    return edited.errors.empty() && problems.empty();
}

} // namespace

int SettingsEdit(const QStringList& args)
{
    if (!args.isEmpty()) {
        Complain("usage: quillmap settings edit");
        return kSettingsRefused;
    }
    const std::string path = settings::SettingsFilePath();
    settings::TConfig shown;
    settings::LoadSettings(shown, nullptr);
    const std::string original = RenderSettingsText(shown, path);

    QTemporaryFile draft(QDir::temp().filePath(QStringLiteral("quillmap-settings-XXXXXX.ini")));
    if (!draft.open() || !WriteText(draft, original)) {
        Complain("cannot write a temporary file in " + QDir::tempPath().toStdString());
        return kSettingsFailed;
    }
    const std::string draftPath = QFile::encodeName(draft.fileName()).toStdString();
    for (;;) {
        const int status = platform::RunEditor(draftPath);
        const std::string text = ReadText(draft.fileName());
        if (status != 0) {
            draft.setAutoRemove(text == original);
            Complain("the editor (" + platform::EditorCommand() + ") failed with status " +
                     std::to_string(status) + "; nothing was saved" +
                     (text == original ? "" : "; your text is kept in " + draftPath));
            return kSettingsFailed;
        }
        if (text == original) {
            std::cerr << "quillmap settings: no change" << std::endl;
            return kSettingsDone;
        }
        settings::TConfig edited;
        if (EditedTextPasses(text, edited)) {
            try {
                settings::SaveSettings(edited, settings::SaveScope::All);
            } catch (const settings::SettingsWriteError& e) {
                draft.setAutoRemove(false);
                Complain(platform::Cp932ToUtf8(e.what()) + "; your text is kept in " + draftPath);
                return kSettingsFailed;
            }
            std::cerr << "quillmap settings: saved " << path << std::endl;
            return kSettingsDone;
        }
        if (!AskEditAgain()) {
            draft.setAutoRemove(false);
            Complain("nothing was saved; the settings file is unchanged and your text is kept in " +
                     draftPath);
            return kSettingsFailed;
        }
    }
}

} // namespace app
