#pragma once
// The program's version text, shown by --version and the about box and written into pages.

namespace core {

inline constexpr const char* kVersionText = "1.43";
inline constexpr const char* kProgramTitle = "Quillmap";
// Where the project lives (named in the User-Agent of the dynamic DNS requests).
inline constexpr const char* kProjectUrl = "https://github.com/quillmap/quillmap";

} // namespace core
