#include "core/AddressSearch.h"

#include "settings/ConfigUnit.h"
#include "text/NumericUnit.h"
#include "text/VB.h"
#include "text/jconvert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <variant>

namespace core {

namespace {

// Characters of the window after a dot that may hold the last three numbers of an address.
constexpr long kWindowChars = 11;

// One of the four numbers of a candidate: the leading number as written, and its value.
struct Number
{
    std::string written;
    long long value = 0;
};

// The leading number of a value; nothing when the value is a sign without digits, which is no number.
// A value without any leading digits counts as 0, as the program always counted it.
std::optional<Number> LeadingValue(std::string_view piece)
{
    const text::LeadingNumberResult leading = text::LeadingNumber(piece);
    if (std::holds_alternative<int>(leading))
        return Number{std::string(), std::get<int>(leading)};
    Number n{std::get<std::string>(leading), 0};
    const std::string& s = n.written;
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size())
        return std::nullopt;
    // At most eleven characters reach here; saturate anyway so no input can overflow.
    for (; i < s.size(); ++i)
        n.value = std::min<long long>(n.value * 10 + (s[i] - '0'), 1'000'000'000'000LL);
    if (negative)
        n.value = -n.value;
    return n;
}

bool IsNumericChar(char c)
{
    return text::IsNumericText(std::string_view(&c, 1));
}

// Bytes of `count` characters (or fewer at the end) starting at byte `from`.
std::string_view CharsAt(std::string_view t, size_t from, long count)
{
    size_t end = from;
    for (long k = 0; k < count && end < t.size(); ++k)
        end += static_cast<size_t>(text::CharBytes(static_cast<unsigned char>(t[end])));
    return t.substr(from, std::min(end, t.size()) - from);
}

// Whether the window can split into three pieces. Without a double quote the split is a plain one at
// the dots that start a character, so two such dots are needed; with one, the exact split decides.
// Most dots of a page fail here, before any piece is copied.
bool MaySplitIntoThree(std::string_view window)
{
    int dots = 0;
    for (size_t i = 0; i < window.size();) {
        const auto b = static_cast<unsigned char>(window[i]);
        if (b == '"')
            return true;
        dots += b == '.';
        i += static_cast<size_t>(text::CharBytes(b));
    }
    return dots == 2;
}

// The four numbers of a candidate whose first number is made of `leading` and whose other three are
// the pieces of `window`. Nothing when the window does not split into exactly three pieces or a piece
// is a bare sign.
std::optional<std::array<Number, 4>> CandidateNumbers(std::string_view leading, std::string_view window)
{
    if (!MaySplitIntoThree(window))
        return std::nullopt;
    const text::StringList pieces = text::SplitText(window, ".", true);
    if (pieces.size() != 3)
        return std::nullopt;
    std::array<Number, 4> numbers;
    const std::optional<Number> first = LeadingValue(leading);
    if (!first)
        return std::nullopt;
    numbers[0] = *first;
    for (size_t k = 0; k < 3; ++k) {
        const std::optional<Number> n = LeadingValue(pieces[k]);
        if (!n)
            return std::nullopt;
        numbers[k + 1] = *n;
    }
    return numbers;
}

bool IsPrivate(long long a, long long b)
{
    return a == 10 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168);
}

std::string Dotted(const std::array<Number, 4>& n)
{
    return std::to_string(n[0].value) + '.' + std::to_string(n[1].value) + '.' + std::to_string(n[2].value) +
           '.' + std::to_string(n[3].value);
}

// The text with its single-byte letters in upper case; double-byte characters keep their bytes.
std::string UpperSingleByte(std::string_view t)
{
    std::string u(t);
    for (size_t i = 0; i < u.size();) {
        const auto b = static_cast<unsigned char>(u[i]);
        if (b >= 'a' && b <= 'z')
            u[i] = static_cast<char>(b - 'a' + 'A');
        i += static_cast<size_t>(text::CharBytes(b));
    }
    return u;
}

} // namespace

