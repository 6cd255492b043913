#include "core/WebPageReader.h"

#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"

namespace core {

namespace {

bool NamePart(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

} // namespace

WebPageReader::WebPageReader() : m_page(m_fetcher) {}

std::string WebPageReader::Read(const std::string& url, int limitMs)
{
    if (url.empty())
        return {};
    // A plain GET: the settings' POST data belongs to the router's page alone.
    const settings::TConfig noPost;
    m_page.TimeLimitMs = limitMs;
    m_page.FetchStatusPage(noPost, platform::Cp932ToQString(url));
    return m_page.StatusHtml;
}

void WebPageReader::Stop()
{
    m_page.Stop();
}

bool PageShowsAddress(std::string_view page, std::string_view text)
{
    if (text.empty())
        return false;
    for (size_t at = page.find(text); at != std::string_view::npos; at = page.find(text, at + 1)) {
        const size_t end = at + text.size();
        const bool cleanStart = at == 0 || (!NamePart(page[at - 1]) && page[at - 1] != '.');
        // A dot right after may end a sentence; a dot followed by more of a name or number may not.
        const bool cleanEnd =
            end == page.size() ||
            (!NamePart(page[end]) && !(page[end] == '.' && end + 1 < page.size() && NamePart(page[end + 1])));
        if (cleanStart && cleanEnd)
            return true;
    }
    return false;
}

} // namespace core
