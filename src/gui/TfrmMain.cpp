#include "gui/TfrmMain.h"

#include "core/OperationLog.h"
#include "core/Version.h"
#include "cycle/CheckCycle.h"
#include "gui/AppIcons.h"
#include "gui/LogList.h"
#include "gui/QtText.h"
#include "gui/StatusPageView.h"
#include "gui/TfrmAbout.h"
#include "platform/Autostart.h"
#include "platform/ProgramFolder.h"
#include "platform/UserInterface.h"
#include "text/Sjis.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace gui {

namespace {

constexpr int kInitialWidth = 573;
constexpr int kInitialHeight = 453;
// "ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ" keeps this far from the right edge, and never goes left of kClosedBoxLeftMost
// (where it would cover the tabs).
constexpr int kClosedBoxRightGap = 4;
constexpr int kClosedBoxLeftMost = 120;

QAction* NewAction(QObject* parent, const char* name, std::u8string_view caption)
{
    auto* action = new QAction(J(caption), parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The run button's caption: blue to start, red to stop, in shades that read on the button's own
// colour (a dark palette gets light ones). Only the active and inactive states get them: a disabled
// button keeps the palette's disabled text, so it looks disabled.
QPalette RunButtonPalette(const QPalette& base, bool monitoring)
{
    const bool dark = base.color(QPalette::Active, QPalette::Button).lightness() < 128;
    const QColor caption = monitoring ? (dark ? QColor(0xff, 0x8c, 0x8c) : QColor(0xd0, 0x00, 0x00))
                                      : (dark ? QColor(0x8c, 0xb4, 0xff) : QColor(0x00, 0x00, 0xe0));
    QPalette palette = base;
    palette.setColor(QPalette::Active, QPalette::ButtonText, caption);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, caption);
    return palette;
}

// A box ticked from the view shows the view; what the user ticks goes to the cycle, which answers
// with a new view (or not, when it ignores the change, and then the view is applied again).
void SetTick(QCheckBox* box, bool ticked)
{
    if (box->isChecked() != ticked)
        box->setChecked(ticked);
}

} // namespace

TfrmMain::TfrmMain(core::CheckCycle& cycle, const core::OperationLog& log, platform::UserInterface& ui,
                   TrayIcon::Availability available, QWidget* parent)
    : QMainWindow(parent), m_cycle(cycle), m_ui(ui), m_helpFolders(DefaultHelpFolders()),
      m_idleIcon(ProgramIcon(false)), m_runningIcon(ProgramIcon(true))
{
    setObjectName(QStringLiteral("frmMain"));
    // A close box only: the window closes to the tray with "閉じる(&C)", and the close box ends
    // the program.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(m_idleIcon);
    setWindowTitle(QString::fromLatin1(core::kProgramTitle));

    BuildMenus();
    BuildTrayMenu();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlMain"));
    m_tabs = Named(new QTabWidget(central), "PageControl1");
    m_statusTab = Named(new QWidget(m_tabs), "tabStatus");
    m_statusView = MakeStatusPageView(m_statusTab);
    auto* statusLayout = new QVBoxLayout(m_statusTab);
    statusLayout->setContentsMargins(2, 2, 2, 2);
    statusLayout->addWidget(m_statusView->Widget());
    m_tabs->addTab(m_statusTab, J(u8"ｽﾃｰﾀｽ"));
    m_tabs->addTab(BuildLogPage(), J(u8"動作ﾛｸﾞ"));
    // The list is made here, so it shows the rows that the log holds already.
    m_logList = new LogList(log, m_tabs->widget(1));
    static_cast<QVBoxLayout*>(m_tabs->widget(1)->layout())->insertWidget(0, m_logList, 1);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(BuildBottomPanel());
    setCentralWidget(central);

    // Level with the tabs, placed by FormResize rather than by a layout.
    m_chkClosed = Named(new QCheckBox(J(u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ"), central), "chkClosed");
    m_chkClosed->raise();
    // Tab reaches it where it stands, at the top with the tabs, not after the buttons at the bottom.
    QWidget::setTabOrder(m_tabs, m_chkClosed);
    connect(m_chkClosed, &QCheckBox::clicked, this, [this](bool ticked) {
        m_cycle.SetClosingUpload(ticked);
        ApplyCurrentView();
    });

    // One line of text high even while empty, so the bar never shrinks to a strip.
    m_statusPanel = Named(new QLabel(this), "pnlStatus");
    m_statusPanel->setMinimumHeight(m_statusPanel->fontMetrics().height() + 2);
    m_statusPanel->setTextFormat(Qt::PlainText);
    // A long file name is cut at the window's edge rather than widening the window.
    m_statusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_statusPanel, 1);

    m_tray = std::make_unique<TrayIcon>(m_popupMenu, std::move(available));
    connect(m_tray.get(), &TrayIcon::clicked, this, &TfrmMain::mnuShowClick);

    connect(&m_cycle, &core::CheckCycle::viewChanged, this, &TfrmMain::ApplyView);
    connect(&m_cycle, &core::CheckCycle::closed, this, &TfrmMain::OnClosed);

    // The first size, or larger where the fonts need it: nothing is cut by the window's edge.
    resize(QSize(kInitialWidth, kInitialHeight).expandedTo(minimumSizeHint()));
    ApplyCurrentView();
    FormResize();
}

TfrmMain::~TfrmMain()
{
    // FormDestroy: the icon leaves the tray with the window.
    m_tray->Remove();
}

void TfrmMain::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(J(u8"ファイル(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_mnuHide = NewAction(this, "mnuHide", u8"閉じる(&C)");
    m_mnuEnd = NewAction(this, "mnuEnd", u8"終了(&X)");
    file->addAction(m_mnuHide);
    file->addSeparator();
    file->addAction(m_mnuEnd);

    QMenu* tools = menuBar()->addMenu(J(u8"ツール(&T)"));
    tools->setObjectName(QStringLiteral("mnuTool"));
    m_mnuConfig = NewAction(this, "mnuConfig", u8"設定(&O)...");
    tools->addAction(m_mnuConfig);

    QMenu* help = menuBar()->addMenu(J(u8"ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("mnuHelpMenu"));
    m_mnuHelp = NewAction(this, "mnuHelp", u8"ヘルプ(&H)");
    m_mnuAbout = NewAction(this, "mnuAbout", u8"バージョン情報(&A)");
    help->addAction(m_mnuHelp);
    help->addSeparator();
    help->addAction(m_mnuAbout);

    connect(m_mnuHide, &QAction::triggered, this, &TfrmMain::cmdHideClick);
    connect(m_mnuEnd, &QAction::triggered, this, &TfrmMain::RequestClose);
    connect(m_mnuConfig, &QAction::triggered, this, &TfrmMain::mnuConfigClick);
    connect(m_mnuHelp, &QAction::triggered, this, &TfrmMain::mnuHelpClick);
    connect(m_mnuAbout, &QAction::triggered, this, &TfrmMain::mnuAboutClick);
}

void TfrmMain::BuildTrayMenu()
{
    m_popupMenu = Named(new QMenu(this), "PopupMenu1");
    m_mnuShow = NewAction(m_popupMenu, "mnuShow", u8"表示(&V)");
    m_mnuStartChk = NewAction(m_popupMenu, "mnuStartChk", u8"実行(&E)");
    m_mnuClosed = NewAction(m_popupMenu, "mnuClosed", u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ(&L)");
    m_mnuClosed->setCheckable(true);
    m_mnuExit = NewAction(m_popupMenu, "mnuExit", u8"終了(&X)");
    m_popupMenu->addAction(m_mnuShow);
    m_popupMenu->addAction(m_mnuStartChk);
    m_popupMenu->addSeparator();
    m_popupMenu->addAction(m_mnuClosed);
    m_popupMenu->addSeparator();
    m_popupMenu->addAction(m_mnuExit);

    connect(m_mnuShow, &QAction::triggered, this, &TfrmMain::mnuShowClick);
    connect(m_mnuStartChk, &QAction::triggered, this, [this] {
        m_cycle.mnuStartChkClick();
        ApplyCurrentView();
    });
    connect(m_mnuClosed, &QAction::triggered, this, [this](bool ticked) {
        m_cycle.SetClosingUpload(ticked);
        ApplyCurrentView();
    });
    connect(m_mnuExit, &QAction::triggered, this, &TfrmMain::RequestClose);
}

QWidget* TfrmMain::BuildLogPage()
{
    auto* page = Named(new QWidget(m_tabs), "tabLog");
    m_chkRecLog = Named(new QCheckBox(J(u8"ﾛｸﾞをﾌｧｲﾙに保存する"), page), "chkRecLog");
    auto* show = Named(new QPushButton(J(u8"ﾛｸﾞﾌｧｲﾙ表示"), page), "cmdShowLogFile");
    auto* clear = Named(new QPushButton(J(u8"ﾛｸﾞﾌｧｲﾙｸﾘｱ"), page), "cmdClsLogFile");
    show->setAutoDefault(false);
    clear->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(m_chkRecLog);
    row->addStretch(1);
    row->addWidget(show);
    row->addWidget(clear);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    // The list goes above this row once it is made.
    layout->addLayout(row);

    connect(m_chkRecLog, &QCheckBox::clicked, this, [this](bool ticked) {
        m_cycle.SetRecLog(ticked);
        ApplyCurrentView();
    });
    connect(show, &QPushButton::clicked, this, [this] { core::ShowLogFile(m_ui); });
    connect(clear, &QPushButton::clicked, this, [this] { core::ClearLogFile(m_ui); });
    return page;
}

QWidget* TfrmMain::BuildBottomPanel()
{
    auto* panel = Named(new QWidget(this), "pnlBottom");
    m_chkShowWindow = Named(new QCheckBox(J(u8"起動時にこの画面は表示しない"), panel), "chkShowWindow");
    m_chkAutoRun = Named(new QCheckBox(J(u8"起動時に自動実行する"), panel), "chkAutoRun");
    // A desktop setting rather than a settings-file key: its tick is whatever the autostart entry says.
    m_chkStartAtLogin = Named(new QCheckBox(J(u8"ログイン時に起動する"), panel), "chkStartAtLogin");
    m_chkStartAtLogin->setChecked(platform::StartsAtLogin());
    m_cmdBrowse = Named(new QPushButton(J(u8"ｽﾃｰﾀｽ再表示(&R)"), panel), "cmdBrowse");
    m_cmdStartChk = Named(new QPushButton(J(u8"実行(&E)"), panel), "cmdStartChk");
    m_cmdHide = Named(new QPushButton(J(u8"閉じる(&C)"), panel), "cmdHide");
    for (QPushButton* button : {m_cmdBrowse, m_cmdStartChk, m_cmdHide})
        button->setAutoDefault(false);

    auto* boxes = new QVBoxLayout;
    boxes->setSpacing(2);
    boxes->addWidget(m_chkShowWindow);
    boxes->addWidget(m_chkAutoRun);
    boxes->addWidget(m_chkStartAtLogin);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addLayout(boxes);
    layout->addStretch(1);
    layout->addWidget(m_cmdBrowse);
    layout->addWidget(m_cmdStartChk);
    layout->addWidget(m_cmdHide);

    connect(m_chkShowWindow, &QCheckBox::clicked, this, [this](bool ticked) {
        m_cycle.SetHideAtStart(ticked);
        ApplyCurrentView();
    });
    connect(m_chkAutoRun, &QCheckBox::clicked, this, [this](bool ticked) {
        m_cycle.SetAutoRun(ticked);
        ApplyCurrentView();
    });
    connect(m_chkStartAtLogin, &QCheckBox::clicked, this, &TfrmMain::StartAtLoginClick);
    connect(m_cmdBrowse, &QPushButton::clicked, this, [this] {
        m_cycle.cmdBrowseClick();
        ApplyCurrentView();
    });
    connect(m_cmdStartChk, &QPushButton::clicked, this, [this] {
        m_cycle.cmdStartChkClick();
        ApplyCurrentView();
    });
    connect(m_cmdHide, &QPushButton::clicked, this, &TfrmMain::cmdHideClick);
    return panel;
}

void TfrmMain::StartAtLoginClick(bool ticked)
{
    if (!platform::SetStartAtLogin(ticked, platform::ProgramFilePath()))
        m_ui.ShowWarning(platform::PathToCp932(QDir::toNativeSeparators(platform::AutostartFile())) +
                             text::Sjis(u8" に書き込めません"),
                         core::kProgramTitle);
    // The tick shows what the desktop will do, also after a failed write.
    m_chkStartAtLogin->setChecked(platform::StartsAtLogin());
}

void TfrmMain::ApplyCurrentView()
{
    ApplyView(m_cycle.View());
}

void TfrmMain::ApplyView(const core::CycleView& view)
{
    const QString caption = Qs(view.Caption);
    setWindowTitle(caption);
    const QIcon& icon = view.Monitoring ? m_runningIcon : m_idleIcon;
    if (m_tray)
        m_tray->SetPicture(icon, caption);

    const QString runCaption = Qs(view.RunCaption);
    m_cmdStartChk->setText(runCaption);
    m_cmdStartChk->setPalette(RunButtonPalette(palette(), view.Monitoring));
    m_cmdStartChk->setEnabled(view.RunEnabled);
    m_cmdBrowse->setEnabled(view.BrowseEnabled);
    m_mnuConfig->setEnabled(view.SettingsEnabled && m_settingsEditor != nullptr);
    m_mnuStartChk->setText(runCaption);
    // The tray item stays usable during a check (it stops monitoring then); only a closed cycle
    // and the lent settings refuse it.
    m_mnuStartChk->setEnabled(!view.Closed && !view.SettingsLent);

    m_statusPanel->setText(Qs(view.StatusText));

    m_chkClosed->setEnabled(view.ClosingUploadEnabled);
    SetTick(m_chkClosed, view.ClosingUpload);
    m_mnuClosed->setEnabled(view.ClosingUploadEnabled);
    m_mnuClosed->setChecked(view.ClosingUpload);

    SetTick(m_chkRecLog, view.RecLog);
    SetTick(m_chkShowWindow, view.HideAtStart);
    SetTick(m_chkAutoRun, view.AutoRun);

    if (view.StatusPage != m_shownPage) {
        m_shownPage = view.StatusPage;
        m_statusView->ShowPage(*m_shownPage);
    }
}

void TfrmMain::ReplaceStatusView(const std::function<std::unique_ptr<StatusPageView>(QWidget* parent)>& make)
{
    std::unique_ptr<StatusPageView> view = make(m_statusTab);
    QWidget* old = m_statusView->Widget();
    m_statusTab->layout()->replaceWidget(old, view->Widget());
    delete old;
    m_statusView = std::move(view);
    if (m_shownPage)
        m_statusView->ShowPage(*m_shownPage);
}

bool TfrmMain::FormCreate()
{
    if (!m_cycle.FormCreate())
        return false;
    // Closed already (a termination signal during the start-up): nothing more to show.
    if (m_closedDone)
        return true;
    m_tray->Add();
    ApplyCurrentView();
    RestorePlacement();
    // Without a tray nothing could bring a hidden window back: it shows whatever the option says.
    if (!m_cycle.View().HideAtStart || !m_tray->Available())
        mnuShowClick();
    else
        m_mnuShow->setEnabled(true);
    return true;
}

void TfrmMain::SetSettingsEditor(std::function<bool(settings::TConfig&)> editor)
{
    m_settingsEditor = std::move(editor);
    ApplyCurrentView();
}

QStringList TfrmMain::DefaultHelpFolders()
{
    const QString programDir = platform::ProgramFileFolder();
    return {programDir + QStringLiteral("/help"),
            QDir::cleanPath(programDir + QStringLiteral("/../share/doc/quillmap/help")),
            QDir::cleanPath(programDir + QStringLiteral("/../share/quillmap/help"))};
}

void TfrmMain::ShowStatusText(const std::string& cp932)
{
    m_statusPanel->setText(Qs(cp932));
}

void TfrmMain::RestorePlacement()
{
    const std::optional<QRect> placement = m_cycle.WindowPlacement();
    if (!placement)
        return;
    // A screen that has gone (a laptop away from its monitor) leaves the window where the desktop
    // puts it; the size never exceeds the screen it lands on.
    const QScreen* screen = QGuiApplication::screenAt(placement->topLeft() + QPoint(20, 20));
    const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
    const QSize size = placement->size().expandedTo(minimumSizeHint()).boundedTo(area.size());
    m_placing = true;
    resize(size);
    if (screen)
        move(std::clamp(placement->x(), area.left(), std::max(area.left(), area.right() - size.width())),
             std::clamp(placement->y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    m_placing = false;
}

void TfrmMain::RecordPlacement()
{
    // Only a place the user sees is kept; a window never shown leaves the settings as they were.
    if (m_placing || !isVisible() || isMinimized() || isMaximized() || isFullScreen())
        return;
    m_cycle.SetWindowPlacement(QRect(pos(), size()));
}

void TfrmMain::mnuShowClick()
{
    // Back where it was when it went to the tray, whatever the desktop would choose.
    if (!isVisible())
        RestorePlacement();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    m_mnuShow->setEnabled(false);
}

void TfrmMain::cmdHideClick()
{
    RecordPlacement();
    // Without a tray a hidden window could not be brought back: it is minimised instead.
    if (m_tray->Available())
        hide();
    else
        showMinimized();
    m_mnuShow->setEnabled(true);
}

void TfrmMain::mnuConfigClick()
{
    if (!m_settingsEditor)
        return;
    settings::TConfig* settings = m_cycle.LendSettings();
    if (!settings)
        return;
    // The settings go back to the cycle however the dialog ends.
    struct ReturnOnExit
    {
        core::CheckCycle& cycle;
        bool saved = false;
        ~ReturnOnExit() { cycle.ReturnSettings(saved); }
    } lent{m_cycle};
    lent.saved = m_settingsEditor(*settings);
}

void TfrmMain::mnuAboutClick()
{
    m_cycle.StopNavigation();
    TfrmAbout about(this);
    about.exec();
}

void TfrmMain::mnuHelpClick()
{
    const QString name = QStringLiteral("index.html");
    for (const QString& folder : m_helpFolders) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo(path).isFile())
            continue;
        if (!m_ui.OpenDocument(platform::PathToCp932(path)))
            m_ui.ShowWarning(text::Sjis(u8"ﾍﾙﾌﾟを開けませんでした。") + "\r\n" + platform::PathToCp932(path),
                             core::kProgramTitle);
        return;
    }
    const QString expected = m_helpFolders.isEmpty() ? name : QDir(m_helpFolders.first()).filePath(name);
    m_ui.ShowWarning(text::Sjis(u8"ﾍﾙﾌﾟﾌｧｲﾙが見つかりません。") + "\r\n" + platform::PathToCp932(expected),
                     core::kProgramTitle);
}

void TfrmMain::RequestClose()
{
    m_cycle.FormCloseQuery();
}

void TfrmMain::OnClosed()
{
    m_closedDone = true;
    m_tray->Remove();
    hide();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (m_closedDone) {
        event->accept();
        return;
    }
    // The window stays until the closing run is over (it may upload the closing pages first);
    // OnClosed then takes it away.
    event->ignore();
    RequestClose();
}

void TfrmMain::FormResize()
{
    if (!m_chkClosed)
        return;
    m_chkClosed->resize(m_chkClosed->sizeHint());
    // The central widget spans the client area, so the window's width is the client width.
    const int x = std::max(kClosedBoxLeftMost, width() - m_chkClosed->width() - kClosedBoxRightGap);
    const QRect tabRow = m_tabs->tabBar()->geometry().translated(m_tabs->pos());
    const int y = std::max(0, tabRow.top() + (tabRow.height() - m_chkClosed->height()) / 2);
    m_chkClosed->move(x, y);
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
    RecordPlacement();
}

void TfrmMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    RecordPlacement();
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A new desktop palette (a switch to a dark theme) gets run-button colours that read on it.
    if (event->type() == QEvent::PaletteChange && m_cmdStartChk)
        ApplyCurrentView();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormResize();
}

bool TfrmMain::FetchStatusPageForTest()
{
    m_tabs->setCurrentWidget(m_statusTab);
    return m_cycle.FetchStatusPageForSettings();
}

std::string TfrmMain::StatusHtml() const
{
    return *m_cycle.View().StatusPage;
}

} // namespace gui

// The meta-object code of this file's classes is compiled here rather than with the rest of the
// library's, so that a program links only the windows it uses.
#include "moc_TfrmMain.cpp"
