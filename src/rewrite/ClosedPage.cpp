#include "rewrite/ClosedPage.h"

#include "rewrite/PageFile.h"
#include "settings/ConfigUnit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace rewrite {

namespace {

constexpr size_t kNone = std::string_view::npos;

// The tags that take a link off, compared after upper-casing, the opening forms in the order tried.
constexpr std::array<std::string_view, 8> kOpeningForms = {
    "<A HREF=\"",  "< A HREF=\"",  "<A HREF =\"",  "< A HREF =\"",
    "<A HREF= \"", "< A HREF= \"", "<A HREF = \"", "< A HREF = \"",
};
constexpr std::string_view kClosing1 = "</A>";
constexpr std::string_view kClosing2 = "< /A >";
constexpr std::string_view kTagEnd = ">";

// Indexes of the searched texts.
constexpr size_t kPattern = 0;
constexpr size_t kFirstOpening = 1;
constexpr size_t kClose1 = kFirstOpening + kOpeningForms.size();
constexpr size_t kClose2 = kClose1 + 1;
constexpr size_t kGt = kClose2 + 1;
constexpr size_t kNeedles = kGt + 1;

// The occurrences of one searched text. Those found at the start stay valid while all their bytes
// are alive and adjacent; an invalid one never becomes valid again, so it is skipped for good (two
// union-find chains, one per direction). Occurrences that the removal of a tag creates by joining
// text are kept apart.
struct Occurrences
{
    std::vector<size_t> positions;
    std::vector<uint32_t> nextValid; // forward chain, size positions + 1 (the last is "none")
    std::vector<uint32_t> prevValid; // backward chain over index + 1 (0 is "none")
    std::set<size_t> joined;

    void Init(std::vector<size_t> found)
    {
        positions = std::move(found);
        const auto count = static_cast<uint32_t>(positions.size());
        nextValid.resize(count + 1);
        prevValid.resize(count + 1);
        for (uint32_t i = 0; i <= count; ++i) {
            nextValid[i] = i;
            prevValid[i] = i;
        }
    }

    // Follows a chain to its end and points every visited link straight at it (path compression).
    static uint32_t Root(std::vector<uint32_t>& chain, uint32_t i)
    {
        uint32_t root = i;
        while (chain[root] != root)
            root = chain[root];
        while (chain[i] != root) {
            const uint32_t next = chain[i];
            chain[i] = root;
            i = next;
        }
        return root;
    }

    uint32_t RootForward(uint32_t i) { return Root(nextValid, i); }

    // k is index + 1.
    uint32_t RootBackward(uint32_t k) { return Root(prevValid, k); }

    void MarkInvalid(uint32_t i)
    {
        nextValid[i] = i + 1;
        prevValid[i + 1] = i;
    }
};

// DisableLinks over a text with removed ranges: nothing is erased from the middle of the text while
// it runs. Positions are byte offsets into the text as it was at the start; the removed ranges are
// whole characters, so the character starts of what is left stay where they were, and comparing two
// offsets compares the character positions of the working text.
class LinkDisabler
{
public:
    LinkDisabler(std::string_view text, std::string_view pattern, PageEncoding encoding)
        : m_text(text), m_n(text.size()), m_encoding(encoding)
    {
        m_needles[kPattern] = Needle(pattern, encoding);
    }

    // Returns true and the new text in out when something was removed.
    bool Run(std::string& out)
    {
        const Needle& pattern = m_needles[kPattern];
        size_t pos = pattern.FindIn(m_text, 0, m_encoding);
        if (pos == kNone)
            return false;
        Prepare();
        bool removed = false;
        while (pos != kNone) {
            if (OpensBeforeClosing(pos))
                break;
            for (size_t form = kFirstOpening; form < kClose1; ++form) {
                if (RemoveAnchor(form, pos))
                    removed = true;
            }
            if (pos >= m_n)
                break;
            pos = FindForward(kPattern, NextChar(pos));
        }
        if (removed)
            out = Materialize();
        return removed;
    }

private:
    // An opening tag between the pattern and the next closing tag: the pattern is not inside an
    // anchor, and the treatment of this pattern ends.
    bool OpensBeforeClosing(size_t pos)
    {
        size_t close = FindForward(kClose1, pos);
        if (close == kNone)
            close = FindForward(kClose2, 0);
        if (close == kNone)
            return false;
        for (size_t form = kFirstOpening; form < kClose1; ++form) {
            const size_t b = FindForward(form, pos);
            if (b != kNone && b < close)
                return true;
        }
        return false;
    }

