// Pages written in UTF-8: the code page 932 walk takes the byte after many UTF-8 sequences for a trail
// byte and misses the link behind it; such pages are walked by UTF-8 characters, and the texts put into
// them are converted.
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/RewritePage.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using rewrite::DetectPageEncoding;
using rewrite::PageEncoding;

namespace {

rewrite::RewriteSettings AddressSettings()
{
    rewrite::RewriteSettings s;
    s.ReplaceLink = "192.168.0.2";
    return s;
}

const rewrite::RewriteState kState{"203.0.113.5", "", false};
const std::string kPath = "C:\\pages\\index.htm";

std::string AsUtf8(const char8_t* s)
{
    return std::string(reinterpret_cast<const char*>(s));
}

} // namespace

TEST(Utf8Pages, TheCodePage932WalkBreaksTheLink)
{
    // "：" is EF BC 9A; 0x9A is a lead byte of code page 932 and swallows the "h" after it.
    const std::string page = AsUtf8(u8"こちら：http://192.168.0.2/");
    EXPECT_EQ(rewrite::RewritePageText(page, kPath, false, AddressSettings(), kState, PageEncoding::Cp932),
              AsUtf8(u8"こちら：http://http://203.0.113.5/\r\n"));
}

TEST(Utf8Pages, TheUtf8WalkKeepsItWhole)
{
    const std::string page = AsUtf8(u8"こちら：http://192.168.0.2/");
    ASSERT_EQ(DetectPageEncoding(page), PageEncoding::Utf8);
    EXPECT_EQ(rewrite::RewritePageText(page, kPath, false, AddressSettings(), kState),
              AsUtf8(u8"こちら：http://203.0.113.5/\r\n"));
    // Closing mode as well.
    rewrite::RewriteSettings s = AddressSettings();
    s.ClosedFast = true;
    EXPECT_EQ(rewrite::RewritePageText(AsUtf8(u8"こちら：<a href=\"http://192.168.0.2/\">サーバー</a>"),
                                       kPath, true, s, kState),
              AsUtf8(u8"こちら：サーバー\r\n"));
}

TEST(Utf8Pages, JapaneseLinkBaseMatchesInBothEncodings)
{
    rewrite::RewriteSettings s;
    s.ReplaceLink = text::Sjis(u8"D:\\表");
    EXPECT_EQ(rewrite::RewritePageText(AsUtf8(u8"リンク D:/表/a.htm"), kPath, false, s, kState),
              AsUtf8(u8"リンク http://203.0.113.5/a.htm\r\n"));
    EXPECT_EQ(rewrite::RewritePageText(text::Sjis(u8"リンク D:/表/a.htm"), kPath, false, s, kState),
              text::Sjis(u8"リンク http://203.0.113.5/a.htm\r\n"));
}

TEST(Utf8Pages, InsertedTextsFollowThePage)
{
    rewrite::RobotsSettings robots;
    robots.KeywordsJP = {text::Sjis(u8"日本語"), text::Sjis(u8"ホーム")};
    EXPECT_EQ(rewrite::AddRobotsMetaText(AsUtf8(u8"<title>日本</title></head>"), robots),
              AsUtf8(u8"<title>日本</title>\r\n<meta name=\"keywords\" lang=\"ja\" "
                     u8"content=\"日本語,ホーム\">\r\n</head>\r\n"));
    EXPECT_EQ(rewrite::AddRobotsMetaText(text::Sjis(u8"<title>日本</title></head>"), robots),
              text::Sjis(u8"<title>日本</title>\r\n<meta name=\"keywords\" lang=\"ja\" "
                         u8"content=\"日本語,ホーム\">\r\n</head>\r\n"));
    // A page of plain ASCII that declares UTF-8 gets UTF-8 too.
    EXPECT_EQ(rewrite::AddRobotsMetaText("<meta charset=\"UTF-8\"></head>", robots),
              AsUtf8(u8"<meta charset=\"UTF-8\">\r\n<meta name=\"keywords\" lang=\"ja\" "
                     u8"content=\"日本語,ホーム\">\r\n</head>\r\n"));
    EXPECT_EQ(rewrite::InsertClosedNoticeText(AsUtf8(u8"停止<!-- Quillmap Closed -->"),
                                              text::Sjis(u8"ｻｰﾊﾞｰ停止中")),
              AsUtf8(u8"停止ｻｰﾊﾞｰ停止中\r\n"));
}

TEST(Utf8Pages, WhatCountsAsUtf8)
{
    EXPECT_EQ(DetectPageEncoding(AsUtf8(u8"日本語 é 😀")), PageEncoding::Utf8);
    EXPECT_EQ(DetectPageEncoding(text::Sjis(u8"日本語")), PageEncoding::Cp932);
    EXPECT_EQ(DetectPageEncoding("plain ascii"), PageEncoding::Cp932);
    EXPECT_EQ(DetectPageEncoding("<meta http-equiv=\"Content-Type\" content=\"text/html; CharSet = utf8\">"),
              PageEncoding::Utf8);
    EXPECT_EQ(DetectPageEncoding("<meta charset=\"shift_jis\">"), PageEncoding::Cp932);
    // Broken UTF-8: overlong, surrogate, cut sequence, beyond U+10FFFF, a stray continuation byte.
    for (const std::string bad : {"\xC0\x80\xE3\x81\x82", "\xED\xA0\x80\xE3\x81\x82", "\xE3\x81\x82\xE3\x81",
                                  "\xF4\x90\x80\x80", "\xE3\x81\x82\x80"})
        EXPECT_EQ(DetectPageEncoding(bad), PageEncoding::Cp932);
}
