#pragma once
// The upload copy of a page: every reference to the link base is pointed at the new global address
// (or its host name), or, in closing mode, every link holding one is taken off. The local page is
// never modified; the copy is the file "Upload.htm" in the program's folder, one page at a time.

#include "rewrite/PageText.h"

#include <optional>
#include <string>
#include <string_view>

namespace settings {
class TConfig;
}

namespace rewrite {

// The settings the rewriting reads.
struct RewriteSettings
{
    std::string ReplaceLink; // code page 932
    bool ReplaceOnly = true;
    bool ClosedFast = false;
    bool IPtoURL = false;

    static RewriteSettings From(const settings::TConfig& config);
};

// What the check in progress knows.
struct RewriteState
{
    std::string NewGlobalIP; // the address to publish: dotted IPv4, or IPv6 text when publishing over IPv6
    std::string NewHostName; // empty unless IPtoURL is on and the look-up found one
    bool UploadAll = false;  // the first full upload: every page is copied, changed or not
};

// The text written into the links: the host name when IPtoURL is on and one was found, else the
// address; an IPv6 address in brackets.
std::string AddressText(const RewriteSettings& settings, const RewriteState& state);

// The copy's bytes for a page's bytes (every line ended by CR LF), or nullopt when the page is not
// uploaded. pagePath (code page 932) only serves the relative forms of the link base.
std::optional<std::string> RewritePageText(std::string_view page, std::string_view pagePath, bool closing,
                                           const RewriteSettings& settings, const RewriteState& state);
// The same with the page's character walk given instead of detected.
std::optional<std::string> RewritePageText(std::string_view page, std::string_view pagePath, bool closing,
                                           const RewriteSettings& settings, const RewriteState& state,
                                           PageEncoding encoding);

// Makes the upload copy of the page at pagePath (code page 932 path text) and returns the copy's path,
// or an empty text when the page is missing, empty or needs no upload. Any leftover copy is deleted
// first. Throws RewriteError when the page cannot be read or the copy cannot be written; no partial
// copy is left then.
std::string RewritePage(const std::string& pagePath, bool closing, const settings::TConfig& config,
                        const RewriteState& state);
std::string RewritePage(const std::string& pagePath, bool closing, const RewriteSettings& settings,
                        const RewriteState& state);

} // namespace rewrite
