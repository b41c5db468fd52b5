// The parser on script files: the nodes each construct builds (kinds, names,
// payloads, depths, spans, file numbers), the messages of faulty scripts and
// how reading goes on after them, the dump of a parsed tree, and robustness
// against truncated, random, very long and very deeply nested input.
#include "parser/parser.h"
#include "test_support.h"

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string SYNTAX = "zepprepro - syntax error: ./a.otd:";

class Parser : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        scratch = std::make_unique<ScratchDirectory>();
        char real[PATH_MAX];
        ASSERT_NE(getcwd(real, sizeof real), nullptr);
        here = real;
        nextId = 2;
        currentFileNo = 1;
        otdFileCount = 0;
        makeContext();
        root = createRoot();
        ASSERT_NE(root, nullptr);
    }

    void TearDown() override
    {
        releaseTree(root);
        root = nullptr;
        RunState::TearDown();
        scratch.reset();
        nextId = 2;
        currentFileNo = 1;
        otdFileCount = 0;
    }

    void write(const std::string &name, const std::string &text) { scratch->write(name, text); }

    // Parses a command-line file; its messages go to messages.
    int parse(const std::string &name)
    {
        int result = 0;
        messages = captureStderr([&] { result = parseSourceFile(name.c_str(), root, 0, nullptr); });
        return result;
    }

    int parseText(const std::string &text)
    {
        write("a.otd", text);
        return parse("a.otd");
    }

    // A fresh Context and root for another parse in the same test.
    void restart()
    {
        releaseTree(root);
        releaseContext(context);
        context = createContext();
        ASSERT_NE(context, nullptr);
        root = createRoot();
        ASSERT_NE(root, nullptr);
        errorCount = 0;
        nextId = 2;
        currentFileNo = 1;
        otdFileCount = 0;
    }

    std::unique_ptr<ScratchDirectory> scratch;
    std::string here; // the working directory, without a final "/"
    Node *root = nullptr;
    std::string messages;
};

Node *child(const Node *node, int index)
{
    Node *at = node == nullptr ? nullptr : node->firstChild;
    while (at != nullptr && index-- > 0)
        at = at->nextSibling;
    return at;
}

int childCount(const Node *node)
{
    int count = 0;
    for (Node *at = node->firstChild; at != nullptr; at = at->nextSibling)
        count++;
    return count;
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

std::string spanOf(const SpanWords &span)
{
    return spanText(span.beginLine, span.beginColumn, span.endLine, span.endColumn);
}

std::vector<std::string> textsOf(const NameEntry *list, uint32_t tag)
{
    std::vector<std::string> texts;
    for (; list != nullptr; list = list->next) {
        EXPECT_EQ(list->tag, tag) << list->text;
        EXPECT_EQ(list->formal, nullptr);
        texts.push_back(list->text);
    }
    return texts;
}

template <typename Info> Info *payloadOf(const Node *node)
{
    EXPECT_NE(node->payload, nullptr);
    return static_cast<Info *>(node->payload);
}

std::string dumpOf(const Node *node)
{
    FILE *out = tmpfile();
    dumpTree(node, out);
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
// Test classes, suites and cases

TEST_F(Parser, ClassHeaderWithParametersBaseAndBody)
{
    EXPECT_EQ(parseText("TEST CLASS B (x, y) : A (1, f(2, 3)) {\n}\n"), 0);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(errorCount, 0u);
    ASSERT_EQ(childCount(root), 1);
    Node *cls = child(root, 0);
    EXPECT_EQ(cls->kind, KIND_TEST_CLASS);
    EXPECT_EQ(cls->name, internText("B"));
    EXPECT_EQ(cls->depth, 0u);
    EXPECT_EQ(cls->fileNo, 1u);
    EXPECT_EQ(cls->line, 1u);
    EXPECT_EQ(spanOf(cls), "1,1-2,1");
    EXPECT_STREQ(cls->fileName, "a.otd");
    EXPECT_EQ(std::string(cls->directory), here + "/./");
    EXPECT_STREQ(cls->displayPath, "./a.otd");
    EXPECT_EQ(cls->id, 2u);
    EXPECT_EQ(cls->sid, 2u);

    auto *info = payloadOf<ClassInfo>(cls);
    EXPECT_EQ(textsOf(info->parameters, TAG_NAME), (std::vector<std::string>{"x", "y"}));
    ASSERT_NE(info->base, nullptr);
    EXPECT_STREQ(info->base->text, "A");
    EXPECT_EQ(info->base->next, nullptr);
    EXPECT_EQ(info->base->resolved, nullptr);
    EXPECT_EQ(textsOf(info->base->arguments, TAG_PARAMETER), (std::vector<std::string>{"1", " f(2, 3)"}));
    EXPECT_EQ(info->resolvedBase, nullptr);
}

TEST_F(Parser, ClassWithoutBodyStopsBeforeTheNextElement)
{
    EXPECT_EQ(parseText("TEST CLASS A\nTEST SUITE S { }\n"), 0);
    EXPECT_EQ(messages, "");
    ASSERT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_TEST_CLASS, KIND_TEST_SUITE}));
    Node *cls = child(root, 0);
    EXPECT_STREQ(cls->name, "A");
    EXPECT_EQ(cls->line, 1u);
    EXPECT_EQ(cls->firstChild, nullptr);
    auto *info = payloadOf<ClassInfo>(cls);
    EXPECT_EQ(info->parameters, nullptr);
    EXPECT_EQ(info->base, nullptr);
    Node *suite = child(root, 1);
    EXPECT_STREQ(suite->name, "S");
    EXPECT_EQ(suite->payload, nullptr);
    EXPECT_EQ(suite->line, 2u);
    EXPECT_EQ(spanOf(suite), "2,1-2,16");
}

