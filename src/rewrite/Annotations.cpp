#include "rewrite/Annotations.h"

#include "core/Version.h"
#include "rewrite/PageFile.h"
#include "rewrite/PageText.h"
#include "settings/ConfigUnit.h"

namespace rewrite {

namespace {

constexpr std::string_view kHeadEnd = "</head>";
constexpr std::string_view kRobotsTag = "<meta name=\"robots\" content=\"noindex,nofollow\">";
constexpr std::string_view kKeywordsJP = "<meta name=\"keywords\" lang=\"ja\" content=\"";
constexpr std::string_view kKeywordsEN = "<meta name=\"keywords\" lang=\"en-us\" content=\"";
constexpr std::string_view kKeywordsEnd = "\">";
constexpr std::string_view kTimeStampMarker = "<!-- Quillmap TimeStamp -->";
constexpr std::string_view kVersionMarker = "<!-- Quillmap Version -->";

// Items joined with ",", a comma put before an item whenever the text so far is not empty.
std::string JoinKeywords(const text::StringList& items)
{
    std::string joined;
    for (const std::string& item : items) {
        if (!joined.empty())
            joined += ',';
        joined += item;
    }
    return joined;
}

void AppendKeywordTag(std::string& out, std::string_view opening, const text::StringList& items,
                      PageEncoding encoding)
{
    const std::string joined = JoinKeywords(items);
    if (joined.empty())
        return;
    std::string line(opening);
    line += ToPageEncoding(joined, encoding);
    line += kKeywordsEnd;
    AppendLineCrLf(out, line);
}

} // namespace

RobotsSettings RobotsSettings::From(const settings::TConfig& config)
{
    RobotsSettings r;
    r.RobotNo = config.RobotNo != 0;
    if (config.KeywordsJP)
        r.KeywordsJP = *config.KeywordsJP;
    if (config.KeywordsEN)
        r.KeywordsEN = *config.KeywordsEN;
    return r;
}

std::string AddRobotsMetaText(std::string_view file, const RobotsSettings& robots)
{
    const PageEncoding encoding = DetectPageEncoding(file);
    std::string out;
    out.reserve(file.size() + 256);
    bool inserted = false;
    for (std::string_view line : SplitLines(file)) {
        if (!inserted) {
            const size_t p = FindExact(line, kHeadEnd, 0, encoding);
            if (p != std::string_view::npos) {
                if (p > 0) {
                    AppendLineCrLf(out, line.substr(0, p));
                    line.remove_prefix(p);
                }
                if (robots.RobotNo) {
                    AppendLineCrLf(out, kRobotsTag);
                } else {
                    AppendKeywordTag(out, kKeywordsJP, robots.KeywordsJP, encoding);
                    AppendKeywordTag(out, kKeywordsEN, robots.KeywordsEN, encoding);
                }
                inserted = true;
            }
        }
        AppendLineCrLf(out, line);
    }
    return out;
}

std::string StampPageText(std::string_view file, std::string_view timeStamp, std::string_view version)
{
    const PageEncoding encoding = DetectPageEncoding(file);
    const Needle stampMarker(kTimeStampMarker, encoding);
    const Needle versionMarker(kVersionMarker, encoding);
    const std::string stamp = ToPageEncoding(timeStamp, encoding);
    const std::string versionText = ToPageEncoding(version, encoding);
    std::string out;
    out.reserve(file.size() + 16);
    std::string line;
    std::string replaced;
    for (std::string_view original : SplitLines(file)) {
        line.assign(original);
        if (ReplaceAll(line, stampMarker, stamp, encoding, replaced))
            line.swap(replaced);
        if (ReplaceAll(line, versionMarker, versionText, encoding, replaced))
            line.swap(replaced);
        AppendLineCrLf(out, line);
    }
    return out;
}

std::string TimeStampText(const QDateTime& when)
{
    return when.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")).toStdString();
}

std::string VersionNumberText()
{
    // The about box shows "Version " followed by this text.
    return core::kVersionText;
}

void AddRobotsMeta(const std::string& path, const RobotsSettings& robots)
{
    WriteWholeFile(path, AddRobotsMetaText(ReadWholeFile(path), robots));
}

void AddRobotsMeta(const std::string& path, const settings::TConfig& config)
{
    AddRobotsMeta(path, RobotsSettings::From(config));
}

void StampPage(const std::string& path, const QDateTime& when)
{
    WriteWholeFile(path, StampPageText(ReadWholeFile(path), TimeStampText(when), VersionNumberText()));
}

void StampPage(const std::string& path)
{
    StampPage(path, QDateTime::currentDateTime());
}

} // namespace rewrite
