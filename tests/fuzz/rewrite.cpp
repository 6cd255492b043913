// The page rewriter on any page: the upload copy in normal and closing mode, taking links off, the
// closed notice, the robots meta tags and the stamp markers. The first byte picks the switches, the
// next lines give the link base, the new address (or host name) and a text for the notice and the
// keywords; the rest is the page.
#include "FuzzInput.h"
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/RewritePage.h"

#include <string>

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
    (void)walked;

    const std::string disabled = rewrite::DisableLinks(page, extra, encoding);
    fuzz::Check(disabled.size() <= page.size(), "taking links off only removes text");
    rewrite::InsertClosedNoticeText(page, extra);

    rewrite::RobotsSettings robots;
    robots.RobotNo = switches & 128;
    robots.KeywordsJP = {std::string(extra), "keyword"};
    robots.KeywordsEN = {std::string(extra.substr(0, 8))};
    rewrite::AddRobotsMetaText(page, robots);
    rewrite::StampPageText(page, "2024/01/02 03:04", "1.43");
    return 0;
}
