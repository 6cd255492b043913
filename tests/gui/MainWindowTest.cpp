// The main window and the tray icon through their real widgets: captions, ticks and enabled states
// follow the cycle's view, clicks reach the cycle, and closing goes through the closing run.
#include "gui/AppIcons.h"
#include "gui/QtText.h"
#include "gui/TfrmConfig.h"
#include "text/Sjis.h"

#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

using gui::J;
using platform::ScriptedUserInterface;
using testsupport::MainWindowFixture;
using text::Sjis;

namespace {

class MainWindowTest : public MainWindowFixture
{
};

class ClosingUploadOnTest : public MainWindowFixture
{
    void edit(settings::TConfig& c) override { c.ClosedUse = 1; }
};

class HiddenAtStartTest : public MainWindowFixture
{
    void edit(settings::TConfig& c) override { c.ShowWindow = 0; }
};

class ShortLogTest : public MainWindowFixture
{
    void edit(settings::TConfig& c) override { c.LogRowMax = 3; }
};

QImage Picture(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

TEST_F(MainWindowTest, TrayTipCaptionAndRunItemFollowMonitoring)
{
    create();
    auto* run = child<QPushButton>("cmdStartChk");
    QAction* trayRun = action("mnuStartChk");
    QSystemTrayIcon& tray = window->Tray().Icon();
    EXPECT_EQ(tray.toolTip(), QStringLiteral("Quillmap"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillmap"));
    EXPECT_EQ(trayRun->text(), J(u8"実行(&E)"));
    EXPECT_EQ(run->text(), J(u8"実行(&E)"));
    // Blue to start (the exact shades follow the palette).
    EXPECT_GT(run->palette().color(QPalette::ButtonText).blue(), run->palette().color(QPalette::ButtonText).red());
    EXPECT_EQ(Picture(tray.icon()), Picture(gui::ProgramIcon(false)));

    trayRun->trigger();
    ASSERT_TRUE(cycle->View().Monitoring);
    EXPECT_EQ(tray.toolTip(), J(u8"Quillmap (実行中)"));
    EXPECT_EQ(window->windowTitle(), J(u8"Quillmap (実行中)"));
    EXPECT_EQ(trayRun->text(), J(u8"停止(&E)"));
    EXPECT_EQ(run->text(), J(u8"停止(&E)"));
    EXPECT_GT(run->palette().color(QPalette::ButtonText).red(), run->palette().color(QPalette::ButtonText).blue());
    EXPECT_EQ(Picture(tray.icon()), Picture(gui::ProgramIcon(true)));
    EXPECT_NE(Picture(gui::ProgramIcon(true)), Picture(gui::ProgramIcon(false)));
    // The settings stay with the cycle while it monitors.
    EXPECT_FALSE(action("mnuConfig")->isEnabled());

    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_FALSE(cycle->View().Monitoring);
    EXPECT_EQ(tray.toolTip(), QStringLiteral("Quillmap"));
    EXPECT_EQ(trayRun->text(), J(u8"実行(&E)"));
    EXPECT_GT(run->palette().color(QPalette::ButtonText).blue(), run->palette().color(QPalette::ButtonText).red());
}

TEST_F(MainWindowTest, RunButtonStartsACheckAndTheStatusTabShowsThePageLoadingNothing)
{
    // A picture the page names, on this machine: the view must not read it.
    const QString picture = folder.file(QStringLiteral("router.png"));
    QImage(8, 8, QImage::Format_RGB32).save(picture);
    nextPages = {Sjis(u8"<p>グローバルIPアドレス</p><table><tr><td>WAN</td><td>203.0.113.9</td></tr></table>"
                      u8"<img src=\"") +
                 QUrl::fromLocalFile(picture).toString().toStdString() +
                 "\"><img src=\"http://127.0.0.1:9/x.png\"><a href=\"http://127.0.0.1:9/\">link</a>"};
    create();
    QTest::mouseClick(child<QPushButton>("cmdStartChk"), Qt::LeftButton);
    ASSERT_TRUE(cycle->View().Monitoring);
    EXPECT_EQ(steps->fetches, 1);

    auto* browser = child<QTextBrowser>("WebBrowser1");
    const QString shown = browser->toPlainText();
    EXPECT_TRUE(shown.contains(J(u8"グローバルIPアドレス"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("203.0.113.9")));
    EXPECT_FALSE(browser->openLinks());
    EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid());
    EXPECT_FALSE(
        browser->document()->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid());
    EXPECT_EQ(window->StatusHtml(), *cycle->View().StatusPage);
}

TEST_F(ClosingUploadOnTest, BoxAndTrayItemAlwaysAgree)
{
    create();
    auto* box = child<QCheckBox>("chkClosed");
    QAction* item = action("mnuClosed");
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(item->isChecked());

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(cycle->View().ClosingUpload);

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(cycle->View().ClosingUpload);
}

TEST_F(MainWindowTest, ClosingUploadBoxAndTrayItemAreOffWithoutTheSetting)
{
    create();
    auto* box = child<QCheckBox>("chkClosed");
    QAction* item = action("mnuClosed");
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(item->isChecked());
    // Whatever reaches them, the cycle refuses and the window shows its refusal.
    box->click();
    EXPECT_FALSE(box->isChecked());
    emit item->triggered(true);
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(cycle->View().ClosingUpload);
}

TEST_F(MainWindowTest, ClosingUploadBoxSitsAtTheRightOfTheTabRowButNeverLeftOf120)
{
    create();
    auto* box = child<QCheckBox>("chkClosed");
    auto* tabs = child<QTabWidget>("PageControl1");
    window->resize(900, 453);
    QApplication::processEvents();
    EXPECT_EQ(box->x(), window->width() - box->width() - 4);
    EXPECT_GE(box->width(), box->sizeHint().width());
    // Level with the tabs: the box's middle is within the tab row.
    const QRect tabRow = tabs->tabBar()->geometry().translated(tabs->pos());
    EXPECT_TRUE(tabRow.contains(tabRow.center().x(), box->geometry().center().y()))
        << box->geometry().center().y() << " outside " << tabRow.top() << ".." << tabRow.bottom();
    EXPECT_TRUE(box->isVisible());

    // A box wider than the room (a large font) stops at 120, where the tabs end.
    QFont large = box->font();
    large.setPointSize(48);
    box->setFont(large);
    window->resize(573, 453);
    QApplication::processEvents();
    ASSERT_GT(box->width() + 4 + 120, window->width());
    EXPECT_EQ(box->x(), 120);
}

TEST_F(MainWindowTest, CloseBoxRunsTheClosingRunOnceAndTheProgramEndFollows)
{
    create();
    ASSERT_TRUE(window->isVisible());
    QSignalSpy ended(cycle.get(), &core::CheckCycle::closed);
    window->close();
    EXPECT_EQ(steps->closingRuns, 1);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_TRUE(ended.at(0).at(0).toBool());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Tray().Icon().isVisible());

    // Later closes find the run done.
    window->close();
    action("mnuExit")->trigger();
    action("mnuEnd")->trigger();
    EXPECT_EQ(steps->closingRuns, 1);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(MainWindowTest, CloseDuringACheckWaitsForTheCheckToUnwind)
{
    create();
    steps->hangInFetch = true;
    QSignalSpy ended(cycle.get(), &core::CheckCycle::closed);
    bool visibleWhileWaiting = false;
    int closingRunsWhileWaiting = -1;
    QTimer::singleShot(50, window.get(), [&] {
        action("mnuExit")->trigger();
        visibleWhileWaiting = window->isVisible();
        closingRunsWhileWaiting = steps->closingRuns;
    });
    // The redisplay waits in its fetch until the close cancels it.
    QTest::mouseClick(child<QPushButton>("cmdBrowse"), Qt::LeftButton);
    EXPECT_TRUE(visibleWhileWaiting);
    EXPECT_EQ(closingRunsWhileWaiting, 0);
    EXPECT_EQ(steps->aborts, 1);
    EXPECT_EQ(steps->closingRuns, 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ShortLogTest, LogListKeepsLogRowMaxPlusOneRowsWithTheKindsIcons)
{
    create();
    auto* list = child<QTreeWidget>("lvwLog");
    const core::LogKind kinds[] = {core::lkRunFailure, core::lkStepError, core::lkEvent};
    for (int i = 0; i < 10; ++i)
        log.AddLog("line " + std::to_string(i), kinds[i % 3]);
    ASSERT_EQ(list->topLevelItemCount(), 4);
    for (int row = 0; row < 4; ++row) {
        const int line = 6 + row;
        QTreeWidgetItem* item = list->topLevelItem(row);
        EXPECT_EQ(item->text(1), QStringLiteral("line %1").arg(line));
        EXPECT_EQ(item->text(0), gui::Qs(log.Rows()[static_cast<size_t>(row)].Time));
        EXPECT_EQ(Picture(item->icon(0)), Picture(gui::LogKindIcon(kinds[line % 3]))) << line;
    }
    EXPECT_NE(Picture(gui::LogKindIcon(core::lkRunFailure)), Picture(gui::LogKindIcon(core::lkStepError)));
    EXPECT_NE(Picture(gui::LogKindIcon(core::lkStepError)), Picture(gui::LogKindIcon(core::lkEvent)));
    EXPECT_EQ(list->headerItem()->text(0), J(u8"時刻"));
    EXPECT_EQ(list->headerItem()->text(1), J(u8"内容"));
}

TEST_F(MainWindowTest, LogListShowsTheNewestRowAndWidensToItsText)
{
    create();
    window->resize(573, 453);
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QApplication::processEvents();
    auto* list = child<QTreeWidget>("lvwLog");
    for (int i = 0; i < 60; ++i)
        log.AddLog("row " + std::to_string(i), core::lkEvent);
    const std::string longText(200, 'x');
    log.AddLog(longText, core::lkStepError);
    QApplication::processEvents();
    QTreeWidgetItem* last = list->topLevelItem(list->topLevelItemCount() - 1);
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(last)));
    EXPECT_GE(list->header()->sectionSize(1),
              list->fontMetrics().horizontalAdvance(QString::fromStdString(longText)));
    EXPECT_GE(list->header()->sectionSize(0), list->fontMetrics().horizontalAdvance(last->text(0)));
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(HiddenAtStartTest, ShowAndHideKeepTheShowItemRight)
{
    create();
    QAction* show = action("mnuShow");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(show->isEnabled());
    EXPECT_TRUE(child<QCheckBox>("chkShowWindow")->isChecked());

    // The right button only opens the menu.
    emit window->Tray().Icon().activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(window->isVisible());

    clickTray();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(show->isEnabled());
    // A second click on a visible window leaves the item disabled.
    clickTray();
    EXPECT_FALSE(show->isEnabled());

    QTest::mouseClick(child<QPushButton>("cmdHide"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(show->isEnabled());

    show->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(show->isEnabled());
    action("mnuHide")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(show->isEnabled());
}

TEST_F(HiddenAtStartTest, WithoutATrayTheWindowShowsAndCloseMinimisesUntilATrayAppears)
{
    trayAvailable = false;
    create();
    // No tray could bring it back, so it shows whatever the option says.
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Tray().Available());

    QTest::mouseClick(child<QPushButton>("cmdHide"), Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(action("mnuShow")->isEnabled());
    action("mnuShow")->trigger();
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(HiddenAtStartTest, ATrayThatAppearsLateIsUsed)
{
    trayAvailable = false;
    cycle = std::make_unique<core::CheckCycle>(log, ui, [this](const core::CycleMediator& m) {
        auto s = std::make_unique<testsupport::WindowSteps>(m);
        steps = s.get();
        return s;
    });
    cycle->SetLockFolder(folder.path());
    window = std::make_unique<gui::TfrmMain>(*cycle, log, ui, [this] { return trayAvailable; });
    window->Tray().SetRetry(20, 50);
    ASSERT_TRUE(window->FormCreate());
    EXPECT_TRUE(window->isVisible());
    QSignalSpy appeared(&window->Tray(), &gui::TrayIcon::becameAvailable);
    QTimer::singleShot(100, [this] { trayAvailable = true; });
    ASSERT_TRUE(waitFor([&] { return appeared.count() > 0; }));
    EXPECT_TRUE(window->Tray().Available());
    EXPECT_TRUE(window->Tray().Icon().isVisible());

    QTest::mouseClick(child<QPushButton>("cmdHide"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, OptionBoxesReachTheSettingsFileThroughTheClosingRun)
{
    create();
    for (const char* name : {"chkShowWindow", "chkAutoRun", "chkRecLog"}) {
        auto* box = child<QCheckBox>(name);
        EXPECT_FALSE(box->isChecked()) << name;
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_TRUE(box->isChecked()) << name;
    }
    EXPECT_TRUE(cycle->View().HideAtStart);
    EXPECT_TRUE(cycle->View().AutoRun);
    EXPECT_TRUE(cycle->View().RecLog);
    // The log file option takes effect at the next line.
    log.AddLog("to the file", core::lkEvent);
    EXPECT_NE(testsupport::ReadBytes(folder.file(QStringLiteral("Log.txt"))).find("to the file"),
              std::string::npos);

    window->close();
    settings::TConfig saved;
    settings::LoadSettings(saved, nullptr);
    EXPECT_EQ(saved.ShowWindow, 0);
    EXPECT_EQ(saved.AutoRun, 1);
    EXPECT_EQ(saved.RecLog, 1);
}

TEST_F(MainWindowTest, SettingsMenuLendsTheSettingsAndTakesThemBack)
{
    create();
    QAction* menu = action("mnuConfig");
    // Without a dialog the item cannot pretend to open one.
    EXPECT_FALSE(menu->isEnabled());

    int opened = 0;
    bool lentWhileOpen = false;
    bool runDisabledWhileOpen = false;
    window->SetSettingsEditor([&](settings::TConfig& c) {
        ++opened;
        lentWhileOpen = cycle->View().SettingsLent;
        runDisabledWhileOpen = !child<QPushButton>("cmdStartChk")->isEnabled();
        c.FtpUpload = 1;
        c.FtpServer = "127.0.0.1";
        c.ReplaceFolder = folder.path().toStdString();
        c.ReplaceLink = "/var/www/html";
        c.ClosedUse = 1;
        return true;
    });
    ASSERT_TRUE(menu->isEnabled());
    menu->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(lentWhileOpen);
    EXPECT_TRUE(runDisabledWhileOpen);
    EXPECT_FALSE(cycle->View().SettingsLent);
    EXPECT_TRUE(child<QPushButton>("cmdStartChk")->isEnabled());
    // Saved with the closing upload on: the box and the tray item follow.
    EXPECT_TRUE(child<QCheckBox>("chkClosed")->isEnabled());
    EXPECT_TRUE(action("mnuClosed")->isChecked());

    // Cancelled: the box stays as it was.
    QTest::mouseClick(child<QCheckBox>("chkClosed"), Qt::LeftButton);
    ASSERT_FALSE(action("mnuClosed")->isChecked());
    window->SetSettingsEditor([&](settings::TConfig&) {
        ++opened;
        return false;
    });
    menu->trigger();
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(child<QCheckBox>("chkClosed")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>("chkClosed")->isChecked());

    // While monitoring the settings stay with the cycle.
    action("mnuStartChk")->trigger();
    ASSERT_TRUE(cycle->View().Monitoring);
    EXPECT_FALSE(menu->isEnabled());
    window->mnuConfigClick();
    EXPECT_EQ(opened, 2);
}

TEST_F(MainWindowTest, SettingsDialogStatusTestShowsThePageOnTheStatusTab)
{
    nextPages = {"<p>WAN 198.51.100.20</p>"};
    create();
    auto* tabs = child<QTabWidget>("PageControl1");
    tabs->setCurrentIndex(1);
    // Not lent: the cycle refuses.
    EXPECT_FALSE(window->FetchStatusPageForTest());

    bool fetched = false;
    int currentTab = -1;
    window->SetSettingsEditor([&](settings::TConfig&) {
        fetched = window->FetchStatusPageForTest();
        currentTab = tabs->currentIndex();
        return false;
    });
    window->mnuConfigClick();
    EXPECT_TRUE(fetched);
    EXPECT_EQ(currentTab, 0);
    EXPECT_EQ(window->StatusHtml(), "<p>WAN 198.51.100.20</p>");
    EXPECT_TRUE(child<QTextBrowser>("WebBrowser1")->toPlainText().contains(QStringLiteral("198.51.100.20")));
}

TEST_F(MainWindowTest, LogButtonsShowAndDeleteTheLogFile)
{
    create();
    auto* show = child<QPushButton>("cmdShowLogFile");
    auto* clear = child<QPushButton>("cmdClsLogFile");
    QTest::mouseClick(show, Qt::LeftButton);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Information);
    EXPECT_EQ(ui.Calls()[0].text, Sjis(u8"ﾛｸﾞﾌｧｲﾙはありません。"));

    testsupport::WriteBytes(folder.file(QStringLiteral("Log.txt")), "x\r\n");
    ui.Clear();
    QTest::mouseClick(show, Qt::LeftButton);
    ASSERT_EQ(ui.Count(ScriptedUserInterface::Kind::Open), 1u);
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("Log.txt"))));
    EXPECT_EQ(ui.Calls().back().text, Sjis(u8"ﾛｸﾞﾌｧｲﾙを削除しました。"));
}

TEST_F(MainWindowTest, StatusBarShowsTheCyclesProgressText)
{
    create();
    QString duringFetch;
    auto* panel = child<QLabel>("pnlStatus");
    // The text as the panel shows it while the redisplay runs.
    QObject::connect(cycle.get(), &core::CheckCycle::viewChanged, window.get(),
                     [&](const core::CycleView& v) {
                         if (!v.StatusText.empty())
                             duringFetch = panel->text();
                     });
    QTest::mouseClick(child<QPushButton>("cmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(duringFetch, J(u8"ｽﾃｰﾀｽ表示中..."));
    EXPECT_TRUE(panel->text().isEmpty());
}

TEST_F(MainWindowTest, SettingsMenuOpensTheSettingsDialogOverTheLentSettings)
{
    create();
    gui::TfrmConfig config(*window, ui, window.get());
    window->SetSettingsEditor([&config](settings::TConfig& c) { return config.Edit(c); });
    bool shownModal = false;
    bool lentWhileShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<gui::TfrmConfig*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shownModal = true;
        lentWhileShown = cycle->View().SettingsLent;
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    // A dialog that never appeared is closed here instead of blocking the test.
    QTimer::singleShot(5000, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    action("mnuConfig")->trigger();
    EXPECT_TRUE(shownModal);
    EXPECT_TRUE(lentWhileShown);
    EXPECT_FALSE(cycle->View().SettingsLent);
    EXPECT_TRUE(action("mnuConfig")->isEnabled());
}
