#pragma once
// Reading a web page other than the router's status page: the answer of an address echo page, or the
// published copy of one of the user's pages. The status page's HTTP client does the work (no proxy, no
// cache, answers cut at kMaxStatusPageBytes, the text brought to code page 932), and the wait is the
// shared wait helper's, bounded by a time limit and ended at once by Stop.

#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"

#include <string>
#include <string_view>

namespace core {

class WebPageReader
{
public:
    WebPageReader();

    // The body markup of the page at url (code page 932 text, as typed in the settings); empty when
    // nothing was read: no such server, a transfer error, Stop, or limitMs passed.
    std::string Read(const std::string& url, int limitMs);
    // Ends a Read that waits.
    void Stop();
    bool Busy() const { return m_page.Busy(); }
    // How the last Read ended: the answer's HTTP status (0: none), the transfer's error; and whether
    // the time limit ended it.
    FetchOutcome LastOutcome() const { return m_page.LastOutcome(); }
    bool TimedOut() const { return m_page.TimedOut; }

private:
    HttpStatusFetcher m_fetcher;
    StatusPage m_page;
};

// Whether the page holds text as a whole address or host name: not as part of a longer number or name
// (203.0.113.5 is not in 203.0.113.50, nor host.example.test in myhost.example.test).
bool PageShowsAddress(std::string_view page, std::string_view text);

} // namespace core