    // Removes the opening tag of the given form that starts last at or before pos, and the first
    // closing tag after it. pos keeps its character number, so afterwards it names the character
    // that has moved to that number.
    bool RemoveAnchor(size_t form, size_t& pos)
    {
        const size_t b = FindBackward(form, pos);
        if (b == kNone)
            return false;
        const size_t g = FindForward(kGt, b);
        if (g == kNone)
            return false;
        size_t closeId = kClose1;
        size_t d = FindForward(kClose1, g);
        if (d == kNone) {
            closeId = kClose2;
            d = FindForward(kClose2, g);
        }
        if (d == kNone)
            return false;
        const size_t closeLength = m_needles[closeId].size(); // single-byte characters only
        if (pos < m_n) {
            const size_t openingChars = CountChars(b, g + 1);
            size_t moved = AdvanceChars(pos, openingChars);
            if (moved >= d)
                moved = AdvanceChars(moved, closeLength);
            pos = moved;
        }
        const size_t dEnd = AliveEnd(d, closeLength);
        Remove(b, g + 1);
        Remove(d, dEnd);
        CheckJoint(b);
        CheckJoint(d);
        return true;
    }

    void Prepare()
    {
        // The tags are ASCII: the same needles serve both walks.
        static const std::array<Needle, kNeedles> kTags = [] {
            std::array<Needle, kNeedles> tags;
            for (size_t i = 0; i < kOpeningForms.size(); ++i)
                tags[kFirstOpening + i] = Needle(kOpeningForms[i], PageEncoding::Cp932);
            tags[kClose1] = Needle(kClosing1, PageEncoding::Cp932);
            tags[kClose2] = Needle(kClosing2, PageEncoding::Cp932);
            tags[kGt] = Needle(kTagEnd, PageEncoding::Cp932);
            return tags;
        }();
        for (size_t id = kFirstOpening; id < kNeedles; ++id)
            m_needles[id] = kTags[id];
        m_starts.assign(m_n + 1, 0);
        for (size_t p = 0; p < m_n; p = NextStartRaw(p))
            m_starts[p] = 1;
        m_starts[m_n] = 1;
        for (size_t id = 0; id < kNeedles; ++id)
            m_occurrences[id].Init(Collect(m_needles[id]));
    }

    size_t NextStartRaw(size_t p) const
    {
        const auto b = static_cast<unsigned char>(m_text[p]);
        if (m_encoding == PageEncoding::Cp932)
            return std::min(p + (platform::IsDBCSLeadByte(b) ? 2 : 1), m_n);
        size_t q = p + 1;
        while (q < m_n && (static_cast<unsigned char>(m_text[q]) & 0xC0) == 0x80)
            ++q;
        return q;
    }

    std::vector<size_t> Collect(const Needle& needle) const
    {
        std::vector<size_t> found;
        const size_t m = needle.size();
        if (m == 0 || m > m_n)
            return found;
        const char* base = m_text.data();
        const size_t last = m_n - m;
        auto next = [&](char c, size_t p) -> size_t {
            if (p > last)
                return kNone;
            const void* hit = std::memchr(base + p, c, last + 1 - p);
            return hit ? static_cast<size_t>(static_cast<const char*>(hit) - base) : kNone;
        };
        const char c0 = needle.FirstByte();
        const char c1 = needle.FirstByteOtherCase();
        size_t n0 = next(c0, 0);
        size_t n1 = c1 == c0 ? kNone : next(c1, 0);
        while (n0 != kNone || n1 != kNone) {
            const size_t q = std::min(n0, n1);
            if (m_starts[q] && needle.MatchesAt(m_text, q))
                found.push_back(q);
            if (n0 == q)
                n0 = next(c0, q + 1);
            if (n1 == q)
                n1 = next(c1, q + 1);
        }
        return found;
    }

