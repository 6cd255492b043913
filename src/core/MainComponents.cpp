#include "core/MainComponents.h"

#include "core/CheckCycle.h"
#include "upload/ClosingUpload.h"
#include "upload/UploadRun.h"

namespace core {

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

} // namespace

MainComponents::MainComponents(CheckCycle& cycle, netinfo::HostResolver* resolver)
    : m_cycle(cycle), m_statusPage(m_fetcher), m_hostInf(resolver), m_lookup(m_hostInf),
      m_mailer(std::make_unique<mail::TNoticeMailer>(*cycle.State().Settings, &cycle.Log())),
      m_upload{cycle.State(), m_ftp, cycle.Log(), cycle.UI()}
{
    m_ftp.TimeOut = kClientTimeOutMs;
    m_mailer->NMSMTP1().TimeOut = kClientTimeOutMs;
    m_mailer->NMPOP31().TimeOut = kClientTimeOutMs;

    m_upload.Hooks.StopAbortTimer = [this] { m_cycle.TimerAbort().stop(); };
    m_upload.Hooks.CancelLookup = [this] { m_lookup.CancelLookup(); };
    m_upload.Hooks.StopBrowser = [this] { StopBrowser(); };
    m_upload.Hooks.StopMail = [this](bool cancel) { StopMail(cancel); };
    // The mailer refers to the settings object, so it goes with it.
    m_upload.Hooks.ReleaseSettings = [this] {
        m_mailer.reset();
        m_cycle.State().Settings.reset();
    };
}

MainComponents::~MainComponents() = default;

std::string MainComponents::FetchStatusPage()
{
    if (!m_cycle.State().Settings)
        return {};
    m_statusPage.FetchStatusPage(*m_cycle.State().Settings);
    return m_statusPage.StatusHtml;
}

bool MainComponents::Navigating() const
{
    return m_statusPage.Navigating;
}

void MainComponents::CancelNavigation()
{
    m_statusPage.CancelNavigation();
}

std::string MainComponents::LookupHostName(const std::string& address)
{
    return m_lookup.LookupHostName(address);
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
}

void MainComponents::AbortNetwork()
{
    m_lookup.CancelLookup();
    StopBrowser();
    StopClient(m_ftp, true);
    StopMail(true);
}

void MainComponents::RunClosingUpload()
{
    upload::RunClosingUpload(m_upload);
}

} // namespace core
