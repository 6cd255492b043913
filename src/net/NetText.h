#pragma once
// Small text tests shared by the protocol clients. Protocol words and header names are ASCII.

#include <string>
#include <string_view>

namespace net {

// A CR or LF inside a value sent on a line protocol would end the line early and start another one
// of the sender's choosing; the clients refuse such values.
inline bool HoldsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Header and command names compare without regard to ASCII letter case.
inline bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The text without spaces, tabs and other control bytes at either end.
inline std::string TrimBlanks(std::string_view s)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t first = 0;
    size_t last = s.size();
    while (first < last && blank(s[first]))
        ++first;
    while (last > first && blank(s[last - 1]))
        --last;
    return std::string(s.substr(first, last - first));
}

// Every line of a mail body entry that begins with "." gets one more, so that no line of the text can
// end the data early or lose its first character at the server.
inline std::string StuffDots(std::string_view entry)
{
    std::string out;
    out.reserve(entry.size() + 1);
    bool lineStart = true;
    for (const char c : entry) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

} // namespace net
