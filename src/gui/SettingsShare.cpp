#include "gui/SettingsShare.h"

#include "core/Version.h"
#include "platform/UserInterface.h"

#include <QDialog>

namespace gui {

bool SaveSettingsShare(platform::UserInterface& ui, settings::TConfig& config, settings::SaveScope scope,
                       const std::function<void(settings::TConfig&)>& write)
{
    settings::TConfig edited;
    settings::AssignSettings(edited, config);
    edited.Version = config.Version;
    edited.PrevIP = config.PrevIP;
    edited.PrevIPv6 = config.PrevIPv6;
    write(edited);
    try {
        settings::SaveSettings(edited, scope);
    } catch (const settings::SettingsWriteError& error) {
        ui.ShowWarning(error.what(), core::kProgramTitle);
        return false;
    }
    write(config);
    return true;
}

const text::StringList& ListOrEmpty(const std::unique_ptr<text::StringList>& list)
{
    static const text::StringList empty;
    return list ? *list : empty;
}

bool ShowShareDialog(QDialog& dialog, settings::TConfig*& held, settings::TConfig& config)
{
    held = &config;
    const bool saved = dialog.exec() == QDialog::Accepted;
    held = nullptr;
    return saved;
}

} // namespace gui
