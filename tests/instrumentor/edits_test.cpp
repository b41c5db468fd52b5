#include "instrumentor/edits.h"
#include "instrumentor/weave.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zepinstr;

TEST(Insertions, AppliedAtOriginalOffsetsInOrderAndOnce)
{
    std::string text = "ab{cd}ef";
    std::vector<Insertion> insertions = {{6, "<6>"}, {3, "<3a>"}, {0, "<0>"}, {3, "<3b>"}, {3, "<3a>"}, {99, "<end>"}};
    EXPECT_EQ(applyInsertions(text, insertions), "<0>ab{<3a><3b>cd}<6>ef<end>");
    EXPECT_EQ(applyInsertions(text, {}), text);
}

TEST(Insertions, WovenEntryPutsTheRestOfTheLineBackAtItsLineAndColumn)
{
    Body body;
    body.file = "/src/a b.cc";
    body.line = 12;
    body.column = 5;
    Weaving weaving;
    weaving.counters = {"_ZEP_Check_Method_0x7"};
    std::string text = wovenEntry(body, weaving);
    EXPECT_EQ(text, std::string("\n") + WOVEN_CODE_LINE + "\n++_ZEP_Check_Method_0x7;\n#line 12 \"/src/a b.cc\"\n     ");
}

// Woven code must be the copy's own lines: coverage of the code under test
// would count it among the user's lines otherwise.
TEST(Insertions, WovenCodeIsPlacedAtTheCopysOwnLines)
{
    std::string mark = std::string(WOVEN_CODE_LINE) + "\n";
    std::string text = "int f() {\n" + mark + "++c;\n#line 1 \"/src/f.cc\"\n}\n" + mark + "x" + mark;
    EXPECT_EQ(placeWovenCode(text, "/b/f.cc"), "int f() {\n#line 3 \"/b/f.cc\"\n++c;\n#line 1 \"/src/f.cc\"\n}\n"
                                              "#line 7 \"/b/f.cc\"\nx#line 1 \"<zepinstr woven code>\"\n");
}

TEST(Copies, WrittenWholeAndOnlyWhenChanged)
{
    char folder[] = "/tmp/zepinstr_testXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string path = std::string(folder) + "/copy.cc";
    ASSERT_TRUE(writeIfChanged(path, "one\n"));
    struct stat first {};
    ASSERT_EQ(stat(path.c_str(), &first), 0);
    sleep(1);
    ASSERT_TRUE(writeIfChanged(path, "one\n"));
    struct stat second {};
    ASSERT_EQ(stat(path.c_str(), &second), 0);
    EXPECT_EQ(first.st_mtime, second.st_mtime);
    ASSERT_TRUE(writeIfChanged(path, "two\n"));
    std::string text;
    ASSERT_TRUE(readWhole(path, text));
    EXPECT_EQ(text, "two\n");
    EXPECT_FALSE(writeIfChanged(std::string(folder) + "/missing/copy.cc", "x"));
    unlink(path.c_str());
    EXPECT_EQ(rmdir(folder), 0) << "a temporary file was left behind";
}
