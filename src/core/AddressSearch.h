#pragma once
// Finding the router's global (WAN) address in the markup of its status page. Pure functions on code
// page 932 byte strings: no Qt, no state. Every search is one pass over the page, so a large or hostile
// page costs time in proportion to its size.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {
class TConfig;
}

namespace core {

// Address ranges that nobody outside can reach, although routers show them as their WAN side.
enum class UnusableRange {
    None,
    CarrierGradeNat, // 100.64.0.0/10
    Loopback,        // 127.0.0.0/8
    LinkLocal,       // 169.254.0.0/16 (a WAN link that is down)
    DsLite,          // 192.0.0.0/24 (a DS-Lite line: no inbound IPv4 at all)
    Multicast,       // 224 and above: multicast and reserved
};

// What the search did with one candidate: the dotted-quad text at a dot.
enum class CandidateVerdict {
    Taken,
    OutOfBounds,   // a number outside the bounds of a host address
    AfterDnsLabel, // the first address after a "DNS" label: the DNS server's
    PrivateRange,  // 10/8, 172.16/12, 192.168/16
    Unusable,      // one of the UnusableRange ranges
};

struct AddressCandidate
{
    long position = 0;   // 1-based character position of its first digit in the page searched
    std::string address; // the four values in decimal, joined by "."
    CandidateVerdict verdict = CandidateVerdict::Taken;
    UnusableRange range = UnusableRange::None;
};

// The decisions of one search, in page order, as the search took them.
struct AddressSearchLog
{
    bool keySearch = false;
    bool keyFound = false;
    long keyPosition = 0; // 1-based character position of the key in the page as searched
    // The first dot of the text searched is its first or second character: nothing was scanned.
    bool notScanned = false;
    std::vector<AddressCandidate> candidates;
    std::string result;
};

// The first dotted-quad address in text that is a plausible host address, lies outside the private
// ranges and the unusable ranges, and is not the first address after an unused "DNS" label. Empty when
// there is none. With a log, every candidate's verdict is recorded there.
std::string SearchAddressAuto(std::string_view text, AddressSearchLog* log = nullptr);

// The automatic search on the part of the page that follows the first occurrence of key (exact,
// case-sensitive). The page is first brought to Shift_JIS with CR LF line breaks. Empty when the key
// does not occur or nothing acceptable follows it. Logged positions count in the whole page.
std::string SearchAddressAfterKey(std::string_view statusHtml, std::string_view key,
                                  AddressSearchLog* log = nullptr);

// The page text in Shift_JIS, judged by the charset declared before "</head>" or else by detection.
std::string NormalizePageCode(std::string_view text);

// The automatic search when GlobalIPAuto is on, else the search after GlobalIPKey.
std::string FindGlobalAddress(std::string_view statusHtml, const settings::TConfig& config,
                              AddressSearchLog* log = nullptr);

// The first address of a short answer (an address echo page, a router's own report) that the world
// can reach: the bounds, private and unusable ranges apply, no "DNS" label and no start rule.
std::string FirstUsableAddress(std::string_view text);

// The explanation of a search, one code page 932 line per decision, for people.
std::vector<std::string> ExplainAddressSearch(const AddressSearchLog& log);

// When the search found nothing and a candidate was passed over only because it lies in an unusable
// range, the log row that names it and says why (code page 932); else empty.
std::string UnusableAddressNote(const AddressSearchLog& log);

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
