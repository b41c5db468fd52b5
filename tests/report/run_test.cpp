// The run model and the two report formats, on hand-written traces of the
// script whose records report_support.h holds.
#include "report/html.h"
#include "report/junit.h"
#include "report/run.h"
#include "report/textreport.h"
#include "report_support.h"

namespace zepreport {
namespace {

using testing::build;

const std::string fullRun = "ENTER CLASS 2 0 2 0\n"
                            "ENTER CASE 3 0 3 0\n"
                            "ENTER PROC 7 0 7 0\n"
                            "CHECK EXPRESSION PASS 8 0\n"
                            "LEAVE PROC\n"
                            "CHECK EXPRESSION FAIL 4 0\n"
                            "ERROR d 0\n"
                            "PRINT e 0\n"
                            "VALUE \"\\\"failed\\\"\" \"failed\"\n"
                            "PRINTED\n"
                            "RECOVER 3\n"
                            "PRINT 5 0\n"
                            "VALUE \"\\\"x\\\"\" \"x\"\n"
                            "VALUE \"x\" \"line1\\nline2\"\n"
                            "PRINTED\n"
                            "STUB b 0\n"
                            "RETURN 0\n"
                            "COMMENT c 0\n"
                            "CHECK STUB PASS 9 0\n"
                            "CHECK EXCEPTION FAIL 6 0\n"
                            "ERROR 0 0\n"
                            "RECOVER 3\n"
                            "LEAVE CASE\n"
                            "ENTER SUITE f 0 f 0\n"
                            "ENTER CASE 10 0 10 0\n"
                            "CHECK EXPRESSION PASS 11 0\n"
                            "LEAVE CASE\n"
                            "LEAVE SUITE\n"
                            "LEAVE CLASS\n"
                            "END 2 1 5 2\n";

TEST(TextReport, SaysWhenNothingRanAndWhenTheEndLineCountsOtherwise)
{
    auto built = build("END 1 0 0 0\n");
    ASSERT_TRUE(built->ok) << built->error;
    EXPECT_TRUE(built->run.countsDiffer());
    EXPECT_EQ(formatTextReport(built->run),
              "Test run run.trace\n"
              "Source file 0: /src/lift.otd (lift.otd01.ots, lift.otd01.tsf)\n"
              "\n"
              "No test component was run.\n"
              "\n"
              "The END line (run.trace:4) counts 1 test case (0 failed) and 0 checks (0 failed).\n"
              "PASSED: 0 test cases (0 passed, 0 failed), 0 checks (0 passed, 0 failed)\n");
}

// A crashed or hostile run may leave any depth of ENTER lines: every writer
// copes up to the limit, and a deeper trace is refused, never a crash.
TEST(Run, DeepNestingIsReportedUpToTheLimitAndRefusedBeyondIt)
{
    std::string suites;
    for (int level = 0; level < 1000; level++)
        suites += "ENTER SUITE f 0 f 0\n";
    auto built = build(suites);
    ASSERT_TRUE(built->ok) << built->error;
    EXPECT_EQ(built->run.counts.unfinished, 1000u);
    EXPECT_NE(formatTextReport(built->run).find("FAILED"), std::string::npos);
    EXPECT_NE(formatJUnit(built->run).find("</testsuites>"), std::string::npos);
    EXPECT_NE(formatHtml(built->run, PageSources()).find("</html>"), std::string::npos);
    for (int level = 1000; level < 100000; level++)
        suites += "ENTER SUITE f 0 f 0\n";
    built = build(suites);
    EXPECT_FALSE(built->ok);
    EXPECT_EQ(built->error, "run.trace:1004: components and stub calls nest more than 1000 deep, which no harness does");
}

TEST(Run, PassesWhenEverythingPassedAndTheRunEnded)
{
    auto built = build("ENTER SUITE f 0 f 0\nENTER CASE 10 0 10 0\nCHECK EXPRESSION PASS 11 0\nLEAVE CASE\n"
                       "LEAVE SUITE\nEND 1 0 1 0\n");
    ASSERT_TRUE(built->ok) << built->error;
    EXPECT_TRUE(built->run.passed());
    EXPECT_EQ(countText(built->run.counts), "1 test case (1 passed, 0 failed), 1 check (1 passed, 0 failed)");
}

// Only the test case an UNEXPECTED names fails; a PROC's handler catching
// the exception fails the PROC and what encloses it but not the test case.
TEST(Run, UnexpectedExceptionsFailTheTestCaseTheyEscapedFrom)
{
    auto built = build("ENTER CLASS 2 0 2 0\n"
                       "ENTER CASE 3 0 3 0\n"
                       "ENTER PROC 7 0 7 0\n"
                       "UNEXPECTED 7 0\n"
                       "THROWN \"std::out_of_range\" \"vector::at\\n\"\n"
                       "LEAVE PROC\n"
                       "LEAVE CASE\n"
                       "ENTER CASE 10 0 10 0\n"
                       "UNEXPECTED 10 0\n"
                       "LEAVE CASE\n"
                       "LEAVE CLASS\n"
                       "END 2 2 0 0\n");
    ASSERT_TRUE(built->ok) << built->error;
    const Item &lift = *built->run.root.children[0];
    const Item &up = *lift.children[0], &move = *up.children[0], &down = *lift.children[1];
    EXPECT_TRUE(lift.failed);
    EXPECT_TRUE(up.failed);
    EXPECT_TRUE(move.failed);
    EXPECT_TRUE(down.failed);
    EXPECT_FALSE(built->run.countsDiffer());
    EXPECT_FALSE(built->run.passed());
    std::string report = formatTextReport(built->run);
    EXPECT_NE(report.find("      lift.otd:8: unexpected exception in PROC move: std::out_of_range: vector::at\\n\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("    lift.otd:15: unexpected exception in TEST CASE Down\n"), std::string::npos) << report;
    EXPECT_NE(formatJUnit(built->run).find("<testcase name=\"Lift.Up\" classname=\"Lift\">\n      <failure message="
                                           "\"lift.otd:8: unexpected exception in PROC move: std::out_of_range"),
              std::string::npos);
    EXPECT_NE(report.find("FAILED: 2 test cases (0 passed, 2 failed), 0 checks (0 passed, 0 failed), "
                          "2 unexpected exceptions\n"),
              std::string::npos)
        << report;
}

TEST(Run, AFailedCheckInAStubCallFailsTheTestCaseAroundIt)
{
    auto built = build("ENTER CASE 3 0 3 0\nSTUB b 0\nCHECK EXPRESSION FAIL 4 0\nRETURN 0\nLEAVE CASE\nEND 1 1 1 1\n");
    ASSERT_TRUE(built->ok) << built->error;
    EXPECT_TRUE(built->run.root.children[0]->failed);
    EXPECT_EQ(built->run.counts.casesFailed, 1u);
}

TEST(Run, LeaveEndsWhatWasOpenedInsideAndLeftOpen)
{
    auto built = build("ENTER CLASS 2 0 2 0\nENTER CASE 3 0 3 0\nSTUB b 0\nLEAVE CLASS\nEND 1 0 0 0\n");
    ASSERT_TRUE(built->ok) << built->error;
    const Item &lift = *built->run.root.children[0];
    EXPECT_TRUE(lift.finished);
    EXPECT_FALSE(lift.children[0]->finished);
    EXPECT_EQ(built->run.counts.casesUnfinished, 1u);
    EXPECT_FALSE(built->run.passed());
}

std::string refusal(const std::string &events)
{
    auto built = build(events);
    EXPECT_FALSE(built->ok);
    return built->error;
}

TEST(Run, RefusesEventsThatDoNotFitTheRecords)
{
    EXPECT_EQ(refusal("ENTER CASE 99 0 99 0\n"),
              "run.trace:4: element 99h is not in the records of source file 0 (lift.otd)");
    EXPECT_EQ(refusal("ENTER CASE 4 0 4 0\n"), "run.trace:4: element 4h is a CHECK (lift.otd:3), not a TEST CASE");
    EXPECT_EQ(refusal("CHECK PROPERTY PASS 4 0\n"),
              "run.trace:4: element 4h is a CHECK (lift.otd:3), not a CHECK PROPERTY element");
    EXPECT_EQ(refusal("ERROR 3 0\n"), "run.trace:4: element 3h is a TEST CASE (lift.otd:2), not an ON ERROR");
    EXPECT_EQ(refusal("UNEXPECTED 5 0\n"), "run.trace:4: element 5h is a PRINT (lift.otd:4), not a test component");
}

TEST(Run, RefusesEventsThatDoNotNest)
{
    EXPECT_EQ(refusal("ENTER CLASS 2 0 2 0\nLEAVE SUITE\n"),
              "run.trace:5: LEAVE TEST SUITE without an open TEST SUITE");
    EXPECT_EQ(refusal("VALUE \"x\" \"1\"\n"), "run.trace:4: VALUE outside a PRINT");
    EXPECT_EQ(refusal("PRINTED\n"), "run.trace:4: PRINTED without a PRINT");
    EXPECT_EQ(refusal("ENTER CASE 3 0 3 0\nRETURN 0\n"), "run.trace:5: RETURN without a STUB call");
}

TEST(JUnit, EscapesNamesAndReplacesBytesThatAreNoUtf8)
{
    std::string ots = testing::liftOts;
    ots.replace(ots.find("\"Up\""), 4, "\"U&p<\\\"\xff>\x01\"");
    auto built = build("ENTER CASE 3 0 3 0\nLEAVE CASE\nEND 1 0 0 0\n", ots);
    ASSERT_TRUE(built->ok) << built->error;
    std::string xml = formatJUnit(built->run);
    EXPECT_NE(xml.find("<testcase name=\"U&amp;p&lt;\\&quot;\xef\xbf\xbd&gt;\\x01\""), std::string::npos) << xml;
}

} // namespace
} // namespace zepreport
