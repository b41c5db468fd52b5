// The trace reader: every event of format version 1, the lines of later
// versions it skips, and the refusal of broken and hostile files.
#include "report/trace.h"

#include <gtest/gtest.h>

namespace zepreport {
namespace {

const std::string head = "ZEPTRACE 1\nINIT 0 f4240 1e8480\nFILE 0 1234 5678\nFILE 1 9abc def0\n";

Trace parsed(const std::string &text)
{
    Trace trace;
    std::string error;
    EXPECT_TRUE(parseTrace(text, "run.trace", trace, error)) << error;
    return trace;
}

std::string refusal(const std::string &text)
{
    Trace trace;
    std::string error;
    EXPECT_FALSE(parseTrace(text, "run.trace", trace, error));
    return error;
}

TEST(Trace, ReadsTheSourceFilesAndTheEnd)
{
    Trace trace = parsed(head + "END 3 1 12 2\n");
    ASSERT_EQ(trace.files.size(), 2u);
    EXPECT_EQ(trace.files[1].checksumA, 0x9abcu);
    EXPECT_EQ(trace.files[1].checksumB, 0xdef0u);
    EXPECT_EQ(trace.files[1].line, 4u);
    EXPECT_TRUE(trace.ended);
    EXPECT_EQ(trace.endLine, 5u);
    EXPECT_EQ(trace.lineCount, 5u);
    EXPECT_EQ(trace.end.cases, 3u);
    EXPECT_EQ(trace.end.casesFailed, 1u);
    EXPECT_EQ(trace.end.checks, 12u);
    EXPECT_EQ(trace.end.checksFailed, 2u);
}

TEST(Trace, ReadsEveryEventWithItsFields)
{
    Trace trace = parsed(head + "ENTER CASE 1a 1 2b 0\n"
                                "LEAVE PROC\n"
                                "CHECK STUB FAIL 3c 1\n"
                                "ERROR 0 1\n"
                                "RECOVER 1a\n"
                                "UNEXPECTED 1a 0\n"
                                "PRINT 4d 0\n"
                                "VALUE \"s[\\\"k\\\"]\" \"a\\\\b\\n\\tc\\r\"\n"
                                "PRINTED\n"
                                "COMMENT 5e 1\n"
                                "STUB 6f 0\n"
                                "RETURN 1\n");
    ASSERT_EQ(trace.events.size(), 12u);
    EXPECT_FALSE(trace.ended);
    const Event &enter = trace.events[0];
    EXPECT_EQ(enter.type, EventType::Enter);
    EXPECT_EQ(enter.line, 5u);
    EXPECT_EQ(enter.component, ComponentKind::Case);
    EXPECT_EQ(enter.id, 0x1au);
    EXPECT_EQ(enter.file, 1u);
    EXPECT_EQ(enter.runner, 0x2bu);
    EXPECT_EQ(enter.runnerFile, 0u);
    EXPECT_EQ(trace.events[1].component, ComponentKind::Proc);
    const Event &check = trace.events[2];
    EXPECT_EQ(check.check, CheckKind::Stub);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.id, 0x3cu);
    EXPECT_EQ(trace.events[3].type, EventType::Error);
    EXPECT_EQ(trace.events[3].id, 0u);
    EXPECT_EQ(trace.events[4].type, EventType::Recover);
    EXPECT_EQ(trace.events[5].type, EventType::Unexpected);
    const Event &value = trace.events[7];
    EXPECT_EQ(value.type, EventType::Value);
    EXPECT_EQ(value.expression, "s[\"k\"]");
    EXPECT_EQ(value.value, "a\\b\n\tc\r");
    EXPECT_EQ(trace.events[8].type, EventType::Printed);
    EXPECT_EQ(trace.events[9].type, EventType::Comment);
    EXPECT_EQ(trace.events[10].type, EventType::Stub);
    EXPECT_EQ(trace.events[11].type, EventType::Return);
    EXPECT_EQ(trace.events[11].file, 1u);
}

TEST(Trace, SkipsEventsOfLaterVersions)
{
    Trace trace = parsed(head + "TIMESTAMP 12 \"whatever\"\nCOMMENT 5e 1\n");
    ASSERT_EQ(trace.events.size(), 1u);
    EXPECT_EQ(trace.events[0].line, 6u);
}

TEST(Trace, RefusesFilesThatAreNoTraces)
{
    EXPECT_EQ(refusal(""), "run.trace: empty file, not a trace");
    EXPECT_EQ(refusal("DB \"Okvar-Tracer\"\n"), "run.trace:1: not a trace file (the first line is not \"ZEPTRACE 1\")");
    EXPECT_EQ(refusal("ZEPTRACE 2\n"), "run.trace:1: trace format version 2 is not supported (this zepreport reads version 1)");
    EXPECT_EQ(refusal("ZEPTRACE 1"), "run.trace:1: the line is cut off (no line feed at its end)");
}

TEST(Trace, RefusesATruncatedLastLine)
{
    EXPECT_EQ(refusal(head + "CHECK EXPRESSION PA"), "run.trace:5: the line is cut off (no line feed at its end)");
}

TEST(Trace, RefusesBadFieldsNamingLineAndField)
{
    EXPECT_EQ(refusal(head + "CHECK EXPRESSION PASS 1A 0\n"),
              "run.trace:5: CHECK: the element must be a lower-case hexadecimal number, not \"1A\"");
    EXPECT_EQ(refusal(head + "CHECK EXPRESSION  PASS 1a 0\n"),
              "run.trace:5: CHECK: fields must be separated by one space before the verdict");
    EXPECT_EQ(refusal(head + "CHECK EXPRESSION MAYBE 1a 0\n"), "run.trace:5: CHECK: the verdict \"MAYBE\" is not known");
    EXPECT_EQ(refusal(head + "ENTER CASE 1a 0 2b\n"), "run.trace:5: ENTER: the line ends before the runner's file index");
    EXPECT_EQ(refusal(head + "LEAVE CASE 1a\n"), "run.trace:5: LEAVE: unexpected text after the last field: \" 1a\"");
    EXPECT_EQ(refusal(head + "ENTER CASE 10000000000000000 0 1 0\n"),
              "run.trace:5: ENTER: the element \"10000000000000000\" is too large");
    EXPECT_EQ(refusal(head + "VALUE \"x\" \"1\\q\"\n"), "run.trace:5: VALUE: the value holds the unknown escape \\q");
    EXPECT_EQ(refusal(head + "VALUE \"x\" \"1\n"), "run.trace:5: VALUE: the value has no closing double quote");
    EXPECT_EQ(refusal(head + "VALUE \"x\"\n"), "run.trace:5: VALUE: the line ends before the value");
    EXPECT_EQ(refusal(head + "\n"), "run.trace:5: empty line");
    EXPECT_EQ(refusal(head + "check 1\n"), "run.trace:5: not a trace event: \"check\"");
    EXPECT_EQ(refusal(head + std::string("\x01\xfe\0 1\n", 6)), "run.trace:5: not a trace event: \"\\x01\xfe\\x00\"");
}

TEST(Trace, RefusesEventsOutOfTheirPlace)
{
    EXPECT_EQ(refusal("ZEPTRACE 1\nFILE 0 1 2\n"), "run.trace:2: FILE before INIT");
    EXPECT_EQ(refusal("ZEPTRACE 1\nINIT 0 f4240 1e8480\nINIT 0 f4240 1e8480\n"), "run.trace:3: a second INIT");
    EXPECT_EQ(refusal("ZEPTRACE 1\nINIT 0 0 0\n"),
              "run.trace:2: INIT: the number bases 0h 0h 0h are not those of the record files (0h f4240h 1e8480h)");
    EXPECT_EQ(refusal(head + "FILE 3 1 2\n"), "run.trace:5: FILE: index 3 out of order, expected 2");
    EXPECT_EQ(refusal(head + "FILE 2 100000000 2\n"), "run.trace:5: FILE: a checksum word must fit 32 bits");
    EXPECT_EQ(refusal(head + "PRINT 4d 2\n"), "run.trace:5: file index 2 was not declared by a FILE line");
    EXPECT_EQ(refusal(head + "ENTER CASE 1 0 2 5\n"), "run.trace:5: runner's file index 5 was not declared by a FILE line");
    EXPECT_EQ(refusal(head + "END 1 2 0 0\n"), "run.trace:5: END: more failures than test cases or checks");
    EXPECT_EQ(refusal(head + "END 1 0 1 0\nCOMMENT 5e 1\n"), "run.trace:6: COMMENT after the END of the run");
}

TEST(Trace, RefusesAHugeLineWithoutReadingItAll)
{
    std::string huge = head + "VALUE \"x\" \"" + std::string((16u << 20) + 10, 'v') + "\"\n";
    EXPECT_EQ(refusal(huge), "run.trace:5: the line is longer than 16 MiB");
}

TEST(Trace, ReportsAMissingFile)
{
    Trace trace;
    std::string error;
    EXPECT_FALSE(readTrace("/nonexistent/run.trace", trace, error));
    EXPECT_EQ(error, "/nonexistent/run.trace: cannot open the trace file");
}

} // namespace
} // namespace zepreport
