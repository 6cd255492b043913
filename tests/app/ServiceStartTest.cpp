// The service's start on settings that do not pass the check: each problem is named in the first rows,
// the start fails with exit status 2, and when its output is the journal's stream (JOURNAL_STREAM names
// the output's device and inode, as systemd sets it) each row carries the journal's priority.
#include "ToolRun.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

// The service with its standard output in a file; JOURNAL_STREAM names that file when asked.
std::string StartService(const TempFolder& home, bool journal, int& exitCode)
{
    const QString out = home.file(QStringLiteral("out.txt"));
    WriteBytes(out, "");
    struct stat st
    {
    };
    EXPECT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
    const QString stream = QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
    const testsupport::ProgramResult r =
        testsupport::RunProgram({QStringLiteral("--home"), home.path(), QStringLiteral("--headless")},
                                tooltest::kToolTimeOutMs, [&](QProcess& process) {
                                    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                                    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
                                    if (journal)
                                        env.insert(QStringLiteral("JOURNAL_STREAM"), stream);
                                    else
                                        env.remove(QStringLiteral("JOURNAL_STREAM"));
                                    process.setProcessEnvironment(env);
                                    process.setStandardOutputFile(out, QIODevice::Append);
                                });
    exitCode = r.exitCode;
    return ReadBytes(out);
}

} // namespace

TEST(ServiceStart, SettingsThatFailTheCheckAreNamedAndEndTheStart)
{
    const TempFolder home(false);
    WriteBytes(home.file(QStringLiteral("Quillmap.ini")),
               "[Config]\r\nInterval=0\r\nMailNotice=1\r\n[FTP]\r\nUpload=0\r\n");
    int exitCode = -1;
    const std::string plain = StartService(home, false, exitCode);
    EXPECT_EQ(exitCode, 2);
    EXPECT_NE(plain.find("\t\xE8\xA8\xAD\xE5\xAE\x9A\xE3\x81\xAE\xE8\xAA\xA4\xE3\x82\x8A SMTP.Server: "),
              std::string::npos)
        << plain; // "設定の誤り SMTP.Server: "
    EXPECT_NE(plain.find(" Config.MailAddress: "), std::string::npos) << plain;
    EXPECT_NE(plain.find(" Config.Interval: "), std::string::npos) << plain;
    EXPECT_EQ(plain.find('<'), std::string::npos) << "no priorities outside the journal";

    const std::string journal = StartService(home, true, exitCode);
    EXPECT_EQ(exitCode, 2);
    size_t rows = 0;
    for (size_t at = 0; at < journal.size(); at = journal.find('\n', at) + 1, ++rows)
        EXPECT_EQ(journal.compare(at, 3, "<3>"), 0) << journal.substr(at, journal.find('\n', at) - at);
    EXPECT_EQ(rows, 4u) << journal; // three problems and the refusal
}

TEST(ServiceStart, JournalStreamOfAnotherFileLeavesRowsAsTheyAre)
{
    const TempFolder home(false);
    WriteBytes(home.file(QStringLiteral("Quillmap.ini")), "[FTP]\r\nUpload=0\r\n");
    const TempFolder elsewhere(false);
    int exitCode = -1;
    // Another file's device and inode: the output goes somewhere else than the journal.
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(elsewhere.path()).constData(), &st), 0);
    const testsupport::ProgramResult r = tooltest::Quillmap(
        home.path(), {QStringLiteral("--headless")},
        {{},
         {{QStringLiteral("JOURNAL_STREAM"), QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino)},
          {QStringLiteral("XDG_RUNTIME_DIR"), home.path()}}});
    exitCode = r.exitCode;
    EXPECT_EQ(exitCode, 2);
    EXPECT_NE(r.out.find("FTP.Upload: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('<'), std::string::npos) << r.out;
}
