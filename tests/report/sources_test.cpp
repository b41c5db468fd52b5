// Finding the record files of a trace's source files by their checksum
// pairs, and the messages for stale and missing ones.
#include "report/sources.h"
#include "report_support.h"

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace zepreport {
namespace {

std::string withPair(std::string text, const std::string &pair)
{
    for (const char *code : {"CK 1234h 5678h", "ID 1234h 5678h"}) {
        size_t at = text.find(code);
        if (at != std::string::npos)
            text.replace(at + 3, 11, pair);
    }
    return text;
}

class RecordSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = (std::filesystem::temp_directory_path() / ("zepreport-search-" + std::to_string(::getpid())))
                        .string();
        std::filesystem::create_directories(directory);
        std::string error;
        EXPECT_TRUE(parseTrace("ZEPTRACE 1\nINIT 0 f4240 1e8480\nFILE 0 1234 5678\n", "run.trace", trace, error));
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(directory + "/" + name, std::ios::binary) << text;
    }

    // Both record files of a source file, with the checksum pair given.
    void writePair(const std::string &stem, const std::string &pair)
    {
        write(stem + ".ots", withPair(testing::liftOts, pair));
        write(stem + ".tsf", withPair(testing::liftTsf, pair));
    }

    std::string refusal(const std::vector<std::string> &places)
    {
        std::vector<RecordSet> sets;
        std::string error;
        EXPECT_FALSE(findRecordSets(trace, places, sets, error));
        return error;
    }

    std::string directory;
    Trace trace;
};

TEST_F(RecordSearch, PicksTheFilesWithTheTracesChecksumPair)
{
    writePair("lift.otd01", "1h 2h");
    writePair("new.otd01", "1234h 5678h");
    writePair("other.otd02", "3h 4h");
    std::vector<RecordSet> sets;
    std::string error;
    ASSERT_TRUE(findRecordSets(trace, {directory}, sets, error)) << error;
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].otsPath, directory + "/new.otd01.ots");
    EXPECT_EQ(sets[0].tsfPath, directory + "/new.otd01.tsf");
    EXPECT_NE(sets[0].find(0x3), nullptr);
}

TEST_F(RecordSearch, TakesRecordFilesNamedOnTheCommandLine)
{
    writePair("lift.otd01", "1234h 5678h");
    std::vector<RecordSet> sets;
    std::string error;
    ASSERT_TRUE(findRecordSets(trace, {directory + "/lift.otd01.tsf"}, sets, error)) << error;
    EXPECT_EQ(sets[0].otsPath, directory + "/lift.otd01.ots");
}

TEST_F(RecordSearch, NamesEveryCandidateWhenSeveralAreStale)
{
    writePair("a.otd01", "1h 2h");
    write("b.otd01.ots", "garbage\n");
    EXPECT_EQ(refusal({directory}), "stale record files " + directory + "/a.otd01.ots (1h 2h), " + directory +
                                        "/b.otd01.ots (no checksum trailer), none is that of source file 0 "
                                        "(run.trace:3, checksum pair 1234h 5678h); translate the script again");
}

TEST_F(RecordSearch, NamesTheStaleOrMissingHalfOfAPair)
{
    writePair("lift.otd01", "1234h 5678h");
    write("lift.otd01.tsf", withPair(testing::liftTsf, "9h 9h"));
    EXPECT_EQ(refusal({directory}), directory + "/lift.otd01.tsf: stale record file (9h 9h): " + directory +
                                        "/lift.otd01.ots is that of source file 0 (run.trace:3, checksum pair "
                                        "1234h 5678h); translate the script again");
    std::filesystem::remove(directory + "/lift.otd01.tsf");
    EXPECT_EQ(refusal({directory}), directory + "/lift.otd01.tsf: record file missing; " + directory +
                                        "/lift.otd01.ots is that of source file 0 (run.trace:3, checksum pair "
                                        "1234h 5678h)");
}

TEST_F(RecordSearch, SaysWhereItLookedWhenThereAreNoRecordFiles)
{
    writePair("other.otd02", "1h 2h");
    EXPECT_EQ(refusal({directory}),
              "no record files for source file 0 (run.trace:3, checksum pair 1234h 5678h) in " + directory);
}

TEST_F(RecordSearch, RefusesPlacesThatAreNoRecordFiles)
{
    write("notes.txt", "x\n");
    EXPECT_EQ(refusal({directory + "/notes.txt"}),
              directory + "/notes.txt: not a record file (.ots or .tsf) and not a directory");
    EXPECT_EQ(refusal({directory + "/missing"}), directory + "/missing: no such file or directory");
}

TEST_F(RecordSearch, PassesOnTheReadersMessageForAGarbledMatch)
{
    writePair("lift.otd01", "1234h 5678h");
    std::string ots = withPair(testing::liftOts, "1234h 5678h");
    ots.replace(ots.find("TC 3h"), 5, "?? 3h");
    write("lift.otd01.ots", ots);
    EXPECT_EQ(refusal({directory}), directory + "/lift.otd01.ots:6: unknown element record code \"??\"");
}

} // namespace
} // namespace zepreport
