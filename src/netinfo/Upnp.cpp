#include "netinfo/Upnp.h"

#include "platform/WaitLoop.h"

#include <QHostAddress>
#include <QUdpSocket>
#include <QUrl>
#include <miniupnpc/igd_desc_parse.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnperrors.h>
#include <miniupnpc/upnpreplyparse.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace netinfo {

namespace {

constexpr quint16 kSsdpPort = 1900;
constexpr const char* kSsdpGroup = "239.255.255.250";

// Gateways of both versions; a version 2 gateway answers a search for version 1 as well.
constexpr std::array<const char*, 2> kGatewayTypes = {
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

QByteArray SearchRequest(const char* type)
{
    return QByteArray("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: "
                      "2\r\nST: ") +
           type + "\r\n\r\n";
}

// Reads the answers waiting on the socket (a bounded number per call) into found.
void TakeAnswers(QUdpSocket& socket, std::vector<std::string>& found)
{
    std::array<char, kSsdpAnswerBytes> buffer{};
    for (int i = 0; i < kSsdpAnswersPerPass && socket.hasPendingDatagrams(); ++i) {
        QHostAddress sender;
        const qint64 size = socket.readDatagram(buffer.data(), buffer.size(), &sender);
        if (size <= 0 || static_cast<int>(found.size()) >= kSsdpMaxGateways)
            continue;
        const std::string location = SsdpLocation(std::string_view(buffer.data(), static_cast<size_t>(size)),
                                                  sender.toString().toStdString());
        if (!location.empty() && std::find(found.begin(), found.end(), location) == found.end())
            found.push_back(location);
    }
}

} // namespace

std::string UpnpDescriptionUrl()
{
    const char* url = std::getenv("QUILLMAP_UPNP_DESCRIPTION_URL");
    return url ? std::string(url) : std::string();
}

std::string SsdpLocation(std::string_view answer, const std::string& sender)
{
    while (!answer.empty()) {
        const size_t end = answer.find('\n');
        const std::string_view line = answer.substr(0, end);
        answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
        if (!StartsWithNoCase(line, "LOCATION:"))
            continue;
        const std::string location(Trimmed(line.substr(9)));
        const QUrl url(QString::fromStdString(location), QUrl::StrictMode);
        // A device describes itself: an answer that sends us elsewhere is not followed.
        if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().toStdString() != sender)
            return {};
        return location;
    }
    return {};
}

std::vector<std::string> DiscoverGateways(int limitMs, const std::function<bool()>& canceled,
                                          std::string& error)
{
    QUdpSocket socket;
    std::vector<std::string> found;
    if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        error = "discovery failed: " + socket.errorString().toStdString();
        return found;
    }
    for (const char* type : kGatewayTypes)
        socket.writeDatagram(SearchRequest(type), QHostAddress(QString::fromLatin1(kSsdpGroup)), kSsdpPort);
    // Every gateway that answers within the time is kept (up to the cap), so the wait runs its course
    // unless stopped.
    platform::WaitUntil(
        [&] {
            TakeAnswers(socket, found);
            return static_cast<int>(found.size()) >= kSsdpMaxGateways;
        },
        std::clamp(limitMs, 0, kDiscoveryMs), canceled);
    if (found.empty())
        error = "no UPnP gateway answered on the local network";
    return found;
}

std::optional<UpnpControl> GatewayControl(const std::string& description, const std::string& descriptionUrl)
{
    IGDdatas data{};
    parserootdesc(description.data(), static_cast<int>(description.size()), &data);
    if (data.first.servicetype[0] == '\0' || data.first.controlurl[0] == '\0')
        return std::nullopt;
    UPNPUrls urls{};
    GetUPNPUrls(&urls, &data, descriptionUrl.c_str(), 0);
    UpnpControl control{urls.controlURL ? std::string(urls.controlURL) : std::string(),
                        data.first.servicetype};
    FreeUPNPUrls(&urls);
    if (control.Url.empty())
        return std::nullopt;
    return control;
}

std::string ExternalAddressAction(const std::string& serviceType)
{
    return "\"" + serviceType + "#GetExternalIPAddress\"";
}

std::string ExternalAddressRequest(const std::string& serviceType)
{
    return "<?xml version=\"1.0\"?>\r\n"
           "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
           "<u:GetExternalIPAddress xmlns:u=\"" +
           serviceType + "\"></u:GetExternalIPAddress></s:Body></s:Envelope>\r\n";
}

std::string ExternalAddressOf(const std::string& answer, std::string& error)
{
    NameValueParserData data{};
    ParseNameValue(answer.data(), static_cast<int>(answer.size()), &data);
    const char* address = GetValueFromNameValueList(&data, "NewExternalIPAddress");
    const char* code = GetValueFromNameValueList(&data, "errorCode");
    std::string result = address && !code ? std::string(address) : std::string();
    if (code) {
        // The library names the codes it knows, and only those.
        const char* name = strupnperror(std::atoi(code));
        error = std::string("GetExternalIPAddress failed: ") + (name ? name : "error " + std::string(code));
    } else if (!address)
        error = "GetExternalIPAddress failed: no address in the answer";
    ClearNameValueList(&data);
    return result;
}

} // namespace netinfo
