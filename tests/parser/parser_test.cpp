// The parser on script files: the dump of a parsed tree, and robustness
// against truncated, very long and very deeply nested input. What
// each construct builds and says is checked through the translator's output
// by the end-to-end cases.
#include "parser/parser.h"
#include "test_support.h"

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Parser : public TreeState {
protected:
    void write(const std::string &name, const std::string &text) { directory.write(name, text); }

    // Parses a.otd holding text; its messages go to messages.
    int parseText(const std::string &text)
    {
        write("a.otd", text);
        int result = 0;
        messages = captureStderr([&] { result = parseSourceFile(run, "a.otd", root, 0, nullptr); });
        return result;
    }

    // A fresh Context and root for another parse in the same test.
    void restart()
    {
        TreeState::TearDown();
        TreeState::SetUp();
    }

    ScratchDirectory directory; // made before the Context, which reads the working directory
    std::string messages;
};

Node *child(const Node *node, int index)
{
    Node *at = node == nullptr ? nullptr : node->firstChild;
    while (at != nullptr && index-- > 0)
        at = at->nextSibling;
    return at;
}

std::vector<uint32_t> childKinds(const Node *node)
{
    std::vector<uint32_t> kinds;
    for (Node *at = node->firstChild; at != nullptr; at = at->nextSibling)
        kinds.push_back(at->kind);
    return kinds;
}

// "begin line,begin column-end line,end column"
std::string spanText(uint64_t beginLine, uint64_t beginColumn, uint64_t endLine, uint64_t endColumn)
{
    std::ostringstream text;
    text << beginLine << ',' << beginColumn << '-' << endLine << ',' << endColumn;
    return text.str();
}

std::string spanOf(const Node *node)
{
    return spanText(node->beginLine, node->beginColumn, node->endLine, node->endColumn);
}

template <typename Info> Info *payloadOf(const Node *node)
{
    EXPECT_NE(node->payload, nullptr);
    return static_cast<Info *>(node->payload);
}

std::string dumpOf(::Run *run, const Node *node)
{
    FILE *out = tmpfile();
    dumpTree(run, node, out);
    fflush(out);
    rewind(out);
    std::string text;
    for (int c; (c = fgetc(out)) != EOF;)
        text.push_back(static_cast<char>(c));
    fclose(out);
    return text;
}

// Links, depths and file numbers that must hold in any tree the parser
// leaves, whatever the input; returns the number of nodes below node.
size_t checkLinks(const Node *node)
{
    size_t count = 0;
    const Node *previous = nullptr;
    for (const Node *at = node->firstChild; at != nullptr; at = at->nextSibling) {
        count++;
        EXPECT_EQ(at->parent, node);
        EXPECT_EQ(at->prevSibling, previous);
        EXPECT_EQ(at->depth, node->kind == KIND_SCRIPT ? 0u : node->depth + 1);
        EXPECT_GE(at->fileNo, 1u);
        EXPECT_TRUE(isKnownKind(at->kind)) << at->kind;
        count += checkLinks(at);
        previous = at;
    }
    EXPECT_EQ(node->lastChild, previous);
    return count;
}

// ---------------------------------------------------------------------------
// The dump of parsed trees

TEST_F(Parser, DumpOfSuiteProcAndCase)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  PROC p (a, b) REQUIRE (a < b) {\n"
                        "    check \"ok\" (a != b);\n"
                        "    print (a, \"x, y\");\n"
                        "  } ENSURE (b > 0)\n"
                        "  TEST CASE T {\n"
                        "    ON ERROR exit;\n"
                        "    # int i = 0;\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(dumpOf(run, root), "[id=1 sid=0] SCRIPT\n"
                            "[id=2 sid=2] TEST SUITE S   (a.otd:1)\n"
                            "     [id=3 sid=3] PROC p (a, b, \b\b)    (a.otd:2)\n"
                            "          [id=4 sid=4] REQUIRE (a < b)   (a.otd:2)\n"
                            "          [id=5 sid=5] CHECK \"ok\" (a != b)   (a.otd:3)\n"
                            "          [id=6 sid=6] PRINT (a,  \"x, y\", \b\b)    (a.otd:4)\n"
                            "          [id=7 sid=7] ENSURE (b > 0)   (a.otd:5)\n"
                            "     [id=8 sid=8] TEST CASE T   (a.otd:6)\n"
                            "          [id=9 sid=9] ON ERROR EXIT   (a.otd:7)\n"
                            "          [id=10 sid=10] NATIVE CODE  int i = 0;   (a.otd:8)\n");
}

TEST_F(Parser, DumpOfIncludeAndStub)
{
    write("b.otd", "TEST SUITE B { }\n");
    EXPECT_EQ(parseText("include \"b.otd\";\nSTUB f : int f(int a) { ... }\n"), 0);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(dumpOf(run, root), "[id=1 sid=0] SCRIPT\n"
                            "[id=2 sid=2] INCLUDE b.otd   (a.otd:1)\n"
                            "[id=3 sid=3] TEST SUITE B   (b.otd:1)\n"
                            "[id=4 sid=4] STUB f : int f(int a)   (a.otd:2)\n"
                            "     [id=5 sid=5] ...   (a.otd:2)\n");
}

