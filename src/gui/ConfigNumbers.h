#pragma once
// The number boxes of the settings dialog: which texts are whole numbers, and which texts the minute
// boxes keep when they are left.

#include <QString>
#include <cstdint>
#include <optional>

namespace gui {

// The text, trimmed, as a whole number: an optional sign and at least one digit, nothing else, within
// the range of the settings' 32-bit numbers. Nothing for anything else ("12abc", "+", "", "1e3").
std::optional<std::int32_t> WholeNumber(const QString& text);

// A minute box keeps its text when the text, trimmed, is not empty and its leading number lies within
// minimum..maximum (so "12abc" stays); otherwise it becomes "3".
bool MinutesTextStays(const QString& text, int minimum, int maximum);
inline constexpr const char* kMinutesFallback = "3";

// The leading number of the text (as the text helpers read it) clamped to the range of an int; nothing
// when the text has no leading number (no digits, or a sign alone).
std::optional<int> LeadingInt(const QString& text);

} // namespace gui
