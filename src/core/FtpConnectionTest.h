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
};

struct FtpTestResult
{
    bool Success = false;
    // A warning box rather than an information box.
    bool Warning = true;
    // Code page 932.
    std::string Text;
};

// The dialog's own FTP component waits at most this long for each step.
inline constexpr int kFtpTestTimeOutMs = 20000;

FtpTestParameters FtpTestParametersFrom(const settings::TConfig& config);

// Runs the test on the given client (the dialog keeps it so that closing the dialog can abort it);
// sets its TimeOut to kFtpTestTimeOutMs and its Security; its Trust and MayAskTrust are the caller's.
// When TLS was asked for, the text says whether the connection was encrypted, or why not. Never
// throws a network failure.
FtpTestResult RunFtpConnectionTest(net::TNMFTP& client, const FtpTestParameters& parameters);

} // namespace core
