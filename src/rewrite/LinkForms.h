#pragma once
// The texts by which a page refers to the home server: the link base itself in four spellings
// (L1 to L4) and the same relative to the page (R1 to R4). Paths are code page 932 text in either
// style: Windows ("C:\x", "\\server\share\x", "\" separators) or POSIX ("/x", "/" separators). A
// link base that is no absolute path of the page's style, such as a bare address, is treated as
// lying on another drive, so its relative forms are the link forms themselves.

#include <array>
#include <string>
#include <string_view>

namespace rewrite {

struct LinkForms
{
    // L[0] is L1 ... L[3] is L4; the same for R.
    std::array<std::string, 4> L;
    std::array<std::string, 4> R;
};

// All eight forms for a link base (ReplaceLink) and a page path. An empty link base gives empty
// forms, which are never applied.
LinkForms BuildLinkForms(std::string_view replaceLink, std::string_view pagePath);

// R1: the relative path from the folder of pagePath to the folder destination (which ends with its
// separator), ending with a separator; empty when the page lies in that folder; destination itself
// when the two lie on different drives.
std::string RelativeLinkPath(std::string_view pagePath, std::string_view destination);

// True for a form that must not be applied: empty, or a colon alone (which would match every colon
// of a page).
bool IsInertForm(std::string_view form);

} // namespace rewrite
