#pragma once
// The program's texts are written in UTF-8 in the source and used as code page 932 bytes.

#include <string>
#include <string_view>

namespace text {

// Converts a UTF-8 literal to the code page 932 bytes the program works with.
std::string Sjis(std::u8string_view utf8);

} // namespace text
