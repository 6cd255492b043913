#pragma once
// The network steps that the check cycle drives, behind one small interface: the program wires in
// the real components (MainComponents), the check cycle's own tests wire in scripted ones. Every
// call may wait in the shared wait helper; timers and signals run meanwhile.

#include "netinfo/Ipv6Choice.h"

#include <cstdint>
#include <string>

namespace core {

// What the dynamic DNS update of a check leaves for the rest of the check.
struct DynamicDnsStep
{
    // The line for the notice mail; empty when nothing was sent.
    std::string MailLine;
    // The provider refused: the updates stopped just now (the user hears of it once).
    bool StoppedNow = false;
};

class CheckSteps
{
public:
    virtual ~CheckSteps() = default;

    // Loads the router's status page with the current settings; returns its body markup (code page
    // 932), empty when nothing was read (unreachable, cancelled, stopped, no URL).
    virtual std::string FetchStatusPage() = 0;
    // A load of the status page is in progress.
    virtual bool Navigating() const = 0;
    // Run button and settings menu: the load in progress is cancelled and its page not read.
    virtual void CancelNavigation() = 0;
    // The last load went through the HTTP client while the browser engine was not chosen, and the
    // page holds scripts: a page without the address may be one that its scripts fill.
    virtual bool StatusPageMayNeedEngine() const { return false; }

    // The global address from the second source the settings choose (Source2): a usable dotted
    // address, empty when there is no second source or it gave none.
    virtual std::string FetchSecondAddress() = 0;

    // The body markup (code page 932) of the published page at the settings' CheckURL, empty when it
    // could not be read.
    virtual std::string FetchPublishedPage() = 0;

    // The IPv6 address to publish when the settings publish over IPv6 (Ipv6Use): chosen among this
    // machine's addresses, on the settings' interface (the system's name, UTF-8) and with their suffix;
    // published (the address the pages hold now) stays chosen while it is usable.
    virtual netinfo::Ipv6Choice ChooseIpv6Address(const std::string& interfaceName, const std::string& suffix,
                                                  const std::string& published)
    {
        return netinfo::ChooseIpv6Address(interfaceName, suffix, published);
    }

    // The host name of a dotted address, empty when there is none or the look-up was cancelled.
    virtual std::string LookupHostName(const std::string& address) = 0;

    // Keeps the host names of the settings' [DDNS] at the address (and at the machine's IPv6
    // address for AAAA records), with the providers' rules; logs its own row and keeps its state.
    // Nothing when dynamic DNS is off.
    virtual DynamicDnsStep UpdateDynamicDns(const std::string& address)
    {
        (void)address;
        return {};
    }

    // The upload run over the page folder; true when the pages were uploaded.
    virtual bool UploadPages(bool closing) = 0;

    // Mails a notice (with the repeat rule; logs its own failure).
    virtual void SendNoticeMail(std::int32_t kind, const std::string& text) = 0;

    // The abort timer's work: cancel the host look-up, stop the status page load, and Abort and
    // Cancel the FTP, SMTP and POP3 clients, ignoring their failures. The waiting step then fails.
    virtual void AbortNetwork() = 0;

    // The closing run (at most once): closing upload when selected, the Shutdown save, and the
    // release of the settings object.
    virtual void RunClosingUpload() = 0;
};

} // namespace core
