#pragma once
// Literal versions of the character walks: each restarts from the first byte, copies tails and
// searches again from the start, exactly as the operations are meant to behave. Slow (quadratic),
// obviously right, and only used to check the fast versions on random texts.

#include "platform/LeadByte.h"
#include "text/VB.h"

#include <string>
#include <string_view>
#include <vector>

namespace reference {

inline size_t Width(std::string_view t, size_t i)
{
    return platform::IsDBCSLeadByte(static_cast<unsigned char>(t[i])) ? 2 : 1;
}

// First bytes of every character.
inline std::vector<size_t> Starts(std::string_view t)
{
    std::vector<size_t> s;
    for (size_t i = 0; i < t.size(); i += Width(t, i))
        s.push_back(i);
    return s;
}

inline long CharLen(std::string_view t)
{
    return static_cast<long>(Starts(t).size());
}

inline std::string TailFrom(std::string_view t, long n)
{
    long i = 1;
    for (size_t b : Starts(t)) {
        if (i >= n)
            return std::string(t.substr(b));
        ++i;
    }
    return {};
}

inline std::string MidChars(std::string_view t, long start, long count)
{
    std::string out;
    long ordinal = 1;
    long taken = 0;
    for (size_t b : Starts(t)) {
        if (ordinal >= start && taken < count) {
            out += t.substr(b, Width(t, b));
            ++taken;
        }
        ++ordinal;
    }
    return out;
}

inline std::string RightChars(std::string_view t, long count)
{
    const long m = CharLen(t) - count;
    return m < 0 ? std::string() : TailFrom(t, m + 1);
}

inline long InStrChars(std::string_view t, std::string_view p)
{
    if (p.empty() || t.empty())
        return 0;
    long i = 1;
    for (size_t b : Starts(t)) {
        if (t.substr(b, p.size()) == p)
            return i;
        ++i;
    }
    return 0;
}

inline long InStrFrom(long start, std::string_view t, std::string_view p)
{
    const long c = InStrChars(TailFrom(t, start), p);
    return c ? start + c - 1 : 0;
}

inline long CountText(std::string_view t, std::string_view p)
{
    long n = 0;
    for (long pos = InStrChars(t, p); pos > 0; pos = InStrFrom(pos + CharLen(p), t, p))
        ++n;
    return n;
}

// Replaces the first pair of double quotes by one, from the start, until none is left.
inline std::string CollapsePairs(std::string f)
{
    for (long p = InStrChars(f, "\"\""); p > 0; p = InStrChars(f, "\"\""))
        f = MidChars(f, 1, p - 1) + "\"" + TailFrom(f, p + 2);
    return f;
}

inline std::vector<std::string> SplitText(std::string_view t, std::string_view sep, bool quoteMode)
{
    std::vector<std::string> list;
    long pos = 1;
    const long len = CharLen(t);
    for (;;) {
        const bool quoted = quoteMode && MidChars(t, pos, 1) == "\"";
        const std::string marker = quoted ? "\"," : std::string(sep);
        const long found = InStrFrom(pos, t, marker);
        if (found == 0)
            break;
        std::string field = MidChars(t, pos, found - pos);
        if (quoted) {
            // The opening quote goes; doubled quotes inside become one.
            if (MidChars(field, 1, 1) == "\"")
                field = TailFrom(field, 2);
            field = CollapsePairs(field);
        }
        list.push_back(field);
        pos = found + CharLen(marker);
    }
    if (pos > len) {
        if (!t.empty() && !sep.empty() && RightChars(t, CharLen(sep)) == sep)
            list.emplace_back();
        return list;
    }
    std::string rest = TailFrom(t, pos);
    if (quoteMode && MidChars(rest, 1, 1) == "\"" && RightChars(rest, 1) == "\"")
        rest = CollapsePairs(MidChars(rest, 2, CharLen(rest) - 2));
    list.push_back(rest);
    return list;
}

// Upper-cases letters character by character, as a locale upper-casing does for code page 932.
inline std::string Upper(std::string_view t)
{
    std::string out;
    for (size_t b : Starts(t)) {
        std::string c(t.substr(b, Width(t, b)));
        if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z')
            c[0] = static_cast<char>(c[0] - 'a' + 'A');
        out += c;
    }
    return out;
}

// Upper-cases both sides, then repeatedly searches the remaining text, as a text of its own.
inline std::string ReplaceAllText(std::string_view t, std::string_view oldText, std::string_view newText)
{
    if (oldText.empty())
        return std::string(t);
    const std::string upperOld = Upper(oldText);
    std::string rest(t);
    std::string out;
    for (;;) {
        const long c = InStrChars(Upper(rest), upperOld);
        if (c == 0)
            return out + rest;
        const size_t b = Starts(rest)[static_cast<size_t>(c - 1)];
        out += rest.substr(0, b);
        out += newText;
        rest = rest.substr(std::min(rest.size(), b + oldText.size()));
    }
}

} // namespace reference
