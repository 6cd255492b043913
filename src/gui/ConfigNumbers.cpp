#include "gui/ConfigNumbers.h"

#include "gui/QtText.h"
#include "text/NumericUnit.h"
#include "validation/SettingsCheck.h"

#include <limits>
#include <string>
#include <variant>

namespace gui {

std::optional<std::int32_t> WholeNumber(const QString& text)
{
    return validation::WholeNumber(text.trimmed().toStdString());
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