TEST_F(Parser, NestedBlocksTakeTheirParentAndDepth)
{
    EXPECT_EQ(parseText("TEST CLASS Outer {\n"
                        "  TEST CLASS Inner { }\n"
                        "  TEST SUITE S {\n"
                        "    TEST CASE T {\n"
                        "    }\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *outer = child(root, 0);
    ASSERT_EQ(childKinds(outer), (std::vector<uint32_t>{KIND_TEST_CLASS, KIND_TEST_SUITE}));
    EXPECT_EQ(spanOf(outer), "1,1-7,1");
    Node *inner = child(outer, 0);
    EXPECT_STREQ(inner->name, "Inner");
    EXPECT_EQ(inner->depth, 1u);
    EXPECT_EQ(spanOf(inner), "2,3-2,22");
    Node *suite = child(outer, 1);
    EXPECT_EQ(suite->depth, 1u);
    EXPECT_EQ(suite->line, 3u);
    EXPECT_EQ(spanOf(suite), "3,3-6,3");
    Node *testCase = child(suite, 0);
    ASSERT_NE(testCase, nullptr);
    EXPECT_EQ(testCase->kind, KIND_TEST_CASE);
    EXPECT_STREQ(testCase->name, "T");
    EXPECT_EQ(testCase->parent, suite);
    EXPECT_EQ(testCase->depth, 2u);
    EXPECT_EQ(testCase->line, 4u);
    EXPECT_EQ(spanOf(testCase), "4,5-5,5");
    checkLinks(root);
}

TEST_F(Parser, TestCaseBodyTakesEveryStatement)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    check (a == 1);\n"
                        "    CHECK PROPERTY Size;\n"
                        "    CHECK EXCEPTION (E &e) { print (e); }\n"
                        "    CHECK STUB f;\n"
                        "    call p;\n"
                        "    print (1);\n"
                        "    ON ERROR continue;\n"
                        "    # native\n"
                        "    COMMENT note\n"
                        "    /** doc */\n"
                        "    c++#{ x(); }#\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_NE(testCase, nullptr);
    EXPECT_EQ(spanOf(testCase), "2,3-14,3");
    EXPECT_EQ(childKinds(testCase),
              (std::vector<uint32_t>{KIND_CHECK, KIND_CHECK_PROPERTY, KIND_CHECK_EXCEPTION, KIND_CHECK_STUB, KIND_CALL,
                                     KIND_PRINT, KIND_ON_ERROR, KIND_NATIVE_LINE, KIND_COMMENT_LINE,
                                     KIND_COMMENT_BLOCK, KIND_CPP_BLOCK}));
    std::vector<const char *> names = {nullptr, "Size",     "E &e", "f",    "p",     "print",
                                       "ON ERROR", " native", "note", " doc ", " x(); "};
    for (int i = 0; i < childCount(testCase); i++) {
        Node *statement = child(testCase, i);
        EXPECT_EQ(statement->depth, 2u) << i;
        EXPECT_EQ(statement->fileNo, 1u) << i;
        if (names[i] == nullptr)
            EXPECT_EQ(statement->name, nullptr) << i;
        else
            EXPECT_STREQ(statement->name, names[i]) << i;
    }
    Node *exception = child(testCase, 2);
    EXPECT_EQ(exception->payload, nullptr);
    ASSERT_EQ(childKinds(exception), (std::vector<uint32_t>{KIND_PRINT}));
    EXPECT_EQ(child(exception, 0)->depth, 3u);
}

TEST_F(Parser, TestCaseInsideTestCaseIsRefusedAndTheBodyGoesOn)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE outer {\n"
                        "    Test Case inner { }\n"
                        "    check (1);\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "3: `Test Case' is not a `TEST CASE' component.\n" + SYNTAX +
                            "3: `inner' is not a `TEST CASE' component.\n" + SYNTAX +
                            "3: `{' is not a `TEST CASE' component.\n" + SYNTAX +
                            "4: `check' is not a `TEST SUITE' component.\n" + SYNTAX +
                            "4: `1' is not a `TEST SUITE' component.\n" + SYNTAX +
                            "4: `;' is not a `TEST SUITE' component.\n" + SYNTAX +
                            "6: `}' is not an `OTD script' component.\n");
    EXPECT_EQ(errorCount, 7u);
    // The inner `}' closed the outer case, so the check was read by the suite.
    Node *suite = child(root, 0);
    EXPECT_EQ(spanOf(suite), "1,1-5,3");
    Node *outer = child(suite, 0);
    EXPECT_EQ(spanOf(outer), "2,3-3,23");
    EXPECT_EQ(outer->firstChild, nullptr);
    EXPECT_EQ(childCount(suite), 1);
}

