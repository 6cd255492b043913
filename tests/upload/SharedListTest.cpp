// The work list of a parallel upload: files in list order, each remote folder made by one
// connection before its files go, and idle connections making later folders ahead.
#include "upload/SharedList.h"

#include <gtest/gtest.h>

using upload::SharedList;

namespace {

SharedList ListOf(const std::vector<std::string>& remotePaths)
{
    std::vector<upload::Job> jobs;
    for (const std::string& path : remotePaths) {
        const size_t slash = path.rfind('/');
        upload::Job job;
        job.path = path;
        job.file.RemoteFolder = slash == std::string::npos ? "" : path.substr(0, slash);
        job.file.Name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        jobs.push_back(job);
    }
    return SharedList(std::move(jobs));
}

// What the next call of Next hands out: "file N", "file N +folder", "folder N", "wait" or "end".
std::string Next(SharedList& list)
{
    size_t index = 99;
    bool makeFolder = false;
    switch (list.Next(index, makeFolder)) {
    case SharedList::Take::File:
        return "file " + std::to_string(index) + (makeFolder ? " +folder" : "");
    case SharedList::Take::Folder:
        return "folder " + std::to_string(index);
    case SharedList::Take::Wait:
        return "wait";
    case SharedList::Take::End:
        return "end";
    }
    return "?";
}

} // namespace

TEST(SharedList, LaterFoldersAreMadeAheadOnceAndNoFileGoesBeforeItsFolderIsReady)
{
    SharedList list = ListOf({"a/1.htm", "a/2.htm", "b/1.htm", "b/c/1.htm", "top.htm", "b/2.htm", "d/1.htm"});
    EXPECT_EQ(Next(list), "file 0 +folder");
    // While "a" is being made, the others take "b", "b/c" and "d", each once; then nothing is left.
    EXPECT_EQ(Next(list), "folder 2");
    EXPECT_EQ(Next(list), "folder 3");
    EXPECT_EQ(Next(list), "folder 6");
    EXPECT_EQ(Next(list), "wait");

    const unsigned generation = list.Generation();
    list.FolderReady("a");
    EXPECT_NE(list.Generation(), generation);
    EXPECT_EQ(Next(list), "file 1");
    EXPECT_EQ(Next(list), "wait"); // "b" is still being made
    list.FolderReady("b");
    EXPECT_EQ(Next(list), "file 2");
    list.FolderReady("d");
    EXPECT_EQ(Next(list), "wait"); // list order holds: "b/c" comes before "d/1.htm"
    list.FolderReady("b/c");
    for (const char* expected : {"file 3", "file 4", "file 5", "file 6", "end"})
        EXPECT_EQ(Next(list), expected);
}

TEST(SharedList, AStopEndsTheHandingOut)
{
    SharedList list = ListOf({"1.htm", "2.htm"});
    EXPECT_EQ(Next(list), "file 0");
    const unsigned generation = list.Generation();
    list.Stop(false);
    EXPECT_TRUE(list.Stopped());
    EXPECT_NE(list.Generation(), generation);
    EXPECT_EQ(Next(list), "end");
}
