// A hand-edited settings file with a section name twice is read as the Windows profile functions
// read it: only the first section of a name counts, and a save writes into that first section.
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <gtest/gtest.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

TEST(DuplicateSection, OnlyTheFirstSectionOfANameIsReadAndWritten)
{
    TempFolder folder;
    const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
    WriteBytes(ini,
               "[Config]\r\nInterval=5\r\n[Config]\r\nAutoRun=1\r\nTimeOut=9\r\n[config]\r\nRecLog=0\r\n");

    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    EXPECT_EQ(config.Interval, 5);
    // Not started here either: the Windows program never sees this AutoRun.
    EXPECT_EQ(config.AutoRun, 0);
    EXPECT_EQ(config.RecLog, 1) << "the default, not the 0 of the third section";
    EXPECT_EQ(config.TimeOut, 3) << "the default, as for any key the first section lacks";

    config.AutoRun = 1;
    config.PrevIP = "203.0.113.5";
    settings::SaveSettings(config, settings::SaveScope::Shutdown);
    EXPECT_EQ(ReadBytes(ini),
              "[Config]\r\nInterval=5\r\nShowWindow=1\r\nAutoRun=1\r\nRecLog=1\r\n"
              "PrevIP=203.0.113.5\r\n[Config]\r\nAutoRun=1\r\nTimeOut=9\r\n[config]\r\nRecLog=0\r\n");

    settings::TConfig again;
    settings::LoadSettings(again, nullptr);
    EXPECT_EQ(again.AutoRun, 1);
    EXPECT_EQ(again.PrevIP, "203.0.113.5");
    EXPECT_EQ(again.TimeOut, 3);
}
