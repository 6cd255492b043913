#include "core/OperationLog.h"

#include "core/Version.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "platform/UserInterface.h"
#include "text/Sjis.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace core {

namespace {

// The time of a log line: the locale's long time without the time zone that Qt's locale data adds
// to it (a log line shows the local time, as the clock on the desktop does). Japanese desktops write
// times as 11:33:55 (Qt's long format there is 11時33分55秒), as Log.txt always had them.
QString LogTimeFormat(const QLocale& locale)
{
    if (locale.language() == QLocale::Japanese)
        return QStringLiteral("H:mm:ss");
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.trimmed();
}

// A log text comes partly from outside: file and folder names, server replies. A line break in
// it would start a row of its own in "Log.txt" that looks like one the program wrote, and a TAB
// would shift the columns, so every control character shows as "?". Code page 932 trail bytes are
// 0x40 and above and never 0x7F, so no double-byte character is touched.
std::string VisibleText(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = '?';
    }
    return out;
}

} // namespace

OperationLog::OperationLog(QObject* parent) : QObject(parent) {}

std::string OperationLog::TimeText()
{
    return TimeText(QDateTime::currentDateTime(), QLocale::system());
}

std::string OperationLog::TimeText(const QDateTime& time, const QLocale& locale)
{
    const QString text = locale.toString(time.date(), QLocale::ShortFormat) + u' ' +
                         locale.toString(time.time(), LogTimeFormat(locale));
    return platform::QStringToCp932(text);
}

void OperationLog::SetRecLog(bool on)
{
    // Switching the option on again is the user's way of saying the file is worth another try.
    if (on && !m_recLog)
        m_fileFailed = false;
    m_recLog = on;
}

void OperationLog::AppendRow(LogRow row)
{
    const size_t limit = m_logRowMax > 0 ? static_cast<size_t>(m_logRowMax) : 0;
    if (m_rows.size() > limit) {
        m_rows.pop_front();
        emit FirstRowRemoved();
    }
    m_rows.push_back(std::move(row));
    emit RowAdded(m_rows.back());
}

bool OperationLog::WriteFileLine(const LogRow& row)
{
    QFile file(LogFilePath());
    // The log names hosts, users and the providers' answers: a new file is for its owner only.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    const qint64 before = file.size();
    const std::string line = row.Time + '\t' + row.Text + "\r\n";
    const auto size = static_cast<qint64>(line.size());
    const bool written = file.write(line.data(), size) == size && file.flush();
    if (!written)
        file.resize(before); // a cut line would spoil the file for whoever reads it
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

void OperationLog::AddLog(const std::string& text, LogKind kind)
{
    const LogRow row{TimeText(), VisibleText(text), kind};
    AppendRow(row);
    // The file is written before events are processed, so that a line logged by a timer that
    // runs meanwhile comes after this one in the file as in the list.
    if (m_recLog && !m_fileFailed && !WriteFileLine(row)) {
        m_fileFailed = true;
        AppendRow({TimeText(), text::Sjis(u8"ﾛｸﾞﾌｧｲﾙに書き込めませんでした"), lkRunFailure});
    }
    // The row shows at once, even in the middle of a long operation.
    QCoreApplication::processEvents();
}

QString LogFilePath()
{
    return platform::ProgramFile(QStringLiteral("Log.txt"));
}

void ShowLogFile(platform::UserInterface& ui)
{
    const QString path = LogFilePath();
    if (!QFileInfo(path).isFile()) {
        ui.ShowInformation(text::Sjis(u8"ﾛｸﾞﾌｧｲﾙはありません。"), kProgramTitle);
        return;
    }
    // The user may open the file by hand: the message names it.
    if (!ui.OpenDocument(platform::PathToCp932(path)))
        ui.ShowWarning(text::Sjis(u8"ﾛｸﾞﾌｧｲﾙを開けませんでした。") + "\r\n" + platform::PathToCp932(path),
                       kProgramTitle);
}

void ClearLogFile(platform::UserInterface& ui)
{
    const QString path = LogFilePath();
    if (!QFileInfo(path).isFile()) {
        ui.ShowInformation(text::Sjis(u8"ﾛｸﾞﾌｧｲﾙはありません。"), kProgramTitle);
        return;
    }
    if (!QFile::remove(path)) {
        ui.ShowWarning(text::Sjis(u8"ﾛｸﾞﾌｧｲﾙを削除できませんでした。"), kProgramTitle);
        return;
    }
    ui.ShowInformation(text::Sjis(u8"ﾛｸﾞﾌｧｲﾙを削除しました。"), kProgramTitle);
}

} // namespace core
