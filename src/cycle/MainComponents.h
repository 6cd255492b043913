#pragma once
// The real network steps of the check cycle: the status page over HTTP, the host-name look-up, the
// FTP client with the upload runs, and the notice mailer with its SMTP and POP3 clients. Created by
// the check cycle once the settings are loaded; the components read the live settings object and
// reach the cycle only through its mediator.

#include "core/CertificateTrust.h"
#include "core/CycleMediator.h"
#include "core/SecondSource.h"
#include "core/StatusEngineSource.h"
#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "cycle/CheckSteps.h"
#include "ddns/DdnsUpdater.h"
#include "mail/NoticeMail.h"
#include "net/NMFtp.h"
#include "netinfo/wssmpl.h"
#include "upload/UploadContext.h"

#include <memory>

namespace core {

// The longest time-out a check can have, in minutes: the limit below stays far from overflowing.
inline constexpr int kMaxTimeOutMinutes = 999;

// The limit of a network wait of the check that has none of its own (the status page load, the
// host-name look-up): the check's time-out (TimeOut minutes, at least one).
int CheckStepLimitMs(const settings::TConfig& config);

class MainComponents final : public CheckSteps
{
public:
    // The network clients get this time-out for each of their waits.
    static constexpr int kClientTimeOutMs = 20000;

    // engine: where the browser engine comes from when the settings choose it; null: the HTTP client
    // reads every page.
    explicit MainComponents(const CycleMediator& cycle, netinfo::HostResolver* resolver = nullptr,
                            StatusEngineSource* engine = nullptr);
    ~MainComponents() override;

    std::string FetchStatusPage() override;
    bool Navigating() const override;
    void CancelNavigation() override;
    bool StatusPageMayNeedEngine() const override;
    std::string FetchSecondAddress() override;
    std::string FetchPublishedPage() override;
    std::string LookupHostName(const std::string& address) override;
    DynamicDnsStep UpdateDynamicDns(const std::string& address) override;
    bool UploadPages(bool closing) override;
    void SendNoticeMail(std::int32_t kind, const std::string& text) override;
    void AbortNetwork() override;
    void RunClosingUpload() override;

    net::TNMFTP& NMFTP1() { return m_ftp; }
    mail::TNoticeMailer* Mailer() { return m_mailer.get(); }
    StatusPage& Browser() { return m_statusPage; }

private:
    StatusPageFetcher& ChooseFetcher(const settings::TConfig& settings);
    void StopBrowser();
    void StopMail(bool cancel);

    CycleMediator m_cycle;
    HttpStatusFetcher m_fetcher;
    StatusEngineSource* m_engine;
    bool m_engineServes = false;   // the load in progress (or the last one) goes through the engine
    bool m_refusalLogged = false;  // why the engine cannot run is said once per run
    StatusPage m_statusPage;
    SecondSource m_secondSource;
    WebPageReader m_publishedPage;
    netinfo::TKHostInf m_hostInf;
    netinfo::HostNameLookup m_lookup;
    net::TNMFTP m_ftp;
    // The uploads' answer about certificates: what the user trusted, nobody asked.
    CertificateTrust m_trust;
    std::unique_ptr<mail::TNoticeMailer> m_mailer;
    upload::UploadContext m_upload;
    ddns::DdnsUpdater m_ddns;
};

} // namespace core
