#include "Reference.h"

#include "platform/Codepage.h"
#include "platform/LeadByte.h"
#include "text/VB.h"

#include <iconv.h>
#include <regex>

namespace reference {

// ---------------------------------------------------------------------------------------------
// Character positions

std::vector<size_t> Chars::Starts(std::string_view text) const
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 || i == 0)
            starts.push_back(i);
    }
    return starts;
}

long Chars::CharLen(std::string_view text) const
{
    if (!m_utf8)
        return text::CharLen(text);
    return static_cast<long>(Starts(text).size());
}

std::string Chars::MidChars(std::string_view text, long start, long count) const
{
    if (!m_utf8)
        return text::MidChars(text, start, count);
    const std::vector<size_t> starts = Starts(text);
    const long first = std::max(start, 1L);
    if (count <= 0 || first > static_cast<long>(starts.size()))
        return {};
    const long last = first + count; // the first character not taken
    const size_t b = starts[static_cast<size_t>(first - 1)];
    const size_t e =
        last > static_cast<long>(starts.size()) ? text.size() : starts[static_cast<size_t>(last - 1)];
    return std::string(text.substr(b, e - b));
}

std::string Chars::LeftChars(std::string_view text, long count) const
{
    if (!m_utf8)
        return text::LeftChars(text, count);
    return MidChars(text, 1, count);
}

std::string Chars::TailFrom(std::string_view text, long n) const
{
    if (!m_utf8)
        return text::TailFrom(text, n);
    const std::vector<size_t> starts = Starts(text);
    const long first = std::max(n, 1L);
    if (first > static_cast<long>(starts.size()))
        return {};
    return std::string(text.substr(starts[static_cast<size_t>(first - 1)]));
}

long Chars::InStrChars(std::string_view text, std::string_view pattern) const
{
    if (!m_utf8)
        return text::InStrChars(text, pattern);
    if (pattern.empty() || text.empty())
        return 0;
    long position = 1;
    for (const size_t offset : Starts(text)) {
        if (text.substr(offset).starts_with(pattern))
            return position;
        ++position;
    }
    return 0;
}

long Chars::InStrFrom(long start, std::string_view text, std::string_view pattern) const
{
    if (!m_utf8)
        return text::InStrFrom(start, text, pattern);
    start = std::max(start, 1L);
    const long c = InStrChars(TailFrom(text, start), pattern);
    return c == 0 ? 0 : start + c - 1;
}

std::string Chars::Upper(std::string_view text) const
{
    std::string out(text);
    for (size_t i = 0; i < out.size();) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 'a' && b <= 'z')
            out[i] = static_cast<char>(b - 'a' + 'A');
        if (m_utf8) {
            ++i;
        } else {
            i += platform::IsDBCSLeadByte(b) ? 2 : 1;
        }
    }
    return out;
}

std::string Chars::ReplaceAllText(std::string_view text, std::string_view oldText,
                                  std::string_view newText) const
{
    if (!m_utf8)
        return text::ReplaceAllText(text, oldText, newText);
    if (oldText.empty())
        return std::string(text);
    std::string result;
    std::string rest(text);
    const std::string upperOld = Upper(oldText);
    for (;;) {
        const long p = InStrChars(Upper(rest), upperOld);
        if (p == 0)
            break;
        result += LeftChars(rest, p - 1);
        result += newText;
        rest = TailFrom(rest, p + CharLen(oldText));
    }
    return result + rest;
}

std::string Chars::Convert(std::string_view cp932) const
{
    return m_utf8 ? platform::Cp932ToUtf8(cp932) : std::string(cp932);
}

// ---------------------------------------------------------------------------------------------
// Files

bool IsUtf8Page(std::string_view page)
{
    // The system's converter decides what valid UTF-8 is; one converter serves every call.
    static const iconv_t decoder = iconv_open("UTF-32LE", "UTF-8");
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    std::string in(page);
    char* src = in.data();
    size_t srcLeft = in.size();
    std::vector<char> wide(in.size() * 4 + 4);
    char* dst = wide.data();
    size_t dstLeft = wide.size();
    if (iconv(decoder, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0)
        return false;
    for (const char c : page) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    static const std::regex declared(R"(charset\s*=\s*["']?utf-?8)", std::regex::icase);
    return std::regex_search(page.begin(), page.end(), declared);
}

std::vector<std::string> ReadLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open)
        lines.push_back(current);
    return lines;
}

