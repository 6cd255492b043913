#pragma once
// The router's own word on its external address: the GetExternalIPAddress action of its UPnP Internet
// Gateway Device, through libminiupnpc. The library's calls block, so they run on a worker thread
// while the caller waits in the shared wait helper; a cancel or the time limit ends the wait at once
// (the worker then finishes on its own, within the library's socket time-outs, and is discarded).

#include <QObject>
#include <memory>
#include <string>

namespace netinfo {

// Where the device's description is found: QUILLMAP_UPNP_DESCRIPTION_URL when set (tests and
// demonstrations, which never send a discovery to the network), else empty: discovered on the LAN.
std::string UpnpDescriptionUrl();

class UpnpExternalAddress
{
public:
    UpnpExternalAddress();
    ~UpnpExternalAddress();
    UpnpExternalAddress(const UpnpExternalAddress&) = delete;
    UpnpExternalAddress& operator=(const UpnpExternalAddress&) = delete;

    // The address text the device reports (as the device wrote it); empty when there is no device,
    // it refused, the wait was cancelled or limitMs (> 0) passed. descriptionUrl: the device's
    // description (http://...); empty: discovery on the LAN first.
    std::string Query(const std::string& descriptionUrl, int limitMs);
    // Ends a Query that waits.
    void Cancel();
    // Why the last Query gave nothing (English, for the terminal and for tests); empty after success.
    std::string LastError() const { return m_lastError; }

private:
    struct Job;
    QObject m_context;
    bool m_canceled = false;
    std::string m_lastError;
};

} // namespace netinfo
