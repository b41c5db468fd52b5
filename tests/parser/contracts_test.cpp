// OTC contract scripts and CHECK METHOD: raw heads and signatures, clauses,
// states and transitions, and their faulty forms.
#include "parser/parser.h"
#include "test_support.h"

#include <vector>

namespace {

class Contracts : public TreeState {
protected:
    void parse(const std::string &name, const std::string &text)
    {
        directory.write(name, text);
        errors = captureStderr([&] { parseSourceFile(name.c_str(), root, 0, nullptr); });
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

TEST_F(Contracts, HeadsAndSignaturesAreRawTexts)
{
    parse("a.otc", "class Account /* a { brace */\n"
                   "   : public Base // base {\n"
                   "{\n"
                   "  wrap int deposit(int amount,\n"
                   "                   int e) require (amount > 0) ensure (balance() >= 0)\n"
                   "  wrap void getValue() ensure (true)\n"
                   "  wrap int xrequire (x)\n"
                   "}\n");
    EXPECT_EQ(errors, "");
    ASSERT_EQ(children(root).size(), 1u);
    Node *account = root->firstChild;
    EXPECT_EQ(account->kind, static_cast<uint32_t>(KIND_CLASS));
    EXPECT_STREQ(account->name, "Account /* a { brace */\n   : public Base // base {");
    EXPECT_EQ(account->depth, 0u);
    EXPECT_EQ(account->line, 3u);
    EXPECT_EQ(account->fileNo, 1u);
    EXPECT_EQ(account->beginLine, 1u);
    EXPECT_EQ(account->beginColumn, 1u);
    EXPECT_EQ(account->endLine, 8u);
    EXPECT_EQ(account->endColumn, 1u);

    std::vector<Node *> wraps = children(account);
    ASSERT_EQ(wraps.size(), 3u);
    // Letters r and e inside words end nothing unless require or ensure
    // begins there.
    EXPECT_STREQ(wraps[0]->name, "int deposit(int amount,\n                   int e)");
    EXPECT_EQ(wraps[0]->depth, 1u);
    EXPECT_EQ(wraps[0]->beginLine, 4u);
    EXPECT_EQ(wraps[0]->beginColumn, 3u);
    EXPECT_EQ(wraps[0]->endLine, 5u);
    EXPECT_EQ(wraps[0]->endColumn, 70u);
    std::vector<Node *> conditions = children(wraps[0]);
    ASSERT_EQ(conditions.size(), 2u);
    EXPECT_EQ(conditions[0]->kind, static_cast<uint32_t>(KIND_REQUIRE));
    EXPECT_STREQ(conditions[0]->name, "amount > 0");
    EXPECT_EQ(conditions[0]->depth, 2u);
    EXPECT_EQ(conditions[0]->beginColumn, 27u);
    EXPECT_EQ(conditions[0]->endColumn, 46u);
    auto *expression = static_cast<ConditionInfo *>(conditions[0]->payload);
    EXPECT_EQ(expression->span.beginColumn, 35u);
    EXPECT_EQ(expression->span.endColumn, 46u);
    EXPECT_EQ(conditions[1]->kind, static_cast<uint32_t>(KIND_ENSURE));
    EXPECT_STREQ(conditions[1]->name, "balance() >= 0");

    EXPECT_STREQ(wraps[1]->name, "void getValue()");
    ASSERT_EQ(children(wraps[1]).size(), 1u);
    EXPECT_EQ(wraps[1]->firstChild->kind, static_cast<uint32_t>(KIND_ENSURE));
    EXPECT_STREQ(wraps[2]->name, "int x");
    ASSERT_EQ(children(wraps[2]).size(), 1u);
    EXPECT_STREQ(wraps[2]->firstChild->name, "x");
}

TEST_F(Contracts, InvariantsStatesAndTransitions)
{
    parse("a.otc", "SINGLE CLASS Lift {\n"
                   "  invariant (floor >= 0);\n"
                   "  state Idle { (speed == 0) (door == open) }\n"
                   "  state Moving { (speed > 0) }\n"
                   "  transition Idle to Moving;\n"
                   "  TRANSITION Moving TO Idle;\n"
                   "}\n");
    EXPECT_EQ(errors, "");
    Node *lift = root->firstChild;
    ASSERT_NE(lift, nullptr);
    EXPECT_EQ(lift->kind, static_cast<uint32_t>(KIND_SINGLE_CLASS));
    EXPECT_STREQ(lift->name, "Lift");
    std::vector<Node *> clauses = children(lift);
    ASSERT_EQ(clauses.size(), 5u);
    EXPECT_EQ(clauses[0]->kind, static_cast<uint32_t>(KIND_INVARIANT));
    EXPECT_STREQ(clauses[0]->name, "floor >= 0");
    EXPECT_EQ(static_cast<ConditionInfo *>(clauses[0]->payload)->span.beginColumn, 13u);
    EXPECT_EQ(clauses[0]->endColumn, 25u);

    EXPECT_EQ(clauses[1]->kind, static_cast<uint32_t>(KIND_UMLSTATE));
    EXPECT_STREQ(clauses[1]->name, "Idle");
    std::vector<Node *> expressions = children(clauses[1]);
    ASSERT_EQ(expressions.size(), 2u);
    EXPECT_EQ(expressions[1]->kind, static_cast<uint32_t>(KIND_EXPRESSION));
    EXPECT_STREQ(expressions[1]->name, "door == open");
    EXPECT_EQ(expressions[1]->depth, 2u);
    EXPECT_EQ(static_cast<StateInfo *>(clauses[1]->payload)->stateNumber, 0);

    auto *first = static_cast<TransitionInfo *>(clauses[3]->payload);
    EXPECT_STREQ(clauses[3]->name, "transition");
    EXPECT_STREQ(first->fromState, "Idle");
    EXPECT_STREQ(first->toState, "Moving");
    EXPECT_STREQ(clauses[4]->name, "TRANSITION");
    EXPECT_STREQ(static_cast<TransitionInfo *>(clauses[4]->payload)->toState, "Idle");
}

TEST_F(Contracts, FaultyClauses)
{
    parse("a.otc", "class A {\n  wrap int f()\n");
    EXPECT_EQ(errors, SYNTAX + "3: `REQUIRE' or 'ENSURE' expected instead of `EOF'.\n" + SYNTAX +
                          "3: `}' expected instead of `EOF'.\n");
    releaseTree(root->firstChild);
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

TEST_F(Contracts, ContractAndDriverScriptsShareTheTree)
{
    parse("lift.otc", "class Lift { invariant (ok); }\n");
    parse("a.otd", "TEST SUITE s { }\n");
    EXPECT_EQ(errors, "");
    std::vector<Node *> top = children(root);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->fileNo, 1u);
    EXPECT_EQ(top[0]->firstChild->fileNo, 1u);
    EXPECT_EQ(top[1]->fileNo, 2u);
    EXPECT_STREQ(top[1]->displayPath, "./a.otd");
    EXPECT_EQ(context->fileCount, 2u);
}

} // namespace
