// Taking links off: which anchors are recognised, the treatment that stops at an anchor opening before
// the next closing tag, and a large page.
#include "rewrite/ClosedPage.h"

#include <gtest/gtest.h>

using rewrite::DisableLinks;

namespace {
const std::string kPattern = "http://192.168.0.2/";
}

TEST(DisableLinks, AnchorAroundThePatternGoes)
{
    EXPECT_EQ(DisableLinks("Visit <a href=\"http://192.168.0.2/\">my server</a> now", kPattern),
              "Visit my server now");
    // All eight opening forms, in any case, and the spaced closing tag.
    for (const char* opening : {"<A HREF=\"", "< a href=\"", "<a href =\"", "< a href =\"", "<a href= \"",
                                "< a href= \"", "<a HREF = \"", "< A href = \""}) {
        EXPECT_EQ(DisableLinks(std::string(opening) + "http://192.168.0.2/x\">t</a>.", kPattern), "t.")
            << opening;
        EXPECT_EQ(DisableLinks(std::string(opening) + "HTTP://192.168.0.2/x\">t< /A >.", kPattern), "t.")
            << opening;
    }
}

TEST(DisableLinks, PatternInTheLinkTextToo)
{
    EXPECT_EQ(DisableLinks("<a href=\"x.htm\">http://192.168.0.2/</a>", kPattern), "http://192.168.0.2/");
}

TEST(DisableLinks, AnchorOpeningBeforeTheNextClosingStopsThePattern)
{
    const std::string text =
        "http://192.168.0.2/ <a href=\"y.htm\">y</a> <a href=\"http://192.168.0.2/z\">z</a>";
    EXPECT_EQ(DisableLinks(text, kPattern), text);
}

TEST(DisableLinks, AnchorsNotRecognised)
{
    for (const std::string& text : {
             std::string("<a target=\"_blank\" href=\"http://192.168.0.2/\">t</a>"),
             std::string("<a href='http://192.168.0.2/'>t</a>"),
             std::string("<a href=http://192.168.0.2/>t</a>"),
         })
        EXPECT_EQ(DisableLinks(text, kPattern), text);
    // Without a closing tag nothing is removed.
    EXPECT_EQ(DisableLinks("<a href=\"http://192.168.0.2/\">open", kPattern),
              "<a href=\"http://192.168.0.2/\">open");
}

TEST(DisableLinks, LinkSpanningLines)
{
    EXPECT_EQ(DisableLinks("<a href=\"http://192.168.0.2/\">\r\nserver\r\n</a>", kPattern), "\r\nserver\r\n");
}

TEST(DisableLinks, ManyLinksOnALargePage)
{
    // 40,000 links in about 2.5 MiB: every anchor goes, every link text and the text between stays.
    std::string page;
    std::string expected;
    for (int i = 0; i < 40000; ++i) {
        const std::string n = std::to_string(i);
        page += "<p>item " + n + ": <a href=\"http://192.168.0.2/p" + n + ".htm\">page " + n + "</a></p>\r\n";
        expected += "<p>item " + n + ": page " + n + "</p>\r\n";
    }
    EXPECT_EQ(DisableLinks(page, kPattern), expected);
}

TEST(DisableLinks, EmptyPatternChangesNothing)
{
    EXPECT_EQ(DisableLinks("<a href=\"x\">y</a>", ""), "<a href=\"x\">y</a>");
}
