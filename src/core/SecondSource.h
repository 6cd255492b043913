#pragma once
// The second source of the global address ([GlobalIP] Source2): the router's UPnP Internet Gateway
// Device, or an address echo page ([GlobalIP] EchoURL) that answers with the caller's address. Either
// gives only an address the world can reach, with the same rules as the status page's search.

#include "core/UpnpGateway.h"
#include "core/WebPageReader.h"

#include <cstdint>
#include <string>

namespace settings {
class TConfig;
}

namespace core {

enum SecondSourceKind : std::int32_t {
    kSourceNone = 0,
    kSourceUpnp = 1,
    kSourceEcho = 2,
};

// The kind the settings choose; a value the program does not know counts as none.
SecondSourceKind SecondSourceOf(const settings::TConfig& config);
// "UPnP" or "確認用URL" (code page 932), as the log rows and the settings dialog name them.
std::string SecondSourceName(SecondSourceKind kind);

class SecondSource
{
public:
    // The usable address that the source gives (dotted decimal), empty when it gives none within
    // limitMs, was stopped, or gave an address nobody outside can reach. echoUrl: code page 932.
    std::string Fetch(SecondSourceKind kind, const std::string& echoUrl, int limitMs);
    // Ends a Fetch that waits.
    void Stop();
    // What the source answered when it gave no usable address: its own text (an unusable address, the
    // device's refusal), empty when it gave nothing at all.
    std::string LastAnswer() const { return m_lastAnswer; }
    // How the echo page's last read ended, and why the UPnP device gave nothing (the test button
    // says so).
    const WebPageReader& EchoReader() const { return m_reader; }
    std::string LastUpnpError() const { return m_upnp.LastError(); }

private:
    WebPageReader m_reader;
    UpnpExternalAddress m_upnp;
    std::string m_lastAnswer;
};

} // namespace core
