#pragma once
// Japanese text codes: detection, conversion to Shift_JIS (code page 932), ISO-2022-JP for mail,
// line breaks, and the Base64 codec of the settings file. All functions work on byte strings and
// never fail.

#include <string>
#include <string_view>

namespace mail {

enum JapaneseCode : int
{
    jcAscii = 0,
    jcBinary = 1,
    jcJisB = 2,   // JIS, ESC $ B
    jcJisAt = 3,  // JIS, ESC $ @
    jcEuc = 4,
    jcSjis = 5,
    jcEucOrSjis = 6,
};

enum LineBreakKind : int
{
    lbNone = 0,
    lbCrLf = 1,
    lbCr = 2,
    lbLf = 3,
};

std::string SjisToIso2022Jp(std::string_view text);
std::string EncodeHeaderText(std::string_view text, std::string_view charset, char letter, bool convert);
JapaneseCode DetectJapaneseCode(std::string_view text);
std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target);
std::string EucToSjis(std::string_view text);
LineBreakKind DetectLineBreak(std::string_view text);
std::string ConvertLineBreaks(std::string_view text, LineBreakKind kind);

// Standard Base64 (A-Z a-z 0-9 + /, "=" padding), one line without breaks.
std::string Base64Encode(std::string_view bytes);
// Skips CR and LF anywhere in the input.
std::string Base64Decode(std::string_view text);

} // namespace mail
