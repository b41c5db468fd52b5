// File services: source classes, path splitting and joining.
#include "io/files.h"
#include "test_support.h"

#include <cstring>
#include <string>
#include <tuple>

namespace {

class Files : public RunState {};

TEST_F(Files, SourceClassFromTheSuffixWithoutCase)
{
    EXPECT_EQ(classifySourceName("a.otd"), 101);
    EXPECT_EQ(classifySourceName("A.OTD"), 101);
    EXPECT_EQ(classifySourceName("dir.x/b.Stb"), 101);
    EXPECT_EQ(classifySourceName("c.dCl"), 101);
    EXPECT_EQ(classifySourceName("x.OTC"), 102);
    EXPECT_EQ(classifySourceName("a.otc.bak"), 100);
    EXPECT_EQ(classifySourceName("otd"), 100);
    EXPECT_EQ(classifySourceName("a.ot"), 100);
    EXPECT_EQ(classifySourceName(""), 100);
}

TEST_F(Files, SplitPathAgainstABaseDirectory)
{
    const char *directory = nullptr, *fileName = nullptr;
    ASSERT_EQ(splitPath(run, "/w/", "a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/./");
    EXPECT_STREQ(fileName, "a.otd");
    EXPECT_EQ(fileName, internText(run, "a.otd"));

    ASSERT_EQ(splitPath(run, "/w/", "sub/a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/sub/");
    EXPECT_STREQ(fileName, "a.otd");
    EXPECT_EQ(directory, internText(run, "/w/sub/"));

    ASSERT_EQ(splitPath(run, "/w/", "/x/a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/x/");
    EXPECT_STREQ(fileName, "a.otd");

    // A base without its final "/" gets one.
    ASSERT_EQ(splitPath(run, "/w", "d/e/f.otc", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/d/e/");
    EXPECT_STREQ(fileName, "f.otc");
}

TEST_F(Files, SplitPathTurnsBackslashesOnlyInTheDirectory)
{
    const char *directory = nullptr, *fileName = nullptr;
    ASSERT_EQ(splitPath(run, "/w/", "sub\\in/a\\b.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/sub/in/");
    EXPECT_STREQ(fileName, "a\\b.otd");
}

TEST_F(Files, JoinPathPutsOneSlashBetween)
{
    for (auto [base, relative, joined] : {std::tuple{"/a", "b", "/a/b"}, std::tuple{"/a/", "b", "/a/b"},
                                          std::tuple{"", "b", "/b"}, std::tuple{"/a/", "./", "/a/./"}}) {
        char *made = joinPath(base, relative);
        ASSERT_NE(made, nullptr);
        EXPECT_STREQ(made, joined) << base << " + " << relative;
        zepFree(made);
    }
}

} // namespace