std::string WriteLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// ---------------------------------------------------------------------------------------------
// Link forms

namespace {

const Chars kPathChars(false);

bool IsPosix(std::string_view path)
{
    return kPathChars.LeftChars(path, 1) == "/";
}

std::string Drive(std::string_view path)
{
    if (IsPosix(path))
        return "/";
    const std::string first = kPathChars.LeftChars(path, 1);
    const bool letter = first.size() == 1 && std::isalpha(static_cast<unsigned char>(first[0]));
    if (letter && kPathChars.MidChars(path, 2, 1) == ":")
        return kPathChars.LeftChars(path, 2);
    if (kPathChars.LeftChars(path, 2) == "\\\\") {
        const text::StringList parts = text::SplitText(path, "\\", false);
        std::string drive = "\\\\" + parts[2];
        if (parts.size() > 3)
            drive += "\\" + parts[3];
        return drive;
    }
    return "";
}

bool Same(std::string_view a, std::string_view b, bool posix)
{
    return posix ? a == b : kPathChars.Upper(a) == kPathChars.Upper(b);
}

std::vector<std::string> Components(std::string_view path, std::string_view drive, std::string_view sep)
{
    const std::string rest = kPathChars.TailFrom(path, kPathChars.CharLen(drive) + 1);
    text::StringList parts = text::SplitText(rest, sep, false);
    if (!parts.empty())
        parts.pop_back(); // the file name
    std::vector<std::string> components;
    for (const std::string& p : parts) {
        if (!p.empty())
            components.push_back(p);
    }
    return components;
}

std::string Relative(std::string_view page, std::string_view dest)
{
    const bool posix = IsPosix(page);
    const std::string pageDrive = Drive(page);
    const std::string destDrive = Drive(dest);
    if (posix != IsPosix(dest) || !Same(pageDrive, destDrive, posix))
        return std::string(dest);
    const std::string sep = posix ? "/" : "\\";
    const std::vector<std::string> from = Components(page, pageDrive, sep);
    const std::vector<std::string> to = Components(dest, destDrive, sep);
    size_t common = 0;
    while (common < from.size() && common < to.size() && Same(from[common], to[common], posix))
        ++common;
    std::string r;
    for (size_t i = common; i < from.size(); ++i)
        r += ".." + sep;
    for (size_t i = common; i < to.size(); ++i)
        r += to[i] + sep;
    return r;
}

std::string WithoutLast(std::string_view s)
{
    return kPathChars.LeftChars(s, kPathChars.CharLen(s) - 1);
}

} // namespace

Forms BuildForms(std::string_view replaceLink, std::string_view pagePath)
{
    Forms f;
    if (replaceLink.empty())
        return f;
    const std::string sep = IsPosix(replaceLink) ? "/" : "\\";
    f.L[1] = std::string(replaceLink);
    if (text::RightChars(f.L[1], 1) != sep) // never empty here
        f.L[1] += sep;
    f.L[2] = text::ReplaceAllText(f.L[1], "\\", "/");
    f.L[3] = WithoutLast(f.L[1]) + ":";
    f.L[4] = WithoutLast(f.L[2]) + ":";
    f.R[1] = Relative(pagePath, f.L[1]);
    f.R[2] = text::ReplaceAllText(f.R[1], "\\", "/");
    f.R[3] = WithoutLast(f.R[1]) + ":";
    f.R[4] = WithoutLast(f.R[2]) + ":";
    return f;
}

// ---------------------------------------------------------------------------------------------
// Closed pages

