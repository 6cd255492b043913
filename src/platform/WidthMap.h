#pragma once
// Half-width and full-width forms of code page 932 text, as the Japanese system's character mapping
// gives them: katakana (voiced and semi-voiced ones as a kana followed by ﾞ or ﾟ), the katakana
// punctuation 。「」、・ー゛゜, Latin letters, digits, ASCII symbols and the ideographic space.
// Kanji, hiragana and everything without a form of the other width stay as they are; bytes that are
// not a character of the code page pass through unchanged.
//
// The characters with more than one candidate are settled so:
// - "\" (0x5C, the yen sign on Japanese displays) has no full-width form: it could be ＼ or ￥. ＼
//   becomes "\"; ￥ stays, as its half-width yen sign does not exist in the code page.
// - "'" and "\"" widen to ’ and ”, the characters of JIS X 0208 (the IBM extensions ＇ and ＂ cannot
//   travel in ISO-2022-JP mail). ’ ＇ narrow to "'", ” ＂ to "\""; the opening ‘ and “ stay.
// - "-" widens to － (0x817C); － and the hyphen ‐ narrow to "-". "~" and ～ are a pair; ￣ stays.
// - Katakana without a half-width form (ヮ ヰ ヱ ヵ ヶ ヽ ヾ) stay full-width.

#include <string>
#include <string_view>

namespace platform {

std::string ToHalfWidth(std::string_view cp932);
std::string ToFullWidth(std::string_view cp932);

} // namespace platform
