#pragma once
// The router's own word on its external address: the GetExternalIPAddress action of its UPnP Internet
// Gateway Device. Discovery, the description and the action's answer are each read within the time
// left of the caller's limit and cut at net::kMaxHttpAnswerBytes, on this thread in the shared wait
// helper: when Query returns, nothing of it is still running.

#include "net/HttpClient.h"

#include <QDeadlineTimer>
#include <string>

namespace core {

class UpnpExternalAddress
{
public:
    // The limit of a Query that names none: a gateway that trickles its answers is given up after it.
    static constexpr int kDefaultLimitMs = 10000;

    UpnpExternalAddress();

    // The address text the device reports (as the device wrote it); empty when there is no device,
    // it refused, the wait was cancelled or limitMs (<= 0: kDefaultLimitMs) passed. descriptionUrl:
    // the device's description (http://...); empty: discovery on the LAN first.
    std::string Query(const std::string& descriptionUrl, int limitMs);
    // Ends a Query that waits.
    void Cancel();
    // Why the last Query gave nothing (English, for the terminal and for tests); empty after success.
    std::string LastError() const { return m_lastError; }

private:
    // The address one gateway reports; empty with m_lastError set when it gives none.
    std::string AskGateway(const std::string& descriptionUrl, const QDeadlineTimer& deadline);
    // The answer's body; empty with m_lastError set when there is no whole answer of status 200.
    std::string Fetch(net::HttpRequest request, const QDeadlineTimer& deadline, const char* what);

    net::HttpClient m_http;
    bool m_canceled = false;
    std::string m_lastError;
};

} // namespace core
