// The tray program on a real X desktop (a virtual X server with a session bus), once with a
// notification area and once without: with one, the icon is registered there and the window stays
// hidden as the settings ask; without one, the window is shown whatever the settings say, so the
// program is never out of reach. Both end on SIGTERM through the closing run.
#include "settings/ConfigUnit.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

// Starts the program ($1, with the folder $2) on the desktop; what follows ends it with finish.
constexpr const char* kStart = R"sh(
home=$2
"$1" --home "$home" >"$home/out.txt" 2>&1 &
pid=$!
# The main window is the top-level window of class "quillmap" titled "Quillmap" (Qt has helper windows
# of the same title without a class).
window_id() {
    xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "Quillmap": ("quillmap".*/\1/p' | head -n 1
}
window() {
    local id
    id=$(window_id)
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'
}
# The program's windows on the screen (main window, dialogs, menus).
shown() { xdotool search --onlyvisible --class quillmap 2>/dev/null | wc -l; }
# Waits (at most 30 s) until the command $@ succeeds or the program is gone.
await() {
    for _ in $(seq 300); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
# Sends the signal $1 and reports the exit status; a program still running 10 s later is killed.
finish() {
    kill -"$1" "$pid"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && { echo "still running 10 s after SIG$1"; kill -KILL "$pid"; }
    status=0
    wait "$pid" || status=$?
    echo "exit $status"
    # What the program itself printed, for the failure message.
    cat "$home/out.txt" >&2
}
)sh";

// Waits for the icon or the window, reports what the desktop has, then ends the program with SIGTERM.
constexpr const char* kTraySession = R"sh(
await eval 'grep -q "^item" "$QM_TRAY_LOG" || window'
# A window that is to appear has had its chance once the icon is there.
sleep 1
grep -q '^item' "$QM_TRAY_LOG" && echo "icon registered"
window && echo "window shown"
finish TERM
)sh";

// Opens the settings dialog from the main window's menu (Alt+T, then O), types into the dialog and
// sends the signal $3 while it is open.
constexpr const char* kDialogSession = R"sh(
await window || { finish TERM; exit; }
main=$(window_id)
xdotool windowfocus "$main" key alt+t
await eval '[ "$(shown)" -gt 1 ]'
xdotool key o
# The menu goes, the dialog comes: a window of the program other than the main window and a menu.
dialog_id() { xdotool search --onlyvisible --name '^設定$' 2>/dev/null | head -n 1; }
await eval '[ -n "$(dialog_id)" ]' && echo "dialog open"
xdotool windowfocus "$(dialog_id)" type zzqq
finish "$3"
)sh";

class TrayDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings::TConfig config;
        settings::LoadSettings(config, nullptr);
        config.ShowWindow = 0; // "起動時にこの画面は表示しない"
        config.AutoRun = 0;
        config.LeavePlural = 1;
        settings::SaveSettings(config, settings::SaveScope::All);
    }

    // Written without RecLog: the closing run writes it back.
    void dropRecLog()
    {
        const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
        std::string bytes = testsupport::ReadBytes(ini);
        const size_t at = bytes.find("RecLog=");
        ASSERT_NE(at, std::string::npos);
        bytes.erase(at, bytes.find("\r\n", at) + 2 - at);
        testsupport::WriteBytes(ini, bytes);
    }

    // The session on a desktop with or without a notification area.
    testsupport::ProgramResult run(bool tray)
    {
        return OnDesktop({QStringLiteral("bash"), QStringLiteral("-c"),
                          QString::fromLatin1(kStart) + QString::fromLatin1(kTraySession),
                          QStringLiteral("session"), QStringLiteral(QUILLMAP_BINARY), folder.path()},
                         tray);
    }

    static testsupport::ProgramResult OnDesktop(const QStringList& command, bool tray)
    {
        const QString desktop = QStringLiteral(QUILLMAP_SOURCE_DIR "/../scripts/virtual-desktop");
        return testsupport::RunProgram(
            command, 60000,
            [tray](QProcess& p) {
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.remove(QStringLiteral("QT_QPA_PLATFORM"));
                env.remove(QStringLiteral("QM_VIRTUAL_DESKTOP"));
                if (!tray)
                    env.insert(QStringLiteral("QM_NO_TRAY"), QStringLiteral("1"));
                p.setProcessEnvironment(env);
            },
            desktop);
    }

    testsupport::TempFolder folder;
};

} // namespace

TEST_F(TrayDesktopTest, WithANotificationAreaTheIconIsThereAndTheWindowStaysHidden)
{
    const testsupport::ProgramResult r = run(true);
    EXPECT_NE(r.out.find("icon registered"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(r.out.find("window shown"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("exit 0"), std::string::npos) << r.out << r.err;
}

TEST_F(TrayDesktopTest, WithoutOneTheWindowIsShownWhateverTheSettingsSay)
{
    const testsupport::ProgramResult r = run(false);
    EXPECT_EQ(r.out.find("icon registered"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("window shown"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("exit 0"), std::string::npos) << r.out << r.err;
}

TEST_F(TrayDesktopTest, TheDesktopOutlivesItsClientsAndPassesOnAllTheirOutput)
{
    // One client leaves a mark on the desktop and goes; the next finds it only if the X server did not
    // reset when it was left without clients. The last words on the error output arrive before the
    // desktop's own end, with the command's exit status.
    const testsupport::ProgramResult r =
        OnDesktop({QStringLiteral("bash"), QStringLiteral("-c"),
                   QStringLiteral("xprop -root -f _QM_KEPT 8s -set _QM_KEPT kept && xprop -root _QM_KEPT; "
                                  "echo last words >&2; exit 5")},
                  false);
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(r.out, "_QM_KEPT(STRING) = \"kept\"\n") << "the X server reset between two clients";
    EXPECT_EQ(r.err, "last words\n");
}

TEST_F(TrayDesktopTest, ASignalWhileTheSettingsDialogIsOpenCancelsItAndEndsThroughTheClosingRun)
{
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    config.ShowWindow = 1;
    settings::SaveSettings(config, settings::SaveScope::All);
    for (const char* signal : {"TERM", "HUP", "INT"}) {
        SCOPED_TRACE(signal);
        dropRecLog();
        const testsupport::ProgramResult r = OnDesktop(
            {QStringLiteral("bash"), QStringLiteral("-c"),
             QString::fromLatin1(kStart) + QString::fromUtf8(kDialogSession), QStringLiteral("session"),
             QStringLiteral(QUILLMAP_BINARY), folder.path(), QString::fromLatin1(signal)},
            true);
        ASSERT_NE(r.out.find("dialog open"), std::string::npos) << r.out << r.err;
        EXPECT_NE(r.out.find("exit 0"), std::string::npos) << r.out << r.err;
        const std::string ini = testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));
        EXPECT_NE(ini.find("RecLog="), std::string::npos) << "no closing run";
        EXPECT_EQ(ini.find("zzqq"), std::string::npos) << "what was typed was saved";
    }
}
