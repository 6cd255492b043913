#pragma once
// The common ground of the upload run tests: a program folder, a local site folder, an FTP server
// (pyftpdlib on 127.0.0.1, started per test, recording every command it receives), the shared
// state with settings that point at it, the operation log, a scripted user interface, and an upload
// context whose hooks record how often the check cycle's parts were asked to stop.

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "net/NMFtp.h"
#include "platform/ScriptedUserInterface.h"
#include "support/ClosedPort.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"
#include "upload/UploadContext.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace uploadtest {

// Each FTP wait in these tests ends after this long at the latest.
inline constexpr int kFtpWaitMs = 15000;

// "kind text" with the text in UTF-8, for readable comparisons of log rows.
std::string Row(int kind, std::u8string_view text);
std::string Row(int kind, const std::string& cp932Text);
std::string Utf8(std::u8string_view text);
// Code page 932 bytes of a UTF-8 literal.
std::string Sjis(std::u8string_view text);

// Bytes that are no text: every value, line breaks included.
std::string BinaryBytes(size_t size, unsigned seed);

// A page with a link to the home server (ReplaceLink 192.168.0.2) and its rewritten form for
// 203.0.113.5 as stored by the server in text mode (LF line ends).
std::string LinkedPage(const std::string& title);
std::string LinkedPageOnServer(const std::string& title);
// A page without any link to the home server.
std::string PlainPage(const std::string& title);

struct HookCalls
{
    int stopAbortTimer = 0;
    int cancelLookup = 0;
    int stopBrowser = 0;
    std::vector<bool> stopMail;
    int releaseSettings = 0;
};

class UploadTest : public testing::Test
{
protected:
    UploadTest();

    // Starts the server; extra arguments go to ftpserver.py (--refuse-store NAME ...).
    void StartServer(const QStringList& extra = {});
    // A port on 127.0.0.1 where nothing listens.
    static quint16 ClosedPort() { return testsupport::ClosedPort(); }

    settings::TConfig& Config() { return *m_state.Settings; }

    // Files of the local site, the prepared closing folder and the server (relative paths with "/").
    void WriteSite(const QString& path, const std::string& bytes);
    void WritePrepared(const QString& path, const std::string& bytes);
    std::string OnServer(const QString& path) const;
    bool ExistsOnServer(const QString& path) const;
    // Every command line the server received, without PASV and PORT (their ports vary).
    QStringList Commands() const;
    // The same lines by the connection that sent them (its port), each in its order.
    std::map<QString, QStringList> CommandsByConnection() const;
    // The transfer type in force at each "STOR" of one connection's commands ("A" or "I"), by the
    // name stored; of the command log when no commands are given.
    std::map<QString, QString> TypesAtStore() const { return TypesAtStore(Commands()); }
    static std::map<QString, QString> TypesAtStore(const QStringList& commands);
    // The log rows as Row() gives them.
    std::vector<std::string> LogRows() const;
    // The texts the status bar was given, in order, as UTF-8.
    std::vector<std::string> StatusTexts() const;
    // Every file below a folder with its bytes, for before/after comparisons.
    static std::vector<std::pair<QString, std::string>> Snapshot(const QString& folder);

    bool UploadCopyExists() const;

    testsupport::TempFolder m_home;
    testsupport::TempFolder m_site{false};
    testsupport::TempFolder m_prepared{false};
    testsupport::TempFolder m_root{false};
    testsupport::TempFolder m_serverFiles{false};
    testsupport::ServerProcess m_server;
    core::MainState m_state;
    net::TNMFTP m_ftp;
    core::OperationLog m_log;
    platform::ScriptedUserInterface m_ui;
    HookCalls m_hooks;
    upload::UploadContext m_context;
};

} // namespace uploadtest