    // --- the removed ranges ---

    // The removed range that holds p, or end().
    std::map<size_t, size_t>::const_iterator RangeHolding(size_t p) const
    {
        auto it = m_removed.upper_bound(p);
        if (it == m_removed.begin())
            return m_removed.end();
        --it;
        return p < it->second ? it : m_removed.end();
    }

    // p itself when alive, else the first byte after the removed range that holds it.
    size_t SkipRemoved(size_t p) const
    {
        const auto it = RangeHolding(p);
        return it == m_removed.end() ? p : it->second;
    }

    size_t NextAliveByte(size_t p) const { return SkipRemoved(p + 1); }

    // The last alive byte before p, or kNone.
    size_t PrevAliveByte(size_t p) const
    {
        if (p == 0)
            return kNone;
        size_t q = p - 1;
        const auto it = RangeHolding(q);
        if (it == m_removed.end())
            return q;
        return it->first == 0 ? kNone : it->first - 1;
    }

    bool RangeAlive(size_t p, size_t m) const
    {
        auto it = m_removed.upper_bound(p);
        if (it != m_removed.end() && it->first < p + m)
            return false;
        if (it == m_removed.begin())
            return true;
        --it;
        return it->second <= p;
    }

    size_t NextChar(size_t p) const
    {
        size_t q = p + 1;
        while (q < m_n && !m_starts[q])
            ++q;
        return q >= m_n ? m_n : SkipRemoved(q);
    }

    size_t AdvanceChars(size_t p, size_t count) const
    {
        for (size_t i = 0; i < count && p < m_n; ++i)
            p = NextChar(p);
        return p;
    }

    size_t CountChars(size_t from, size_t to) const
    {
        size_t count = 0;
        for (size_t p = from; p < to && p < m_n; p = NextChar(p))
            ++count;
        return count;
    }

    // The offset just past the m-th alive byte from p.
    size_t AliveEnd(size_t p, size_t m) const
    {
        for (size_t i = 1; i < m; ++i)
            p = NextAliveByte(p);
        return p + 1;
    }

    void Remove(size_t from, size_t to)
    {
        auto it = m_removed.lower_bound(from);
        if (it != m_removed.begin()) {
            auto before = std::prev(it);
            if (before->second >= from)
                it = before;
        }
        while (it != m_removed.end() && it->first <= to) {
            from = std::min(from, it->first);
            to = std::max(to, it->second);
            it = m_removed.erase(it);
        }
        m_removed.emplace(from, to);
    }

    // --- searches in the working text ---

    bool MatchesAlive(size_t p, const Needle& needle) const
    {
        const size_t m = needle.size();
        if (RangeAlive(p, m))
            return needle.MatchesAt(m_text, p);
        for (size_t i = 0; i < m; ++i) {
            if (p >= m_n || !needle.ByteMatches(i, m_text[p]))
                return false;
            p = NextAliveByte(p);
        }
        return true;
    }

    bool JoinedValid(size_t p, const Needle& needle) const
    {
        return m_starts[p] && RangeHolding(p) == m_removed.end() && MatchesAlive(p, needle);
    }

    // The first occurrence at or after from.
    size_t FindForward(size_t id, size_t from)
    {
        Occurrences& occ = m_occurrences[id];
        const size_t m = m_needles[id].size();
        size_t best = kNone;
        auto i = static_cast<uint32_t>(std::lower_bound(occ.positions.begin(), occ.positions.end(), from) -
                                       occ.positions.begin());
        for (i = occ.RootForward(i); i < occ.positions.size(); i = occ.RootForward(i)) {
            if (RangeAlive(occ.positions[i], m)) {
                best = occ.positions[i];
                break;
            }
            occ.MarkInvalid(i);
        }
        for (auto it = occ.joined.lower_bound(from); it != occ.joined.end() && *it < best;) {
            if (JoinedValid(*it, m_needles[id])) {
                best = *it;
                break;
            }
            it = occ.joined.erase(it);
        }
        return best;
    }

