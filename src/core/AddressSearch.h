#pragma once
// Finding the router's global (WAN) address in the markup of its status page. Pure functions on code
// page 932 byte strings: no Qt, no state. Every search is one pass over the page, so a large or hostile
// page costs time in proportion to its size.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace settings {
class TConfig;
}

namespace core {

// The first dotted-quad address in text that is a plausible host address, lies outside the private
// ranges and is not the first address after an unused "DNS" label. Empty when there is none.
std::string SearchAddressAuto(std::string_view text);

// The automatic search on the part of the page that follows the first occurrence of key (exact,
// case-sensitive). The page is first brought to Shift_JIS with CR LF line breaks. Empty when the key
// does not occur or nothing acceptable follows it.
std::string SearchAddressAfterKey(std::string_view statusHtml, std::string_view key);

// The page text in Shift_JIS, judged by the charset declared before "</head>" or else by detection.
std::string NormalizePageCode(std::string_view text);

// The automatic search when GlobalIPAuto is on, else the search after GlobalIPKey.
std::string FindGlobalAddress(std::string_view statusHtml, const settings::TConfig& config);

// A range of bytes, 0-based.
struct ByteRange
{
    size_t start = 0;
    size_t length = 0;
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// The source viewer's "next address" finder. Looks for the next plausible address (the router's LAN
// address included) after the selection given by its 0-based start and its length, and returns the
// bytes to select; nothing when no further address is written in the text.
std::optional<ByteRange> FindNextAddress(std::string_view source, size_t selectionStart,
                                         size_t selectionLength);

} // namespace core
