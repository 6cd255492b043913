// The parts of the tray program around the main window: the about box, the help page that travels
// with the program, and the program's start and end as a user meets them.
#include "core/Version.h"
#include "gui/QtText.h"
#include "gui/TfrmAbout.h"
#include "support/RunProgram.h"
#include "text/Sjis.h"

#include "MainWindowFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <tuple>

using gui::J;
using platform::ScriptedUserInterface;
using testsupport::MainWindowFixture;
using text::Sjis;

namespace {

class MainWindowProgramTest : public MainWindowFixture
{
};

QString ProgramDir()
{
    return QFileInfo(QStringLiteral(QUILLMAP_BINARY)).absolutePath();
}

// An environment without any display and without anything of the caller's.
QProcessEnvironment BareEnvironment(const QString& home)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("QUILLMAP_HOME"), home);
    return env;
}

} // namespace

TEST_F(MainWindowProgramTest, AboutBoxShowsIconNameAndVersionModally)
{
    create();
    QString title;
    QStringList texts;
    bool hasPicture = false;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<gui::TfrmAbout*>(QApplication::activeModalWidget());
        if (!about)
            return;
        modal = about->isModal();
        title = about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                hasPicture = true;
            else
                texts << label->text();
        }
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    // Ends when OK is clicked; a box that never appeared fails below instead of blocking.
    QTimer::singleShot(5000, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    window->mnuAboutClick();
    EXPECT_TRUE(modal);
    EXPECT_EQ(title, J(u8"バージョン情報"));
    EXPECT_TRUE(hasPicture);
    EXPECT_TRUE(texts.contains(QStringLiteral("Quillmap")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version 1.43")));
    EXPECT_EQ(QString::fromLatin1(core::kVersionText), QStringLiteral("1.43"));
}

TEST_F(MainWindowProgramTest, HelpOpensTheFirstHelpPageFoundOrSaysItIsMissing)
{
    create();
    const QString missing = folder.file(QStringLiteral("nowhere"));
    const QString shipped = folder.file(QStringLiteral("share/quillmap/help"));
    QDir().mkpath(shipped);
    testsupport::WriteBytes(shipped + QStringLiteral("/index.html"), "<html></html>");

    window->SetHelpFolders({missing, shipped});
    window->mnuHelpClick();
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Open);
    EXPECT_EQ(ui.Calls()[0].text, (shipped + QStringLiteral("/index.html")).toStdString());

    // The desktop cannot open it: said, not swallowed.
    ui.Clear();
    ui.SetOpenResult(false);
    window->mnuHelpClick();
    ASSERT_EQ(ui.Count(ScriptedUserInterface::Kind::Warning), 1u);

    ui.Clear();
    window->SetHelpFolders({missing});
    window->mnuHelpClick();
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Warning);
    EXPECT_EQ(ui.Calls()[0].text.rfind(Sjis(u8"ﾍﾙﾌﾟﾌｧｲﾙが見つかりません。"), 0), 0u);
}

TEST(MainWindowHelpPage, TravelsBesideTheProgramAndCoversWhatTheUserMeets)
{
    const QString path = ProgramDir() + QStringLiteral("/help/index.html");
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    const QString page = QString::fromUtf8(QByteArray::fromStdString(testsupport::ReadBytes(path)));
    for (const char8_t* must :
         {u8"quillmap --headless", u8"Quillmap.ini", u8"Log.txt", u8"ﾘﾝｸ終了ｱｯﾌﾟﾛｰﾄﾞ", u8"基本設定",
          u8"ｱｯﾌﾟﾛｰﾄﾞ設定", u8"ﾒｰﾙ通知設定", u8"対ﾛﾎﾞｯﾄ検索用設定", u8"ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ設定",
          u8"終了ｱｯﾌﾟﾛｰﾄﾞ 詳細設定", u8"接続ﾃｽﾄ", u8"通知ﾃｽﾄ", u8"表示(&amp;V)", u8"動作ﾛｸﾞ"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(reinterpret_cast<const char*>(must))))
            << reinterpret_cast<const char*>(must);
    EXPECT_TRUE(page.contains(QStringLiteral("charset=\"utf-8\"")) ||
                page.contains(QStringLiteral("charset=utf-8")));
}

