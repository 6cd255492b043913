#pragma once
// Closed pages: the copy uploaded when the program ends, in which the links to the home server are
// taken off (their anchor tags removed, their text kept) and a notice is put where the page holds
// the marker "<!-- Quillmap Closed -->".

#include "rewrite/PageText.h"

#include <string>
#include <string_view>

namespace settings {
class TConfig;
}

namespace rewrite {

// Removes the anchor tags around every occurrence of pattern (letter case ignored). The pattern is
// in the text's encoding. Linear in the length of the text, whatever the number of links.
std::string DisableLinks(std::string_view text, std::string_view pattern,
                         PageEncoding encoding = PageEncoding::Cp932);

// The same on a text in place; returns true when the text changed.
bool DisableLinksIn(std::string& text, std::string_view pattern, PageEncoding encoding);

// A file's bytes with every marker (any letter case) replaced by the notice, every line ended by
// CR LF. The notice is code page 932 text; it is converted for a UTF-8 page, and its own line
// breaks become CR LF.
std::string InsertClosedNoticeText(std::string_view file, std::string_view closedString);

// Rewrites the file at path (code page 932 path text) with ClosedString. Throws RewriteError when it
// cannot be read or written; the file is then untouched.
void InsertClosedNotice(const std::string& path, const settings::TConfig& config);
void InsertClosedNotice(const std::string& path, std::string_view closedString);

} // namespace rewrite
