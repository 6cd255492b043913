#pragma once
// Reading the router's status page into StatusHtml: the URL from the settings (router address
// configured or found from the adapters), the load through a StatusPageFetcher, and the wait for it
// in the shared wait helper, which ends on completion, on a cancel (run button, settings menu), on a
// stop (the check's abort timer) or at an optional time limit.

#include "core/StatusPageFetcher.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace settings {
class TConfig;
}

namespace core {

// Gives the router's address when GatewayAuto is on (code page 932 dotted text, empty when unknown).
using RouterDetector = std::function<std::string()>;

// The status page URL: "http://" [user [":" password] "@"] host StatusURL, plain concatenation. Nothing
// when the router's address is not known (GatewayAuto on and nothing detected, or no GatewayIP).
// A null detector means netinfo::DetectRouterAddress on this machine.
std::optional<QString> BuildStatusUrl(const settings::TConfig& config, const RouterDetector& detect = {});

// The same URL split into what the HTTP request needs: the address without user information, and the
// credentials apart (so that a password holding "@" or "/" cannot break the address).
std::optional<StatusRequest> BuildStatusRequest(const settings::TConfig& config,
                                                const RouterDetector& detect = {});

// A request for an explicit URL; user information in it becomes the credentials.
StatusRequest RequestFromUrl(const QString& url, const QByteArray& postData);

class StatusPage
{
public:
    explicit StatusPage(StatusPageFetcher& fetcher, RouterDetector detect = {});

    // Loads the page (the given URL, else the one the settings give) and waits for it. False only when
    // no URL can be built; true once a load was made, also when it was cancelled, stopped or gave
    // nothing: StatusHtml, non-empty only when a page was read, tells the caller.
    bool FetchStatusPage(const settings::TConfig& config, const std::optional<QString>& url = std::nullopt);
    // The same load and wait for a request made elsewhere.
    void Load(const StatusRequest& request);

    // Run button and settings menu: a load in progress is cancelled and its page not read.
    void CancelNavigation();
    // The check's abort timer: stops a load in progress; the wait ends with StatusHtml empty.
    void Stop();
    bool Busy() const { return m_fetcher->Busy(); }
    FetchOutcome LastOutcome() const { return m_fetcher->Outcome(); }
    // The fetcher of the next loads (the HTTP client or the browser engine); a load in progress is
    // stopped first.
    void UseFetcher(StatusPageFetcher& fetcher);
    StatusPageFetcher& Fetcher() const { return *m_fetcher; }

    // Body markup of the page read last, code page 932; cleared at the start of every fetch.
    std::string StatusHtml;
    // A load started by FetchStatusPage has not yet completed.
    bool Navigating = false;
    // The load was cancelled; its page is not read.
    bool NavigationCanceled = false;
    // The wait ends unread after this many milliseconds; negative: only completion, cancel or stop
    // end it (the check cycle has its own abort timer).
    int TimeLimitMs = -1;
    // The last fetch ended at TimeLimitMs.
    bool TimedOut = false;

private:
    StatusPageFetcher* m_fetcher;
    RouterDetector m_detect;
    bool m_stopped = false;
};

} // namespace core
