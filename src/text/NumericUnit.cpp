#include "text/NumericUnit.h"

#include "text/VB.h"

namespace text {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsSign(char c)
{
    return c == '-' || c == '+';
}

// Blanks and control characters, as trimmed from a value before it is read as a number.
bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

} // namespace

bool IsNumericText(std::string_view text)
{
    if (text.empty())
        return false;
    bool first = true;
    for (size_t i = 0; i < text.size();) {
        const size_t width = static_cast<size_t>(CharBytes(static_cast<unsigned char>(text[i])));
        // A double-byte character (or a cut one at the end) is never a digit, sign or point.
        if (width != 1)
            return false;
        const char c = text[i];
        if (first ? !(IsDigit(c) || IsSign(c)) : !(IsDigit(c) || c == '.'))
            return false;
        first = false;
        i += width;
    }
    return true;
}

LeadingNumberResult LeadingNumber(std::string_view value)
{
    while (!value.empty() && IsBlankOrControl(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && IsBlankOrControl(value.back()))
        value.remove_suffix(1);
    // An optional sign, then digits: a character joins only while it is a digit or sign on its own
    // and the number with it is still numeric, which leaves a sign only in the first place.
    size_t end = 0;
    if (end < value.size() && IsSign(value[end]))
        ++end;
    while (end < value.size() && IsDigit(value[end]))
        ++end;
    if (end == 0)
        return 0;
    return std::string(value.substr(0, end));
}

} // namespace text
