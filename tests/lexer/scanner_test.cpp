// The scanner on texts: token codes, texts, spans and lexical messages.
#include "lexer/lexer.h"
#include "test_support.h"

#include <cstring>
#include <sstream>
#include <vector>

namespace {

// One scan call's outcome, printed as "code text b.line,b.col-e.line,e.col"
// or "failed" for a failed call.
using Outcome = std::string;

std::string describe(int result, const Token &token)
{
    if (result == SCAN_FAILED)
        return "failed";
    std::ostringstream text;
    text << token.code << " [" << token.text << "] " << token.span.beginLine << ',' << token.span.beginColumn << '-'
         << token.span.endLine << ',' << token.span.endColumn;
    return text.str();
}

class Scanner : public RunState {
protected:
    // Scans source to its end; messages go to errors.
    std::vector<Outcome> scan(const std::string &source)
    {
        std::vector<Outcome> outcomes;
        run->errorCount = 0; // below the message limit again
        errors = captureStderr([&] {
            open(source);
            for (int calls = 0; calls < 1000; calls++) {
                Token token{};
                int result = nextToken(&stream, &token);
                if (result == SCAN_END)
                    break;
                outcomes.push_back(describe(result, token));
            }
        });
        return outcomes;
    }

    void open(const std::string &source)
    {
        bytes.assign(source.begin(), source.end());
        stream = ScanStream{run, bytes.data(), bytes.size(), 0, 1, 1, "t.otd"};
    }