TEST_F(Parser, BaseWithoutNameInsideABlockClosesThatBlock)
{
    EXPECT_EQ(parseText("TEST CLASS O {\n  TEST CLASS C : { }\n}\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "2: `TEST CLASS' name expected instead of `{'.\n" + SYNTAX +
                            "3: `}' is not an `OTD script' component.\n");
    Node *outer = child(root, 0);
    EXPECT_EQ(outer->firstChild, nullptr);
    EXPECT_EQ(spanOf(outer), "1,1-2,20");
}

TEST_F(Parser, SuiteWithoutBraceStaysAndErrorIsAName)
{
    EXPECT_EQ(parseText("TEST SUITE S ;\nTEST SUITE error { }\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "1: `{' expected instead of `;'.\n");
    ASSERT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_TEST_SUITE, KIND_TEST_SUITE}));
    EXPECT_EQ(child(root, 0)->firstChild, nullptr);
    EXPECT_STREQ(child(root, 1)->name, "error");
}

TEST_F(Parser, BlocksOpenAtTheEndReportInnermostFirstAndStay)
{
    EXPECT_EQ(parseText("TEST CLASS A {\n  TEST SUITE S {\n    TEST CASE T {\n      check (1);\n"), 0);
    std::string once = SYNTAX + "5: `}' expected instead of `EOF'.\n";
    EXPECT_EQ(messages, once + once + once);
    EXPECT_EQ(errorCount, 3u);
    Node *testCase = child(child(child(root, 0), 0), 0);
    ASSERT_NE(testCase, nullptr);
    EXPECT_EQ(testCase->kind, KIND_TEST_CASE);
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_CHECK}));
    // Never closed: the case keeps what it got when it was built, after its
    // name was read.
    EXPECT_EQ(testCase->line, 3u);
    EXPECT_EQ(spanOf(testCase), "3,15-3,15");
}

// ---------------------------------------------------------------------------
// Procedures

TEST_F(Parser, ProcWithParametersAndConditions)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  PROC p (a, b) REQUIRE (a < b) {\n"
                        "    print (a);\n"
                        "  } ENSURE (b > 0)\n"
                        "  PROC q { }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *suite = child(root, 0);
    ASSERT_EQ(childKinds(suite), (std::vector<uint32_t>{KIND_PROC, KIND_PROC}));
    Node *p = child(suite, 0);
    EXPECT_STREQ(p->name, "p");
    EXPECT_EQ(p->depth, 1u);
    EXPECT_EQ(spanOf(p), "2,3-4,18");
    EXPECT_EQ(textsOf(payloadOf<ListInfo>(p)->list, TAG_NAME), (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(childKinds(p), (std::vector<uint32_t>{KIND_REQUIRE, KIND_PRINT, KIND_ENSURE}));

    Node *require = child(p, 0);
    EXPECT_STREQ(require->name, "a < b");
    EXPECT_EQ(require->depth, 2u);
    EXPECT_EQ(spanOf(require), "2,17-2,31");
    EXPECT_EQ(spanOf(payloadOf<ConditionInfo>(require)->span), "2,25-2,31");
    Node *ensure = child(p, 2);
    EXPECT_STREQ(ensure->name, "b > 0");
    EXPECT_EQ(ensure->depth, 2u);
    EXPECT_EQ(spanOf(ensure), "4,5-4,18");
    EXPECT_EQ(spanOf(payloadOf<ConditionInfo>(ensure)->span), "4,12-4,18");

    Node *q = child(suite, 1);
    EXPECT_EQ(payloadOf<ListInfo>(q)->list, nullptr);
    EXPECT_EQ(q->firstChild, nullptr);
    EXPECT_EQ(spanOf(q), "5,3-5,12");
}

TEST_F(Parser, RequireWithoutExpressionClosesTheEnclosingBody)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n  PROC p REQUIRE { }\nTEST SUITE R { }\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "2: `REQUIRE' expression expected instead of `{'.\n");
    EXPECT_EQ(errorCount, 1u);
    ASSERT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_TEST_SUITE, KIND_TEST_SUITE}));
    Node *suite = child(root, 0);
    EXPECT_EQ(spanOf(suite), "1,1-2,20");
    ASSERT_EQ(childKinds(suite), (std::vector<uint32_t>{KIND_PROC}));
    EXPECT_EQ(child(suite, 0)->firstChild, nullptr);
    EXPECT_STREQ(child(root, 1)->name, "R");
}

// ---------------------------------------------------------------------------
// Checks, calls and prints

TEST_F(Parser, CheckLabelConditionAndSpans)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    check (f(\"a\") == 1);\n"
                        "    check \"lbl\"\n"
                        "      (x);\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_EQ(childCount(testCase), 2);

    Node *plain = child(testCase, 0);
    EXPECT_EQ(plain->name, nullptr);
    auto *info = payloadOf<CheckInfo>(plain);
    EXPECT_EQ(info->label, nullptr);
    EXPECT_STREQ(info->condition, "f(\"a\") == 1");
    EXPECT_EQ(spanOf(info->span), "3,11-3,23");
    EXPECT_EQ(spanOf(plain), "3,5-3,24");

    Node *labelled = child(testCase, 1);
    info = payloadOf<CheckInfo>(labelled);
    EXPECT_STREQ(info->label, "lbl");
    EXPECT_STREQ(info->condition, "x");
    EXPECT_EQ(spanOf(info->span), "4,11-5,9");
    EXPECT_EQ(spanOf(labelled), "4,5-5,10");
    EXPECT_EQ(labelled->line, 5u);
}

TEST_F(Parser, CheckPropertyTargetLabelAndSpan)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    CHECK PROPERTY \"l\" Size (3);\n"
                        "    CHECK PROPERTY Ready;\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *testCase = child(child(root, 0), 0);
    Node *sized = child(testCase, 0);
    EXPECT_STREQ(sized->name, "Size");
    EXPECT_EQ(spanOf(sized), "3,5-3,32");
    auto *info = payloadOf<PropertyCheckInfo>(sized);
    EXPECT_STREQ(info->label, "l");
    ASSERT_NE(info->target, nullptr);
    EXPECT_STREQ(info->target->text, "Size");
    EXPECT_EQ(info->target->next, nullptr);
    EXPECT_EQ(textsOf(info->target->arguments, TAG_PARAMETER), (std::vector<std::string>{"3"}));
    EXPECT_EQ(info->arguments, info->target->arguments);
    EXPECT_EQ(info->resolvedTarget, nullptr);
    EXPECT_EQ(spanOf(info->span), "3,20-3,31");

    Node *ready = child(testCase, 1);
    info = payloadOf<PropertyCheckInfo>(ready);
    EXPECT_EQ(info->label, nullptr);
    EXPECT_EQ(info->arguments, nullptr);
    ASSERT_NE(info->target, nullptr);
    EXPECT_EQ(info->target->arguments, nullptr);
    EXPECT_EQ(spanOf(info->span), "4,20-4,24");
    EXPECT_EQ(spanOf(ready), "4,5-4,25");
}

