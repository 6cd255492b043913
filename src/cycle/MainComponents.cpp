#include "cycle/MainComponents.h"

#include "core/MainState.h"
#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "ddns/PublishedIpv6.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "upload/ClosingUpload.h"
#include "upload/UploadRun.h"

#include <algorithm>

namespace core {

using text::Sjis;

namespace {

// Abort (and Cancel) of a client during a stop; a failure there must not stop the others.
void StopClient(net::TPowersock& client, bool cancel)
{
    try {
        client.Abort();
        if (cancel)
            client.Cancel();
    } catch (...) {
        try {
            client.Abort();
        } catch (...) {
        }
    }
}

// The dynamic DNS state of the settings, to tell whether an update changed it.
settings::TConfig StateOf(const settings::TConfig& c)
{
    settings::TConfig state;
    state.DdnsSentA = c.DdnsSentA;
    state.DdnsSentAAAA = c.DdnsSentAAAA;
    state.DdnsUpdated = c.DdnsUpdated;
    state.DdnsStopped = c.DdnsStopped;
    state.DdnsStopReason = c.DdnsStopReason;
    state.DdnsStateOf = c.DdnsStateOf;
    state.DdnsRetryAt = c.DdnsRetryAt;
    state.DdnsFailures = c.DdnsFailures;
    state.DdnsHostState = c.DdnsHostState;
    return state;
}

bool SameState(const settings::TConfig& a, const settings::TConfig& b)
{
    return a.DdnsSentA == b.DdnsSentA && a.DdnsSentAAAA == b.DdnsSentAAAA && a.DdnsUpdated == b.DdnsUpdated &&
           a.DdnsStopped == b.DdnsStopped && a.DdnsStopReason == b.DdnsStopReason &&
           a.DdnsStateOf == b.DdnsStateOf && a.DdnsRetryAt == b.DdnsRetryAt &&
           a.DdnsFailures == b.DdnsFailures && a.DdnsHostState == b.DdnsHostState;
}

} // namespace

int CheckStepLimitMs(const settings::TConfig& config)
{
    return std::clamp(config.TimeOut, 1, kMaxTimeOutMinutes) * MinuteMs();
}

MainComponents::MainComponents(const CycleMediator& cycle, netinfo::HostResolver* resolver,
                               StatusEngineSource* engine)
    : m_cycle(cycle), m_engine(engine), m_statusPage(m_fetcher), m_hostInf(resolver), m_lookup(m_hostInf),
      m_trust([this] { return m_cycle.State.Settings.get(); }, nullptr),
      m_mailer(std::make_unique<mail::TNoticeMailer>(*cycle.State.Settings, &cycle.Log)),
      m_upload{cycle.State, m_ftp, cycle.Log, cycle.Ui}
{
    m_ftp.TimeOut = kClientTimeOutMs;
    m_upload.Trust = &m_trust;
    m_ddns.SetTrust(&m_trust, false);
    m_ddns.TimeOutMs = kClientTimeOutMs;
    m_ddns.MinuteMs = MinuteMs();
    m_mailer->NMSMTP1().TimeOut = kClientTimeOutMs;
    m_mailer->NMPOP31().TimeOut = kClientTimeOutMs;

    m_upload.Hooks.StopAbortTimer = [this] {
        if (m_cycle.StopAbortTimer)
            m_cycle.StopAbortTimer();
    };
    m_upload.Hooks.CancelLookup = [this] { m_lookup.CancelLookup(); };
    m_upload.Hooks.StopBrowser = [this] { StopBrowser(); };
    m_upload.Hooks.StopMail = [this](bool cancel) { StopMail(cancel); };
    // The mailer refers to the settings object, so it goes with it.
    m_upload.Hooks.ReleaseSettings = [this] {
        m_mailer.reset();
        m_cycle.State.Settings.reset();
    };
}

MainComponents::~MainComponents() = default;

std::string MainComponents::FetchStatusPage()
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    if (!settings)
        return {};
    // Every load has a limit of its own, the check's time-out, besides the abort timer: a load
    // started outside a check (the run button's first look, the redisplay) or one that nothing
    // else would stop still ends.
    m_statusPage.TimeLimitMs = CheckStepLimitMs(*settings);
    m_statusPage.UseFetcher(ChooseFetcher(*settings));
    m_statusPage.FetchStatusPage(*settings);
    if (m_engineServes && m_engine)
        m_engine->Release();
    return m_statusPage.StatusHtml;
}

