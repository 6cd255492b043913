// The settings dialog's checks before OK and before its tests. The rules and their messages are the
// program's one check of the settings (validation::CheckSettings), which the command-line tools and
// the service use as well; the dialog adds only where each problem is shown: its page and its control.
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "validation/SettingsCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

namespace gui {

namespace {

struct NumberBox
{
    const char* section;
    const char* key;
    QLineEdit* TfrmConfig::*box;
};

} // namespace

QWidget* TfrmConfig::ControlOf(const std::string& name) const
{
    const std::pair<const char*, QWidget*> controls[] = {
        {"Gateway.IP", txtRouterIP},
        {"GlobalIP.Key", txtGlobalIPkey},
        {"GlobalIP.EchoURL", txtEchoURL},
        {"GlobalIP.Source2", cboSource2},
        {"IPv6.Suffix", txtIpv6Suffix},
        {"FTP.Upload", chkFtpUpload},
        {"FTP.Server", txtFtpServer},
        {"FTP.Security", cboFtpSecurity},
        {"Config.ReplaceFolder", txtReplaceFolder},
        {"Config.ReplaceLink", txtReplaceLink},
        {"SMTP.Server", txtSmtpServer},
        {"SMTP.Security", cboSmtpSecurity},
        {"POP.Server", txtPopServer},
        {"POP.Security", cboPopSecurity},
        {"Config.MailAddress", txtMailAddress},
        {"Config.NoticeItem", chkNotice1},
        {"Config.Interval", txtCheckInterval},
        {"Config.TimeOut", txtTimeOut},
        {"FTP.Port", txtFtpPort},
        {"SMTP.Port", txtSmtpPort},
        {"POP.Port", txtPopPort},
        {"DDNS.Provider", cboDdnsProvider},
        {"DDNS.Hosts", txtDdnsHosts},
        {"DDNS.User", txtDdnsUser},
        {"DDNS.Pass", txtDdnsPass},
        {"DDNS.Token", txtDdnsToken},
        {"DDNS.Server", txtDdnsServer},
        {"DDNS.Records", cboDdnsRecords},
    };
    for (const auto& [key, control] : controls)
        if (name == key)
            return control;
    return nullptr;
}

void TfrmConfig::ShowProblem(const std::string& message, QWidget* control)
{
    m_ui.ShowWarning(message, Caption());
    // The page is whichever of the tabs holds the control, however deep (group boxes, scroll areas).
    for (QWidget* w = control; w; w = w->parentWidget()) {
        if (tabConfig->indexOf(w) >= 0) {
            tabConfig->setCurrentWidget(w);
            break;
        }
    }
    control->setFocus(Qt::OtherFocusReason);
}

bool TfrmConfig::ValidateEntries()
{
    // The values on screen, in a copy: the settings change only when OK goes through.
    settings::TConfig screen;
    settings::AssignSettings(screen, *m_config);
    TransferBack(screen);
    validation::NumberTexts typed;
    for (const auto& [name, box] :
         {std::pair{"Config.Interval", txtCheckInterval}, std::pair{"Config.TimeOut", txtTimeOut},
          std::pair{"FTP.Port", txtFtpPort}, std::pair{"SMTP.Port", txtSmtpPort},
          std::pair{"POP.Port", txtPopPort}})
        typed[name] = Cp(box->text());
    for (const validation::SettingsProblem& problem : validation::CheckSettings(screen, typed)) {
        // What only the file holds cannot be mended here; `quillmap settings check` names it.
        if (QWidget* control = ControlOf(problem.Name())) {
            ShowProblem(problem.message, control);
            return false;
        }
    }
    return true;
}

bool TfrmConfig::CheckNumberBoxes()
{
    const NumberBox boxes[] = {
        {"Config", "Interval", &TfrmConfig::txtCheckInterval},
        {"Config", "TimeOut", &TfrmConfig::txtTimeOut},
        {"FTP", "Port", &TfrmConfig::txtFtpPort},
        {"SMTP", "Port", &TfrmConfig::txtSmtpPort},
        {"POP", "Port", &TfrmConfig::txtPopPort},
    };
    for (const NumberBox& b : boxes) {
        QLineEdit* box = this->*b.box;
        if (const auto refusal = validation::CheckNumberText(b.section, b.key, Cp(box->text()))) {
            ShowProblem(refusal->message, box);
            return false;
        }
    }
    return true;
}

} // namespace gui
