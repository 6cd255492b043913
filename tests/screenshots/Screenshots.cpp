// Renders every window of the tray program into PNG files for the README: the main window on both
// tabs, the settings dialog's three pages, the three small dialogs, the source viewer with an address
// found, and the about box. Run it on a desktop with the Japanese font (scripts/screenshots does,
// on a virtual X server). Nothing here touches the network: the settings name servers that are
// never contacted.
//   quillmap_screenshots [--dark] OUTPUT-FOLDER      (--dark: a dark palette, as a dark desktop theme gives)
#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/CheckSteps.h"
#include "gui/AuxDialogs.h"
#include "gui/QtTranslations.h"
#include "gui/ConfigDialogHost.h"
#include "gui/TfrmAbout.h"
#include "gui/TfrmConfig.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmStatusSrc.h"
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QPalette>
#include <QStyle>
#include <cstdio>
#include <string_view>
#include <functional>

using text::Sjis;

namespace {

QString g_output;
int g_failures = 0;

bool Save(QWidget& window, const QString& name)
{
    QApplication::processEvents();
    const QString path = g_output + u'/' + name + QStringLiteral(".png");
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        ++g_failures;
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), window.width(), window.height());
    return true;
}

// Runs a modal dialog: once it is up, prepare it, grab it under each name, and close it.
void ShootModal(const std::function<void()>& open,
                const std::vector<std::pair<QString, std::function<void(QWidget&)>>>& shots)
{
    QTimer::singleShot(300, [&shots] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            std::fprintf(stderr, "no dialog came up for %s\n", qPrintable(shots.front().first));
            ++g_failures;
            return;
        }
        for (const auto& [name, prepare] : shots) {
            if (prepare)
                prepare(*dialog);
            Save(*dialog, name);
        }
        if (auto* d = qobject_cast<QDialog*>(dialog))
            d->reject();
    });
    open();
}

std::function<void(QWidget&)> Page(int index)
{
    return [index](QWidget& dialog) {
        if (auto* tabs = dialog.findChild<QTabWidget*>())
            tabs->setCurrentIndex(index);
    };
}

struct NoRouter : gui::ConfigDialogHost
{
    bool FetchStatusPageForTest() override { return false; }
    std::string StatusHtml() const override { return {}; }
};

void SampleSettings(settings::TConfig& c)
{
    settings::LoadSettings(c, nullptr);
    c.GatewayAuto = 1;
    c.StatusLogon = 1;
    c.StatusUser = "root";
    c.StatusPass = "kiwi";
    c.FtpUpload = 1;
    c.FtpServer = "ftp.example.jp";
    c.FtpUser = "quill";
    c.FtpPass = "secret";
    c.FtpDir = "/public_html";
    c.FtpPasv = 1;
    c.ReplaceFolder = QDir::cleanPath(platform::ProgramFolder() + QStringLiteral("/www")).toStdString();
    QDir().mkpath(QString::fromStdString(c.ReplaceFolder));
    c.ReplaceLink = "/var/www/html";
    c.MailNotice = 1;
    c.SmtpServer = "smtp.example.jp";
    c.SmtpUser = "quill";
    c.MailAddress = "owner@example.jp";
    c.MailAddressFrom = "quillmap@example.jp";
    c.NoticeItem = 3;
    c.RobotUse = 1;
    c.ClosedUse = 1;
    c.DdnsUse = 1;
    c.DdnsProvider = "mydns";
    c.DdnsHosts = "home.example.jp";
    c.DdnsUser = "mydns123456";
    c.DdnsPass = "secret";
    c.DdnsRecords = 46;
    c.KeywordsJP->clear();
    for (const char8_t* k : {u8"自宅サーバー", u8"日記", u8"写真"})
        c.KeywordsJP->push_back(Sjis(k));
    c.DescriptionJP = Sjis(u8"自宅のサーバーから公開しているページです。");
    c.ClosedString =
        Sjis(u8"ただいまサーバーを停止しています。") + "\r\n" + Sjis(u8"<b>再開までお待ちください。</b>");
}

// A router page as a Japanese router shows it: the LAN side, the WAN side after Japanese labels.
std::string SamplePage()
{
    return Sjis(u8"<body>\r\n<h1>ステータス</h1>\r\n<table>\r\n"
                u8"<tr><td>LAN側IPアドレス</td><td>192.168.1.1</td></tr>\r\n"
                u8"<tr><td>ｻﾌﾞﾈｯﾄﾏｽｸ</td><td>255.255.255.0</td></tr>\r\n"
                u8"<tr><td>WAN側IPアドレス</td><td>210.170.12.34</td></tr>\r\n"
                u8"<tr><td>DNSサーバー</td><td>210.170.64.53</td></tr>\r\n"
                u8"</table>\r\n</body>");
}

