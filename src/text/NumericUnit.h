#pragma once
// Numeric tests on code page 932 text.

#include <string>
#include <string_view>
#include <variant>

namespace text {

bool IsNumericText(std::string_view text);

// The leading signed whole number of a value as text; the integer 0 when there is none.
using LeadingNumberResult = std::variant<std::string, int>;
LeadingNumberResult LeadingNumber(std::string_view value);

} // namespace text