namespace {

UnusableRange UnusableRangeOf(long long a, long long b, long long c)
{
    if (a == 100 && b >= 64 && b <= 127)
        return UnusableRange::CarrierGradeNat;
    if (a == 127)
        return UnusableRange::Loopback;
    if (a == 169 && b == 254)
        return UnusableRange::LinkLocal;
    if (a == 192 && b == 0 && c == 0)
        return UnusableRange::DsLite;
    if (a >= 224)
        return UnusableRange::Multicast;
    return UnusableRange::None;
}

struct ScanRules
{
    bool dnsLabels = true; // the first address after a "DNS" label is the DNS server's
    bool startRule = true; // a text whose first dot is its first or second character is not scanned
};

std::string Scan(std::string_view t, ScanRules rules, AddressSearchLog* log)
{
    // One walk over the characters. The labels that the scan can use up at a dot are exactly the
    // "DNS" labels that start before it, and they are always used up from the earliest on, so two
    // counters stand for the list of label positions.
    long labelsSeen = 0;
    long labelsUsed = 0;
    // The three characters before the current one, nearest first: the byte of a single-byte
    // character, or -1 for a double-byte character or none.
    std::array<int, 3> before = {-1, -1, -1};
    long position = 0; // 1-based position of the current character
    bool firstDot = true;
    const auto decide = [&](long at, const std::array<Number, 4>& n, CandidateVerdict verdict,
                            UnusableRange range = UnusableRange::None) {
        if (log)
            log->candidates.push_back({at, Dotted(n), verdict, range});
    };

    for (size_t i = 0; i < t.size();) {
        const auto b = static_cast<unsigned char>(t[i]);
        const auto width = static_cast<size_t>(text::CharBytes(b));
        ++position;
        if (b == 'D' && rules.dnsLabels && t.substr(i, 3) == "DNS") {
            ++labelsSeen;
        } else if (b == '.') {
            if (firstDot && position <= 2 && rules.startRule) {
                if (log)
                    log->notScanned = true;
                return {};
            }
            firstDot = false;
            std::string leading;
            long first = 0;
            for (int k = 2; k >= 0; --k)
                if (before[k] >= 0 && IsNumericChar(static_cast<char>(before[k]))) {
                    if (leading.empty())
                        first = position - 1 - k;
                    leading += static_cast<char>(before[k]);
                }
            if (!leading.empty()) {
                const auto numbers = CandidateNumbers(leading, CharsAt(t, i + 1, kWindowChars));
                if (numbers) {
                    const long long a = (*numbers)[0].value, bb = (*numbers)[1].value;
                    const long long c = (*numbers)[2].value, e = (*numbers)[3].value;
                    const UnusableRange range = UnusableRangeOf(a, bb, c);
                    if (!(a >= 1 && a <= 254 && bb >= 0 && bb <= 255 && c >= 0 && c <= 255 && e >= 1 &&
                          e <= 254)) {
                        decide(first, *numbers, CandidateVerdict::OutOfBounds);
                    } else if (labelsUsed < labelsSeen) {
                        // The first address after a DNS label is the DNS server's.
                        ++labelsUsed;
                        decide(first, *numbers, CandidateVerdict::AfterDnsLabel);
                    } else if (IsPrivate(a, bb)) {
                        decide(first, *numbers, CandidateVerdict::PrivateRange);
                    } else if (range != UnusableRange::None) {
                        // Published, such an address would break every link on the pages.
                        decide(first, *numbers, CandidateVerdict::Unusable, range);
                    } else {
                        decide(first, *numbers, CandidateVerdict::Taken);
                        if (log)
                            log->result = Dotted(*numbers);
                        return Dotted(*numbers);
                    }
                }
            }
        }
        before[2] = before[1];
        before[1] = before[0];
        before[0] = width == 1 ? b : -1;
        i += width;
    }
    return {};
}

} // namespace

std::string SearchAddressAuto(std::string_view t, AddressSearchLog* log)
{
    return Scan(t, ScanRules{}, log);
}

std::string FirstUsableAddress(std::string_view t)
{
    return Scan(t, ScanRules{false, false}, nullptr);
}