    std::vector<char> bytes;
    ScanStream stream{};
    std::string errors;
};

const std::string LEXICAL = "zepprepro - lexical error: t.otd:";

TEST_F(Scanner, PairsJoinTheirWordsAsSpelt)
{
    EXPECT_EQ(scan("Test Case"), (std::vector<Outcome>{"1002 [Test Case] 1,1-1,9"}));
    EXPECT_EQ(scan("TEST\n  CASE x"), (std::vector<Outcome>{"1002 [TEST CASE] 1,1-2,6", "9500 [x] 2,8-2,8"}));
    EXPECT_EQ(scan("test class test suite single Class"),
              (std::vector<Outcome>{"1000 [test class] 1,1-1,10", "1001 [test suite] 1,12-1,21",
                                    "1050 [single Class] 1,23-1,34"}));
    EXPECT_EQ(scan("check exception CHECK property check stub check method On Error"),
              (std::vector<Outcome>{"1100 [check exception] 1,1-1,15", "1101 [CHECK property] 1,17-1,30",
                                    "1102 [check stub] 1,32-1,41", "1103 [check method] 1,43-1,54",
                                    "1300 [On Error] 1,56-1,63"}));
    // Skipped comments may stand between the words; a kept one may not.
    EXPECT_EQ(scan("test // x\n /* y */ case"), (std::vector<Outcome>{"1002 [test case] 1,1-2,13"}));
    EXPECT_EQ(scan("test /** d */ case"),
              (std::vector<Outcome>{"9500 [test] 1,1-1,4", "8003 [ d ] 1,6-1,13", "9500 [case] 1,15-1,18"}));
    EXPECT_EQ(errors, "");
}

TEST_F(Scanner, AFirstWordAloneIsScannedAgainFromTheNextToken)
{
    // The look-ahead scan must not capture the expression or the string.
    EXPECT_EQ(scan("test (a b)"), (std::vector<Outcome>{"9500 [test] 1,1-1,4", "8001 [a b] 1,6-1,10"}));
    EXPECT_EQ(scan("check \"x\""), (std::vector<Outcome>{"9000 [check] 1,1-1,5", "8000 [x] 1,7-1,9"}));
    EXPECT_EQ(scan("on on error"), (std::vector<Outcome>{"9500 [on] 1,1-1,2", "1300 [on error] 1,4-1,11"}));
    EXPECT_EQ(scan("single\nx"), (std::vector<Outcome>{"9500 [single] 1,1-1,6", "9500 [x] 2,1-2,1"}));
    EXPECT_EQ(scan("test"), (std::vector<Outcome>{"9500 [test] 1,1-1,4"}));
    // A failing second word is reported and the first is delivered alone.
    EXPECT_EQ(scan("test $"), (std::vector<Outcome>{"9500 [test] 1,1-1,4"}));
    EXPECT_EQ(errors, LEXICAL + "1: The use of `$' is not allowed here.\n");
}

TEST_F(Scanner, KeywordsIgnoreCaseAndPairWordsAloneAreNames)
{
    EXPECT_EQ(scan("suite case exception method error Class Property stub CHECK"),
              (std::vector<Outcome>{"9500 [suite] 1,1-1,5", "9500 [case] 1,7-1,10", "9500 [exception] 1,12-1,20",
                                    "9500 [method] 1,22-1,27", "9500 [error] 1,29-1,33", "9601 [Class] 1,35-1,39",
                                    "9001 [Property] 1,41-1,48", "9002 [stub] 1,50-1,53",
                                    "9000 [CHECK] 1,55-1,59"}));
    std::vector<Outcome> words = scan("PRINT bypass Call continue ensure exit invariant Proc require wrap run "
                                      "include prologue EPILOGUE state transition to");
    std::vector<uint32_t> codes;
    for (const Outcome &outcome : words)
        codes.push_back(static_cast<uint32_t>(std::stoul(outcome)));
    EXPECT_EQ(codes, (std::vector<uint32_t>{1400, 1401, 1402, 1404, 1406, 1407, 1409, 1411, 1413, 1418, 1419, 1420,
                                            1430, 1431, 1436, 1437, 1438}));
}

TEST_F(Scanner, WordsHaveNoNumbersAndPlusIsAWordCharacter)
{
    EXPECT_EQ(scan("a+b 42 3x -1 3.14 x_1"),
              (std::vector<Outcome>{"9500 [a+b] 1,1-1,3", "9500 [42] 1,5-1,6", "9500 [3x] 1,8-1,9",
                                    "5019 [-] 1,11-1,11", "9500 [1] 1,12-1,12", "9500 [3] 1,14-1,14",
                                    "5010 [.] 1,15-1,15", "9500 [14] 1,16-1,17", "9500 [x_1] 1,19-1,21"}));
    // A last word without a line end is still a keyword.
    EXPECT_EQ(scan("x\nproc"), (std::vector<Outcome>{"9500 [x] 1,1-1,1", "1411 [proc] 2,1-2,4"}));
}

TEST_F(Scanner, SlashComments)
{
    EXPECT_EQ(scan("// x { \"\ny"), (std::vector<Outcome>{"9500 [y] 2,1-2,1"}));
    EXPECT_EQ(scan("/* a\n b */z"), (std::vector<Outcome>{"9500 [z] 2,6-2,6"}));
    EXPECT_EQ(scan("/** doc\n text */"), (std::vector<Outcome>{"8003 [ doc  text ] 1,1-2,8"}));
    // The '*' that makes it a documentation comment cannot also close it.
    EXPECT_EQ(scan("/**/ x */y"), (std::vector<Outcome>{"8003 [/ x ] 1,1-1,9", "9500 [y] 1,10-1,10"}));
    EXPECT_EQ(scan("/***/"), (std::vector<Outcome>{"8003 [] 1,1-1,5"}));
    EXPECT_EQ(scan("/*/ x */"), (std::vector<Outcome>{}));
    EXPECT_EQ(scan("x // at the end"), (std::vector<Outcome>{"9500 [x] 1,1-1,1"}));
    EXPECT_EQ(errors, "");
}

TEST_F(Scanner, FaultySlashComments)
{
    EXPECT_EQ(scan("/x y"), (std::vector<Outcome>{"failed", "9500 [y] 1,4-1,4"}));
    EXPECT_EQ(errors, LEXICAL + "1: `//', '/*' or '/**' expected instead of `x'.\n");
    // The line feed is left for the next call.
    EXPECT_EQ(scan("/\ny"), (std::vector<Outcome>{"failed", "9500 [y] 2,1-2,1"}));
    EXPECT_EQ(errors, LEXICAL + "1: `//', '/*' or '/**' expected instead of `RETURN'.\n");
    EXPECT_EQ(scan("/"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `//', '/*' or '/**' expected instead of `EOF'.\n");
    EXPECT_EQ(scan("/* open\n\n"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "3: `*/' expected instead of `EOF'.\n");
    EXPECT_EQ(scan("/** open"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `*/' expected instead of `EOF'.\n");
}

TEST_F(Scanner, StringLiterals)
{
    EXPECT_EQ(scan("\"a\\\"b\""), (std::vector<Outcome>{"8000 [a\\\"b] 1,1-1,6"}));
    EXPECT_EQ(scan("\"a\\\\\"b"), (std::vector<Outcome>{"8000 [a\\\\] 1,1-1,5", "9500 [b] 1,6-1,6"}));
    EXPECT_EQ(scan("\"x\ry\" \"\""), (std::vector<Outcome>{"8000 [x y] 1,1-1,5", "8000 [] 1,7-1,8"}));
    EXPECT_EQ(scan("\"/* not a comment */\""), (std::vector<Outcome>{"8000 [/* not a comment */] 1,1-1,21"}));
    EXPECT_EQ(errors, "");
}

TEST_F(Scanner, UnterminatedStringsContinueAtTheLineEnd)
{
    EXPECT_EQ(scan("x \"ab\ncd"), (std::vector<Outcome>{"9500 [x] 1,1-1,1", "failed", "9500 [cd] 2,1-2,2"}));
    EXPECT_EQ(errors, LEXICAL + "1: `\"' expected instead of `RETURN'.\n");
    EXPECT_EQ(scan("\"ab\\\ncd\""), (std::vector<Outcome>{"failed", "9500 [cd] 2,1-2,2", "failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `\"' expected instead of `RETURN'.\n" + LEXICAL +
                          "2: `\"' expected instead of `EOF'.\n");
}

TEST_F(Scanner, CommentStatementTexts)
{
    EXPECT_EQ(scan("COMMENT\nx"), (std::vector<Outcome>{"8002 [] 1,1-1,7", "9500 [x] 2,1-2,1"}));
    EXPECT_EQ(scan("comment \t hello { world \r\nnext"),
              (std::vector<Outcome>{"8002 [hello { world ] 1,1-1,25", "9500 [next] 2,1-2,4"}));
    EXPECT_EQ(scan("COMMENT { a \n b }x"), (std::vector<Outcome>{"8003 [ a \\n b ] 1,1-2,4", "9500 [x] 2,5-2,5"}));
    EXPECT_EQ(scan("Comment {\r\n}"), (std::vector<Outcome>{"8003 [\\n] 1,1-2,1"}));
    EXPECT_EQ(scan("comment last"), (std::vector<Outcome>{"8002 [last] 1,1-1,12"}));
    EXPECT_EQ(scan("comment"), (std::vector<Outcome>{"8002 [] 1,1-1,7"}));
    EXPECT_EQ(errors, "");
    EXPECT_EQ(scan("comment { open\n"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "2: `}' expected instead of `EOF'.\n");
}

TEST_F(Scanner, NativeLinesAndBlocks)
{
    EXPECT_EQ(scan("#x = 1;\ny"), (std::vector<Outcome>{"8006 [x = 1;] 1,1-1,7", "9500 [y] 2,1-2,1"}));
    EXPECT_EQ(scan("# x\r"), (std::vector<Outcome>{"8006 [ x ] 1,1-1,4"}));
    EXPECT_EQ(scan("#\nx"), (std::vector<Outcome>{"8006 [] 1,1-1,1", "9500 [x] 2,1-2,1"}));
    EXPECT_EQ(scan("#{a\nb\r\nc}#z"), (std::vector<Outcome>{"8007 [a\nb \nc] 1,1-3,3", "9500 [z] 3,4-3,4"}));
    EXPECT_EQ(scan("#{}#"), (std::vector<Outcome>{"8007 [] 1,1-1,4"}));
    // A "#" alone ends nothing; no strings in native code: the first "}#"
    // ends the block.
    EXPECT_EQ(scan("#{ a #b }#"), (std::vector<Outcome>{"8007 [ a #b ] 1,1-1,10"}));
    EXPECT_EQ(scan("#{ s = \"}#\"; }#"), (std::vector<Outcome>{"8007 [ s = \"] 1,1-1,10", "failed"}));
    EXPECT_EQ(scan("c++#{ a(); }#"), (std::vector<Outcome>{"8009 [ a(); ] 1,1-1,13"}));
    EXPECT_EQ(scan("C++#{x}#"), (std::vector<Outcome>{"8009 [x] 1,1-1,8"}));
    EXPECT_EQ(scan("c++# line\nJava#y\njava#{y}#"),
              (std::vector<Outcome>{"8008 [ line] 1,1-1,9", "8010 [y] 2,1-2,6", "8011 [y] 3,1-3,9"}));
    EXPECT_EQ(scan("c++#"), (std::vector<Outcome>{"8008 [] 1,1-1,4"}));
}

TEST_F(Scanner, FaultyNativeCode)
{
    EXPECT_EQ(scan("c++ #"), (std::vector<Outcome>{"failed", "failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `c++#' or 'c++#{' expected instead of ` '.\n" + LEXICAL +
                          "1: `#' or '#{' expected instead of `EOF'.\n");
    EXPECT_EQ(scan("java\nx"), (std::vector<Outcome>{"failed", "9500 [x] 2,1-2,1"}));
    EXPECT_EQ(errors, LEXICAL + "1: `java#' or 'java#{' expected instead of `RETURN'.\n");
    EXPECT_EQ(scan("c++"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `c++#' or 'c++#{' expected instead of `EOF'.\n");
    EXPECT_EQ(scan("#{ open\n}"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "2: `}#' expected instead of `EOF'.\n");
}

TEST_F(Scanner, ParenthesisedExpressions)
{
    EXPECT_EQ(scan("(a, (b), \")\")"), (std::vector<Outcome>{"8001 [a, (b), \")\"] 1,1-1,13"}));
    EXPECT_EQ(scan("('(')"), (std::vector<Outcome>{"8001 ['('] 1,1-1,5"}));
    EXPECT_EQ(scan("(\"it's (\") x"), (std::vector<Outcome>{"8001 [\"it's (\"] 1,1-1,10", "9500 [x] 1,12-1,12"}));
    EXPECT_EQ(scan("(a\\)b)"), (std::vector<Outcome>{"8001 [a\\)b] 1,1-1,6"}));
    EXPECT_EQ(scan("(a\n\r b)c"), (std::vector<Outcome>{"8001 [a   b] 1,1-2,4", "9500 [c] 2,5-2,5"}));
    EXPECT_EQ(errors, "");
}

TEST_F(Scanner, FaultyExpressions)
{
    // A blank expression is reported and still delivered.
    EXPECT_EQ(scan("()"), (std::vector<Outcome>{"8001 [] 1,1-1,2"}));
    EXPECT_EQ(errors, LEXICAL + "1: Correct native expression expected.\n");
    EXPECT_EQ(scan("( \n\t)"), (std::vector<Outcome>{"8001 [  \t] 1,1-2,2"}));
    EXPECT_EQ(errors, LEXICAL + "2: Correct native expression expected.\n");
    EXPECT_EQ(scan("(x\n"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "2: `)' expected instead of `EOF'.\n");
    EXPECT_EQ(scan("(\"x)"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: `)' expected instead of `EOF'.\n");
}

TEST_F(Scanner, Signatures)
{
    std::string source = "  int f(int a)\n  {";
    open(source);
    stream.offset = source.size();
    Token token{};
    ASSERT_EQ(captureSignature(&stream, &token, ScanMark{0, 1, 1}, source.size() - 1), SCAN_TOKEN);
    EXPECT_STREQ(token.text, "int f(int a)");
    EXPECT_EQ(token.code, static_cast<uint32_t>(KIND_SIGNATURE));
    EXPECT_EQ(stream.line, 2u);
    EXPECT_EQ(stream.column, 3u);

    source = "S : \r\n int f(// {\n\tint a /* x */)\r\n ;";
    open(source);
    token.span.beginLine = 9;
    ASSERT_EQ(captureSignature(&stream, &token, ScanMark{3, 4, 4}, source.find(';')), SCAN_TOKEN);
    EXPECT_STREQ(token.text, "int f(// {\n\tint a /* x */)");
    EXPECT_EQ(stream.line, 7u);
    EXPECT_EQ(token.span.endLine, 7u);
    EXPECT_EQ(token.span.endColumn, 1u);
    EXPECT_EQ(token.span.beginLine, 9u);

    ASSERT_EQ(captureSignature(&stream, &token, ScanMark{2, 1, 3}, 2), SCAN_TOKEN);
    EXPECT_STREQ(token.text, "");

    errors = captureStderr(
        [&] { EXPECT_EQ(captureSignature(&stream, &token, ScanMark{source.size() + 1, 1, 1}, 0), SCAN_FAILED); });
    EXPECT_EQ(errors, LEXICAL + "1: Error while seeking in the file before `Signature'.\n");
}

TEST_F(Scanner, MemoryFailuresAreReportedOnce)
{
    // The scratch buffer of a capture (the quote itself is pooled first).
    scan("\"x\"");
    failAllocation(1);
    // What follows the quote is then scanned as it comes.
    EXPECT_EQ(scan("\"abc\""), (std::vector<Outcome>{"failed", "9500 [abc] 1,2-1,4", "failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: Not enough memory to allocate another token.\n" + LEXICAL +
                          "1: `\"' expected instead of `EOF'.\n");
    // Its growth past the first block keeps the text read so far.
    std::string body(3000, 'b');
    failAllocation(2);
    EXPECT_EQ(scan("\"" + body + "\""), (std::vector<Outcome>{"failed", "9500 [" + body.substr(2048) + "]"
                                                                            " 1,2050-1,3001", "failed"}));
    EXPECT_EQ(errors.rfind(LEXICAL + "1: Not enough memory to reallocate the token `" + body.substr(0, 2047) + "'.\n", 0),
              0u);
    // The exact copy of a new text.
    failAllocation(1);
    EXPECT_EQ(scan("word"), (std::vector<Outcome>{"failed"}));
    EXPECT_EQ(errors, LEXICAL + "1: Not enough memory to create the token `word'.\n");
}

} // namespace