// ---------------------------------------------------------------------------
// Robustness: nothing may crash, whatever the input.

const char *const RICH_SCRIPT = "// a script with every construct\n"
                                "include \"b.otd\";\n"
                                "#include <x.h>\n"
                                "c++#{ int g; }#\n"
                                "STUB f : int f(int a) REQUIRE (a > 0) { ... check (a); print (a); # x\n"
                                "  COMMENT stub\n"
                                "} ENSURE (a < 9)\n"
                                "TEST CLASS Base (p, q) {\n"
                                "  PROC pr (a) REQUIRE (a) { call x (1, \"s,\"); } ENSURE (a)\n"
                                "  property Size (n) { (n > 0) (n < 10) }\n"
                                "  prologue { print (p); } epilogue { COMMENT { two\nlines } }\n"
                                "  ON ERROR { print (\"e\"); } bypass T1;\n"
                                "  TEST CASE T1 {\n"
                                "    check \"l\" (a == (b));\n"
                                "    CHECK PROPERTY \"p\" Size (3);\n"
                                "    CHECK EXCEPTION (E &e) { print (e); /** d */ }\n"
                                "    CHECK STUB f { check (1); }\n"
                                "    CHECK STUB f;\n"
                                "    java#{ x(); }#\n"
                                "  }\n"
                                "  run { T1; Base.T1(1, 2); }\n"
                                "}\n"
                                "TEST CLASS D (x) : Base (x, <a, b>) { TEST SUITE S { TEST CASE c { } } }\n"
                                "TEST SUITE Top { TEST CASE c2 { print ('a', \"b\\\"c\"); } ON ERROR exit; }\n"
                                "ON ERROR continue;\n"
                                "run { D; Top.c2; }\n";

TEST_F(Parser, EveryPrefixOfARichScript)
{
    write("b.otd", "TEST SUITE Inc { TEST CASE i { } }\n");
    std::string script = RICH_SCRIPT;
    // The whole script is clean.
    EXPECT_EQ(parseText(script), 0);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_INCLUDE, KIND_TEST_SUITE, KIND_NATIVE_LINE, KIND_CPP_BLOCK,
                                                       KIND_STUB, KIND_TEST_CLASS, KIND_TEST_CLASS, KIND_TEST_SUITE,
                                                       KIND_ON_ERROR, KIND_RUN}));
    for (size_t length = 0; length < script.size(); length++) {
        restart();
        write("a.otd", script.substr(0, length));
        captureStderr([&] { parseSourceFile(run, "a.otd", root, 0, nullptr); });
        checkLinks(root);
        if (HasFailure())
            FAIL() << "prefix of " << length << " bytes";
    }
}

TEST_F(Parser, MegabyteLines)
{
    const std::string mega(1 << 20, 'a');
    std::string script = "TEST SUITE S {\n  TEST CASE T {\n    check (" + mega + ");\n    #" + mega +
                         "\n    COMMENT " + mega + "\n    call " + mega + ";\n  }\n}\nrun { " + mega + "; }\n";
    EXPECT_EQ(parseText(script), 0);
    EXPECT_EQ(messages, "");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_CHECK, KIND_NATIVE_LINE, KIND_COMMENT_LINE, KIND_CALL}));
    EXPECT_EQ(strlen(payloadOf<CheckInfo>(child(testCase, 0))->condition), mega.size());
    EXPECT_EQ(strlen(child(testCase, 1)->name), mega.size());
    EXPECT_EQ(strlen(child(testCase, 3)->name), mega.size());
    EXPECT_EQ(spanOf(child(testCase, 0)), spanText(3, 5, 3, 13 + mega.size()));
    EXPECT_EQ(strlen(child(child(root, 1), 0)->name), mega.size());

    // A one-line file without any line end.
    restart();
    EXPECT_EQ(parseText("TEST SUITE " + mega + " { TEST CASE " + mega + " { print (" + mega + "); } }"), 0);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(strlen(child(root, 0)->name), mega.size());
}

TEST_F(Parser, VeryDeepNestingStopsWithAFatalMessage)
{
    for (const char *opening : {"TEST SUITE s {\n", "TEST CLASS c {\n"}) {
        restart();
        std::string script;
        for (int i = 0; i < 100000; i++)
            script += opening;
        parseText(script);
        EXPECT_NE(messages.find("zepprepro - fatal: "), std::string::npos) << opening;
        EXPECT_GE(run->errorCount, 1u);
        checkLinks(root);
    }
    // The limit itself: a few blocks past it already stop the parse.
    restart();
    std::string script;
    for (uint64_t i = 0; i < NESTING_LIMIT + 2; i++)
        script += "TEST SUITE s {\n";
    parseText(script);
    EXPECT_NE(messages.find("blocks nested more than 512 deep"), std::string::npos);
}

} // namespace
