// The coverage readers (gcov's JSON, the coverage file) and how snapshots
// become per-line counts and test-case buckets, on small hand-written inputs.
#include "report/coverage.h"
#include "report/coveragepage.h"
#include "report/coveragereport.h"
#include "report/mcdc.h"

#include <gtest/gtest.h>

namespace zepreport {
namespace {

TEST(GcovJson, ReadsFilesLinesBranchesAndFunctionsOfEachDocument)
{
    const std::string text =
        R"j({"format_version": "1", "current_working_directory": "/build", "data_file": "a.gcda", "files": [)j"
        R"j({"file": "src/a.cpp", "lines": [{"line_number": 3, "count": 2, "unexecuted_block": false,)j"
        R"j( "branches": [{"count": 2, "throw": false}, {"count": 0}], "function_name": "f"}],)j"
        R"j( "functions": [{"name": "_Z1fv", "demangled_name": "f()", "start_line": 3, "execution_count": 2}]},)j"
        R"j({"file": "/usr/include/x.h", "lines": [], "functions": [{"name": "caf\u00e9\ud83d\ude00", "start_line": 1,)j"
        R"j( "execution_count": 0, "blocks": 1.5}]}]})j"
        "\n{\"files\": []}\n";
    std::vector<GcovDocument> documents;
    std::string error;
    ASSERT_TRUE(parseGcovJson(text, documents, error)) << error;
    ASSERT_EQ(documents.size(), 2u);
    ASSERT_EQ(documents[0].files.size(), 2u);
    const GcovFile &a = documents[0].files[0];
    EXPECT_EQ(a.path, "/build/src/a.cpp");
    ASSERT_EQ(a.lines.size(), 1u);
    EXPECT_EQ(a.lines[0].number, 3u);
    EXPECT_EQ(a.lines[0].count, 2u);
    EXPECT_EQ(a.lines[0].branches, (std::vector<uint64_t>{2, 0}));
    EXPECT_EQ(a.functions[0].name, "f()");
    EXPECT_EQ(documents[0].files[1].path, "/usr/include/x.h");
    EXPECT_EQ(documents[0].files[1].functions[0].name, "caf\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_TRUE(documents[1].files.empty());
}

TEST(GcovJson, RefusesWhatGcovDoesNotWrite)
{
    const struct {
        std::string text, problem;
    } cases[] = {
        {R"({"files": [{"file": "a", "lines": [{"line_number": 1, "count": -1, "branches": []}], "functions": []}]})",
         "member \"count\" is missing or not a count"},
        {R"({"files": [{"file": "a", "lines": [{"line_number": 1, "count": 1.5, "branches": []}], "functions": []}]})",
         "member \"count\" is missing or not a count"},
        {R"({"files": [{"lines": [], "functions": []}]})", "member \"file\" is missing or not a string"},
        {R"({"files": {}})", "member \"files\" is missing or not a list"},
        {R"({"files": [}]})", "unexpected character at byte 11"},
        {R"({"files": ["a)", "a string is cut off at byte 13"},
        {R"({"files": [99999999999999999999]})", "a number is too large"},
        {std::string(100, '[') + std::string(100, ']'), "nested too deeply"},
        {R"({"a": "\q"})", "unknown escape"},
    };
    for (const auto &one : cases) {
        std::vector<GcovDocument> documents;
        std::string error;
        EXPECT_FALSE(parseGcovJson(one.text, documents, error)) << one.text;
        EXPECT_NE(error.find(one.problem), std::string::npos) << one.text << ": " << error;
    }
}

std::string gcda(const std::string &path, const std::string &bytes)
{
    return "GCDA " + std::to_string(bytes.size()) + " " + path + "\n" + bytes + "\n";
}

TEST(CoverageFile, KeepsCompleteSnapshotsOnly)
{
    // Bytes that look like lines must not be taken for them.
    const std::string text = "ZEPCOV 1\nFILE 0 1a 2b\nSNAP B 1\n" + gcda("/b/a.gcda", "DONE\nSNAP") +
                             "DONE\nSNAP A 1\n" + gcda("/b/a.gcda", "xy") + "DONE\nSNAP B 2\nGCDA 10 /b/a.gcda\nxy";
    CoverageData data;
    std::string error;
    ASSERT_TRUE(parseCoverageData(text, "t.cov", data, error)) << error;
    ASSERT_EQ(data.files.size(), 1u);
    EXPECT_EQ(data.files[0].checksumA, 0x1au);
    EXPECT_EQ(data.files[0].checksumB, 0x2bu);
    ASSERT_EQ(data.snapshots.size(), 2u);
    EXPECT_EQ(data.snapshots[0].point, 'B');
    EXPECT_EQ(data.snapshots[0].objects[0].bytes, "DONE\nSNAP");
    EXPECT_EQ(data.snapshots[1].point, 'A');
    EXPECT_EQ(data.snapshots[1].caseNumber, 1u);
    EXPECT_EQ(data.snapshots[1].objects[0].path, "/b/a.gcda");

    for (std::string bad : {"ZEPCOV 2\n", "ZEPCOV 1\nSNAP X 1\n", "ZEPCOV 1\nDONE\n", "ZEPCOV 1\nFILE 0 1 g\n"})
        EXPECT_FALSE(parseCoverageData(bad, "t.cov", data, error)) << bad;
}

// One document of one file with lines 1 to 3 (line 2 with two branches)
// and a function at line 1, counted as given.
std::vector<GcovDocument> counted(const std::string &path, uint64_t l1, uint64_t l2, uint64_t b1, uint64_t b2,
                                  uint64_t l3)
{
    GcovFile file{path, {{1, l1, {}}, {2, l2, {b1, b2}}, {3, l3, {}}}, {{"f()", 1, l1}}};
    return {GcovDocument{{file}}};
}

TEST(CoverageBuild, CountsEachTestCaseAndWhatRanOutside)
{
    CoverageData data;
    // Two test cases ended, the third was lost (no A snapshot).
    for (auto [point, number] : {std::pair{'B', 1}, {'A', 1}, {'B', 2}, {'A', 2}, {'B', 3}})
        data.snapshots.push_back({point, static_cast<uint64_t>(number), {}});
    std::vector<std::vector<GcovDocument>> snapshots = {
        counted("/p/a.cpp", 1, 0, 0, 0, 0),  // static construction ran line 1
        counted("/p/a.cpp", 2, 1, 1, 0, 0),  // case 1: lines 1 and 2, one branch
        counted("/p/a.cpp", 2, 1, 1, 0, 0),
        counted("/p/a.cpp", 4, 2, 1, 0, 0),  // case 2: lines 1 and 2 again
        counted("/p/a.cpp", 5, 2, 1, 0, 0),  // between the cases: line 1
    };
    Coverage coverage;
    std::string error;
    ASSERT_TRUE(buildCoverage(snapshots, data, CoverageScope{{"/p"}, {}}, coverage, error)) << error;
    ASSERT_EQ(coverage.files.size(), 1u);
    const FileCoverage &file = coverage.files[0];
    EXPECT_EQ(file.name, "a.cpp");
    ASSERT_EQ(file.lines.size(), 3u);
    EXPECT_EQ(file.lines[0].hits, 5u);
    EXPECT_EQ(file.lines[0].buckets, (std::vector<uint64_t>{0, 1, 2}));
    EXPECT_EQ(file.lines[1].hits, 2u);
    EXPECT_EQ(file.lines[1].branches, 2u);
    EXPECT_EQ(file.lines[1].branchesTaken, 1u);
    EXPECT_EQ(file.lines[1].buckets, (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(file.lines[2].hits, 0u);
    EXPECT_TRUE(file.lines[2].buckets.empty());
    EXPECT_EQ(coverage.lostCases, std::vector<uint64_t>{3});
    EXPECT_EQ(coverage.cases, 3u);

    snapshots[2] = counted("/p/a.cpp", 2, 1, 1, 0, 0);
    snapshots[2][0].files[0].lines.pop_back();
    EXPECT_FALSE(buildCoverage(snapshots, data, CoverageScope{}, coverage, error));
}

TEST(CoverageBuild, KeepsOnlyTheCodeUnderTestAndAddsUpLinesOfSeveralObjects)
{
    CoverageData data;
    data.snapshots.push_back({'E', 0, {}});
    std::vector<GcovDocument> documents = counted("/p/lift.h", 1, 1, 1, 0, 0);
    for (const char *other : {"/p/build/h.cc", "/p/lift.otd", "/usr/include/c++/12/vector", "/q/x.cpp"})
        documents.push_back(counted(other, 1, 1, 1, 1, 1)[0]);
    documents.push_back(counted("/p/lift.h", 2, 0, 0, 0, 1)[0]);  // the same header in another object
    Coverage coverage;
    std::string error;
    ASSERT_TRUE(buildCoverage({documents}, data, CoverageScope{{"/p/"}, {"/p/build"}}, coverage, error)) << error;
    ASSERT_EQ(coverage.files.size(), 1u);
    const FileCoverage &file = coverage.files[0];
    EXPECT_EQ(file.name, "lift.h");
    EXPECT_EQ(file.lines[0].hits, 3u);
    EXPECT_EQ(file.lines[1].branchesTaken, 1u);
    EXPECT_EQ(file.lines[2].hits, 1u);
    ASSERT_EQ(file.functions.size(), 1u);
    EXPECT_EQ(file.functions[0].calls, 3u);

    // Without roots every file but the scripts and the system's counts.
    EXPECT_TRUE(CoverageScope{}.counts("/q/x.cpp"));
    EXPECT_FALSE(CoverageScope{}.counts("/usr/include/stdio.h"));
    EXPECT_FALSE(CoverageScope{}.counts("/q/A.OTD"));
}

TEST(CoverageText, ShowsEachFileAndTheTotals)
{
    Coverage coverage;
    FileCoverage lift{"/p/lift.cpp", "lift.cpp", {}, {{"up", 1, 1}, {"down", 9, 0}}};
    for (uint64_t line = 1; line <= 29; line++)
        lift.lines.push_back({line, line == 7 ? 0u : 3u, line <= 14 ? 2u : 0u, line <= 14 ? 2u : 0u, {}, {1}});
    lift.lines[0].branchesTaken = 0;
    FileCoverage header{"/p/include/lift.h", "include/lift.h", {{5, 1, 0, 0, {}, {0}}}, {}, false};
    coverage.files = {header, lift};
    coverage.lostCases = {2};
    EXPECT_EQ(formatCoverageText(coverage, {"outside any test case", "Lift.Up", "Lift.Down"}),
              "\nCoverage of the code under test:\n"
              "include/lift.h  1/1 lines 100.0 %  0/0 branches  0/0 functions\n"
              "lift.cpp        28/29 lines 96.6 %  26/28 branches 92.9 %  1/2 functions\n"
              "total           29/30 lines 96.7 %  26/28 branches 92.9 %  1/2 functions\n"
              "Source not found: /p/include/lift.h\n"
              "The coverage of test case Lift.Down is lost: it did not end.\n");
    EXPECT_EQ(percentText(1999, 2000), "99.9 %");
    EXPECT_EQ(percentText(0, 3), "0.0 %");
    EXPECT_EQ(lineRanges({1, 2, 3, 5, 7, 8}), "1-3, 5, 7-8");
}

} // namespace
} // namespace zepreport

namespace zepreport {
namespace {

TEST(LlvmCovExport, ReadsTotalsAndTheConditionsOfEachDecision)
{
    // Line 4 "    if (a && b)": the decision spans columns 9 to 15, its
    // conditions a (9) and b (14); an independence pair was run for a only.
    const std::string text =
        R"j({"type": "llvm.coverage.json.export", "version": "2.0.1", "data": [{"files": [)j"
        R"j({"filename": "/p/m.cpp", "branches": [[4, 9, 4, 10, 1, 1, 0, 0, 4], [4, 14, 4, 15, 1, 0, 0, 0, 4]],)j"
        R"j( "mcdc_records": [[4, 9, 4, 15, 0, 5, [true, false]]],)j"
        R"j( "summary": {"lines": {"count": 6, "covered": 5}, "branches": {"count": 4, "covered": 3},)j"
        R"j( "functions": {"count": 2, "covered": 2}}},)j"
        R"j({"filename": "/usr/include/x.h", "branches": [], "mcdc_records": [], "summary": {}}]}]})j";
    Mcdc mcdc;
    WovenCopies copies;
    std::string error;
    ASSERT_TRUE(parseLlvmCovExport(text, CoverageScope{{"/p"}, {}}, mcdc, copies, error)) << error;
    EXPECT_TRUE(copies.empty());
    ASSERT_EQ(mcdc.files.size(), 1u);
    EXPECT_EQ(mcdc.files[0].name, "m.cpp");
    EXPECT_EQ(mcdc.files[0].totals.linesHit, 5u);
    EXPECT_EQ(mcdc.files[0].totals.branches, 4u);
    EXPECT_EQ(mcdc.files[0].conditions, 2u);
    EXPECT_EQ(mcdc.files[0].conditionsShown, 1u);
    ASSERT_EQ(mcdc.decisions.size(), 1u);
    EXPECT_EQ(mcdc.decisions[0].conditions, (std::vector<std::vector<uint64_t>>{{4, 9, 4, 10}, {4, 14, 4, 15}}));
    EXPECT_EQ(mcdc.decisions[0].shown, (std::vector<bool>{true, false}));

    for (std::string bad : {R"j({"data": {}})j", R"j({"data": [{"files": [{"summary": {}}]}]})j",
                            R"j({"data": [{"files": [{"filename": "/p/a", "summary": {},
                                 "mcdc_records": [[1, 1, 1, 2, 0, 5, [1]]]}]}]})j"})
        EXPECT_FALSE(parseLlvmCovExport(bad, CoverageScope{}, mcdc, copies, error)) << bad;
}

// A copy of /p/m.cpp whose up() (line 3, its "{" on line 4) got woven code
// and a contract of /p/m.otc: the copy's own lines and the script's are
// not code under test.
TEST(LlvmCovExport, CopiesWithWovenCodeArePutBackAtTheUsersLines)
{
    const std::vector<std::string> copy = {
        "#include \"lib/TP.h\"", "#line 1 \"/p/m.cpp\"", "#include \"m.h\"", "", "bool M::up()", "{",
        "#line 7 \"/b/m.cpp\"", "if (_muv_call.outer)", "#line 3 \"/p/m.otc\"", "level_ > 0", "#line 4 \"/p/m.cpp\"",
        "     if (level_ < 2) return true;", "    return false;", "}"};
    std::vector<LinePlace> places;
    ASSERT_TRUE(placeCopyLines(copy, CoverageScope{{"/p"}, {"/b"}}, places));
    ASSERT_EQ(places.size(), copy.size());
    EXPECT_EQ(placeOf(places, 6).path + ":" + std::to_string(placeOf(places, 6).line), "/p/m.cpp:4");
    EXPECT_EQ(placeOf(places, 12).line, 4u);
    EXPECT_EQ(placeOf(places, 14).line, 6u);
    for (uint64_t woven : {1, 2, 7, 8, 10, 15})
        EXPECT_EQ(placeOf(places, woven).path, "") << woven;
    std::vector<LinePlace> harness;
    EXPECT_FALSE(placeCopyLines({"#line 1 \"/b/h.cc\"", "int x;", "#line 2 \"/p/t.otd\""},
                                CoverageScope{{"/p"}, {"/b"}}, harness));

    // Line 4 is split around the woven code and counts once; the woven
    // lambda (line 8) and the branch of the woven condition drop out.
    const std::string lcov = "SF:/b/other.cpp\nDA:6,9\nend_of_record\n"
                             "SF:/b/m.cpp\nFN:6,_ZN1M2upEv\nFN:8,_ZZN1M2upEvENK3$_0clEv\nFNDA:3,_ZN1M2upEv\n"
                             "FNDA:3,_ZZN1M2upEvENK3$_0clEv\nDA:6,3\nDA:8,3\nDA:10,3\nDA:12,3\nDA:13,0\nDA:14,0\n"
                             "BRDA:10,0,0,3\nBRDA:10,0,1,-\nBRDA:12,0,0,3\nBRDA:12,0,1,0\nend_of_record\n";
    std::map<std::string, CoverageTotals> totals = placedTotals(lcov, {{"/b/m.cpp", places}});
    ASSERT_EQ(totals.size(), 1u);
    const CoverageTotals &m = totals["/p/m.cpp"];
    EXPECT_EQ(std::vector<uint64_t>({m.lines, m.linesHit, m.branches, m.branchesTaken, m.functions, m.functionsCalled}),
              std::vector<uint64_t>({3, 1, 2, 1, 1, 1}));
}

} // namespace
} // namespace zepreport
