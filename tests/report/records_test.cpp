// The record file reader: elements, their texts and lines, the ON ERROR
// elements known only from the .tsf, and the refusal of anything else.
#include "report_support.h"

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace zepreport {
namespace {

using testing::liftOts;
using testing::liftTsf;
using testing::parseRecords;

TEST(RecordSet, ReadsElementsWithTheirTextsLinesAndParents)
{
    RecordSet records = testing::liftRecords();
    EXPECT_EQ(records.fileName, "lift.otd");
    EXPECT_EQ(records.source, "/src/lift.otd");
    EXPECT_EQ(records.checksumA, 0x1234u);
    EXPECT_EQ(records.checksumB, 0x5678u);

    const Element *testCase = records.find(0x3);
    ASSERT_NE(testCase, nullptr);
    EXPECT_EQ(testCase->code, "TC");
    EXPECT_EQ(testCase->text, "Up");
    EXPECT_EQ(testCase->line, 2u);
    EXPECT_EQ(testCase->parent, 0x2u);
    EXPECT_EQ(testCase->message, "`Up'");
    EXPECT_EQ(records.where(*testCase), "lift.otd:2");
    EXPECT_EQ(RecordSet::kindName(*testCase), "TEST CASE");

    const Element *stubCheck = records.find(0x9);
    ASSERT_NE(stubCheck, nullptr);
    EXPECT_EQ(stubCheck->code, "CS");
    EXPECT_EQ(stubCheck->text, "open");
    EXPECT_EQ(stubCheck->line, 6u);
    EXPECT_EQ(stubCheck->textRecord, "`open'");
}

TEST(RecordSet, UndoesTheQuoteEscapingOfEscapedTextsOnly)
{
    RecordSet records = testing::liftRecords();
    EXPECT_EQ(records.find(0x5)->text, "(\"x\", x)");
    EXPECT_EQ(records.find(0x11)->text, "(x < \"a\\b\")");
    EXPECT_EQ(records.find(0x11)->textRecord, "(x < \"a\\b\")");
    EXPECT_EQ(records.find(0x8)->text, "`moved' / (a != b)");
}

TEST(RecordSet, ReadsARecordWhoseTextSpansLines)
{
    RecordSet records = testing::liftRecords();
    const Element *native = records.find(0x12);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->text, " int a;\nint b; ");
    EXPECT_EQ(native->line, 16u);
}

TEST(RecordSet, KnowsOnErrorFromItsMessageAfterState164)
{
    RecordSet records = testing::liftRecords();
    const Element *onError = records.find(0xd);
    ASSERT_NE(onError, nullptr);
    EXPECT_TRUE(onError->onError);
    EXPECT_EQ(onError->text, "ON ERROR");
    EXPECT_EQ(onError->line, 10u);
    EXPECT_EQ(RecordSet::kindName(*onError), "ON ERROR");
    // A CALL's message has the same form but no ST 164 before it.
    EXPECT_EQ(records.find(0x9)->onError, false);
}

TEST(RecordSet, AcceptsATsfWithoutSourceLinesTakingThePathFromTheOts)
{
    std::string tsf = liftTsf;
    tsf.erase(tsf.find("SO "), tsf.find("ST 164") - tsf.find("SO "));
    RecordSet records;
    std::string error;
    ASSERT_TRUE(parseRecords(liftOts, tsf, records, error)) << error;
    EXPECT_EQ(records.source, "/src/lift.otd");
}

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

std::string refusal(const std::string &ots, const std::string &tsf)
{
    RecordSet records;
    std::string error;
    EXPECT_FALSE(parseRecords(ots, tsf, records, error));
    return error;
}

TEST(RecordSet, RefusesBrokenOtsFilesNamingTheLine)
{
    EXPECT_EQ(refusal("garbage\n", liftTsf),
              "lift.otd01.ots:1: not an .ots record file (the first line is not an OF record)");
    EXPECT_EQ(refusal(replaced(liftOts, "TC 3h", "ZZ 3h"), liftTsf),
              "lift.otd01.ots:6: unknown element record code \"ZZ\"");
    EXPECT_EQ(refusal(replaced(liftOts, "TC 3h", "TC 3"), liftTsf), "lift.otd01.ots:6: bad element number \"3\"");
    EXPECT_EQ(refusal(replaced(liftOts, "TC 3h", "TC 4h"), liftTsf), "lift.otd01.ots:7: element 4h is recorded twice");
    EXPECT_EQ(refusal(replaced(liftOts, "line=6 dad=3h stb=bh;", "line=6 dad=3h;"), liftTsf),
              "lift.otd01.ots:10: CS record without a stb= field");
    EXPECT_EQ(refusal(replaced(liftOts, "\nCK 1234h 5678h\n", ""), liftTsf),
              "lift.otd01.ots:21: the file ends before its CK record");
    EXPECT_EQ(refusal(liftOts + "CK 1h 2h\n", liftTsf), "lift.otd01.ots:23: text after the CK record");
    EXPECT_EQ(refusal(replaced(liftOts, "CK 1234h 5678h\n", "CK 1234h"), liftTsf),
              "lift.otd01.ots:22: the line is cut off (no line feed at its end)");
}

TEST(RecordSet, RefusesARecordThatNeverEnds)
{
    // A text may hold line breaks, so only the end of the file shows it.
    std::string ots = replaced(liftOts, "int b; \" line=16 dad=10h;", "int b;");
    EXPECT_EQ(refusal(ots, liftTsf), "lift.otd01.ots:19: the element record does not end");
}

TEST(RecordSet, RefusesBrokenTsfFiles)
{
    EXPECT_EQ(refusal(liftOts, "DB \"Other\"\n"),
              "lift.otd01.tsf:1: not a .tsf record file (the first line is not DB \"Okvar-Tracer\")");
    EXPECT_EQ(refusal(liftOts, replaced(liftTsf, "LK 3\n", "QQ 3\n")), "lift.otd01.tsf:20: unknown record \"QQ 3\"");
    EXPECT_EQ(refusal(liftOts, replaced(liftTsf, "LK 3\n", "LK three\n")),
              "lift.otd01.tsf:20: bad LK record: \"LK three\"");
    EXPECT_EQ(refusal(liftOts, replaced(liftTsf, "MS f4243h", "MS 5h")),
              "lift.otd01.tsf:19: message number 5h is out of range");
    EXPECT_EQ(refusal(liftOts, replaced(liftTsf, "ED\n", "")), "lift.otd01.tsf:56: the file ends before its ED record");
    EXPECT_EQ(refusal(liftOts, replaced(liftTsf, "ID 1234h 5678h", "ID 1234h 5679h")),
              "lift.otd01.tsf: its checksum pair 1234h 5679h is not the pair 1234h 5678h of lift.otd01.ots");
}

TEST(RecordSet, RefusesBinaryGarbageAndHugeLines)
{
    std::string garbage("OF \"\0\xff\x01", 7);
    garbage += std::string(300, '\0');
    EXPECT_EQ(refusal(garbage, liftTsf).substr(0, 17), "lift.otd01.ots:1:");
    EXPECT_EQ(refusal(liftOts, std::string(17u << 20, 'x')), "lift.otd01.tsf:1: the line is longer than 16 MiB");
}

// The trailers are read from the end of the files alone.
class ChecksumPairFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = std::filesystem::temp_directory_path() / ("zepreport-pair-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const std::string &name, const std::string &text)
    {
        std::string path = (directory / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path directory;
};

TEST_F(ChecksumPairFile, ReadsTheTrailersOfBothFiles)
{
    uint32_t a = 0, b = 0;
    ASSERT_TRUE(readChecksumPair(write("x.ots", liftOts), true, a, b));
    EXPECT_EQ(a, 0x1234u);
    EXPECT_EQ(b, 0x5678u);
    a = b = 0;
    ASSERT_TRUE(readChecksumPair(write("x.tsf", liftTsf), false, a, b));
    EXPECT_EQ(a, 0x1234u);
    EXPECT_EQ(b, 0x5678u);
}

TEST_F(ChecksumPairFile, HasNoPairForOtherFiles)
{
    uint32_t a = 0, b = 0;
    EXPECT_FALSE(readChecksumPair(write("x.tsf", liftOts), false, a, b));
    EXPECT_FALSE(readChecksumPair(write("y.ots", liftTsf), true, a, b));
    EXPECT_FALSE(readChecksumPair(write("empty.ots", ""), true, a, b));
    EXPECT_FALSE(readChecksumPair(write("big.ots", "CK 123456789h 1h\n"), true, a, b));
    EXPECT_FALSE(readChecksumPair((directory / "missing.ots").string(), true, a, b));
}

} // namespace
} // namespace zepreport