TEST_F(Parser, CheckStubShortLongAndFaultyForms)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    CHECK STUB f ;\n"
                        "    CHECK STUB g { check (1); }\n"
                        "    CHECK STUB h print (2);\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "5: `;' or '{' expected instead of `print'.\n" + SYNTAX +
                            "5: `2' is not a `TEST CASE' component.\n" + SYNTAX +
                            "5: `;' is not a `TEST CASE' component.\n");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_CHECK_STUB, KIND_CHECK_STUB, KIND_CHECK_STUB}));
    Node *shortForm = child(testCase, 0);
    EXPECT_STREQ(shortForm->name, "f");
    EXPECT_EQ(payloadOf<StubCheckInfo>(shortForm)->resolvedStub, nullptr);
    EXPECT_EQ(shortForm->firstChild, nullptr);
    // The short form keeps the span of its `;', the last token read.
    EXPECT_EQ(spanOf(shortForm), "3,18-3,18");
    Node *longForm = child(testCase, 1);
    EXPECT_EQ(spanOf(longForm), "4,5-4,31");
    ASSERT_EQ(childKinds(longForm), (std::vector<uint32_t>{KIND_CHECK}));
    EXPECT_EQ(child(longForm, 0)->depth, 3u);
    Node *faulty = child(testCase, 2);
    EXPECT_STREQ(faulty->name, "h");
    EXPECT_EQ(faulty->firstChild, nullptr);
}

TEST_F(Parser, CheckExceptionBodyRefusesChecks)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    check exception (std::exception &e) { check (1); print (e); }\n"
                        "    CHECK EXCEPTION (E);\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "3: `check' is not a `CHECK EXCEPTION' component.\n" + SYNTAX +
                            "3: `1' is not a `CHECK EXCEPTION' component.\n" + SYNTAX +
                            "3: `;' is not a `CHECK EXCEPTION' component.\n");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_CHECK_EXCEPTION, KIND_CHECK_EXCEPTION}));
    Node *withBody = child(testCase, 0);
    EXPECT_STREQ(withBody->name, "std::exception &e");
    EXPECT_EQ(childKinds(withBody), (std::vector<uint32_t>{KIND_PRINT}));
    EXPECT_STREQ(child(testCase, 1)->name, "E");
    EXPECT_EQ(child(testCase, 1)->firstChild, nullptr);
}

TEST_F(Parser, CallAndPrintParameterLists)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    call p;\n"
                        "    call q (1, \"a, b\");\n"
                        "    Print (x, y);\n"
                        "    print ;\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "6: `(actual parameters list)' expected instead of `;'.\n");
    Node *testCase = child(child(root, 0), 0);
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_CALL, KIND_CALL, KIND_PRINT}));

    auto *bare = payloadOf<CallInfo>(child(testCase, 0));
    EXPECT_STREQ(child(testCase, 0)->name, "p");
    ASSERT_NE(bare->target, nullptr);
    EXPECT_STREQ(bare->target->text, "p");
    EXPECT_EQ(bare->target->arguments, nullptr);
    EXPECT_EQ(bare->arguments, nullptr);
    EXPECT_EQ(bare->resolvedTarget, nullptr);
    EXPECT_EQ(spanOf(child(testCase, 0)), "3,5-3,11");

    auto *withArguments = payloadOf<CallInfo>(child(testCase, 1));
    EXPECT_EQ(textsOf(withArguments->arguments, TAG_PARAMETER), (std::vector<std::string>{"1", " \"a, b\""}));
    EXPECT_EQ(withArguments->target->arguments, withArguments->arguments);

    Node *print = child(testCase, 2);
    EXPECT_STREQ(print->name, "Print");
    EXPECT_EQ(textsOf(payloadOf<ListInfo>(print)->list, TAG_PARAMETER), (std::vector<std::string>{"x", " y"}));
    EXPECT_EQ(spanOf(print), "5,5-5,17");
}

// ---------------------------------------------------------------------------
// Error handling, prologue and epilogue

