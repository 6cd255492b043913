#include "netinfo/Upnp.h"

#include "platform/WaitLoop.h"

#include <QThread>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <cstdlib>
#include <mutex>

namespace netinfo {

namespace {

// How long a discovery listens for answers, in milliseconds.
constexpr int kDiscoveryMs = 2000;

// The device's control address and service, from a discovery on the LAN or from a description URL.
// 0 when there is none; 1 and more as the library counts a usable device.
int FindDevice(const std::string& descriptionUrl, UPNPUrls& urls, IGDdatas& data, std::string& error)
{
    char lanAddress[64] = {};
    if (!descriptionUrl.empty()) {
        const int found =
            UPNP_GetIGDFromUrl(descriptionUrl.c_str(), &urls, &data, lanAddress, sizeof lanAddress);
        if (found == 0)
            error = "no Internet Gateway Device described at " + descriptionUrl;
        return found;
    }
    int discoveryError = 0;
    UPNPDev* devices = upnpDiscover(kDiscoveryMs, nullptr, nullptr, 0, 0, 2, &discoveryError);
    if (!devices) {
        error = "no UPnP device answered on the local network";
        return 0;
    }
#if MINIUPNPC_API_VERSION >= 18
    char wanAddress[64] = {};
    const int found =
        UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof lanAddress, wanAddress, sizeof wanAddress);
#else
    const int found = UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof lanAddress);
#endif
    freeUPNPDevlist(devices);
    if (found == 0)
        error = "no Internet Gateway Device on the local network";
    return found;
}

} // namespace

std::string UpnpDescriptionUrl()
{
    const char* url = std::getenv("QUILLMAP_UPNP_DESCRIPTION_URL");
    return url ? std::string(url) : std::string();
}

// What the worker and the waiting caller share; the worker may outlive the caller's interest.
struct UpnpExternalAddress::Job
{
    std::mutex lock;
    std::string address;
    std::string error;
};

UpnpExternalAddress::UpnpExternalAddress() = default;

UpnpExternalAddress::~UpnpExternalAddress() = default;

std::string UpnpExternalAddress::Query(const std::string& descriptionUrl, int limitMs)
{
    m_canceled = false;
    m_lastError.clear();
    auto job = std::make_shared<Job>();
    QThread* worker = QThread::create([job, descriptionUrl] {
        UPNPUrls urls{};
        IGDdatas data{};
        std::string error;
        std::string address;
        if (FindDevice(descriptionUrl, urls, data, error) != 0) {
            char external[64] = {};
            const int result = UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, external);
            if (result == UPNPCOMMAND_SUCCESS)
                address = external;
            else
                error = std::string("GetExternalIPAddress failed: ") + strupnperror(result);
            FreeUPNPUrls(&urls);
        }
        const std::lock_guard<std::mutex> hold(job->lock);
        job->address = address;
        job->error = error.empty() && address.empty() ? "the device gave no address" : error;
    });
    bool finished = false;
    // The finished signal comes back to this thread's event loop, which wakes the wait.
    QObject::connect(worker, &QThread::finished, &m_context, [&finished] { finished = true; });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    const platform::WaitResult waited = platform::WaitUntil(
        [&finished] { return finished; }, limitMs > 0 ? limitMs : -1, [this] { return m_canceled; });
    // A worker still running reports to nobody now; it deletes itself when it ends.
    QObject::disconnect(worker, &QThread::finished, &m_context, nullptr);
    if (waited != platform::WaitResult::Done) {
        m_lastError = waited == platform::WaitResult::Canceled ? "cancelled" : "no answer in time";
        return {};
    }
    const std::lock_guard<std::mutex> hold(job->lock);
    m_lastError = job->error;
    return job->address;
}

void UpnpExternalAddress::Cancel()
{
    m_canceled = true;
}

} // namespace netinfo
