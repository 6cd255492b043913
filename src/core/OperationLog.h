#pragma once
// The operation log: everything the program does on its own is reported here, as rows of time,
// text and kind, and, while the file option is on, as lines of "Log.txt" in the program's folder.
// The main window's list binds to the signals; the check cycle sets the file option and the row
// limit from the settings and the main window's check box.
//
// Texts are code page 932. The file gets code page 932 lines "time TAB text CR LF"; it is opened,
// appended to and closed for every line, and never trimmed.

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <deque>
#include <string>

namespace platform {
class UserInterface;
}

namespace core {

// The kind of a row, which is also the index of its icon.
enum LogKind : unsigned char {
    lkRunFailure = 0, // a run failed (page unreachable, address not found, upload or mail failed)
    lkStepError = 1,  // a step of a transfer failed
    lkEvent = 2,      // something happened (address changed, file uploaded)
};

struct LogRow
{
    std::string Time;
    std::string Text;
    LogKind Kind = lkEvent;
};

class OperationLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultLogRowMax = 300;

    explicit OperationLog(QObject* parent = nullptr);

    // Adds a row (and a line of the file when the file option is on); control characters in the
    // text (line breaks, TAB, ...) show as "?", so one row is always one line. Never throws into the
    // operation that logs: a file that cannot be written is reported once as a row of its own,
    // and the file is left alone until the option is switched off and on again.
    void AddLog(const std::string& text, LogKind kind);

    // The file option (the main window's "ﾛｸﾞをﾌｧｲﾙに保存する"), read at every line.
    void SetRecLog(bool on);
    bool RecLog() const { return m_recLog; }
    // The list keeps at most LogRowMax + 1 rows; a lowered limit takes one old row per new row.
    void SetLogRowMax(int rows) { m_logRowMax = rows; }
    int LogRowMax() const { return m_logRowMax; }

    const std::deque<LogRow>& Rows() const { return m_rows; }

    // The time text of a row, in the list, in Log.txt and on the service's output alike: the
    // system's short date, a blank, and its long time without a time zone (H:mm:ss on Japanese
    // desktops, "2026/12/08 11:33:55").
    static std::string TimeText();
    static std::string TimeText(const QDateTime& time, const QLocale& locale);

signals:
    // The oldest row has gone (it always goes before the row that replaces it arrives).
    void FirstRowRemoved();
    void RowAdded(const core::LogRow& row);

private:
    void AppendRow(LogRow row);
    bool WriteFileLine(const LogRow& row);

    std::deque<LogRow> m_rows;
    int m_logRowMax = kDefaultLogRowMax;
    bool m_recLog = false;
    bool m_fileFailed = false;
};

// The path of "Log.txt" in the program's folder.
QString LogFilePath();

// "ﾛｸﾞﾌｧｲﾙ表示": opens the file with the desktop's default handler, or says there is none.
void ShowLogFile(platform::UserInterface& ui);
// "ﾛｸﾞﾌｧｲﾙｸﾘｱ": deletes the file and says so, or says there is none. The rows stay.
void ClearLogFile(platform::UserInterface& ui);

} // namespace core
