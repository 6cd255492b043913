#pragma once
// Conversions between the program's internal text (code page 932 bytes) and the encodings of the
// outside world. Everything else in the program handles code page 932 bytes only.

#include "platform/LeadByte.h"

#include <QString>
#include <string>
#include <string_view>

namespace platform {

// Code page 932 <-> UTF-8. Bytes that cannot be converted become "?" (never dropped silently, never
// an exception), so a damaged text still shows where it is damaged.
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// Generic conversion through the system's converter (iconv names: "CP932", "EUC-JP", "UTF-8",
// "ISO-2022-JP", ...). Returns false when the converter is unknown; unconvertible bytes become "?".
bool ConvertEncoding(std::string_view in, const char* from, const char* to, std::string& out);

QString Cp932ToQString(std::string_view cp932);
std::string QStringToCp932(const QString& text);

} // namespace platform
