#pragma once
// The main window "Quillmap" and the tray icon: the status page and the operation log on two tabs,
// the option boxes, the run, redisplay and close buttons, the status bar, the menus. The window is
// thin: every caption, enabled state and tick comes from the check cycle's view, and every click
// becomes a command of the cycle. Closing (menu, tray, close box) asks the cycle to close; the window
// goes only when the cycle reports that its closing run is over.

#include "core/CycleView.h"
#include "gui/ConfigDialogHost.h"
#include "gui/TrayIcon.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace core {
class CheckCycle;
class OperationLog;
} // namespace core
namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}

namespace gui {

class LogList;
class StatusPageView;

class TfrmMain : public QMainWindow, public ConfigDialogHost
{
    Q_OBJECT
public:
    // available: whether the desktop has a tray (tests choose; the program asks Qt).
    TfrmMain(core::CheckCycle& cycle, const core::OperationLog& log, platform::UserInterface& ui,
             TrayIcon::Availability available = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up: the cycle's start (settings, single instance, auto-run), the tray icon, and the
    // window shown unless it is to stay hidden and a tray can bring it back. False when another copy
    // runs and this one must end at once.
    bool FormCreate();

    // "設定(&O)..." edits the lent settings with this; true when the settings were saved. Without
    // an editor the menu item stays disabled.
    void SetSettingsEditor(std::function<bool(settings::TConfig&)> editor);
    // Where "ヘルプ(&H)" looks for index.html, in order (the program: beside the program file, then
    // <prefix>/share/doc/quillmap/help where the package puts it, then <prefix>/share/quillmap/help).
    void SetHelpFolders(QStringList folders) { m_helpFolders = std::move(folders); }
    // Puts another view on the status tab (the browser engine's live page, where the program carries
    // the engine); make gets the tab as the view's parent.
    void ReplaceStatusView(const std::function<std::unique_ptr<StatusPageView>(QWidget* parent)>& make);
    static QStringList DefaultHelpFolders();

    // Shows a status text that does not come from the cycle (the settings dialog's tests).
    void ShowStatusText(const std::string& cp932);

    TrayIcon& Tray() { return *m_tray; }

    // Tray menu and menu commands.
    void mnuShowClick();
    void cmdHideClick();
    void mnuConfigClick();
    void mnuAboutClick();
    void mnuHelpClick();
    // "終了(&X)" of the menu and of the tray, and the close box: the cycle's closing run.
    void RequestClose();

    // Places "ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ" at the top right, level with the tabs.
    void FormResize();

    // ConfigDialogHost
    bool FetchStatusPageForTest() override;
    std::string StatusHtml() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenus();
    void BuildTrayMenu();
    QWidget* BuildLogPage();
    QWidget* BuildBottomPanel();
    void ApplyView(const core::CycleView& view);
    void ApplyCurrentView();
    void OnClosed();
    void StartAtLoginClick(bool ticked);
    // The window's place and size: taken from the settings at start and when shown from the tray,
    // given to the cycle (which saves them with the settings) whenever the user moves or resizes it.
    void RestorePlacement();
    void RecordPlacement();

    core::CheckCycle& m_cycle;
    platform::UserInterface& m_ui;
    std::function<bool(settings::TConfig&)> m_settingsEditor;
    QStringList m_helpFolders;
    bool m_closedDone = false;
    bool m_placing = false;
    std::shared_ptr<const std::string> m_shownPage;

    QIcon m_idleIcon;
    QIcon m_runningIcon;

    QTabWidget* m_tabs = nullptr;
    QWidget* m_statusTab = nullptr;
    std::unique_ptr<StatusPageView> m_statusView;
    LogList* m_logList = nullptr;
    QCheckBox* m_chkRecLog = nullptr;
    QCheckBox* m_chkShowWindow = nullptr;
    QCheckBox* m_chkAutoRun = nullptr;
    QCheckBox* m_chkStartAtLogin = nullptr;
    QCheckBox* m_chkClosed = nullptr;
    QPushButton* m_cmdBrowse = nullptr;
    QPushButton* m_cmdStartChk = nullptr;
    QPushButton* m_cmdHide = nullptr;
    QLabel* m_statusPanel = nullptr;

    QAction* m_mnuHide = nullptr;
    QAction* m_mnuEnd = nullptr;
    QAction* m_mnuConfig = nullptr;
    QAction* m_mnuHelp = nullptr;
    QAction* m_mnuAbout = nullptr;

    QMenu* m_popupMenu = nullptr;
    QAction* m_mnuShow = nullptr;
    QAction* m_mnuStartChk = nullptr;
    QAction* m_mnuClosed = nullptr;
    QAction* m_mnuExit = nullptr;

    std::unique_ptr<TrayIcon> m_tray;
};

} // namespace gui