std::string DisableLinks(const Chars& chars, std::string_view text, std::string_view pattern)
{
    static const char* const kForms[] = {
        "<A HREF=\"",  "< A HREF=\"",  "<A HREF =\"",  "< A HREF =\"",
        "<A HREF= \"", "< A HREF= \"", "<A HREF = \"", "< A HREF = \"",
    };
    std::string work(text);
    const std::string upperPattern = chars.Upper(pattern);
    long pos = chars.InStrChars(chars.Upper(work), upperPattern);
    while (pos > 0) {
        std::string upper = chars.Upper(work);
        long close = chars.InStrFrom(pos, upper, "</A>");
        if (close == 0)
            close = chars.InStrChars(upper, "< /A >");
        for (const char* form : kForms) {
            const long b = chars.InStrFrom(pos, upper, form);
            if (b > 0 && b < close)
                return work;
        }
        for (const char* form : kForms) {
            upper = chars.Upper(work);
            long b = 0;
            for (long p = chars.InStrChars(upper, form); p > 0 && p <= pos;
                 p = chars.InStrFrom(p + 1, upper, form))
                b = p;
            if (b == 0)
                continue;
            const long g = chars.InStrFrom(b, upper, ">");
            if (g == 0)
                continue;
            std::string closing = "</A>";
            long d = chars.InStrFrom(g, upper, closing);
            if (d == 0) {
                closing = "< /A >";
                d = chars.InStrFrom(g, upper, closing);
            }
            if (d == 0)
                continue;
            work = chars.LeftChars(work, b - 1) + chars.MidChars(work, g + 1, d - g - 1) +
                   chars.TailFrom(work, d + chars.CharLen(closing));
        }
        pos = chars.InStrFrom(pos + 1, chars.Upper(work), upperPattern);
    }
    return work;
}

// ---------------------------------------------------------------------------------------------
// The upload copy

namespace {

// Lk before Rk, except where Rk holds all of Lk (a POSIX page outside the link folder).
std::vector<std::string> Order(const Forms& forms, int k)
{
    if (forms.R[k] != forms.L[k] && forms.R[k].find(forms.L[k]) != std::string::npos)
        return {forms.R[k], forms.L[k]};
    return {forms.L[k], forms.R[k]};
}

} // namespace

std::optional<std::string> RewritePageWith(const Chars& chars, std::string_view page,
                                           std::string_view pagePath, bool closing, const Settings& s)
{
    std::vector<std::string> lines = ReadLines(page);
    if (lines.empty())
        return std::nullopt;
    const Forms raw = BuildForms(s.ReplaceLink, pagePath);
    Forms forms;
    for (int k = 1; k <= 4; ++k) {
        forms.L[k] = chars.Convert(raw.L[k]);
        forms.R[k] = chars.Convert(raw.R[k]);
    }
    auto skipped = [](const std::string& x) { return x.empty() || x == ":"; };
    // An IPv6 address stands in a URL in brackets.
    const std::string address =
        s.NewGlobalIP.find(':') != std::string::npos ? "[" + s.NewGlobalIP + "]" : s.NewGlobalIP;
    const std::string t = chars.Convert(s.IPtoURL && !s.NewHostName.empty() ? s.NewHostName : address);
    bool changed = false;
    std::vector<std::string> out;
    if (!closing) {
        for (std::string line : lines) {
            const std::string asRead = line;
            for (int k = 4; k >= 1; --k) {
                const std::string suffix = k >= 3 ? ":" : "/";
                const std::string h = "http://" + t + suffix;
                for (const std::string& x : Order(forms, k)) {
                    if (skipped(x))
                        continue;
                    line = chars.ReplaceAllText(line, "https://" + x, "https://" + t + suffix);
                    line = chars.ReplaceAllText(line, "ftp://" + x, "ftp://" + t + suffix);
                    line = chars.ReplaceAllText(line, "@" + x, "@" + t + suffix);
                    line = chars.ReplaceAllText(line, "http://" + x, h);
                    line = chars.ReplaceAllText(line, "http:///" + x, h);
                    line = chars.ReplaceAllText(line, "file://" + x, h);
                    line = chars.ReplaceAllText(line, "file:///" + x, h);
                    line = chars.ReplaceAllText(line, x, h);
                }
            }
            if (!changed && line != asRead)
                changed = true;
            out.push_back(line);
        }
    } else {
        std::vector<std::string> patterns;
        for (int k = 4; k >= 1; --k) {
            for (const std::string& x : Order(forms, k)) {
                if (skipped(x))
                    continue;
                for (const char* prefix :
                     {"ftp://", "@", "http://", "http:///", "file://", "file:///", "https://", ""})
                    patterns.push_back(prefix + x);
            }
        }
        if (s.ClosedFast) {
            for (std::string& line : lines) {
                const std::string asRead = line;
                for (const std::string& p : patterns)
                    line = DisableLinks(chars, line, p);
                if (line != asRead)
                    changed = true;
            }
            out = lines;
        } else {
            std::string textAll;
            for (const std::string& line : lines) {
                if (!textAll.empty())
                    textAll += "\r\n";
                textAll += line;
            }
            const std::string asRead = textAll;
            for (const std::string& p : patterns)
                textAll = DisableLinks(chars, textAll, p);
            changed = textAll != asRead;
            // Split again at CR LF.
            if (!textAll.empty()) {
                size_t start = 0;
                for (size_t brk = textAll.find("\r\n"); brk != std::string::npos;
                     brk = textAll.find("\r\n", start)) {
                    out.push_back(textAll.substr(start, brk - start));
                    start = brk + 2;
                }
                out.push_back(textAll.substr(start));
            }
        }
    }
    if (changed || s.UploadAll || !s.ReplaceOnly)
        return WriteLines(out);
    return std::nullopt;
}

