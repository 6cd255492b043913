#pragma once
// Annotations made to the upload copy just before it is sent: meta tags for search engines in front
// of "</head>", and the time stamp and version markers replaced by their values. Both work on a
// file in place and write it back with every line ended by CR LF.

#include "text/VB.h"

#include <QDateTime>
#include <string>
#include <string_view>

namespace settings {
class TConfig;
}

namespace rewrite {

struct RobotsSettings
{
    bool RobotNo = false; // ask robots not to index the page instead of giving keywords
    text::StringList KeywordsJP;
    text::StringList KeywordsEN;

    static RobotsSettings From(const settings::TConfig& config);
};

// The file's bytes with the meta tags inserted before the first lower-case "</head>" (keywords are
// code page 932 text, converted for a UTF-8 page).
std::string AddRobotsMetaText(std::string_view file, const RobotsSettings& robots);

// The file's bytes with every time stamp marker and every version marker (any letter case) replaced.
std::string StampPageText(std::string_view file, std::string_view timeStamp, std::string_view version);

// "yyyy/mm/dd hh:nn" in local time.
std::string TimeStampText(const QDateTime& when);

// The version number the about box shows ("1.43").
std::string VersionNumberText();

// The file operations (code page 932 path text). They throw RewriteError when the file cannot be read
// or written; the file is then untouched.
void AddRobotsMeta(const std::string& path, const settings::TConfig& config);
void AddRobotsMeta(const std::string& path, const RobotsSettings& robots);
void StampPage(const std::string& path);
void StampPage(const std::string& path, const QDateTime& when);

} // namespace rewrite