TEST(MainWindowStart, WithoutADisplayTheProgramNamesTheServiceAndEndsWith2)
{
    testsupport::TempFolder home(false);
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("--home"), home.path()}}) {
        const testsupport::ProgramResult r = testsupport::RunProgram(
            args, 20000, [&](QProcess& p) { p.setProcessEnvironment(BareEnvironment(home.path())); });
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("quillmap --headless"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    // Nothing was started: no settings file, no first-run copy of Readme.txt.
    EXPECT_TRUE(QDir(home.path()).isEmpty());

    // The tools and the service's options keep working without a display.
    const testsupport::ProgramResult version =
        testsupport::RunProgram({QStringLiteral("--version")}, 20000,
                                [&](QProcess& p) { p.setProcessEnvironment(BareEnvironment(home.path())); });
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Quillmap 1.43\n");
}

TEST(MainWindowStart, ANamedDesktopThatDoesNotAnswerIsSaidInOneLineAndEndsWith2)
{
    // A stale DISPLAY (an ssh session's, a crashed desktop's) and a Wayland socket that is gone. The
    // program runs in a network namespace of its own: X's abstract sockets stay behind, and the X
    // library's fallback to TCP finds a loopback that is down.
    testsupport::TempFolder home(false);
    int display = 500; // above the numbers the virtual desktops take (they count up from 0)
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
        ++display;
    const QString stale = QStringLiteral(":%1").arg(display);
    // Qt's X platform chosen by name (a desktop's settings) in a session without any display.
    const std::vector<std::tuple<QString, QString, std::string>> cases = {
        {QStringLiteral("DISPLAY"), stale, "cannot be reached"},
        {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-gone"), "cannot be reached"},
        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"), "no display"},
    };
    for (const auto& [name, value, says] : cases) {
        SCOPED_TRACE(name.toStdString() + "=" + value.toStdString());
        const testsupport::ProgramResult r = testsupport::RunProgram(
            {QStringLiteral("-rn"), QStringLiteral(QUILLMAP_BINARY)}, 20000,
            [&](QProcess& p) {
                QProcessEnvironment env = BareEnvironment(home.path());
                env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
                env.insert(name, value);
                p.setProcessEnvironment(env);
            },
            QStringLiteral("unshare"));
        if (r.exitCode != 2 && r.err.find("unshare:") == 0)
            GTEST_SKIP() << "no network namespaces here: " << r.err;
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("quillmap --headless"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(QDir(home.path()).isEmpty());
}

TEST_F(MainWindowProgramTest, TrayProgramRunsUntilTerminatedAndEndsThroughTheClosingRun)
{
    // Written without RecLog: the closing run writes it back.
    const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
    std::string bytes = testsupport::ReadBytes(ini);
    const size_t at = bytes.find("RecLog=");
    ASSERT_NE(at, std::string::npos);
    bytes.erase(at, bytes.find("\r\n", at) + 2 - at);
    testsupport::WriteBytes(ini, bytes);

    const QString runtime = folder.file(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess program;
    QProcessEnvironment env = BareEnvironment(folder.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUILLMAP_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Up when its single-instance lock is there.
    const bool up =
        waitFor([&] { return QFileInfo::exists(runtime + QStringLiteral("/Quillmap.lock")); }, 20000);
    program.terminate();
    const bool ended = program.waitForFinished(20000);
    if (!ended)
        program.kill();
    ASSERT_TRUE(up) << program.readAllStandardError().toStdString();
    ASSERT_TRUE(ended);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_NE(testsupport::ReadBytes(ini).find("RecLog="), std::string::npos);
}

TEST(MainWindowStart, TerminationWhileTheFirstRunMessageWaitsEndsTheProgram)
{
    // No settings file: the first run offers Readme.txt, and with no program to open it (an empty
    // PATH) it says so in a message box that waits inside the start-up.
    testsupport::TempFolder home(false);
    const QString runtime = home.file(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = BareEnvironment(home.path());
    env.insert(QStringLiteral("PATH"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUILLMAP_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The copy of Readme.txt comes just before the message.
    const bool copied =
        platform::WaitUntil([&] { return QFileInfo::exists(home.file(QStringLiteral("Readme.txt"))); },
                            20000) == platform::WaitResult::Done;
    QTest::qWait(500);
    program.terminate();
    const bool ended = program.waitForFinished(20000);
    if (!ended)
        program.kill();
    ASSERT_TRUE(copied);
    EXPECT_TRUE(ended) << "the program went on running after the termination signal";
    EXPECT_EQ(program.exitCode(), 0);
}