std::string NormalizePageCode(std::string_view t)
{
    const std::string upper = UpperSingleByte(t);
    const size_t head = text::FindAtCharStart(upper, "</HEAD>");
    const size_t charset = text::FindAtCharStart(upper, "CHARSET=");
    if (head == std::string_view::npos || charset == std::string_view::npos || charset >= head)
        return mail::ConvertJapaneseCode(t, mail::jcSjis);
    // The declaration must lie within the head, up to and including the "<" of "</HEAD>".
    const std::string_view declared = std::string_view(upper).substr(0, head + 1);
    if (text::FindAtCharStart(declared, "SHIFT_JIS", charset + 8) != std::string_view::npos)
        return std::string(t);
    if (text::FindAtCharStart(declared, "X-EUC-JP", charset + 8) != std::string_view::npos) {
        // A page that is already Shift_JIS (the fetch converts every page, and its declaration stays
        // in the markup) would be destroyed by a second conversion; real EUC-JP is never detected as
        // Shift_JIS.
        if (mail::DetectJapaneseCode(t) == mail::jcSjis)
            return std::string(t);
        return mail::EucToSjis(t);
    }
    return mail::ConvertJapaneseCode(t, mail::jcSjis);
}

std::string SearchAddressAfterKey(std::string_view statusHtml, std::string_view key, AddressSearchLog* log)
{
    if (log)
        log->keySearch = true;
    const std::string page = mail::ConvertLineBreaks(NormalizePageCode(statusHtml), mail::lbCrLf);
    const long p = text::InStrChars(page, key);
    if (p == 0)
        return {};
    const long skipped = p + text::CharLen(key) - 1;
    AddressSearchLog tail;
    const std::string found = SearchAddressAuto(text::TailFrom(page, skipped + 1), log ? &tail : nullptr);
    if (log) {
        log->keyFound = true;
        log->keyPosition = p;
        log->notScanned = tail.notScanned;
        for (AddressCandidate& c : tail.candidates) {
            c.position += skipped;
            log->candidates.push_back(std::move(c));
        }
        log->result = found;
    }
    return found;
}

std::string FindGlobalAddress(std::string_view statusHtml, const settings::TConfig& config,
                              AddressSearchLog* log)
{
    if (config.GlobalIPAuto != 0)
        return SearchAddressAuto(statusHtml, log);
    return SearchAddressAfterKey(statusHtml, config.GlobalIPKey, log);
}

std::optional<ByteRange> FindNextAddress(std::string_view source, size_t selectionStart,
                                         size_t selectionLength)
{
    // The finder counts bytes: it shows every plausible address in order, private ones included.
    size_t dot = selectionStart + selectionLength; // 0-based: the byte right after the selection
    for (; dot < source.size(); ++dot) {
        const void* found = std::memchr(source.data() + dot, '.', source.size() - dot);
        if (!found)
            break;
        dot = static_cast<size_t>(static_cast<const char*>(found) - source.data());
        std::string leading;
        for (size_t k = 3; k >= 1; --k)
            if (dot >= k && IsNumericChar(source[dot - k]))
                leading += source[dot - k];
        if (leading.empty())
            continue;
        const auto numbers = CandidateNumbers(leading, source.substr(dot + 1, kWindowChars));
        if (!numbers)
            continue;
        const long long a = (*numbers)[0].value, b = (*numbers)[1].value;
        const long long c = (*numbers)[2].value, e = (*numbers)[3].value;
        if (!(a >= 1 && a <= 254 && b >= 1 && b <= 255 && c >= 1 && c <= 255 && e >= 2 && e <= 254))
            continue;
        const std::string address = (*numbers)[0].written + '.' + (*numbers)[1].written + '.' +
                                    (*numbers)[2].written + '.' + (*numbers)[3].written;
        // The address as written starts right before the dot; the match is looked for from two bytes
        // earlier up to there. A candidate whose text is not written there (a non-digit between its
        // first digits, blanks inside it) is passed over rather than ending the search, so the finder
        // never sticks at one place of the page.
        const size_t exact = dot - (*numbers)[0].written.size();
        for (size_t q = exact >= 2 ? exact - 2 : 0; q <= exact; ++q)
            if (source.substr(q, address.size()) == address)
                return ByteRange{q, address.size()};
    }
    return std::nullopt;
}

} // namespace core
