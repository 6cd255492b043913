#include "platform/Codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

class IconvHandle
{
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Width in bytes of the unconvertible unit at the input position, so that it is replaced by one
// "?" instead of one per byte where the source encoding has multi-byte units.
size_t BadUnitLength(std::string_view rest, const char* from)
{
    const std::string_view name(from);
    if (name == "CP932" && rest.size() >= 2 && IsDBCSLeadByte(static_cast<unsigned char>(rest[0])))
        return 2;
    if (name == "UTF-8") {
        const auto b = static_cast<unsigned char>(rest[0]);
        size_t want = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        size_t n = 1;
        while (n < want && n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80)
            ++n;
        return n;
    }
    return 1;
}

} // namespace

bool ConvertEncoding(std::string_view in, const char* from, const char* to, std::string& out)
{
    out.clear();
    IconvHandle cd(to, from);
    if (!cd.valid())
        return false;
    out.reserve(in.size() * 2 + 16);
    // "?" in the target encoding (a wide target gets the wide form).
    std::string replacement(1, '?');
    if (std::string_view(to).starts_with("UTF-16"))
        replacement = std::string_view(to).ends_with("BE") ? std::string("\0?", 2) : std::string("?\0", 2);
    const char* src = in.data();
    size_t srcLeft = in.size();
    char buffer[4096];
    for (;;) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        // iconv's input is declared non-const on some platforms; it never writes through it.
        char* srcPtr = const_cast<char*>(src);
        const size_t rc = srcLeft ? iconv(cd.get(), &srcPtr, &srcLeft, &dst, &dstLeft)
                                  : iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
        src = srcPtr;
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc != static_cast<size_t>(-1)) {
            if (srcLeft == 0) {
                // Flush any shift state (ISO-2022-JP ends in ASCII).
                dst = buffer;
                dstLeft = sizeof buffer;
                iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
                out.append(buffer, static_cast<size_t>(dst - buffer));
                return true;
            }
            continue;
        }
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: replace the bad unit and go on after it.
        const size_t skip = std::min(srcLeft, BadUnitLength(std::string_view(src, srcLeft), from));
        src += skip;
        srcLeft -= skip;
        out += replacement;
    }
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    std::string out;
    ConvertEncoding(cp932, "CP932", "UTF-8", out);
    return out;
}

std::string Utf8ToCp932(std::string_view utf8)
{
    std::string out;
    ConvertEncoding(utf8, "UTF-8", "CP932", out);
    return out;
}

QString Cp932ToQString(std::string_view cp932)
{
    return QString::fromStdString(Cp932ToUtf8(cp932));
}

std::string QStringToCp932(const QString& text)
{
    return Utf8ToCp932(text.toStdString());
}

} // namespace platform
