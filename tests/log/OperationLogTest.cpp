// The operation log: the row limit, the signals for the list, Log.txt and what happens when it
// cannot be written, and the two buttons of the log tab.
#include "core/OperationLog.h"
#include "TestPaths.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

using core::OperationLog;
using platform::ScriptedUserInterface;

namespace {

// Counts what a list view bound to the log would do.
struct ListMirror
{
    explicit ListMirror(OperationLog& log)
    {
        QObject::connect(&log, &OperationLog::RowAdded,
                         [this](const core::LogRow& row) { rows.push_back(row); });
        QObject::connect(&log, &OperationLog::FirstRowRemoved, [this] { rows.erase(rows.begin()); });
    }
    std::vector<core::LogRow> rows;
};

std::vector<std::string> FileLines(const testsupport::TempFolder& folder)
{
    const std::string bytes = testsupport::ReadBytes(folder.file(QStringLiteral("Log.txt")));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string TextOf(const std::string& line)
{
    const size_t tab = line.find('\t');
    return tab == std::string::npos ? std::string() : line.substr(tab + 1);
}

} // namespace

TEST(LogRows, TheListKeepsLogRowMaxPlusOneRows)
{
    testsupport::TempFolder folder;
    OperationLog log;
    ListMirror list(log);
    log.SetLogRowMax(300);
    for (int i = 0; i < 400; ++i)
        log.AddLog("line " + std::to_string(i), core::lkEvent);
    ASSERT_EQ(log.Rows().size(), 301u);
    EXPECT_EQ(log.Rows().front().Text, "line 99");
    EXPECT_EQ(log.Rows().back().Text, "line 399");
    ASSERT_EQ(list.rows.size(), 301u);
    EXPECT_EQ(list.rows.front().Text, "line 99");
}

TEST(LogRows, ALoweredLimitTakesOneOldRowPerNewRow)
{
    testsupport::TempFolder folder;
    OperationLog log;
    for (int i = 0; i < 301; ++i)
        log.AddLog("x", core::lkEvent);
    log.SetLogRowMax(10);
    log.AddLog("new", core::lkEvent);
    EXPECT_EQ(log.Rows().size(), 301u);
    log.AddLog("newer", core::lkEvent);
    EXPECT_EQ(log.Rows().size(), 301u);
    EXPECT_EQ(log.Rows().back().Text, "newer");
}

TEST(LogRows, RowsKeepTheirKindTextAndATime)
{
    testsupport::TempFolder folder;
    OperationLog log;
    const std::string text = text::Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽが変わりました");
    log.AddLog(text, core::lkEvent);
    log.AddLog("b", core::lkStepError);
    log.AddLog("c", core::lkRunFailure);
    ASSERT_EQ(log.Rows().size(), 3u);
    EXPECT_EQ(log.Rows()[0].Text, text);
    EXPECT_EQ(log.Rows()[0].Kind, core::lkEvent);
    EXPECT_EQ(log.Rows()[1].Kind, core::lkStepError);
    EXPECT_EQ(log.Rows()[2].Kind, core::lkRunFailure);
    EXPECT_FALSE(log.Rows()[0].Time.empty());
    // Without the file option there is no file.
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Log.txt"))));
}

TEST(LogRows, TheTimeTextHasNoTimeZone)
{
    // Qt's long time formats carry the zone ("21:23:40 UTC"); the desktop's clock does not.
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "UTC");
    const std::string time = OperationLog::TimeText();
    if (savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedTz);
    EXPECT_EQ(time.find("UTC"), std::string::npos) << time;
    // The time is written as the user's locale writes times: whatever its short format puts after
    // the hour (":" in English or Japanese, "." in Finnish) separates the hour from the minutes.
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    const qsizetype hour = format.indexOf(QRegularExpression(QStringLiteral("[hH]+")));
    ASSERT_GE(hour, 0) << format.toStdString();
    qsizetype after = hour;
    while (after < format.size() && (format[after] == u'h' || format[after] == u'H'))
        ++after;
    ASSERT_LT(after, format.size()) << format.toStdString();
    const std::string separator = platform::QStringToCp932(format.mid(after, 1));
    EXPECT_NE(time.find(separator), std::string::npos) << time << " in the format " << format.toStdString();
}

TEST(LogRows, JapaneseDesktopsGetTheShortDateAndA24HourTimeOthersKeepTheirOwn)
{
    const QDateTime time(QDate(2026, 12, 8), QTime(11, 33, 55), Qt::UTC);
    const QDateTime evening(QDate(2026, 12, 8), QTime(21, 3, 5), Qt::UTC);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(OperationLog::TimeText(time, japanese), "2026/12/08 11:33:55");
    EXPECT_EQ(OperationLog::TimeText(evening, japanese), "2026/12/08 21:03:05");
    // Elsewhere the locale's own long time, still without its zone.
    const std::string us = OperationLog::TimeText(evening, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_NE(us.find("9:03:05"), std::string::npos) << us;
    EXPECT_NE(us.find("PM"), std::string::npos) << us;
    EXPECT_EQ(us.find("UTC"), std::string::npos) << us;
    const std::string german = OperationLog::TimeText(evening, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_NE(german.find("21:03:05"), std::string::npos) << german;
    EXPECT_EQ(german.find("UTC"), std::string::npos) << german;
}

TEST(LogFile, LinesAreTimeTabTextCrLfInCodePage932)
{
    testsupport::TempFolder folder;
    OperationLog log;
    log.SetRecLog(true);
    const std::string text = text::Sjis(u8"index.htm ｱｯﾌﾟﾛｰﾄﾞ");
    log.AddLog(text, core::lkEvent);
    log.AddLog("second", core::lkStepError);
    const std::vector<std::string> lines = FileLines(folder);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], log.Rows()[0].Time + "\t" + text);
    EXPECT_EQ(TextOf(lines[1]), "second");
    // The rows name hosts, users and providers' answers: the new file is its owner's alone, whatever
    // the umask.
    EXPECT_EQ(QFile::permissions(folder.file(QStringLiteral("Log.txt"))),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                  QFileDevice::WriteUser);
}

