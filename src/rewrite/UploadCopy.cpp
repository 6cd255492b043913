#include "rewrite/UploadCopy.h"

#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/PageFile.h"
#include "settings/ConfigUnit.h"

namespace rewrite {

namespace {

// Every marker begins with these bytes, whatever the case of its letters; a copy without them has
// nothing to replace. The copies are made with CR LF line ends already, so leaving such a copy alone
// gives the same bytes as walking it.
constexpr std::string_view kCommentStart = "<!-- ";

bool MayHoldMarker(const std::string& copy)
{
    return copy.find(kCommentStart) != std::string::npos;
}

// The time stamp and version markers replaced in place; a copy that holds no comment at all is
// left as it is without being walked again.
void StampCopy(std::string& copy, const QDateTime& when)
{
    if (MayHoldMarker(copy))
        copy = StampPageText(copy, TimeStampText(when), VersionNumberText());
}

} // namespace

std::optional<std::string> MakeUploadCopy(const std::string& pagePath, bool closing,
                                          const settings::TConfig& config, const RewriteState& state,
                                          const QDateTime& when)
{
    const std::optional<std::string> page = ReadFileIfExists(pagePath);
    if (!page)
        return std::nullopt;
    std::optional<std::string> copy =
        RewritePageText(*page, pagePath, closing, RewriteSettings::From(config), state);
    if (!copy)
        return std::nullopt;
    if (config.RobotUse != 0)
        *copy = AddRobotsMetaText(*copy, RobotsSettings::From(config));
    StampCopy(*copy, when);
    if (closing && MayHoldMarker(*copy))
        *copy = InsertClosedNoticeText(*copy, config.ClosedString);
    return copy;
}

} // namespace rewrite
