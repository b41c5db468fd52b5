// OTC contract scripts and CHECK METHOD: faulty clauses, a head open to
// the end of the file, and where a CHECK METHOD ends.
#include "parser/parser.h"
#include "test_support.h"

#include <vector>

namespace {

class Contracts : public TreeState {
protected:
    void parse(const std::string &name, const std::string &text)
    {
        directory.write(name, text);
        errors = captureStderr([&] { parseSourceFile(run, name.c_str(), root, 0, nullptr); });
    }

    static std::vector<Node *> children(const Node *node)
    {
        std::vector<Node *> found;
        for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling)
            found.push_back(child);
        return found;
    }

    ScratchDirectory directory; // made before the Context, which reads the working directory
    std::string errors;
};

const std::string SYNTAX = "zepprepro - syntax error: ./a.otc:";

TEST_F(Contracts, FaultyClauses)
{
    parse("a.otc", "class A {\n  wrap int f()\n");
    EXPECT_EQ(errors, SYNTAX + "3: `REQUIRE' or 'ENSURE' expected instead of `EOF'.\n" + SYNTAX +
                          "3: `}' expected instead of `EOF'.\n");
    releaseTree(run, root->firstChild);
    root->firstChild = root->lastChild = nullptr;

    parse("a.otc", "class A {\n  state S { x (a) }\n  transition A B;\n  CHECK (x);\n}\n");
    EXPECT_EQ(errors, SYNTAX + "2: `x' is not a `UML STATE' component.\n" + SYNTAX +
                          "3: `TO' expected instead of `B'.\n" + SYNTAX + "3: `;' is not a `CLASS' component.\n" +
                          SYNTAX + "4: `CHECK' is not a `CLASS' component.\n" + SYNTAX +
                          "4: `x' is not a `CLASS' component.\n" + SYNTAX + "4: `;' is not a `CLASS' component.\n");
    Node *state = root->firstChild->firstChild;
    ASSERT_NE(state, nullptr);
    ASSERT_NE(state->firstChild, nullptr);
    EXPECT_STREQ(state->firstChild->name, "a");
    EXPECT_EQ(state->nextSibling, nullptr);
}

TEST_F(Contracts, ClassHeadToTheEndOfTheFile)
{
    parse("a.otc", "class A // {\n");
    EXPECT_EQ(errors, SYNTAX + "2: `{' expected instead of `EOF'.\n");
    EXPECT_EQ(root->firstChild, nullptr);
}

TEST_F(Contracts, CheckMethodEndsAtTheFirstRealSemicolon)
{
    parse("a.otd", "TEST SUITE s { TEST CASE c {\n"
                   "  CHECK METHOD int f(/* ; */ int a, // ;\n"
                   "                     char b) ;\n"
                   "} }\n");
    EXPECT_EQ(errors, "");
    Node *check = root->firstChild->firstChild->firstChild;
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->kind, static_cast<uint32_t>(KIND_CHECK_METHOD));
    EXPECT_STREQ(check->name, "int f(/* ; */ int a, // ;\n                     char b)");
    EXPECT_EQ(check->depth, 2u);
    EXPECT_EQ(check->beginLine, 2u);
    EXPECT_EQ(check->beginColumn, 3u);
    EXPECT_EQ(check->endLine, 3u);
    EXPECT_EQ(check->endColumn, 30u);
}

} // namespace