StatusPageFetcher& MainComponents::ChooseFetcher(const settings::TConfig& settings)
{
    m_engineServes = false;
    if (settings.StatusEngine != 0 && m_engine) {
        std::string whyNot;
        if (StatusPageFetcher* engine = m_engine->Acquire(whyNot)) {
            m_engineServes = true;
            return *engine;
        }
        if (!m_refusalLogged && !whyNot.empty())
            m_cycle.Log.AddLog(whyNot, lkEvent);
        m_refusalLogged = true;
    }
    if (m_engine)
        m_engine->Bypassed();
    return m_fetcher;
}

bool MainComponents::StatusPageMayNeedEngine() const
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    return settings && settings->StatusEngine == 0 && !m_engineServes && m_fetcher.Outcome().scripts;
}

bool MainComponents::Navigating() const
{
    return m_statusPage.Navigating;
}

void MainComponents::CancelNavigation()
{
    m_statusPage.CancelNavigation();
}

std::string MainComponents::FetchSecondAddress()
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    if (!settings)
        return {};
    // A second opinion is not worth the whole check's time: it gets a client's time-out.
    return m_secondSource.Fetch(SecondSourceOf(*settings), settings->EchoURL,
                                std::min(kClientTimeOutMs, CheckStepLimitMs(*settings)));
}

std::string MainComponents::FetchPublishedPage()
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    if (!settings)
        return {};
    return m_publishedPage.Read(settings->FtpCheckURL,
                                std::min(kClientTimeOutMs, CheckStepLimitMs(*settings)));
}

std::string MainComponents::LookupHostName(const std::string& address)
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    // Bounded like the status page load, also when nothing else (the abort timer) ends it.
    const std::string name = m_lookup.LookupHostName(address, settings ? CheckStepLimitMs(*settings) : 0);
    if (m_lookup.NameRefused)
        m_cycle.Log.AddLog(Sjis(u8"ﾎｽﾄ名が正しくないため、IPｱﾄﾞﾚｽでﾘﾝｸします。") + address, lkEvent);
    return name;
}

DynamicDnsStep MainComponents::UpdateDynamicDns(const std::string& address)
{
    const std::unique_ptr<settings::TConfig>& settings = m_cycle.State.Settings;
    if (!settings || settings->DdnsUse == 0)
        return {};
    ddns::DdnsOptions options;
    options.AddressA = address;
    const std::vector<ddns::RecordType> records = ddns::RecordsOf(*settings);
    if (std::find(records.begin(), records.end(), ddns::RecordType::AAAA) != records.end())
        options.AddressAAAA = ddns::PublishedIpv6Address(*settings);
    const settings::TConfig before = StateOf(*settings);
    const ddns::DdnsResult result = m_ddns.Run(*settings, options);
    // The closing run may have released the settings while the update waited.
    if (!m_cycle.State.Settings)
        return {};
    if (!result.LogText.empty())
        m_cycle.Log.AddLog(result.LogText, result.LogKind == 0 ? lkRunFailure : lkEvent);
    // What was learned is kept at once: a stop or a back-off must hold across a restart.
    if (!SameState(before, *settings)) {
        try {
            settings::SaveSettings(*settings, settings::SaveScope::DdnsState);
        } catch (const settings::SettingsWriteError& e) {
            m_cycle.Log.AddLog(e.what(), lkRunFailure);
        }
    }
    return {result.MailLine, result.StoppedNow};
}

bool MainComponents::UploadPages(bool closing)
{
    return upload::UploadPages(m_upload, closing);
}

void MainComponents::SendNoticeMail(std::int32_t kind, const std::string& text)
{
    if (m_mailer)
        m_mailer->SendNoticeMail(kind, text);
}

void MainComponents::StopBrowser()
{
    if (m_statusPage.Busy())
        m_statusPage.Stop();
}

void MainComponents::StopMail(bool cancel)
{
    if (!m_mailer)
        return;
    StopClient(m_mailer->NMSMTP1(), cancel);
    StopClient(m_mailer->NMPOP31(), cancel);
    m_mailer->IdSMTP1().Abort();
}

void MainComponents::AbortNetwork()
{
    m_lookup.CancelLookup();
    StopBrowser();
    m_secondSource.Stop();
    m_publishedPage.Stop();
    m_ddns.Stop();
    StopClient(m_ftp, true);
    StopMail(true);
}

void MainComponents::RunClosingUpload()
{
    upload::RunClosingUpload(m_upload);
}

} // namespace core
