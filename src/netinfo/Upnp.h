#pragma once
// The parts of a conversation with the router's UPnP Internet Gateway Device that need no HTTP client:
// finding gateways on the LAN (SSDP), reading a device description and the GetExternalIPAddress
// action's SOAP texts. Descriptions and answers are parsed by libminiupnpc; the requests themselves
// go through the program's own HTTP client (core/UpnpGateway.h), so that every one of them is bounded
// in size and time and ends with its caller's wait: no worker thread, nothing left running.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace netinfo {

// How long a discovery listens for answers, at most (the caller's limit may be shorter).
inline constexpr int kDiscoveryMs = 2000;
// Bytes read of one discovery answer; the rest of a longer datagram is dropped.
inline constexpr int kSsdpAnswerBytes = 2048;
// Discovery answers looked at per pass of the wait, and gateways kept, at most: a flood of answers
// neither holds the wait past its limit nor fills the memory.
inline constexpr int kSsdpAnswersPerPass = 64;
inline constexpr int kSsdpMaxGateways = 8;

// Where the device's description is found: QUILLMAP_UPNP_DESCRIPTION_URL when set (tests and
// demonstrations, which never send a discovery to the network), else empty: discovered on the LAN.
std::string UpnpDescriptionUrl();

// Asks the LAN for gateways (SSDP M-SEARCH to 239.255.255.250:1900) and collects the description
// URLs of the answers, for at most limitMs or until canceled() holds; a gateway's description must be
// on the address that answered. error says why the list is empty.
std::vector<std::string> DiscoverGateways(int limitMs, const std::function<bool()>& canceled,
                                          std::string& error);
// The http:// LOCATION of one discovery answer, when its host is sender; empty otherwise.
std::string SsdpLocation(std::string_view answer, const std::string& sender);

// The WANIPConnection (or WANPPPConnection) service of a gateway description.
struct UpnpControl
{
    // Absolute, resolved against the description's own URL.
    std::string Url;
    std::string ServiceType;
};
std::optional<UpnpControl> GatewayControl(const std::string& description, const std::string& descriptionUrl);

// The SOAPAction header value and the request body of GetExternalIPAddress.
std::string ExternalAddressAction(const std::string& serviceType);
std::string ExternalAddressRequest(const std::string& serviceType);
// The NewExternalIPAddress of an answer (as the device wrote it); empty with error set when the answer
// holds none (a UPnP error: "GetExternalIPAddress failed: Action Failed").
std::string ExternalAddressOf(const std::string& answer, std::string& error);

} // namespace netinfo