TEST_F(Parser, OnErrorActionsBodiesAndFaults)
{
    EXPECT_EQ(parseText("ON ERROR continue;\n"
                        "on error { print (1); } exit;\n"
                        "ON ERROR bypass tc2;\n"
                        "ON ERROR bypass;\n"
                        "ON ERROR ;\n"
                        "ON ERROR { } ;\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "5: `{', 'CONTINUE', 'EXIT', or 'BYPASS' expected instead of `;'.\n" + SYNTAX +
                            "6: `CONTINUE', 'EXIT' or 'BYPASS' expected instead of `;'.\n");
    ASSERT_EQ(childCount(root), 6);
    struct Expected {
        const char *name;
        uint32_t action;
        const char *bypass;
        int children;
        const char *span;
    };
    const Expected expected[] = {
        {"ON ERROR", KIND_CONTINUE, nullptr, 0, "1,1-1,18"}, {"on error", KIND_EXIT, nullptr, 1, "2,1-2,29"},
        {"ON ERROR", KIND_BYPASS, "tc2", 0, "3,1-3,20"},     {"ON ERROR", KIND_BYPASS, nullptr, 0, "4,1-4,16"},
        {"ON ERROR", KIND_CONTINUE, nullptr, 0, "5,1-5,8"},  {"ON ERROR", KIND_CONTINUE, nullptr, 0, nullptr},
    };
    for (int i = 0; i < 6; i++) {
        Node *onError = child(root, i);
        EXPECT_EQ(onError->kind, KIND_ON_ERROR) << i;
        EXPECT_STREQ(onError->name, expected[i].name) << i;
        EXPECT_EQ(onError->depth, 0u) << i;
        auto *info = payloadOf<OnErrorInfo>(onError);
        EXPECT_EQ(info->action, expected[i].action) << i;
        if (expected[i].bypass == nullptr)
            EXPECT_EQ(info->bypassTarget, nullptr) << i;
        else
            EXPECT_STREQ(info->bypassTarget, expected[i].bypass) << i;
        EXPECT_EQ(info->resolvedBypass, nullptr) << i;
        EXPECT_EQ(childCount(onError), expected[i].children) << i;
        if (expected[i].span != nullptr) {
            EXPECT_EQ(spanOf(onError), expected[i].span) << i;
        }
    }
    EXPECT_EQ(child(child(root, 1), 0)->kind, KIND_PRINT);
    EXPECT_EQ(child(child(root, 1), 0)->depth, 1u);
}

TEST_F(Parser, PrologueAndEpilogueBodies)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  Prologue { print (1); COMMENT hi\n"
                        "  }\n"
                        "  epilogue { }\n"
                        "  prologue print\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, SYNTAX + "5: `{' expected instead of `print'.\n");
    Node *suite = child(root, 0);
    EXPECT_EQ(spanOf(suite), "1,1-6,1");
    ASSERT_EQ(childKinds(suite), (std::vector<uint32_t>{KIND_PROLOGUE, KIND_EPILOGUE, KIND_PROLOGUE}));
    Node *prologue = child(suite, 0);
    EXPECT_STREQ(prologue->name, "Prologue");
    EXPECT_EQ(prologue->payload, nullptr);
    EXPECT_EQ(spanOf(prologue), "2,3-3,3");
    ASSERT_EQ(childKinds(prologue), (std::vector<uint32_t>{KIND_PRINT, KIND_COMMENT_LINE}));
    EXPECT_STREQ(child(prologue, 1)->name, "hi");
    EXPECT_EQ(child(prologue, 1)->depth, 2u);
    Node *epilogue = child(suite, 1);
    EXPECT_STREQ(epilogue->name, "epilogue");
    EXPECT_EQ(spanOf(epilogue), "4,3-4,14");
    EXPECT_EQ(child(suite, 2)->firstChild, nullptr);
}

// ---------------------------------------------------------------------------
// RUN, native code, comments and properties

TEST_F(Parser, RunElementsWithDottedNamesAndParameters)
{
    EXPECT_EQ(parseText("run { Suite1; Class1.Case2(3, 4); }\nrun { }\n"), 0);
    EXPECT_EQ(messages, "");
    ASSERT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_RUN, KIND_RUN}));
    Node *run = child(root, 0);
    EXPECT_STREQ(run->name, "run");
    EXPECT_EQ(run->payload, nullptr);
    EXPECT_EQ(spanOf(run), "1,1-1,35");
    ASSERT_EQ(childKinds(run), (std::vector<uint32_t>{KIND_RUN_COMPONENT, KIND_RUN_COMPONENT}));

    Node *first = child(run, 0);
    EXPECT_STREQ(first->name, "Suite1");
    EXPECT_EQ(first->depth, 1u);
    EXPECT_EQ(spanOf(first), "1,7-1,13");
    auto *info = payloadOf<RunInfo>(first);
    EXPECT_EQ(info->resolvedComponent, nullptr);
    ASSERT_NE(info->component, nullptr);
    EXPECT_STREQ(info->component->text, "Suite1");
    EXPECT_EQ(info->component->arguments, nullptr);
    EXPECT_EQ(info->component->next, nullptr);

    Node *second = child(run, 1);
    EXPECT_STREQ(second->name, "Case2");
    EXPECT_EQ(spanOf(second), "1,15-1,33");
    NameSegment *segment = payloadOf<RunInfo>(second)->component;
    ASSERT_NE(segment, nullptr);
    EXPECT_STREQ(segment->text, "Class1");
    EXPECT_EQ(segment->arguments, nullptr);
    ASSERT_NE(segment->next, nullptr);
    EXPECT_STREQ(segment->next->text, "Case2");
    EXPECT_EQ(textsOf(segment->next->arguments, TAG_PARAMETER), (std::vector<std::string>{"3", " 4"}));
    EXPECT_EQ(segment->next->next, nullptr);

    EXPECT_EQ(child(root, 1)->firstChild, nullptr);
    EXPECT_EQ(spanOf(child(root, 1)), "2,1-2,7");
}