std::optional<std::string> RewritePage(std::string_view page, std::string_view pagePath, bool closing,
                                       const Settings& settings)
{
    return RewritePageWith(Chars(IsUtf8Page(page)), page, pagePath, closing, settings);
}

// ---------------------------------------------------------------------------------------------
// Annotations and the notice

std::string AddRobotsMeta(std::string_view file, bool robotNo, const std::vector<std::string>& keywordsJP,
                          const std::vector<std::string>& keywordsEN)
{
    const Chars chars(IsUtf8Page(file));
    std::vector<std::string> out;
    bool inserted = false;
    auto join = [](const std::vector<std::string>& items) {
        std::string joined;
        for (const std::string& item : items) {
            if (!joined.empty())
                joined += ",";
            joined += item;
        }
        return joined;
    };
    for (std::string line : ReadLines(file)) {
        if (!inserted) {
            const long p = chars.InStrChars(line, "</head>");
            if (p > 0) {
                if (p > 1) {
                    out.push_back(chars.LeftChars(line, p - 1));
                    line = chars.TailFrom(line, p);
                }
                if (robotNo) {
                    out.push_back("<meta name=\"robots\" content=\"noindex,nofollow\">");
                } else {
                    const std::string jp = join(keywordsJP);
                    if (!jp.empty())
                        out.push_back("<meta name=\"keywords\" lang=\"ja\" content=\"" + chars.Convert(jp) +
                                      "\">");
                    const std::string en = join(keywordsEN);
                    if (!en.empty())
                        out.push_back("<meta name=\"keywords\" lang=\"en-us\" content=\"" +
                                      chars.Convert(en) + "\">");
                }
                inserted = true;
            }
        }
        out.push_back(line);
    }
    return WriteLines(out);
}

std::string StampPage(std::string_view file, std::string_view timeStamp, std::string_view version)
{
    const Chars chars(IsUtf8Page(file));
    std::vector<std::string> lines = ReadLines(file);
    for (std::string& line : lines) {
        line = chars.ReplaceAllText(line, "<!-- Quillmap TimeStamp -->", chars.Convert(timeStamp));
        line = chars.ReplaceAllText(line, "<!-- Quillmap Version -->", chars.Convert(version));
    }
    return WriteLines(lines);
}

std::string InsertClosedNotice(std::string_view file, std::string_view closedString)
{
    const Chars chars(IsUtf8Page(file));
    // The notice's own line breaks are written as CR LF like every other line break of the copy.
    const std::string converted = chars.Convert(closedString);
    std::string notice;
    const std::vector<std::string> noticeLines = ReadLines(converted);
    for (size_t i = 0; i < noticeLines.size(); ++i)
        notice += (i == 0 ? "" : "\r\n") + noticeLines[i];
    if (!converted.empty() && (converted.back() == '\n' || converted.back() == '\r'))
        notice += "\r\n";
    std::vector<std::string> lines = ReadLines(file);
    for (std::string& line : lines)
        line = chars.ReplaceAllText(line, "<!-- Quillmap Closed -->", notice);
    return WriteLines(lines);
}

} // namespace reference
