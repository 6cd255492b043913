// `quillmap settings`: what it prints, what --save writes, and how a failed save is reported.
#include "TestPaths.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using settingstest::FixturePath;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

using Result = testsupport::ProgramResult;

constexpr uid_t kNobody = 65534;

// True when user 65534 may walk down to path: every folder on the way lets others search it.
bool ReachableByNobody(const QString& path)
{
    for (QString dir = QFileInfo(path).absoluteFilePath();; dir = QFileInfo(dir).path()) {
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || (st.st_mode & S_IXOTH) == 0)
            return false;
        if (dir == QLatin1String("/"))
            return true;
    }
}

// Runs the program with the given folder as its folder; a hang fails the test instead of blocking it.
// The program is the one built, or the copy given.
Result RunSettings(const QString& home, const QStringList& extra, bool asNobody = false,
                   const QString& program = QStringLiteral(QUILLMAP_BINARY))
{
    const auto prepare = [asNobody](QProcess& process) {
        if (!asNobody)
            return;
        process.setChildProcessModifier([] {
            // In the child, before exec: drop root so that folder permissions apply.
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(97);
        });
    };
    return testsupport::RunProgram(QStringList{QStringLiteral("--home"), home, QStringLiteral("settings")} +
                                       extra,
                                   30000, prepare, program);
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

} // namespace

TEST(SettingsCommand, PrintsEveryFieldAndHidesPasswords)
{
    TempFolder folder(false);
    WriteBytes(folder.file(QStringLiteral("Quillmap.ini")), ReadBytes(FixturePath("v1.3.ini")));
    const std::string expected = Joined(settingstest::ReadLines(FixturePath("v1.3.expected")));

    const Result shown = RunSettings(folder.path(), {QStringLiteral("--show-passwords")});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, expected);
    EXPECT_EQ(shown.err, "");

    const Result hidden = RunSettings(folder.path(), {});
    EXPECT_EQ(hidden.exitCode, 0);
    EXPECT_NE(hidden.out.find("\nFTP/Pass=****\n"), std::string::npos);
    EXPECT_EQ(hidden.out.find("P@ss-w0rd_~"), std::string::npos);
    EXPECT_NE(hidden.out.find("\nFTP/User=太郎\n"), std::string::npos);
}

TEST(SettingsCommand, SaveGivesANewFolderACompleteFile)
{
    TempFolder folder(false);
    const Result first = RunSettings(folder.path(), {QStringLiteral("--save")});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    // First run: the Readme.txt shipped next to the program is copied in and pointed at.
    const QString readme = QDir(folder.path()).filePath(QStringLiteral("Readme.txt"));
    EXPECT_TRUE(QFile::exists(readme));
    EXPECT_NE(first.err.find(readme.toStdString()), std::string::npos) << first.err;
    const std::string ini = ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));
    EXPECT_TRUE(ini.starts_with("[Config]\r\nShowWindow=1\r\n"));
    EXPECT_TRUE(ini.ends_with("[Closed]\r\nUse=0\r\nMode=0\r\nFast=0\r\nString=\r\nFile=\r\n"));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(folder.file(QStringLiteral("Quillmap.ini"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const Result second = RunSettings(folder.path(), {});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.err, "") << "no first-run help once the file exists";
    EXPECT_TRUE(second.out.starts_with("About/Version=1.3\n")) << second.out;
}

TEST(SettingsCommand, ReadOnlyFolder)
{
    TempFolder folder(false);
    const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
    const std::string old = "[Config]\r\nInterval=7\r\n";
    WriteBytes(ini, old);
    // Root may write anywhere; the program then runs as nobody, from a copy in a folder that nobody
    // can reach: the build folder may lie where only root may go (a clone in /root or in a
    // `mktemp -d` folder).
    const bool asNobody = geteuid() == 0;
    QString program = QStringLiteral(QUILLMAP_BINARY);
    QTemporaryDir programDir;
    if (asNobody) {
        ASSERT_TRUE(programDir.isValid());
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        ASSERT_TRUE(QFile::setPermissions(programDir.path(), everyone));
        program = programDir.filePath(QStringLiteral("quillmap"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLMAP_BINARY), program));
        ASSERT_TRUE(QFile::setPermissions(program, everyone));
        if (!ReachableByNobody(program) || !ReachableByNobody(QFileInfo(folder.path()).path()))
            GTEST_SKIP() << "user " << kNobody << " cannot reach the temporary folder "
                         << QDir::tempPath().toStdString()
                         << "; set TMPDIR to a folder that everyone may enter to run this test as root";
    }
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0555), 0);
    const Result r = RunSettings(folder.path(), {QStringLiteral("--save")}, asNobody, program);
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);

    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "quillmap: " + ini.toStdString() + " に書き込めません\n");
    EXPECT_NE(r.out.find("\nConfig/Interval=7\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(ini), old);
}

TEST(SettingsCommand, UnknownArgument)
{
    TempFolder folder(false);
    const Result r = RunSettings(folder.path(), {QStringLiteral("--bogus")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Quillmap.ini"))));
}
