#pragma once
// The settings dialog's FTP test ("接続ﾃｽﾄ"): log on with the values on screen, change to the
// folder when one is given, log off, and say how it went. The command line runs the same test with
// the values of the settings file.

#include <string>

namespace net {
class TNMFTP;
}
namespace settings {
class TConfig;
}

namespace core {

// The dialog's own FTP component waits at most this long for each step.
inline constexpr int kFtpTestTimeOutMs = 20000;

struct FtpTestParameters
{
    std::string Server;
    // As typed in the port box; a text that is not a whole port number means no connection.
    std::string PortText;
    std::string User;
    std::string Password;
    std::string Directory;
    bool Passive = false;
    // [FTP] Security (net::TlsMode).
    int Security = 0;
    // How long each step may wait for the server.
    int TimeOutMs = kFtpTestTimeOutMs;
};

struct FtpTestResult
{
    bool Success = false;
    // A warning box rather than an information box.
    bool Warning = true;
    // Code page 932.
    std::string Text;
};

FtpTestParameters FtpTestParametersFrom(const settings::TConfig& config);

// Runs the test on the given client (the dialog keeps it so that closing the dialog can abort it);
// sets its TimeOut to the parameters' (kFtpTestTimeOutMs unless a caller chooses) and its Security;
// its Trust and MayAskTrust are the caller's.
// When TLS was asked for, the text says whether the connection was encrypted, or why not. A failed
// log-on says why, each cause in a sentence of its own: a wrong user or password (the server's 530),
// a refused connection, no answer within the time limit, TLS refused; with the server's reply where
// there is one. Never throws a network failure.
FtpTestResult RunFtpConnectionTest(net::TNMFTP& client, const FtpTestParameters& parameters);

} // namespace core
