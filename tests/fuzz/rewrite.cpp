// The page rewriter on any page: the upload copy in normal and closing mode, taking links off, the
// closed notice, the robots meta tags and the stamp markers. The first byte picks the switches, the
// next lines give the link base, the new address (or host name) and a text for the notice and the
// keywords; the rest is the page. Pages of a few KiB are also compared byte for byte with the
// straightforward reference version of the rewriting that the rewrite tests keep.
#include "FuzzInput.h"
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/Reference.h"
#include "rewrite/RewritePage.h"

#include <string>

namespace {

// The reference version searches by upper-casing the whole text for every search: keep the pages it
// sees small enough that a run stays fast.
constexpr std::size_t kReferencePageBytes = 256;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t switches = input.Byte();
    rewrite::RewriteSettings settings;
    settings.ReplaceLink = std::string(input.Line());
    settings.ReplaceOnly = switches & 1;
    settings.ClosedFast = switches & 2;
    settings.IPtoURL = switches & 4;
    rewrite::RewriteState state;
    state.NewGlobalIP = std::string(input.Line());
    if (settings.IPtoURL)
        state.NewHostName = "host.example.jp";
    state.UploadAll = switches & 8;
    const std::string_view extra = input.Line();
    const std::string_view page = input.Rest();
    const bool closing = switches & 16;
    const rewrite::PageEncoding encoding =
        (switches & 32) ? rewrite::PageEncoding::Utf8 : rewrite::PageEncoding::Cp932;
    const std::string pagePath =
        (switches & 64) ? "/home/user/public_html/sub/index.html" : "C:\\My Documents\\My Webs\\index.htm";

    const auto copy = rewrite::RewritePageText(page, pagePath, closing, settings, state);
    const auto walked = rewrite::RewritePageText(page, pagePath, closing, settings, state, encoding);
    if (copy)
        fuzz::Check(copy->empty() || copy->ends_with("\r\n"), "every line of the copy ends with CR LF");

    const std::string disabled = rewrite::DisableLinks(page, extra, encoding);
    fuzz::Check(disabled.size() <= page.size(), "taking links off only removes text");
    const std::string noticed = rewrite::InsertClosedNoticeText(page, extra);

    rewrite::RobotsSettings robots;
    robots.RobotNo = switches & 128;
    robots.KeywordsJP = {std::string(extra), "keyword"};
    robots.KeywordsEN = {std::string(extra.substr(0, 8))};
    const std::string meta = rewrite::AddRobotsMetaText(page, robots);
    const std::string stamped = rewrite::StampPageText(page, "2024/01/02 03:04", "1.43");

    if (page.size() > kReferencePageBytes)
        return 0;
    reference::Settings ref;
    ref.ReplaceLink = settings.ReplaceLink;
    ref.ReplaceOnly = settings.ReplaceOnly;
    ref.ClosedFast = settings.ClosedFast;
    ref.IPtoURL = settings.IPtoURL;
    ref.NewGlobalIP = state.NewGlobalIP;
    ref.NewHostName = state.NewHostName;
    ref.UploadAll = state.UploadAll;
    fuzz::Check(reference::RewritePage(page, pagePath, closing, ref) == copy, "the copy is the reference's");
    // The program walks a page as UTF-8 only when it is valid UTF-8; a forced walk over other bytes
    // has no reference to agree with.
    if (encoding == rewrite::DetectPageEncoding(page)) {
        const reference::Chars chars(encoding == rewrite::PageEncoding::Utf8);
        fuzz::Check(reference::RewritePageWith(chars, page, pagePath, closing, ref) == walked,
                    "the copy in a given walk is the reference's");
        fuzz::Check(reference::DisableLinks(chars, page, extra) == disabled, "links go as in the reference");
    }
    fuzz::Check(reference::InsertClosedNotice(page, extra) == noticed, "the notice is the reference's");
    fuzz::Check(reference::AddRobotsMeta(page, robots.RobotNo, robots.KeywordsJP, robots.KeywordsEN) == meta,
                "the meta tags are the reference's");
    fuzz::Check(reference::StampPage(page, "2024/01/02 03:04", "1.43") == stamped,
                "the stamps are the reference's");
    return 0;
}