TEST(LogFile, TheOptionIsReadAtEveryLineAndTheFileIsAppendedTo)
{
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder.file(QStringLiteral("Log.txt")), "old\tline\r\n");
    OperationLog log;
    log.SetRecLog(true);
    log.AddLog("one", core::lkEvent);
    log.SetRecLog(false);
    log.AddLog("two", core::lkEvent);
    log.SetRecLog(true);
    log.AddLog("three", core::lkEvent);
    const std::vector<std::string> lines = FileLines(folder);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "old\tline");
    EXPECT_EQ(TextOf(lines[1]), "one");
    EXPECT_EQ(TextOf(lines[2]), "three");
    EXPECT_EQ(log.Rows().size(), 3u);
}

TEST(LogFile, AnUnwritableFileIsReportedOnceAndTheListGoesOn)
{
    testsupport::TempFolder folder;
    // A folder where the file should be: no one, not even root, can write it as a file.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Log.txt")));
    OperationLog log;
    log.SetRecLog(true);
    EXPECT_NO_THROW(log.AddLog("first", core::lkEvent));
    EXPECT_NO_THROW(log.AddLog("second", core::lkEvent));
    ASSERT_EQ(log.Rows().size(), 3u);
    EXPECT_EQ(log.Rows()[0].Text, "first");
    EXPECT_EQ(platform::Cp932ToUtf8(log.Rows()[1].Text), "ﾛｸﾞﾌｧｲﾙに書き込めませんでした");
    EXPECT_EQ(log.Rows()[1].Kind, core::lkRunFailure);
    EXPECT_EQ(log.Rows()[2].Text, "second");

    // Once the folder is gone the file works again, but only after the option was switched
    // off and on.
    ASSERT_TRUE(QDir(folder.path()).rmdir(QStringLiteral("Log.txt")));
    log.AddLog("third", core::lkEvent);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Log.txt"))));
    log.SetRecLog(true);
    log.AddLog("fourth", core::lkEvent);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Log.txt"))));
    log.SetRecLog(false);
    log.SetRecLog(true);
    log.AddLog("fifth", core::lkEvent);
    const std::vector<std::string> lines = FileLines(folder);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(TextOf(lines[0]), "fifth");
    EXPECT_EQ(log.Rows().size(), 6u);
}

TEST(LogButtons, ShowOpensTheFileOrSaysThereIsNone)
{
    testsupport::TempFolder folder;
    ScriptedUserInterface ui;
    core::ShowLogFile(ui);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Information);
    EXPECT_EQ(platform::Cp932ToUtf8(ui.Calls()[0].text), "ﾛｸﾞﾌｧｲﾙはありません。");

    ui.Clear();
    testsupport::WriteBytes(folder.file(QStringLiteral("Log.txt")), "x\r\n");
    core::ShowLogFile(ui);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Open);
    EXPECT_EQ(platform::PathFromCp932(ui.Calls()[0].text),
              QDir::cleanPath(folder.file(QStringLiteral("Log.txt"))));

    ui.Clear();
    ui.SetOpenResult(false);
    core::ShowLogFile(ui);
    EXPECT_EQ(ui.Count(ScriptedUserInterface::Kind::Warning), 1u);
}

TEST(LogButtons, ClearDeletesTheFileButNotTheRows)
{
    testsupport::TempFolder folder;
    OperationLog log;
    log.SetRecLog(true);
    log.AddLog("before", core::lkEvent);
    ScriptedUserInterface ui;
    core::ClearLogFile(ui);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Log.txt"))));
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, ScriptedUserInterface::Kind::Information);
    EXPECT_EQ(platform::Cp932ToUtf8(ui.Calls()[0].text), "ﾛｸﾞﾌｧｲﾙを削除しました。");
    EXPECT_EQ(log.Rows().size(), 1u);

    ui.Clear();
    core::ClearLogFile(ui);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(platform::Cp932ToUtf8(ui.Calls()[0].text), "ﾛｸﾞﾌｧｲﾙはありません。");

    // The next line makes the file anew.
    log.AddLog("after", core::lkEvent);
    const std::vector<std::string> lines = FileLines(folder);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(TextOf(lines[0]), "after");
}

TEST(LogButtons, TheCommandLineDeletesTheFile)
{
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder.file(QStringLiteral("Log.txt")), "x\r\n");
    const auto run = [&folder](const QString& option) {
        const testsupport::ProgramResult r = testsupport::RunProgram(
            {QStringLiteral("--home"), folder.path(), QStringLiteral("log"), option}, 30000);
        EXPECT_EQ(r.exitCode, 0);
        return r.err;
    };
    EXPECT_EQ(run(QStringLiteral("--delete")), "ﾛｸﾞﾌｧｲﾙを削除しました。\n");
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Log.txt"))));
    EXPECT_EQ(run(QStringLiteral("--delete")), "ﾛｸﾞﾌｧｲﾙはありません。\n");
    EXPECT_EQ(run(QStringLiteral("--open")), "ﾛｸﾞﾌｧｲﾙはありません。\n");
}
