#include "UploadFixture.h"

#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "rewrite/Annotations.h"
#include "rewrite/PageFile.h"
#include "text/Sjis.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <random>

namespace uploadtest {

std::string Utf8(std::u8string_view text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string Sjis(std::u8string_view text)
{
    return text::Sjis(text);
}

std::string Row(int kind, std::u8string_view text)
{
    return std::to_string(kind) + " " + Utf8(text);
}

std::string Row(int kind, const std::string& cp932Text)
{
    return std::to_string(kind) + " " + platform::Cp932ToUtf8(cp932Text);
}

std::string BinaryBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    // Make sure line breaks of every kind are among them.
    if (size >= 8)
        bytes.replace(0, 8, "\r\n\n\r\x1a\0\r\n", 8);
    return bytes;
}

std::string LinkedPage(const std::string& title)
{
    return "<html>\r\n<head><title>" + title + "</title></head>\r\n<body>\r\n" +
           "<p><a href=\"http://192.168.0.2/index.html\">home</a></p>\r\n" +
           "<p>v<!-- Quillmap Version --></p>\r\n" + "<!-- Quillmap Closed -->\r\n</body>\r\n</html>\r\n";
}

std::string LinkedPageOnServer(const std::string& title)
{
    return "<html>\n<head><title>" + title + "</title></head>\n<body>\n" +
           "<p><a href=\"http://203.0.113.5/index.html\">home</a></p>\n" + "<p>v" +
           rewrite::VersionNumberText() + "</p>\n" + "<!-- Quillmap Closed -->\n</body>\n</html>\n";
}

std::string PlainPage(const std::string& title)
{
    return "<html>\r\n<head><title>" + title +
           "</title></head>\r\n<body>\r\n<p>nothing to rewrite</p>\r\n</body>\r\n"
           "</html>\r\n";
}

UploadTest::UploadTest()
    : m_context{m_state, m_ftp, m_log, m_ui,
                upload::UploadHooks{[this] { ++m_hooks.stopAbortTimer; }, [this] { ++m_hooks.cancelLookup; },
                                    [this] { ++m_hooks.stopBrowser; },
                                    [this](bool cancel) { m_hooks.stopMail.push_back(cancel); },
                                    [this] {
                                        ++m_hooks.releaseSettings;
                                        m_state.Settings.reset();
                                    }}}
{
    m_state.Settings = std::make_unique<settings::TConfig>();
    settings::TConfig& c = *m_state.Settings;
    c.FtpServer = "127.0.0.1";
    c.FtpPort = ClosedPort();
    c.FtpUser = "quill";
    c.FtpPass = "secret";
    c.FtpPasv = 1;
    c.ReplaceFolder = platform::PathToCp932(m_site.path());
    c.ReplaceAllFolder = 1;
    c.ReplaceLink = "192.168.0.2";
    c.ReplaceExt = "*.htm;*.html";
    c.ReplaceOnly = 1;
    c.ClosedFile = platform::PathToCp932(m_prepared.path());
    c.ClosedString = Sjis(u8"<p>ただいま休止中です</p>");
    c.PrevIP = "203.0.113.5";
    m_state.NewGlobalIP = "203.0.113.5";
    m_ftp.TimeOut = kFtpWaitMs;
}

void UploadTest::StartServer(const QStringList& extra)
{
    const QStringList args =
        QStringList{
            QStringLiteral("--root"),           m_root.path(),
            QStringLiteral("--user"),           QStringLiteral("quill"),
            QStringLiteral("--password"),       QStringLiteral("secret"),
            QStringLiteral("--command-log"),    m_serverFiles.file(QStringLiteral("commands.log")),
            QStringLiteral("--connection-log"), m_serverFiles.file(QStringLiteral("connections.log"))} +
        extra;
    ASSERT_TRUE(m_server.startPython(QStringLiteral("ftpserver.py"), args)) << m_server.error().toStdString();
    Config().FtpPort = m_server.port();
}

namespace {

void WriteUnder(const testsupport::TempFolder& folder, const QString& path, const std::string& bytes)
{
    const QString full = folder.file(path);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
    testsupport::WriteBytes(full, bytes);
}

} // namespace

void UploadTest::WriteSite(const QString& path, const std::string& bytes)
{
    WriteUnder(m_site, path, bytes);
}

void UploadTest::WritePrepared(const QString& path, const std::string& bytes)
{
    WriteUnder(m_prepared, path, bytes);
}

std::string UploadTest::OnServer(const QString& path) const
{
    return testsupport::ReadBytes(m_root.file(path));
}

bool UploadTest::ExistsOnServer(const QString& path) const
{
    return QFileInfo::exists(m_root.file(path));
}

QStringList UploadTest::Commands() const
{
    const QString log =
        QString::fromUtf8(testsupport::ReadBytes(m_serverFiles.file(QStringLiteral("commands.log"))));
    QStringList lines = log.split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line == u"PASV" || line.startsWith(u"PORT "); });
    return lines;
}

std::map<QString, QStringList> UploadTest::CommandsByConnection() const
{
    const QString log =
        QString::fromUtf8(testsupport::ReadBytes(m_serverFiles.file(QStringLiteral("connections.log"))));
    std::map<QString, QStringList> byConnection;
    for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts)) {
        const QString command = line.section(u' ', 1);
        if (command != u"PASV" && !command.startsWith(u"PORT "))
            byConnection[line.section(u' ', 0, 0)].append(command);
    }
    return byConnection;
}

std::map<QString, QString> UploadTest::TypesAtStore(const QStringList& commands)
{
    std::map<QString, QString> types;
    QString type;
    for (const QString& line : commands) {
        if (line.startsWith(u"USER "))
            type.clear(); // a new connection starts without one
        else if (line.startsWith(u"TYPE "))
            type = line.mid(5);
        else if (line.startsWith(u"STOR "))
            types[line.mid(5)] = type;
    }
    return types;
}

std::vector<std::string> UploadTest::LogRows() const
{
    std::vector<std::string> rows;
    for (const core::LogRow& row : m_log.Rows())
        rows.push_back(Row(row.Kind, row.Text));
    return rows;
}

std::vector<std::string> UploadTest::StatusTexts() const
{
    std::vector<std::string> texts;
    for (const auto& call : m_ui.Calls())
        if (call.kind == platform::ScriptedUserInterface::Kind::Status)
            texts.push_back(platform::Cp932ToUtf8(call.text));
    return texts;
}

std::vector<std::pair<QString, std::string>> UploadTest::Snapshot(const QString& folder)
{
    std::vector<std::pair<QString, std::string>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.emplace_back(QDir(folder).relativeFilePath(path), testsupport::ReadBytes(path));
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool UploadTest::UploadCopyExists() const
{
    return QFileInfo::exists(platform::PathFromCp932(rewrite::UploadCopyPath()));
}

} // namespace uploadtest