    // The last occurrence that starts at or before at.
    size_t FindBackward(size_t id, size_t at)
    {
        Occurrences& occ = m_occurrences[id];
        const size_t m = m_needles[id].size();
        size_t best = kNone;
        auto k = static_cast<uint32_t>(std::upper_bound(occ.positions.begin(), occ.positions.end(), at) -
                                       occ.positions.begin());
        for (k = occ.RootBackward(k); k > 0; k = occ.RootBackward(k)) {
            if (RangeAlive(occ.positions[k - 1], m)) {
                best = occ.positions[k - 1];
                break;
            }
            occ.MarkInvalid(k - 1);
        }
        auto it = occ.joined.upper_bound(at);
        while (it != occ.joined.begin()) {
            --it;
            if (best != kNone && *it <= best)
                break;
            if (JoinedValid(*it, m_needles[id])) {
                best = *it;
                break;
            }
            it = occ.joined.erase(it);
        }
        return best;
    }

    // After a removal the text on both sides of it meets: record what now matches across the seam.
    void CheckJoint(size_t removedAt)
    {
        const auto range = RangeHolding(removedAt);
        if (range == m_removed.end() || range->second >= m_n || range->first == 0)
            return;
        size_t longest = 0;
        for (const Needle& needle : m_needles)
            longest = std::max(longest, needle.size());
        // The alive bytes just before the seam, nearest first.
        std::vector<size_t> before;
        for (size_t p = PrevAliveByte(range->first); p != kNone && before.size() + 1 < longest;
             p = PrevAliveByte(p))
            before.push_back(p);
        for (size_t id = 0; id < kNeedles; ++id) {
            const Needle& needle = m_needles[id];
            for (size_t i = 0; i + 1 < needle.size() && i < before.size(); ++i) {
                const size_t p = before[i];
                if (m_starts[p] && needle.ByteMatches(0, m_text[p]) && MatchesAlive(p, needle))
                    m_occurrences[id].joined.insert(p);
            }
        }
    }

    std::string Materialize() const
    {
        std::string out;
        size_t removedBytes = 0;
        for (const auto& [from, to] : m_removed)
            removedBytes += to - from;
        out.reserve(m_n - removedBytes);
        size_t p = 0;
        for (const auto& [from, to] : m_removed) {
            out.append(m_text.substr(p, from - p));
            p = to;
        }
        out.append(m_text.substr(std::min(p, m_n)));
        return out;
    }

    std::string_view m_text;
    size_t m_n;
    PageEncoding m_encoding;
    std::array<Needle, kNeedles> m_needles;
    std::array<Occurrences, kNeedles> m_occurrences;
    std::vector<uint8_t> m_starts;
    std::map<size_t, size_t> m_removed; // [first, second) ranges, apart from each other
};

// Line breaks of a notice become CR LF, as every line of the copy ends.
std::string WithCrLfBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.append("\r\n", 2);
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

bool DisableLinksIn(std::string& text, std::string_view pattern, PageEncoding encoding)
{
    if (pattern.empty())
        return false;
    std::string out;
    LinkDisabler disabler(text, pattern, encoding);
    if (!disabler.Run(out))
        return false;
    text = std::move(out);
    return true;
}

std::string DisableLinks(std::string_view text, std::string_view pattern, PageEncoding encoding)
{
    std::string work(text);
    DisableLinksIn(work, pattern, encoding);
    return work;
}

std::string InsertClosedNoticeText(std::string_view file, std::string_view closedString)
{
    const PageEncoding encoding = DetectPageEncoding(file);
    const Needle marker("<!-- Quillmap Closed -->", encoding);
    const std::string notice = WithCrLfBreaks(ToPageEncoding(closedString, encoding));
    std::string out;
    out.reserve(file.size() + 16);
    std::string replaced;
    for (std::string_view line : SplitLines(file)) {
        if (ReplaceAll(line, marker, notice, encoding, replaced))
            AppendLineCrLf(out, replaced);
        else
            AppendLineCrLf(out, line);
    }
    return out;
}

void InsertClosedNotice(const std::string& path, std::string_view closedString)
{
    WriteWholeFile(path, InsertClosedNoticeText(ReadWholeFile(path), closedString));
}

void InsertClosedNotice(const std::string& path, const settings::TConfig& config)
{
    InsertClosedNotice(path, config.ClosedString);
}

} // namespace rewrite
