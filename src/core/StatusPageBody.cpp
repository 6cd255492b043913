#include "core/StatusPageBody.h"

#include "platform/Codepage.h"
#include "text/VB.h"
#include "text/jconvert.h"

#include <algorithm>
#include <array>

namespace core {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with its single-byte letters in lower case, byte offsets unchanged; the trail bytes of
// double-byte characters are left alone so that searches still only match at character starts.
std::string LowerSingleByte(std::string_view t)
{
    std::string out(t);
    for (size_t i = 0; i < out.size();) {
        const auto b = static_cast<unsigned char>(out[i]);
        out[i] = Lower(out[i]);
        i += static_cast<size_t>(text::CharBytes(b));
    }
    return out;
}

std::string LowerAscii(std::string_view t)
{
    std::string out(t);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The value after "charset" in an already lower-cased text, looked for from `from` up to `end`.
std::string CharsetAfter(std::string_view lower, std::string_view original, size_t from, size_t end)
{
    for (size_t at = lower.find("charset", from); at != npos && at < end;
         at = lower.find("charset", at + 7)) {
        size_t i = at + 7;
        while (i < end && IsBlank(lower[i]))
            ++i;
        if (i >= end || lower[i] != '=')
            continue;
        ++i;
        while (i < end && (IsBlank(lower[i]) || lower[i] == '"' || lower[i] == '\''))
            ++i;
        const size_t start = i;
        while (i < end && IsTokenChar(lower[i]))
            ++i;
        if (i > start)
            return std::string(original.substr(start, i - start));
    }
    return {};
}

// Byte offset of the first "<body" tag (followed by a blank, "/", ">" or the end) at a character
// start, in a lower-cased text.
size_t FindBodyOpen(std::string_view lower)
{
    for (size_t at = text::FindAtCharStart(lower, "<body"); at != npos;
         at = text::FindAtCharStart(lower, "<body", at + 5)) {
        const size_t next = at + 5;
        if (next >= lower.size() || IsBlank(lower[next]) || lower[next] == '>' || lower[next] == '/')
            return at;
    }
    return npos;
}

// Byte offset just after the last complete closing body tag at or after `from`; npos when none.
size_t FindBodyCloseEnd(std::string_view lower, size_t from)
{
    size_t end = npos;
    for (size_t at = text::FindAtCharStart(lower, "</body", from); at != npos;
         at = text::FindAtCharStart(lower, "</body", at + 6)) {
        size_t i = at + 6;
        while (i < lower.size() && IsBlank(lower[i]))
            ++i;
        if (i < lower.size() && lower[i] == '>')
            end = i + 1;
    }
    return end;
}

bool IsValidUtf8WithMultibyte(std::string_view t)
{
    bool multibyte = false;
    for (size_t i = 0; i < t.size();) {
        const auto b = static_cast<unsigned char>(t[i]);
        size_t n;
        if (b < 0x80)
            n = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            n = 2;
        else if (b >= 0xE0 && b <= 0xEF)
            n = 3;
        else if (b >= 0xF0 && b <= 0xF4)
            n = 4;
        else
            return false;
        if (n > 1) {
            // A page cut at the size limit may end inside a character; that does not make it another code.
            if (i + n > t.size())
                return multibyte;
            for (size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80)
                    return false;
            multibyte = true;
        }
        i += n;
    }
    return multibyte;
}

// For a text whose every non-ASCII byte pair fits both EUC-JP and Shift_JIS half-width katakana: a run
// of an odd number of such bytes cannot be EUC-JP; EUC-JP Japanese text almost always holds kana, whose
// rows start with 0xA4 (hiragana) and 0xA5 (katakana), two half-width signs rarely used in Shift_JIS.
std::string DecideEucOrSjis(std::string_view t)
{
    bool kanaRows = false;
    size_t i = 0;
    while (i < t.size()) {
        if (static_cast<unsigned char>(t[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < t.size() && static_cast<unsigned char>(t[i]) >= 0x80)
            ++i;
        if ((i - start) % 2 != 0)
            return "CP932";
        for (size_t k = start; k < i; k += 2) {
            const auto b = static_cast<unsigned char>(t[k]);
            kanaRows = kanaRows || b == 0xA4 || b == 0xA5;
        }
    }
    return kanaRows ? "EUC-JP" : "CP932";
}

bool Convert(std::string_view page, const std::string& from, std::string& out)
{
    if (from == "EUC-JP" && platform::ConvertEncoding(page, "EUC-JP-MS", "CP932", out))
        return true;
    return platform::ConvertEncoding(page, from.c_str(), "CP932", out);
}

} // namespace

std::string CharsetFromContentType(std::string_view contentType)
{
    const std::string lower = LowerAscii(contentType);
    return CharsetAfter(lower, contentType, 0, lower.size());
}

std::string CharsetFromMeta(std::string_view page)
{
    // Only the part before the body can hold the declaration.
    const std::string lower = LowerSingleByte(page);
    const size_t limit = std::min(FindBodyOpen(lower), lower.size());
    for (size_t at = text::FindAtCharStart(lower, "<meta"); at != npos && at < limit;
         at = text::FindAtCharStart(lower, "<meta", at + 5)) {
        size_t end = lower.find('>', at);
        if (end == npos)
            end = lower.size();
        std::string charset = CharsetAfter(lower, page, at, end);
        if (!charset.empty())
            return charset;
    }
    return {};
}

std::string ConverterForCharset(std::string_view declared)
{
    std::string name = LowerAscii(declared);
    name.erase(std::remove_if(name.begin(), name.end(), IsBlank), name.end());
    static const std::array<std::string_view, 12> sjis = {
        "shift_jis", "shift-jis", "sjis",       "x-sjis",     "windows-31j",  "cp932",
        "ms932",     "ms_kanji",  "csshiftjis", "x-ms-cp932", "cswindows31j", "sjis-win"};
    static const std::array<std::string_view, 6> euc = {
        "euc-jp", "x-euc-jp", "eucjp", "x-euc", "cseucpkdfmtjapanese", "ujis"};
    static const std::array<std::string_view, 4> ascii = {"us-ascii", "ascii", "iso646-us", "us"};
    if (std::find(sjis.begin(), sjis.end(), name) != sjis.end())
        return "CP932";
    if (std::find(euc.begin(), euc.end(), name) != euc.end())
        return "EUC-JP";
    if (std::find(ascii.begin(), ascii.end(), name) != ascii.end())
        return {};
    if (name == "utf-8" || name == "utf8" || name == "unicode-1-1-utf-8")
        return "UTF-8";
    if (name == "iso-2022-jp" || name == "csiso2022jp")
        return "ISO-2022-JP";
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return upper;
}

std::string DetectPageEncoding(std::string_view page)
{
    if (page.starts_with("\xEF\xBB\xBF"))
        return "UTF-8";
    if (page.starts_with("\xFF\xFE"))
        return "UTF-16LE";
    if (page.starts_with("\xFE\xFF"))
        return "UTF-16BE";
    if (IsValidUtf8WithMultibyte(page))
        return "UTF-8";
    switch (mail::DetectJapaneseCode(page)) {
    case mail::jcJisB:
    case mail::jcJisAt:
        return "ISO-2022-JP";
    case mail::jcEuc:
        return "EUC-JP";
    case mail::jcSjis:
        return "CP932";
    case mail::jcEucOrSjis:
        return DecideEucOrSjis(page);
    case mail::jcAscii:
    case mail::jcBinary:
        break;
    }
    return {};
}

std::string PageToCp932(std::string_view page, std::string_view contentType)
{
    std::string declared = CharsetFromContentType(contentType);
    if (declared.empty())
        declared = CharsetFromMeta(page);
    std::string out;
    if (!declared.empty()) {
        const std::string from = ConverterForCharset(declared);
        if (from.empty() || from == "CP932")
            return std::string(page);
        if (Convert(page, from, out))
            return out;
        // A charset nobody knows: judge the bytes as if nothing had been declared.
    }
    const std::string from = DetectPageEncoding(page);
    if (from.empty() || from == "CP932")
        return std::string(page);
    if (Convert(page, from, out))
        return out;
    return std::string(page);
}

std::string ExtractBodyMarkup(std::string_view page)
{
    const std::string lower = LowerSingleByte(page);
    const size_t open = FindBodyOpen(lower);
    if (open == npos)
        return std::string(page);
    const size_t closeEnd = FindBodyCloseEnd(lower, open + 5);
    if (closeEnd == npos)
        return std::string(page.substr(open));
    return std::string(page.substr(open, closeEnd - open));
}

std::string StatusBodyFromResponse(std::string_view bytes, std::string_view contentType)
{
    return ExtractBodyMarkup(
        PageToCp932(bytes.substr(0, std::min(bytes.size(), kMaxStatusPageBytes)), contentType));
}

} // namespace core
