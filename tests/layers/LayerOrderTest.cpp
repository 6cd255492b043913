// The layer order of src/layers.txt holds for every include under src/, and the check itself catches
// includes that point up the order or across one layer.
#include "TestPaths.h"
#include "layers/LayerCheck.h"
#include "support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace layers;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

const LayerOrder kOrder = ParseLayerOrder("# lowest first\n"
                                          "platform\n"
                                          "\n"
                                          "net netinfo\n"
                                          "core\n");

std::vector<std::string> Check(const std::string& file, const std::string& content)
{
    return CheckIncludes(kOrder, ReadIncludes(file, content));
}

} // namespace

TEST(LayerOrder, IsReadOneLayerPerLineSkippingCommentsAndBlankLines)
{
    using Layer = std::vector<std::string>;
    EXPECT_THAT(kOrder, ElementsAre(Layer{"platform"}, Layer{"net", "netinfo"}, Layer{"core"}));
}

TEST(LayerOrder, AllowsIncludesOfTheOwnFolderAndOfLowerLayers)
{
    EXPECT_THAT(Check("core/A.cpp", "#include \"core/A.h\"\n"
                                    "#include \"net/B.h\"\n"
                                    "  #  include \"platform/C.h\"\n"
                                    "#include \"A.moc\"\n"
                                    "#include \"../netinfo/D.h\"\n"
                                    "#include <QString>\n"),
                IsEmpty());
}

TEST(LayerOrder, NamesFileAndLineOfAnIncludeThatPointsUp)
{
    EXPECT_THAT(
        Check("net/Psock.cpp", "#include \"net/Psock.h\"\n"
                               "\n"
                               "#include \"core/OperationLog.h\"\n"),
        ElementsAre("net/Psock.cpp:3: includes \"core/OperationLog.h\": core is a higher layer than net"));
    EXPECT_THAT(Check("platform/X.h", "#include \"../core/Y.h\"\n"),
                ElementsAre(HasSubstr("platform/X.h:1: ")));
}

TEST(LayerOrder, RejectsIncludesBetweenFoldersOfOneLayer)
{
    EXPECT_THAT(
        Check("netinfo/wssmpl.h", "#include \"net/Psock.h\"\n"),
        ElementsAre("netinfo/wssmpl.h:1: includes \"net/Psock.h\": net and netinfo are folders of one "
                    "layer"));
    EXPECT_THAT(Check("net/Psock.h", "#include \"netinfo/wssmpl.h\"\n"),
                ElementsAre(HasSubstr("net/Psock.h:1:")));
}

TEST(LayerOrder, RejectsFoldersOutsideTheOrder)
{
    // A new folder must be given its place before anything in it or anything including it builds.
    EXPECT_THAT(Check("gui/Main.cpp", "#include \"core/A.h\"\n"),
                ElementsAre(HasSubstr("gui/Main.cpp:1: folder \"gui\" is in no layer")));
    EXPECT_THAT(Check("core/A.cpp", "#include \"mail/B.h\"\n"),
                ElementsAre(HasSubstr("core/A.cpp:1: includes \"mail/B.h\", whose folder is in no layer")));
}

TEST(LayerOrder, HoldsForEverySourceFile)
{
    const LayerOrder order =
        ParseLayerOrder(testsupport::ReadBytes(QStringLiteral(QUILLMAP_SOURCE_DIR "/layers.txt")));
    ASSERT_GE(order.size(), 9u);
    const std::vector<Include> includes = ReadSourceTree(QUILLMAP_SOURCE_DIR);
    // A tree read wrongly (a wrong folder, no files) must not pass as a clean one.
    ASSERT_GT(includes.size(), 200u);
    EXPECT_THAT(CheckIncludes(order, includes), IsEmpty());
}
