// File services: source classes, path splitting, display paths, record-file
// names, file entries, output files and the text conversions.
#include "driver/files.h"
#include "test_support.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <tuple>

namespace {

class Files : public RunState {};

std::string readAll(const std::string &path)
{
    std::string text;
    if (FILE *in = fopen(path.c_str(), "r")) {
        for (int c; (c = fgetc(in)) != EOF;)
            text.push_back(static_cast<char>(c));
        fclose(in);
    }
    return text;
}

// Runs the test in a fresh temporary working directory, restored after.
class InTemporaryDirectory : public Files {
protected:
    void SetUp() override
    {
        Files::SetUp();
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        char pattern[] = "/tmp/zepunitXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        ASSERT_EQ(chdir(pattern), 0);
        char real[PATH_MAX];
        ASSERT_NE(getcwd(real, sizeof real), nullptr);
        here = real;
    }

    void TearDown() override
    {
        int ignored = system(("rm -rf '" + here + "'").c_str());
        (void)ignored;
        EXPECT_EQ(chdir(saved), 0);
        Files::TearDown();
    }

    char saved[PATH_MAX] = {};
    std::string here; // the working directory, without a final "/"
};

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
    ASSERT_EQ(splitPath("/w/", "a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/./");
    EXPECT_STREQ(fileName, "a.otd");
    EXPECT_EQ(fileName, internText("a.otd"));

    ASSERT_EQ(splitPath("/w/", "sub/a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/sub/");
    EXPECT_STREQ(fileName, "a.otd");
    EXPECT_EQ(directory, internText("/w/sub/"));

    ASSERT_EQ(splitPath("/w/", "/x/a.otd", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/x/");
    EXPECT_STREQ(fileName, "a.otd");

    // A base without its final "/" gets one.
    ASSERT_EQ(splitPath("/w", "d/e/f.otc", &directory, &fileName), 0);
    EXPECT_STREQ(directory, "/w/d/e/");
    EXPECT_STREQ(fileName, "f.otc");
}

TEST_F(Files, SplitPathTurnsBackslashesOnlyInTheDirectory)
{
    const char *directory = nullptr, *fileName = nullptr;
    ASSERT_EQ(splitPath("/w/", "sub\\in/a\\b.otd", &directory, &fileName), 0);
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

TEST_F(InTemporaryDirectory, DisplayPathDropsTheWorkingDirectory)
{
    std::string prefix = here + "/";
    EXPECT_STREQ(makeDisplayPath((prefix + "./").c_str(), "a.otd"), "./a.otd");
    EXPECT_STREQ(makeDisplayPath((prefix + "sub/").c_str(), "a.otd"), "sub/a.otd");
    EXPECT_STREQ(makeDisplayPath("/x/", "a.otd"), "/x/a.otd");
    // Only a whole directory prefix counts.
    EXPECT_STREQ(makeDisplayPath((here + "x/").c_str(), "a.otd"), (here + "x/a.otd").c_str());
    EXPECT_EQ(makeDisplayPath("/x/", "a.otd"), internText("/x/a.otd"));
}

TEST_F(Files, RecordFileNamesAndFileEntries)
{
    EXPECT_STREQ(recordFileName("b.stb", 7, ".tsf"), "b.stb07.tsf");
    EXPECT_STREQ(recordFileName("a.otd", 123, ".ots"), "a.otd123.ots");

    const char *directory = internText("/w/");
    FileEntry *list = addFileEntry(nullptr, 7, directory, internText("b.stb"), 1234);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list->tsfName, "b.stb07.tsf");
    EXPECT_STREQ(list->otsName, "b.stb07.ots");
    EXPECT_EQ(list->tsfStream, nullptr);
    EXPECT_EQ(list->otsStream, nullptr);
    EXPECT_EQ(list->fileNo, 7u);
    EXPECT_EQ(list->checksumA, 0u);
    EXPECT_EQ(list->checksumB, 0u);
    EXPECT_STREQ(list->fileName, "b.stb");
    EXPECT_EQ(list->directory, directory);
    EXPECT_EQ(list->modificationTime, 1234);

    EXPECT_EQ(addFileEntry(list, 8, directory, internText("c.otc"), 0), list);
    EXPECT_EQ(addFileEntry(list, 9, directory, internText("d.otc"), 0), list);
    ASSERT_NE(list->nextEntry, nullptr);
    ASSERT_NE(list->nextEntry->nextEntry, nullptr);
    EXPECT_STREQ(list->nextEntry->tsfName, "c.otc08.tsf");
    EXPECT_STREQ(list->nextEntry->nextEntry->otsName, "d.otc09.ots");
    EXPECT_EQ(list->nextEntry->nextEntry->nextEntry, nullptr);

    makeContext();
    context->fileEntries = list; // released with the Context
    EXPECT_EQ(entryForFile(8), list->nextEntry);
    EXPECT_EQ(entryForFile(1), nullptr);
}

TEST_F(Files, QuoteEscapingBothWays)
{
    EXPECT_STREQ(escapeQuotes("a\\b\"c"), "a\\\\b\\\"c");
    EXPECT_STREQ(escapeQuotes(""), "");
    EXPECT_EQ(escapeQuotes(nullptr), nullptr);
    EXPECT_EQ(escapeQuotes("plain"), internText("plain"));

    EXPECT_STREQ(unescapeText("a\\\"b\\\\c\\nd"), "a\"b\\cnd");
    EXPECT_STREQ(unescapeText("end\\"), "end");
    EXPECT_STREQ(unescapeText(""), "");
    EXPECT_EQ(unescapeText(nullptr), nullptr);
    EXPECT_STREQ(unescapeText(escapeQuotes("x\\\"y")), "x\\\"y");
}

TEST_F(InTemporaryDirectory, OutputFilesAreLoggedToTheOpenBenchLog)
{
    makeContext();
    context->benchLog = openOutputFile("bench.log", 205);
    ASSERT_NE(context->benchLog, nullptr);

    FILE *code = openOutputFile("out.cc", 200);
    ASSERT_NE(code, nullptr);
    fputs("int x;\n", code);
    EXPECT_EQ(closeFile(code), 0);
    FILE *instr = openOutputFile("out.oti", 202);
    ASSERT_NE(instr, nullptr);
    closeFile(instr);
    // Neither a failed open nor the log itself adds a line.
    EXPECT_EQ(openOutputFile("missing/dir/x.tsf", 204), nullptr);
    FILE *again = openOutputFile("other.log", 205);
    ASSERT_NE(again, nullptr);
    closeFile(again);
    fflush(context->benchLog);
    EXPECT_EQ(readAll("bench.log"), "CPP out.cc\nOTI out.oti\n");
    EXPECT_EQ(readAll("out.cc"), "int x;\n");

    closeFile(context->benchLog);
    context->benchLog = nullptr;
}

} // namespace
