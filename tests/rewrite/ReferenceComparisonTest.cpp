// The real rewriting against its straightforward reference version, byte for byte, on random pages:
// once with a fixed seed, so a run is repeatable, and once with a new seed, which is printed on
// failure (QUILLMAP_REWRITE_SEED=<seed> repeats it).
#include "RandomPages.h"
#include "Reference.h"

#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/RewritePage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

namespace {

constexpr int kPagesPerSeed = 5000;

std::string Show(const std::optional<std::string>& bytes)
{
    if (!bytes)
        return "(not uploaded)";
    std::ostringstream out;
    for (const char c : *bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out << c;
        else
            out << "\\x" << std::hex << static_cast<int>(b) << std::dec;
    }
    return out.str();
}

rewrite::RewriteSettings RealSettings(const reference::Settings& s)
{
    rewrite::RewriteSettings r;
    r.ReplaceLink = s.ReplaceLink;
    r.ReplaceOnly = s.ReplaceOnly;
    r.ClosedFast = s.ClosedFast;
    r.IPtoURL = s.IPtoURL;
    return r;
}

rewrite::RewriteState RealState(const reference::Settings& s)
{
    return {s.NewGlobalIP, s.NewHostName, s.UploadAll};
}

// Compares every operation on one random case; returns a description of the first difference.
std::string CompareOne(const randompages::Case& c)
{
    const rewrite::RewriteSettings settings = RealSettings(c.settings);
    const rewrite::RewriteState state = RealState(c.settings);
    for (const bool closing : {false, true}) {
        const std::optional<std::string> expected =
            reference::RewritePage(c.page, c.pagePath, closing, c.settings);
        const std::optional<std::string> actual =
            rewrite::RewritePageText(c.page, c.pagePath, closing, settings, state);
        if (expected != actual)
            return std::string(closing ? (c.settings.ClosedFast ? "closing (fast)" : "closing (whole page)")
                                       : "normal") +
                   " mode\n page:     " + Show(c.page) + "\n link:     " + Show(c.settings.ReplaceLink) +
                   "\n path:     " + Show(c.pagePath) + "\n expected: " + Show(expected) +
                   "\n actual:   " + Show(actual);
    }
    rewrite::RobotsSettings robots;
    robots.RobotNo = c.robotNo;
    robots.KeywordsJP = c.keywordsJP;
    robots.KeywordsEN = c.keywordsEN;
    if (reference::AddRobotsMeta(c.page, c.robotNo, c.keywordsJP, c.keywordsEN) !=
        rewrite::AddRobotsMetaText(c.page, robots))
        return "AddRobotsMeta\n page: " + Show(c.page);
    if (reference::StampPage(c.page, "2024/02/29 07:05", "1.43") !=
        rewrite::StampPageText(c.page, "2024/02/29 07:05", "1.43"))
        return "StampPage\n page: " + Show(c.page);
    if (reference::InsertClosedNotice(c.page, c.closedString) !=
        rewrite::InsertClosedNoticeText(c.page, c.closedString))
        return "InsertClosedNotice\n page: " + Show(c.page) + "\n notice: " + Show(c.closedString);
    return {};
}

void CompareSeed(std::uint64_t seed, int pages)
{
    randompages::Generator generator(seed);
    for (int i = 0; i < pages; ++i) {
        const randompages::Case c = generator.Next();
        const std::string difference = CompareOne(c);
        ASSERT_TRUE(difference.empty()) << "seed " << seed << ", page " << i << ": " << difference;
    }
}

} // namespace

TEST(RewriteAgainstReference, FixedSeed)
{
    CompareSeed(20240229, kPagesPerSeed);
}

TEST(RewriteAgainstReference, NewSeed)
{
    std::uint64_t seed = std::random_device{}();
    if (const char* given = std::getenv("QUILLMAP_REWRITE_SEED"))
        seed = std::strtoull(given, nullptr, 10);
    RecordProperty("seed", std::to_string(seed));
    CompareSeed(seed, kPagesPerSeed);
}

// The link-disabling on its own, on texts dense with anchors, tags split by removed text and
// patterns inside link texts, in both walks.
TEST(RewriteAgainstReference, DisableLinksOnDenseAnchors)
{
    std::mt19937_64 rng(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    static const char* const kPieces[] = {
        "<a href=\"",
        "< A HREF=\"",
        "<a href =\"",
        "< a href = \"",
        "<a href= \"",
        "</a>",
        "< /a >",
        ">",
        "<",
        "/a>",
        "http://192.168.0.2/",
        "192.168.0.2/",
        "x",
        "\"",
        "\r\n",
        "\xE8\xA1\xA8",
        "\x95\x5C",
        "a",
    };
    const int count = static_cast<int>(sizeof kPieces / sizeof kPieces[0]);
    for (int i = 0; i < 4000; ++i) {
        // The UTF-8 walk is only ever used on valid UTF-8, so the code page 932 piece stays out of it.
        const bool utf8 = pick(2) == 0;
        std::string textBytes;
        for (int n = 2 + pick(30); n > 0; --n) {
            const int piece = pick(count);
            if (!(utf8 && std::string_view(kPieces[piece]) == "\x95\x5C"))
                textBytes += kPieces[piece];
        }
        const std::string pattern = pick(3) == 0 ? "192.168.0.2/" : "http://192.168.0.2/";
        const reference::Chars chars(utf8);
        const std::string expected = reference::DisableLinks(chars, textBytes, pattern);
        const std::string actual = rewrite::DisableLinks(
            textBytes, pattern, utf8 ? rewrite::PageEncoding::Utf8 : rewrite::PageEncoding::Cp932);
        ASSERT_EQ(Show(expected), Show(actual)) << "text: " << Show(textBytes) << " pattern " << pattern;
    }
}
