#pragma once
// The upload copy of a page made in memory: the rewritten links, the meta tags for search engines,
// the time stamp and version markers, and in closing mode the notice, one step after the other on
// the same bytes. Nothing is written to the disk: the upload sends the bytes as they are.

#include "rewrite/RewritePage.h"

#include <QDateTime>
#include <optional>
#include <string>

namespace settings {
class TConfig;
}

namespace rewrite {

// The bytes the server gets for the page at pagePath (code page 932 path text), stamped with when;
// nullopt when the page is missing, empty or needs no upload. Throws RewriteError when the page
// exists but cannot be read.
std::optional<std::string> MakeUploadCopy(const std::string& pagePath, bool closing,
                                          const settings::TConfig& config, const RewriteState& state,
                                          const QDateTime& when);

} // namespace rewrite
