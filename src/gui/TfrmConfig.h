#pragma once
// The settings dialog "設定": three pages of settings with their enable rules, the validation on OK,
// the corrections when a box is left, and the test buttons (router address, status page, address
// search with the key picker, FTP connection, test mail). It edits the one settings object that the
// main window lends it, in place, and saves it whole on OK.

#include <QDialog>

namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}

namespace gui {

class ConfigDialogHost;

class TfrmConfig : public QDialog
{
    Q_OBJECT
public:
    TfrmConfig(ConfigDialogHost& host, platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmConfig() override;

    // Fills the controls from config, shows the dialog modally and gives the object back when it
    // closes. True when it ended with OK, that is, with the screen values saved into config and into
    // the settings file.
    bool Edit(settings::TConfig& config);
};

} // namespace gui