// The check's network steps without a network: the router answers with the sample page, the upload
// and the mail succeed.
struct SampleSteps : core::CheckSteps
{
    std::string FetchStatusPage() override { return SamplePage(); }
    bool Navigating() const override { return false; }
    void CancelNavigation() override {}
    std::string FetchSecondAddress() override { return {}; }
    std::string FetchPublishedPage() override { return {}; }
    std::string LookupHostName(const std::string&) override { return {}; }
    bool UploadPages(bool) override { return true; }
    void SendNoticeMail(std::int32_t, const std::string&) override {}
    void AbortNetwork() override {}
    void RunClosingUpload() override {}
};

// The main window on both tabs while monitoring, after a first check that found a new address, with
// the rows an upload run writes.
void ShootMainWindow(platform::UserInterface& ui, const QString& lockFolder)
{
    core::OperationLog log;
    core::CheckCycle cycle(log, ui,
                           [](const core::CycleMediator&) { return std::make_unique<SampleSteps>(); });
    cycle.SetLockFolder(lockFolder);
    gui::TfrmMain window(cycle, log, ui, [] { return true; });
    if (!window.FormCreate()) {
        ++g_failures;
        return;
    }
    window.show();
    cycle.cmdStartChkClick();
    log.AddLog(Sjis(u8"index.htm ｱｯﾌﾟﾛｰﾄﾞしました。"), core::lkEvent);
    log.AddLog(Sjis(u8"diary/today.htm ｱｯﾌﾟﾛｰﾄﾞしました。"), core::lkEvent);
    log.AddLog(Sjis(u8"FTPｻｰﾊﾞｰに接続できませんでした。"), core::lkStepError);
    log.AddLog(Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"), core::lkRunFailure);
    auto* tabs = window.findChild<QTabWidget*>();
    if (!tabs) {
        ++g_failures;
        return;
    }
    tabs->setCurrentIndex(0);
    // The status bar as an upload shows it.
    window.ShowStatusText(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... diary/today.htm"));
    Save(window, QStringLiteral("main-status"));
    window.ShowStatusText(std::string());
    tabs->setCurrentIndex(1);
    Save(window, QStringLiteral("main-log"));
    window.hide();
}

// A dark theme's palette, as Breeze Dark or Adwaita-dark give it, on the Fusion style (which draws
// with the palette; the default style of a bare X server would not show it).
void UseDarkPalette()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    dark.setColor(QPalette::AlternateBase, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::Text, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::ButtonText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    dark.setColor(QPalette::HighlightedText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::ToolTipBase, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::ToolTipText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Link, QColor(0x29, 0x80, 0xb9));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x6e, 0x71, 0x75));
    QApplication::setPalette(dark);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    gui::LoadQtTranslations(app);
    const bool dark = argc == 3 && std::string_view(argv[1]) == "--dark";
    if (argc != 2 && !dark) {
        std::fprintf(stderr, "usage: quillmap_screenshots [--dark] OUTPUT-FOLDER\n");
        return 2;
    }
    if (dark)
        UseDarkPalette();
    g_output = QString::fromLocal8Bit(argv[argc - 1]);
    QDir().mkpath(g_output);
    QTemporaryDir home;
    platform::InitProgramFolder(home.path());
    platform::ScriptedUserInterface ui;

    settings::TConfig config;
    SampleSettings(config);
    settings::SaveSettings(config, settings::SaveScope::All);

    {
        ShootMainWindow(ui, home.path());
        gui::TfrmAbout about;
        ShootModal([&] { about.exec(); }, {{QStringLiteral("about"), {}}});
    }

    NoRouter host;
    gui::TfrmConfig settingsDialog(host, ui);
    ShootModal([&] { settingsDialog.Edit(config); }, {{QStringLiteral("settings-basic"), Page(0)},
                                                      {QStringLiteral("settings-upload"), Page(1)},
                                                      {QStringLiteral("settings-mail"), Page(2)},
                                                      {QStringLiteral("settings-ddns"), Page(3)}});

    gui::TfrmHead head(ui);
    ShootModal([&] { head.Edit(config); }, {{QStringLiteral("robots"), Page(0)}});
    gui::TfrmFileExt fileTypes(ui);
    ShootModal([&] { fileTypes.Edit(config); }, {{QStringLiteral("file-types"), {}}});
    gui::TfrmCfgClosed closing(ui);
    ShootModal([&] { closing.Edit(config); }, {{QStringLiteral("closing-upload"), {}}});

    gui::TfrmStatusSrc viewer(ui);
    viewer.SourceText = SamplePage();
    viewer.resize(560, 380);
    // The finder passes over the LAN address (it ends in 1) and the mask, and stops at the global one.
    ShootModal([&] { viewer.exec(); },
               {{QStringLiteral("source-viewer"), [](QWidget& w) {
                     if (auto* find = w.findChild<QAbstractButton*>(QStringLiteral("cmdFind"))) {
                         find->click();
                     }
                 }}});
    return g_failures == 0 ? 0 : 1;
}
