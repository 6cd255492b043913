#include "gui/ConfigNumbers.h"

#include "gui/QtText.h"
#include "text/NumericUnit.h"

#include <limits>
#include <string>
#include <variant>

namespace gui {

std::optional<std::int32_t> WholeNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    long long value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<int> LeadingInt(const QString& text)
{
    const text::LeadingNumberResult leading = text::LeadingNumber(Cp(text));
    const std::string* written = std::get_if<std::string>(&leading);
    if (!written)
        return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (i < written->size() && ((*written)[i] == '+' || (*written)[i] == '-')) {
        negative = (*written)[i] == '-';
        ++i;
    }
    if (i == written->size())
        return std::nullopt;
    // Saturated: a long run of digits is simply out of any range the boxes have.
    long long value = 0;
    for (; i < written->size(); ++i)
        value = std::min<long long>(value * 10 + ((*written)[i] - '0'), std::numeric_limits<int>::max());
    return static_cast<int>(negative ? -value : value);
}

bool MinutesTextStays(const QString& text, int minimum, int maximum)
{
    if (text.trimmed().isEmpty())
        return false;
    const std::optional<int> n = LeadingInt(text);
    return n && *n >= minimum && *n <= maximum;
}

} // namespace gui
