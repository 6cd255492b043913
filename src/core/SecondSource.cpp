#include "core/SecondSource.h"

#include "core/AddressSearch.h"
#include "netinfo/Upnp.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

namespace core {

SecondSourceKind SecondSourceOf(const settings::TConfig& config)
{
    switch (config.Source2) {
    case kSourceUpnp:
        return kSourceUpnp;
    case kSourceEcho:
        return kSourceEcho;
    default:
        return kSourceNone;
    }
}

std::string SecondSourceName(SecondSourceKind kind)
{
    switch (kind) {
    case kSourceUpnp:
        return "UPnP";
    case kSourceEcho:
        return text::Sjis(u8"確認用URL");
    case kSourceNone:
        break;
    }
    return {};
}

std::string SecondSource::Fetch(SecondSourceKind kind, const std::string& echoUrl, int limitMs)
{
    m_lastAnswer.clear();
    std::string answer;
    if (kind == kSourceUpnp)
        answer = m_upnp.Query(netinfo::UpnpDescriptionUrl(), limitMs);
    else if (kind == kSourceEcho)
        answer = m_reader.Read(echoUrl, limitMs);
    // The router's own report is held to the same rules as its page: an address behind
    // carrier-grade NAT is no better for coming from UPnP.
    const std::string address = FirstUsableAddress(answer);
    if (address.empty())
        m_lastAnswer = answer.substr(0, 200);
    return address;
}

void SecondSource::Stop()
{
    m_upnp.Cancel();
    m_reader.Stop();
}

} // namespace core