TEST_F(Parser, FaultyRunElementsCostOnlyThemselves)
{
    EXPECT_EQ(parseText("run {\n  \"S\";\n  A.;\n  B\n  C;\n  D.E(1);\n}\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "2: `S' is not a `RUN' component.\n" + SYNTAX + "2: `;' is not a `RUN' component.\n" +
                            SYNTAX + "3: `TEST CLASS', 'TEST SUITE' or 'TEST CASE' name expected instead of `;'.\n" +
                            SYNTAX + "5: `;' expected instead of `C'.\n" + SYNTAX +
                            "5: `;' is not a `RUN' component.\n");
    Node *run = child(root, 0);
    EXPECT_EQ(spanOf(run), "1,1-7,1");
    ASSERT_EQ(childKinds(run), (std::vector<uint32_t>{KIND_RUN_COMPONENT}));
    Node *element = child(run, 0);
    EXPECT_STREQ(element->name, "E");
    EXPECT_EQ(spanOf(element), "6,3-6,9");
    NameSegment *segment = payloadOf<RunInfo>(element)->component;
    ASSERT_NE(segment, nullptr);
    EXPECT_STREQ(segment->text, "D");
    ASSERT_NE(segment->next, nullptr);
    EXPECT_EQ(textsOf(segment->next->arguments, TAG_PARAMETER), (std::vector<std::string>{"1"}));
}

TEST_F(Parser, NativeCodeKeepsTheSpanOfItsToken)
{
    EXPECT_EQ(parseText("TEST SUITE S {\n"
                        "  TEST CASE T {\n"
                        "    #{ int a;\n"
                        "       int b; }#\n"
                        "    Java# x();\n"
                        "  }\n"
                        "}\n"),
              0);
    EXPECT_EQ(messages, "");
    Node *testCase = child(child(root, 0), 0);
    EXPECT_EQ(spanOf(testCase), "2,3-6,3");
    ASSERT_EQ(childKinds(testCase), (std::vector<uint32_t>{KIND_NATIVE_BLOCK, KIND_JAVA_LINE}));
    Node *block = child(testCase, 0);
    EXPECT_STREQ(block->name, " int a;\n       int b; ");
    EXPECT_EQ(block->payload, nullptr);
    EXPECT_EQ(spanOf(block), "3,5-4,16");
    Node *line = child(testCase, 1);
    EXPECT_STREQ(line->name, " x();");
    EXPECT_EQ(spanOf(line), "5,5-5,14");
    EXPECT_EQ(line->line, 5u);
}

TEST_F(Parser, PropertyDefinitionWithExpressions)
{
    EXPECT_EQ(parseText("TEST CLASS C {\n  property Size (n) { (n > 0) (n < 10) }\n}\n"), 0);
    EXPECT_EQ(messages, "");
    Node *property = child(child(root, 0), 0);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(property->kind, KIND_PROPERTY);
    EXPECT_STREQ(property->name, "Size");
    EXPECT_EQ(property->depth, 1u);
    EXPECT_EQ(spanOf(property), "2,3-2,40");
    EXPECT_EQ(textsOf(payloadOf<ListInfo>(property)->list, TAG_NAME), (std::vector<std::string>{"n"}));
    ASSERT_EQ(childKinds(property), (std::vector<uint32_t>{KIND_EXPRESSION, KIND_EXPRESSION}));
    EXPECT_STREQ(child(property, 0)->name, "n > 0");
    EXPECT_STREQ(child(property, 1)->name, "n < 10");
    EXPECT_EQ(child(property, 1)->depth, 2u);
    EXPECT_EQ(spanOf(child(property, 0)), "2,23-2,29");
    EXPECT_EQ(spanOf(child(property, 1)), "2,31-2,38");
}

// ---------------------------------------------------------------------------
// STUB definitions

TEST_F(Parser, StubWithConditionsAndSignatures)
{
    EXPECT_EQ(parseText("STUB f : int f(int a)\n"
                        "  REQUIRE (a > 0) { ... } ENSURE (a < 9)\n"
                        "STUB g : // takes { no\n"
                        "  int g() { }\n"),
              0);
    EXPECT_EQ(messages, "");
    ASSERT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_STUB, KIND_STUB}));

    Node *f = child(root, 0);
    EXPECT_STREQ(f->name, "f");
    EXPECT_EQ(f->depth, 0u);
    EXPECT_EQ(f->line, 2u);
    EXPECT_EQ(spanOf(f), "1,1-2,40");
    auto *info = payloadOf<StubInfo>(f);
    EXPECT_STREQ(info->signature, "int f(int a)");
    EXPECT_EQ(info->caseCounter, 1u);
    ASSERT_NE(info->head.text, nullptr);
    ASSERT_NE(info->cases.text, nullptr);
    ASSERT_NE(info->tail.text, nullptr);
    EXPECT_STREQ(info->head.text, "");
    ASSERT_EQ(childKinds(f), (std::vector<uint32_t>{KIND_REQUIRE, KIND_THREE_POINTS, KIND_ENSURE}));
    Node *require = child(f, 0);
    EXPECT_STREQ(require->name, "a > 0");
    EXPECT_EQ(require->depth, 1u);
    EXPECT_EQ(spanOf(require), "2,3-2,17");
    EXPECT_EQ(spanOf(payloadOf<ConditionInfo>(require)->span), "2,11-2,17");
    EXPECT_STREQ(child(f, 1)->name, "...");
    EXPECT_EQ(child(f, 1)->depth, 1u);
    Node *ensure = child(f, 2);
    EXPECT_STREQ(ensure->name, "a < 9");
    EXPECT_EQ(spanOf(ensure), "2,27-2,40");
    EXPECT_EQ(spanOf(payloadOf<ConditionInfo>(ensure)->span), "2,34-2,40");

    // A `{' in a comment does not end the signature; the comment stays in it.
    Node *g = child(root, 1);
    EXPECT_STREQ(payloadOf<StubInfo>(g)->signature, "// takes { no\n  int g()");
    EXPECT_EQ(g->line, 4u);
    EXPECT_EQ(spanOf(g), "3,1-4,13");
    EXPECT_EQ(g->firstChild, nullptr);
}

