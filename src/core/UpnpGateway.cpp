#include "core/UpnpGateway.h"

#include "core/Version.h"
#include "netinfo/Upnp.h"

#include <algorithm>

namespace core {

namespace {

int RemainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
}

} // namespace

UpnpExternalAddress::UpnpExternalAddress()
{
    m_http.UserAgent = std::string("Linux UPnP/1.1 Quillmap/") + kVersionText;
}

std::string UpnpExternalAddress::Query(const std::string& descriptionUrl, int limitMs)
{
    m_canceled = false;
    m_http.Resume();
    m_lastError.clear();
    const QDeadlineTimer deadline(limitMs > 0 ? limitMs : kDefaultLimitMs);
    std::vector<std::string> gateways{descriptionUrl};
    if (descriptionUrl.empty())
        gateways = netinfo::DiscoverGateways(
            RemainingMs(deadline), [this] { return m_canceled; }, m_lastError);
    for (const std::string& gateway : gateways) {
        if (m_canceled || deadline.hasExpired())
            break;
        std::string address = AskGateway(gateway, deadline);
        if (!address.empty())
            return address;
    }
    if (m_canceled)
        m_lastError = "cancelled";
    else if (deadline.hasExpired())
        m_lastError = "no answer in time";
    return {};
}

void UpnpExternalAddress::Cancel()
{
    m_canceled = true;
    m_http.Stop();
}

std::string UpnpExternalAddress::AskGateway(const std::string& descriptionUrl, const QDeadlineTimer& deadline)
{
    const QUrl url(QString::fromStdString(descriptionUrl));
    net::HttpRequest get;
    get.Url = url;
    const std::string description = Fetch(get, deadline, "description");
    if (description.empty())
        return {};
    const std::optional<netinfo::UpnpControl> control = netinfo::GatewayControl(description, descriptionUrl);
    if (!control) {
        m_lastError = "no Internet Gateway Device described at " + descriptionUrl;
        return {};
    }
    const QUrl controlUrl(QString::fromStdString(control->Url));
    // The description names its own device's control; another host is never asked.
    if (controlUrl.scheme() != QLatin1String("http") || controlUrl.host() != url.host()) {
        m_lastError = "the description at " + descriptionUrl + " names a control on another host";
        return {};
    }
    net::HttpRequest action;
    action.Method = "POST";
    action.Url = controlUrl;
    action.Headers = {{"Content-Type", "text/xml; charset=\"utf-8\""},
                      {"SOAPAction", netinfo::ExternalAddressAction(control->ServiceType)}};
    action.Body = netinfo::ExternalAddressRequest(control->ServiceType);
    // A refused action comes as a SOAP fault with status 500; its body says why.
    const std::string answer = Fetch(action, deadline, "GetExternalIPAddress answer");
    if (answer.empty())
        return {};
    return netinfo::ExternalAddressOf(answer, m_lastError);
}

std::string UpnpExternalAddress::Fetch(net::HttpRequest request, const QDeadlineTimer& deadline,
                                       const char* what)
{
    request.TimeOutMs = std::max(RemainingMs(deadline), 1);
    const net::HttpResponse response = m_http.Send(request);
    if (!response.Ok()) {
        m_lastError = std::string(what) + " not read: " + response.FailureText;
        return {};
    }
    if (response.Truncated) {
        m_lastError =
            std::string(what) + " longer than " + std::to_string(net::kMaxHttpAnswerBytes / 1024) + " KiB";
        return {};
    }
    if (response.Status != 200 && !(response.Status == 500 && request.Method == "POST")) {
        m_lastError = std::string(what) + " refused: HTTP " + std::to_string(response.Status);
        return {};
    }
    if (response.Body.empty())
        m_lastError = std::string(what) + " empty";
    return response.Body;
}

} // namespace core
