#include "core/StatusPage.h"

#include "netinfo/AdaptersInfo.h"
#include "platform/Codepage.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"

namespace core {

namespace {

std::optional<std::string> RouterHost(const settings::TConfig& config, const RouterDetector& detect)
{
    std::string host;
    if (config.GatewayAuto != 0)
        host = detect ? detect() : netinfo::DetectRouterAddress();
    else
        host = config.GatewayIP;
    // Without a host the address would name no server (or, read leniently, this machine).
    if (host.empty())
        return std::nullopt;
    return host;
}

QByteArray PostData(const settings::TConfig& config)
{
    return QByteArray(config.StatusPost.data(), static_cast<qsizetype>(config.StatusPost.size()));
}

} // namespace

std::optional<QString> BuildStatusUrl(const settings::TConfig& config, const RouterDetector& detect)
{
    const std::optional<std::string> host = RouterHost(config, detect);
    if (!host)
        return std::nullopt;
    std::string url = "http://";
    if (config.StatusLogon != 0) {
        url += config.StatusUser;
        if (!config.StatusPass.empty())
            url += ":" + config.StatusPass;
        url += "@";
    }
    url += *host + config.StatusURL;
    return platform::Cp932ToQString(url);
}

std::optional<StatusRequest> BuildStatusRequest(const settings::TConfig& config, const RouterDetector& detect)
{
    const std::optional<std::string> host = RouterHost(config, detect);
    if (!host)
        return std::nullopt;
    StatusRequest request;
    request.url = QUrl(platform::Cp932ToQString("http://" + *host + config.StatusURL), QUrl::TolerantMode);
    request.logon = config.StatusLogon != 0;
    if (request.logon) {
        request.user = platform::Cp932ToQString(config.StatusUser);
        request.password = platform::Cp932ToQString(config.StatusPass);
    }
    request.postData = PostData(config);
    request.noScript = config.NoScript != 0;
    return request;
}

StatusRequest RequestFromUrl(const QString& url, const QByteArray& postData)
{
    StatusRequest request;
    request.url = QUrl(url, QUrl::TolerantMode);
    if (!request.url.userInfo().isEmpty()) {
        request.logon = true;
        request.user = request.url.userName();
        request.password = request.url.password();
        request.url.setUserInfo(QString());
    }
    request.postData = postData;
    return request;
}

StatusPage::StatusPage(StatusPageFetcher& fetcher, RouterDetector detect)
    : m_fetcher(&fetcher), m_detect(std::move(detect))
{
}

void StatusPage::UseFetcher(StatusPageFetcher& fetcher)
{
    if (&fetcher == m_fetcher)
        return;
    if (m_fetcher->Busy())
        m_fetcher->Stop();
    m_fetcher = &fetcher;
}

bool StatusPage::FetchStatusPage(const settings::TConfig& config, const std::optional<QString>& url)
{
    // No placeholder page is written or shown: the HTTP client needs no first document, and the
    // browser engine starts with an empty page of its own.
    StatusHtml.clear();
    TimedOut = false;
    std::optional<StatusRequest> request = url ? std::optional<StatusRequest>(RequestFromUrl(*url, PostData(config)))
                                               : BuildStatusRequest(config, m_detect);
    if (!request)
        return false;
    request->noScript = config.NoScript != 0;
    Load(*request);
    return true;
}

void StatusPage::Load(const StatusRequest& request)
{
    StatusHtml.clear();
    TimedOut = false;
    if (m_fetcher->Busy())
        m_fetcher->Stop();

    NavigationCanceled = false;
    m_stopped = false;
    Navigating = true;
    // Every fetch sends the whole request, POST data included: a router that shows its status only
    // after the POST would otherwise show it at the first check alone.
    m_fetcher->Navigate(request);
    const platform::WaitResult result =
        platform::WaitUntil([this] { return !m_fetcher->Busy(); }, TimeLimitMs,
                            [this] { return NavigationCanceled || m_stopped; });
    if (result != platform::WaitResult::Done)
        m_fetcher->Stop();
    TimedOut = result == platform::WaitResult::TimedOut;
    Navigating = false;
    if (result == platform::WaitResult::Done && !NavigationCanceled && !m_stopped)
        StatusHtml = m_fetcher->BodyHtml();
}

void StatusPage::CancelNavigation()
{
    if (!Navigating)
        return;
    NavigationCanceled = true;
    if (m_fetcher->Busy())
        m_fetcher->Stop();
}

void StatusPage::Stop()
{
    if (!m_fetcher->Busy())
        return;
    m_stopped = true;
    m_fetcher->Stop();
}

} // namespace core
