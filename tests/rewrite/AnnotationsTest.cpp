// Robots meta tags, the time stamp and version markers, and the closing notice.
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "text/Sjis.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using rewrite::AddRobotsMetaText;
using rewrite::RobotsSettings;

namespace {

RobotsSettings Keywords(text::StringList jp, text::StringList en)
{
    RobotsSettings r;
    r.KeywordsJP = std::move(jp);
    r.KeywordsEN = std::move(en);
    return r;
}

} // namespace

TEST(RobotsMeta, KeywordTagsBeforeTheHeadEnd)
{
    EXPECT_EQ(AddRobotsMetaText("x</head>\n<body>", Keywords({"a", "b"}, {})),
              "x\r\n<meta name=\"keywords\" lang=\"ja\" content=\"a,b\">\r\n</head>\r\n<body>\r\n");
    EXPECT_EQ(AddRobotsMetaText("</head>", Keywords({}, {"home", "", "server"})),
              "<meta name=\"keywords\" lang=\"en-us\" content=\"home,,server\">\r\n</head>\r\n");
    // Only the first head end gets tags.
    EXPECT_EQ(AddRobotsMetaText("</head></head>\n</head>", Keywords({"a"}, {})),
              "<meta name=\"keywords\" lang=\"ja\" content=\"a\">\r\n</head></head>\r\n</head>\r\n");
}

TEST(RobotsMeta, NoIndexTagInsteadOfKeywords)
{
    RobotsSettings r = Keywords({"a"}, {"b"});
    r.RobotNo = true;
    EXPECT_EQ(AddRobotsMetaText("<head></head>", r),
              "<head>\r\n<meta name=\"robots\" content=\"noindex,nofollow\">\r\n</head>\r\n");
}

TEST(RobotsMeta, CapitalHeadEndAndEmptyLists)
{
    EXPECT_EQ(AddRobotsMetaText("<HEAD></HEAD>", Keywords({"a"}, {})), "<HEAD></HEAD>\r\n");
    // Nothing to insert, but the line is still split at the head end.
    EXPECT_EQ(AddRobotsMetaText("<title>t</title></head>", Keywords({}, {""})),
              "<title>t</title>\r\n</head>\r\n");
}

TEST(RobotsMeta, HeadEndInsideADoubleByteCharacterIsNoHeadEnd)
{
    // 0x82 followed by "<" is one character of the code page 932 walk.
    EXPECT_EQ(AddRobotsMetaText("\x82</head>", Keywords({"a"}, {})), "\x82</head>\r\n");
}

TEST(StampPage, MarkersReplacedInAnyCase)
{
    EXPECT_EQ(rewrite::StampPageText("<!-- Quillmap TimeStamp --> / <!-- quillmap timestamp -->\n"
                                     "v<!-- QUILLMAP VERSION -->",
                                     "2024/02/29 07:05", "1.43"),
              "2024/02/29 07:05 / 2024/02/29 07:05\r\nv1.43\r\n");
    EXPECT_EQ(rewrite::StampPageText("no markers", "s", "v"), "no markers\r\n");
}

TEST(StampPage, TimeStampAndVersionTexts)
{
    const QDateTime when(QDate(2024, 2, 9), QTime(7, 5, 59), QTimeZone::systemTimeZone());
    EXPECT_EQ(rewrite::TimeStampText(when), "2024/02/09 07:05");
    EXPECT_EQ(rewrite::VersionNumberText(), "1.43");
}

TEST(ClosedNotice, MarkerReplacedByTheNotice)
{
    const std::string notice = text::Sjis(u8"<p>休止中</p>");
    EXPECT_EQ(rewrite::InsertClosedNoticeText("a<!-- Quillmap Closed -->b\n<!-- QUILLMAP CLOSED -->", notice),
              "a" + notice + "b\r\n" + notice + "\r\n");
    EXPECT_EQ(rewrite::InsertClosedNoticeText("no marker", notice), "no marker\r\n");
    // The notice's own line breaks end up as CR LF like every other line of the copy.
    EXPECT_EQ(rewrite::InsertClosedNoticeText("<!-- Quillmap Closed -->", "one\ntwo\rthree\r\n"),
              "one\r\ntwo\r\nthree\r\n\r\n");
}
