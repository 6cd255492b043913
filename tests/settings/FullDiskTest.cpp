// Saving the settings on a file system with no space left: the old Quillmap.ini stays byte for byte,
// the user reads "<path> に書き込めません" and the program ends with a failure status. The disk is a
// really full tmpfs, mounted in a private user and mount namespace (`unshare -rm`, no privilege
// needed); where namespaces are not available the tests say so and are skipped.
#include "TestPaths.h"
#include "platform/WaitLoop.h"
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

constexpr int kWaitMs = 30000;

// Mounts a small tmpfs on $1, puts $2/before.ini there as Quillmap.ini, fills every block that is
// left, then runs the rest of the arguments with the full disk as the program's folder. The program
// runs in the background so the test can signal it: its pid goes to $2/pid, its exit status to $2/rc,
// and what the disk holds afterwards to $2/after.ini and $2/listing.
const char* const kFullDiskScript = R"(set -u
disk=$1; out=$2; shift 2
mount -t tmpfs -o size=64k tmpfs "$disk" || exit 90
cp "$out/before.ini" "$disk/Quillmap.ini" || exit 91
cat /dev/zero > "$disk/fill" 2>/dev/null
"$@" >"$out/stdout" 2>"$out/stderr" &
pid=$!
echo "$pid" > "$out/pid.tmp" && mv "$out/pid.tmp" "$out/pid"
wait "$pid"
echo $? > "$out/rc"
cp "$disk/Quillmap.ini" "$out/after.ini"
LC_ALL=C ls -A "$disk" > "$out/listing"
)";

bool NamespacesAvailable()
{
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

bool Exists(const QString& path)
{
    return QFile::exists(path);
}

// Files written by another process send no event: the wait looks again every 50 ms.
bool WaitFor(const std::function<bool()>& done)
{
    QTimer poll;
    poll.start(50);
    return platform::WaitUntil(done, kWaitMs) == platform::WaitResult::Done;
}

class FullDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NamespacesAvailable())
            GTEST_SKIP() << "user and mount namespaces are not available here (`unshare -rm true` failed); "
                            "the full-disk save cannot be tested on this machine";
        ASSERT_TRUE(QDir().mkpath(disk()));
    }
    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString disk() const { return out.file(QStringLiteral("disk")); }
    QString outFile(const char* name) const { return out.file(QString::fromLatin1(name)); }

    // Starts the program on the full disk with the given arguments after "--home <disk>".
    void start(const std::string& before, const QStringList& args)
    {
        WriteBytes(outFile("before.ini"), before);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The single-instance lock lives outside the full disk.
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), out.path());
        env.insert(QStringLiteral("QUILLMAP_MINUTE_MS"), QStringLiteral("300"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral("unshare"),
                        QStringList{QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                                    QString::fromLatin1(kFullDiskScript), QStringLiteral("sh"), disk(),
                                    out.path(), QStringLiteral(QUILLMAP_BINARY), QStringLiteral("--home"),
                                    disk()} +
                            args);
        ASSERT_TRUE(m_process.waitForStarted(10000));
    }
    // Waits for the script's end; the program's exit status, or -1.
    int finish()
    {
        if (!m_process.waitForFinished(kWaitMs)) {
            ADD_FAILURE() << "the program on the full disk did not finish";
            return -1;
        }
        EXPECT_EQ(m_process.exitCode(), 0)
            << "the full-disk script failed: " << m_process.readAllStandardError().toStdString();
        return Exists(outFile("rc")) ? std::stoi(ReadBytes(outFile("rc"))) : -1;
    }
    std::string errors() const { return ReadBytes(outFile("stderr")); }

    TempFolder out{false};
    QProcess m_process;
};

// A complete file as an earlier save wrote it.
std::string SavedSettings()
{
    // Settings that pass the service's check at start: notices by mail, which no check here reaches.
    return "[Config]\r\nShowWindow=1\r\nAutoRun=0\r\nRecLog=0\r\nPrevIP=203.0.113.5\r\nInterval=1\r\n"
           "TimeOut=1\r\nMailNotice=1\r\nMailAddress=owner@example.test\r\n\r\n[About]\r\nVersion=1.3\r\n\r\n"
           "[Gateway]\r\nAuto=0\r\nIP=127.0.0.1:1\r\n\r\n[GlobalIP]\r\nAuto=1\r\n\r\n[FTP]\r\nUpload=0\r\n"
           "Pass=\x95\x93\x53\x42\r\n\r\n[SMTP]\r\nServer=127.0.0.1\r\n";
}

} // namespace

TEST_F(FullDisk, SettingsSaveKeepsTheOldFileAndFails)
{
    const std::string before = SavedSettings();
    start(before, {QStringLiteral("settings"), QStringLiteral("--save")});
    EXPECT_EQ(finish(), 1) << errors();
    EXPECT_EQ(ReadBytes(outFile("after.ini")), before);
    EXPECT_NE(errors().find("Quillmap.ini に書き込めません"), std::string::npos) << errors();
    // No temporary file is left behind on the full disk.
    EXPECT_EQ(ReadBytes(outFile("listing")), "Quillmap.ini\nfill\n");
}

TEST_F(FullDisk, ServiceSaveAtTheEndKeepsTheOldFileAndFails)
{
    // The router: a listener that accepts and never answers. Its first connection shows the service
    // is up and monitoring, with its signal handler in place.
    QTcpServer router;
    ASSERT_TRUE(router.listen(QHostAddress::LocalHost));
    std::string before = SavedSettings();
    const std::string gateway = "IP=127.0.0.1:1";
    before.replace(before.find(gateway), gateway.size(),
                   "IP=127.0.0.1:" + std::to_string(router.serverPort()));

    start(before, {QStringLiteral("--headless")});
    ASSERT_TRUE(WaitFor([&] { return router.hasPendingConnections(); }))
        << "the service made no check: " << errors();
    ASSERT_TRUE(Exists(outFile("pid")));
    const pid_t pid = static_cast<pid_t>(std::stol(ReadBytes(outFile("pid"))));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);

    EXPECT_EQ(finish(), 4) << errors();
    EXPECT_EQ(ReadBytes(outFile("after.ini")), before);
    EXPECT_NE(errors().find("Quillmap.ini に書き込めません"), std::string::npos) << errors();
}
