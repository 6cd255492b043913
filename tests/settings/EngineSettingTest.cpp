// [Status] Engine: which reader the status page gets. A file that never chose the engine is written
// as before; once chosen, the key stands beside NoScript.
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace settings;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

TEST(EngineSetting, WrittenOnceChosenBesideNoScriptAndReadBack)
{
    TempFolder folder;
    const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
    TConfig c;
    LoadSettings(c, nullptr);
    EXPECT_EQ(c.StatusEngine, 0);
    SaveSettings(c, SaveScope::All);
    EXPECT_EQ(ReadBytes(ini).find("Engine="), std::string::npos);

    c.StatusEngine = 1;
    SaveSettings(c, SaveScope::All);
    const std::string bytes = ReadBytes(ini);
    EXPECT_NE(bytes.find("NoScript=0\r\nEngine=1\r\n"), std::string::npos) << bytes;
    TConfig back;
    LoadSettings(back, nullptr);
    EXPECT_EQ(back.StatusEngine, 1);

    // Going back to the HTTP client is written too, once the file holds the key.
    back.StatusEngine = 0;
    SaveSettings(back, SaveScope::All);
    EXPECT_NE(ReadBytes(ini).find("NoScript=0\r\nEngine=0\r\n"), std::string::npos);
}