TEST_F(Parser, StubSignatureToTheEndOfTheFileIsReportedOnce)
{
    EXPECT_EQ(parseText("STUB f : Return f(int a)\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "2: `REQUIRE' or '{' expected instead of `EOF'.\n");
    EXPECT_EQ(errorCount, 1u);
    EXPECT_EQ(root->firstChild, nullptr);
}

// ---------------------------------------------------------------------------
// Source files and INCLUDE

TEST_F(Parser, IncludedFilesCarryTheirOwnFileNumber)
{
    write("a.otd", "TEST SUITE A { }\ninclude \"b.otd\";\nTEST SUITE C { }\n");
    write("b.otd", "TEST SUITE B {\n  TEST CASE T { }\n}\ninclude \"c.otd\";\nTEST SUITE B2 { }\n");
    write("c.otd", "TEST SUITE D { }\n");
    EXPECT_EQ(parse("a.otd"), 0);
    EXPECT_EQ(messages, "");
    ASSERT_EQ(childCount(root), 7);
    struct Expected {
        uint32_t kind;
        const char *name;
        uint32_t fileNo;
        const char *fileName;
    };
    const Expected expected[] = {
        {KIND_TEST_SUITE, "A", 1, "a.otd"}, {KIND_INCLUDE, "b.otd", 1, "a.otd"}, {KIND_TEST_SUITE, "B", 2, "b.otd"},
        {KIND_INCLUDE, "c.otd", 2, "b.otd"}, {KIND_TEST_SUITE, "D", 3, "c.otd"}, {KIND_TEST_SUITE, "B2", 2, "b.otd"},
        {KIND_TEST_SUITE, "C", 1, "a.otd"},
    };
    for (int i = 0; i < 7; i++) {
        Node *node = child(root, i);
        EXPECT_EQ(node->kind, expected[i].kind) << i;
        EXPECT_STREQ(node->name, expected[i].name) << i;
        EXPECT_EQ(node->fileNo, expected[i].fileNo) << i;
        EXPECT_STREQ(node->fileName, expected[i].fileName) << i;
        EXPECT_EQ(node->depth, 0u) << i;
        std::string display = node->displayPath;
        EXPECT_EQ(display.substr(display.size() - 5), expected[i].fileName) << i;
    }
    Node *include = child(root, 1);
    EXPECT_EQ(include->payload, nullptr);
    EXPECT_EQ(include->firstChild, nullptr);
    EXPECT_EQ(include->line, 2u);
    EXPECT_EQ(spanOf(include), "2,1-2,16");
    EXPECT_STREQ(include->displayPath, "./a.otd");
    Node *testCase = child(child(root, 2), 0);
    ASSERT_NE(testCase, nullptr);
    EXPECT_EQ(testCase->fileNo, 2u);
    EXPECT_EQ(testCase->depth, 1u);
    EXPECT_EQ(std::string(child(root, 2)->directory).rfind(here + "/", 0), 0u);

    EXPECT_EQ(currentFileNo, 1u);
    EXPECT_EQ(otdFileCount, 1u);
    EXPECT_EQ(context->fileCount, 3u);
    std::vector<std::string> entries;
    for (FileEntry *entry = context->fileEntries; entry != nullptr; entry = entry->nextEntry)
        entries.push_back(std::to_string(entry->fileNo) + " " + entry->fileName);
    EXPECT_EQ(entries, (std::vector<std::string>{"1 a.otd", "2 b.otd", "3 c.otd"}));
}

TEST_F(Parser, FileIncludingItselfIsRefusedAndReadingGoesOn)
{
    EXPECT_EQ(parseText("TEST SUITE S { }\ninclude \"a.otd\";\nTEST SUITE T { }\n"), 0);
    EXPECT_EQ(messages, "zepprepro - semantic error: ./a.otd:1: The file `a.otd' has already been included.\n");
    EXPECT_EQ(errorCount, 1u);
    EXPECT_EQ(childKinds(root), (std::vector<uint32_t>{KIND_TEST_SUITE, KIND_INCLUDE, KIND_TEST_SUITE}));
    EXPECT_EQ(context->fileCount, 1u);
    EXPECT_EQ(currentFileNo, 1u);
}

TEST_F(Parser, FileWithElementsCannotBeIncludedTwiceAnEmptyOneCan)
{
    write("e.otd", "");
    write("b.otd", "TEST SUITE B { }\n");
    EXPECT_EQ(parseText("include \"e.otd\";\ninclude \"e.otd\";\ninclude \"b.otd\";\ninclude \"b.otd\";\n"), 0);
    EXPECT_EQ(errorCount, 1u);
    EXPECT_EQ(messages.rfind("zepprepro - semantic error: ", 0), 0u) << messages;
    EXPECT_NE(messages.find(":1: The file `b.otd' has already been included.\n"), std::string::npos) << messages;
    EXPECT_EQ(childKinds(root),
              (std::vector<uint32_t>{KIND_INCLUDE, KIND_INCLUDE, KIND_INCLUDE, KIND_TEST_SUITE, KIND_INCLUDE}));
    // a.otd, e.otd twice and b.otd once.
    EXPECT_EQ(context->fileCount, 4u);
}

TEST_F(Parser, IncludeWithoutSemicolonLeavesTheFileUnread)
{
    write("b.otd", "TEST SUITE B { }\n");
    EXPECT_EQ(parseText("include \"b.otd\" }\n"), 0);
    EXPECT_EQ(messages, SYNTAX + "1: `;' expected instead of `}'.\n");
    EXPECT_EQ(root->firstChild, nullptr);
    EXPECT_EQ(context->fileCount, 1u);
}

TEST_F(Parser, CommandLineFilesOfEveryClass)
{
    write("a.otd", "TEST SUITE S { }\n");
    write("b.otd", "TEST SUITE B { }\n");
    write("a.txt", "TEST SUITE X { }\n");
    write("c.otc", "wrap x;\n$\nprint\n");
    EXPECT_EQ(parse("a.otd"), 0);
    EXPECT_EQ(messages, "");

    EXPECT_EQ(parse("b.otd"), -1);
    EXPECT_EQ(messages,
              "zepprepro - error: Cannot open `b.otd', only one OTD source file must be passed on the command line.\n");
    EXPECT_EQ(parse("a.txt"), -1);
    EXPECT_EQ(messages, "zepprepro - error: Cannot open `a.txt', not a correct Duvodu Doruruv source file.\n");
    EXPECT_EQ(parse("missing.otc"), -1);
    EXPECT_EQ(messages, "zepprepro - error: Cannot open `missing.otc'.\n");
    EXPECT_EQ(context->fileCount, 1u);
    EXPECT_EQ(childCount(root), 1);

    // In an OTC script every top-level token but a class is refused once.
    EXPECT_EQ(parse("c.otc"), 0);
    const std::string otc = "zepprepro - syntax error: ./c.otc:";
    EXPECT_EQ(messages, otc + "1: `wrap' is not an `OTC script' component.\n" + otc +
                            "1: `x' is not an `OTC script' component.\n" + otc +
                            "1: `;' is not an `OTC script' component.\n" +
                            "zepprepro - lexical error: ./c.otc:2: The use of `$' is not allowed here.\n" + otc +
                            "3: `print' is not an `OTC script' component.\n");
    EXPECT_EQ(childCount(root), 1);
    EXPECT_EQ(context->fileCount, 2u);
    EXPECT_EQ(currentFileNo, 1u);
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
    EXPECT_EQ(dumpOf(root), "[id=1 sid=0] SCRIPT\n"
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
    EXPECT_EQ(dumpOf(root), "[id=1 sid=0] SCRIPT\n"
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
        captureStderr([&] { parseSourceFile("a.otd", root, 0, nullptr); });
        ASSERT_EQ(currentFileNo, 1u) << length;
        checkLinks(root);
        if (HasFailure())
            FAIL() << "prefix of " << length << " bytes";
    }
}

TEST_F(Parser, RandomBytesAndTokenSoup)
{
    const char *const pieces[] = {"TEST CLASS ", "TEST SUITE ", "TEST CASE ", "PROC ", "REQUIRE ", "ENSURE ",
                                  "STUB ",       "include ",    "run ",       "ON ERROR ", "bypass ", "exit ",
                                  "continue ",   "check ",      "CHECK STUB ", "CHECK PROPERTY ", "CHECK EXCEPTION ",
                                  "call ",       "print ",      "property ",  "prologue ", "epilogue ", "COMMENT ",
                                  "class ",      "{",           "}",          "(",         ")",         ";",
                                  ":",           ".",           "...",        "\"",        "'",         "#",
                                  "#{",          "}#",          "c++#",       "java#{",    "/*",        "*/",
                                  "//",          "/**",         "\n",         " ",         "x",         "a.otd",
                                  "\"b.otd\"",   "\\",          "$",          ",",         "R",         "r",
                                  "SINGLE CLASS ", "wrap ",     "invariant ", "state ",    "transition ", "to ",
                                  "CHECK METHOD ", "E",         "e"};
    write("b.otd", "TEST SUITE Inc { }\n");
    std::mt19937 random(20260101);
    for (int round = 0; round < 3000; round++) {
        restart();
        std::string text;
        size_t length = random() % 160;
        bool soup = round % 3 != 0;
        bool contract = round % 5 == 4;
        while (text.size() < length) {
            if (soup)
                text += pieces[random() % (sizeof pieces / sizeof *pieces)];
            else
                text.push_back(static_cast<char>(random() % 256));
        }
        const char *name = contract ? "r.otc" : "a.otd";
        write(name, text);
        captureStderr([&] { parseSourceFile(name, root, 0, nullptr); });
        ASSERT_EQ(currentFileNo, 1u) << round;
        checkLinks(root);
        if (HasFailure())
            FAIL() << "round " << round;
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
        EXPECT_GE(errorCount, 1u);
        checkLinks(root);
    }
}

} // namespace
