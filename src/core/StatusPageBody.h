#pragma once
// Turning a router's HTTP answer into the status page text the program searches: the page is brought
// to code page 932 from its own character set, and the markup of its body element is kept. Pure
// functions on byte strings; every step is one pass over the page.

#include <cstddef>
#include <string>
#include <string_view>

namespace core {

// Answers larger than this are cut here: a status page is a few kilobytes, and a router (or something
// pretending to be one) that sends more must not fill the memory.
inline constexpr size_t kMaxStatusPageBytes = 4 * 1024 * 1024;

// The charset parameter of a Content-Type value ("text/html; charset=EUC-JP" gives "EUC-JP"); empty
// when there is none.
std::string CharsetFromContentType(std::string_view contentType);

// The charset that a <meta> tag of the page declares (<meta charset="..."> or the content of an
// http-equiv Content-Type); empty when there is none.
std::string CharsetFromMeta(std::string_view page);

// The converter name for a declared charset: "CP932", "EUC-JP", "UTF-8", "ISO-2022-JP", "UTF-16LE",
// "UTF-16BE", the declared name itself for other charsets, or empty for ASCII (no conversion).
std::string ConverterForCharset(std::string_view declared);

// The converter name for a page without a usable declaration, judged from its bytes; empty when the
// page is ASCII or binary and is kept as it is.
std::string DetectPageEncoding(std::string_view page);

// The page in code page 932: from the Content-Type charset, else the meta charset, else detection.
// Code page 932 (and ASCII or binary data) is kept byte for byte.
std::string PageToCp932(std::string_view page, std::string_view contentType);

// From the opening body tag to the end of the last closing body tag, letter case ignored; up to the
// end of the text when the closing tag is missing; the whole text when there is no body tag.
std::string ExtractBodyMarkup(std::string_view cp932Page);

// Both steps: what the fetch leaves as the status page text.
std::string StatusBodyFromResponse(std::string_view bytes, std::string_view contentType);

} // namespace core
