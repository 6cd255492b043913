// Log texts that hold control characters (a file name with a line break, a server reply with a
// TAB): one row stays one row, in the list and in Log.txt, and the characters show as "?".
#include "core/OperationLog.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using core::OperationLog;

TEST(LogControlCharacters, ALineBreakInATextCannotForgeARow)
{
    testsupport::TempFolder folder;
    OperationLog log;
    log.SetRecLog(true);
    const std::string forged = "evil.htm\r\n2024/01/01 0:00:00\t" + text::Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。");
    log.AddLog(forged + text::Sjis(u8" ｱｯﾌﾟﾛｰﾄﾞ失敗"), core::lkStepError);
    log.AddLog("next", core::lkEvent);

    const std::string shown =
        "evil.htm??2024/01/01 0:00:00?" + text::Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。 ｱｯﾌﾟﾛｰﾄﾞ失敗");
    ASSERT_EQ(log.Rows().size(), 2u);
    EXPECT_EQ(log.Rows()[0].Text, shown);

    const std::string file = testsupport::ReadBytes(folder.file(QStringLiteral("Log.txt")));
    const std::string expected =
        log.Rows()[0].Time + '\t' + shown + "\r\n" + log.Rows()[1].Time + "\tnext\r\n";
    EXPECT_EQ(file, expected);
}

TEST(LogControlCharacters, EveryControlByteIsShownAndDoubleByteCharactersAreKept)
{
    testsupport::TempFolder folder;
    OperationLog log;
    std::string controls;
    for (int byte = 0; byte < 0x20; ++byte)
        controls += static_cast<char>(byte);
    controls += '\x7F';
    // Trail bytes of code page 932 reach down to 0x40 ("@") and include "\" and "|": 表, ソ, 十.
    const std::string japanese = text::Sjis(u8"表ソ十ﾃﾞｨﾚｸﾄﾘ");
    log.AddLog(japanese + controls + japanese, core::lkEvent);
    EXPECT_EQ(log.Rows().back().Text, japanese + std::string(33, '?') + japanese);
}
