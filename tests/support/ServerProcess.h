#pragma once
// Starts a test server (a Debian-packaged server driven by a small script of ours) as a child
// process, waits for it to report its ephemeral port, and stops it when the object goes away.
//
// The script must print a line "PORT <number>" on standard output once it listens (further
// "KEY VALUE" lines before it are kept and readable through value()).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

namespace testsupport {

class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Runs program with args; true once "PORT n" arrived within timeoutMs. On failure, error()
    // says why (with what the process printed).
    bool start(const QString& program, const QStringList& args, int timeoutMs = 15000);
    // Shortcut for a script in tests/servers/ run by Debian's /usr/bin/python3.
    bool startPython(const QString& scriptName, const QStringList& args, int timeoutMs = 15000);

    quint16 port() const { return m_port; }
    QString value(const QString& key) const;
    QString error() const { return m_error; }
    // Everything the server wrote to stderr so far (for failure messages).
    QString errorOutput();
    // Sends a line to the server's standard input (for scripts that take commands).
    void send(const QByteArray& line);
    // The body of an HTTP GET of pathAndQuery from this server (for the control pages of the
    // router simulator), answered within timeoutMs; empty when there was no answer.
    QByteArray httpGet(const QString& pathAndQuery, int timeoutMs = 10000) const;
    void stop();

private:
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    std::map<QString, QString> m_values;
    QString m_error;
    QByteArray m_stderr;
};

// The absolute path of a file in tests/servers/.
QString ServerScript(const QString& name);

// Starts tests/servers/inject_proxy.py in front of the server on 127.0.0.1:upstream: it adds the lines
// (separated by "\n") to the server's go-ahead for TLS. The client connects to proxy.port().
bool StartInjectingProxy(ServerProcess& proxy, quint16 upstream, const QString& lines);

} // namespace testsupport
