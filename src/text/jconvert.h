#pragma once
// Japanese text codes: detection, conversion to Shift_JIS (code page 932), ISO-2022-JP for mail,
// line breaks, and the Base64 codec of the settings file. All functions work on byte strings and
// never fail.

#include <string>
#include <string_view>

namespace mail {

enum JapaneseCode : int {
    jcAscii = 0,
    jcBinary = 1,
    jcJisB = 2,  // JIS, ESC $ B
    jcJisAt = 3, // JIS, ESC $ @
    jcEuc = 4,
    jcSjis = 5,
    jcEucOrSjis = 6,
};

enum LineBreakKind : int {
    lbNone = 0,
    lbCrLf = 1,
    lbCr = 2,
    lbLf = 3,
};

// Shift_JIS to ISO-2022-JP: half-width katakana become full-width (a kana and its voiced or
// semi-voiced mark become one kana); user-defined characters and broken bytes are dropped.
std::string SjisToIso2022Jp(std::string_view text);
// A header value with RFC 2047 encoded-words (letter 'B' or 'Q') for its words that hold control
// characters or bytes of 0x80 or more; with `convert` the text goes to ISO-2022-JP first.
std::string EncodeHeaderText(std::string_view text, std::string_view charset, char letter, bool convert);
JapaneseCode DetectJapaneseCode(std::string_view text);
// Converts a text detected as JIS, EUC-JP or Shift_JIS to the target jcSjis (what the program uses),
// jcEuc, jcJisB or jcJisAt. Plain ASCII, binary, undecided texts and other targets come back unchanged.
std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target);
std::string EucToSjis(std::string_view text);
LineBreakKind DetectLineBreak(std::string_view text);
// Replaces every line break of the kind found first in the text by the break of `kind`.
std::string ConvertLineBreaks(std::string_view text, LineBreakKind kind);

// Standard Base64 (A-Z a-z 0-9 + /, "=" padding), one line without breaks.
std::string Base64Encode(std::string_view bytes);
// Skips CR, LF and every other byte outside the alphabet anywhere in the input. A "=" ends the data
// of its group of four; a last group cut short gives the whole bytes it holds. Never fails.
std::string Base64Decode(std::string_view text);

} // namespace mail
