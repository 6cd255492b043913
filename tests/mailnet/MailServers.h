#pragma once
// The real mail servers of the mail tests, each started on 127.0.0.1 with an ephemeral port in a
// temporary folder of its own: aiosmtpd (tests/servers/smtpserver.py) and dovecot's POP3 server
// (tests/servers/pop3server.py).

#include "settings/ConfigUnit.h"
#include "support/ClosedPort.h"
#include "support/ServerProcess.h"

#include <QTemporaryDir>
#include <string>
#include <vector>

namespace mailtest {

inline constexpr const char* kUser = "quill";
inline constexpr const char* kPassword = "s3cret";

// One message as the SMTP server stored it.
struct ReceivedMail
{
    std::string helo;     // the HELO or EHLO argument
    std::string mailFrom; // envelope sender
    std::vector<std::string> rcptTos;
    std::string login; // authenticated user, empty without AUTH
    std::string data;  // the bytes after DATA, transparency dots removed
};

class SmtpServer
{
public:
    bool Start();
    quint16 Port() const { return m_process.port(); }
    QString Error() const { return m_process.error(); }
    // Messages stored so far, in the order they arrived.
    std::vector<ReceivedMail> Messages() const;

private:
    QTemporaryDir m_dir;
    testsupport::ServerProcess m_process;
};

class Pop3Server
{
public:
    bool Start();
    // Stops dovecot and waits until it is gone.
    void Stop() { m_process.stop(); }
    quint16 Port() const { return m_process.port(); }
    QString Error() const { return m_process.error(); }

private:
    QTemporaryDir m_dir;
    testsupport::ServerProcess m_process;
};

using testsupport::ClosedPort;

// Settings that mail notices to the server as the test user (the address is left to the test).
void UseSmtpServer(settings::TConfig& config, const SmtpServer& smtp);

// The header lines (without CR LF) and the body bytes of a stored message.
std::vector<std::string> HeaderLines(const std::string& data);
std::string BodyOf(const std::string& data);

} // namespace mailtest
