#pragma once
// The program's version text, shown by --version and the about box and written into pages.

namespace core {

inline constexpr const char* kVersionText = "1.43";
inline constexpr const char* kProgramTitle = "Quillmap";

} // namespace core
