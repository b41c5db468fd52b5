// Inheritance expansion on parsed scripts: what a derived TEST CLASS holds
// after resolve, expand and the second resolve, and what its base keeps.
#include "parser/parser.h"
#include "semantic/semantic.h"
#include "test_support.h"

#include <set>
#include <string>
#include <vector>

namespace {

class Expansion : public TreeState {
protected:
    // The scope index outlives a tree unless it is cleared.
    void SetUp() override
    {
        TreeState::SetUp();
        clearScopes();
    }

    void TearDown() override
    {
        clearScopes();
        TreeState::TearDown();
    }

    // Writes a.otd and parses it; nothing may be reported.
    void parse(const std::string &text)
    {
        directory.write("a.otd", text);
        errors = captureStderr([&] { parseSourceFile("a.otd", root, 0, nullptr); });
        ASSERT_EQ(errors, "");
        ASSERT_EQ(errorCount, 0u);
    }

    void firstResolve()
    {
        errors = captureStderr([&] { resolve(root); });
        ASSERT_EQ(errors, "");
        ASSERT_EQ(errorCount, 0u);
    }

    // Expansion and the second resolution, as the run does them.
    void expandAndResolve()
    {
        int result = 0;
        errors = captureStderr([&] {
            result = expand(root);
            resolve(root);
        });
        ASSERT_EQ(result, 0);
        ASSERT_EQ(errors, "");
        ASSERT_EQ(errorCount, 0u);
    }

    void translate(const std::string &text)
    {
        ASSERT_NO_FATAL_FAILURE(parse(text));
        ASSERT_NO_FATAL_FAILURE(firstResolve());
        ASSERT_NO_FATAL_FAILURE(expandAndResolve());
    }

    static std::vector<Node *> children(const Node *node)
    {
        std::vector<Node *> found;
        for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling)
            found.push_back(child);
        return found;
    }

    // "name" per child, "?" for a child without name (a CHECK).
    static std::vector<std::string> names(const Node *node)
    {
        std::vector<std::string> found;
        for (Node *child : children(node))
            found.push_back(child->name != nullptr ? child->name : "?");
        return found;
    }

    static Node *child(const Node *scope, uint32_t kind, const char *name)
    {
        for (Node *node : children(scope))
            if (node->kind == kind && node->name != nullptr && std::string(node->name) == name)
                return node;
        return nullptr;
    }

    static Node *firstOfKind(const Node *scope, uint32_t kind)
    {
        for (Node *node : children(scope))
            if (node->kind == kind)
                return node;
        return nullptr;
    }

    static const char *condition(const Node *check)
    {
        return check == nullptr ? "<none>" : static_cast<CheckInfo *>(check->payload)->condition;
    }

    static void everyNode(Node *node, std::vector<Node *> *found)
    {
        for (; node != nullptr; node = node->nextSibling) {
            found->push_back(node);
            everyNode(node->firstChild, found);
        }
    }

    std::vector<Node *> allNodes() const
    {
        std::vector<Node *> found;
        everyNode(root, &found);
        return found;
    }

    Node *topClass(const char *name) const { return child(root, KIND_TEST_CLASS, name); }

    ScratchDirectory directory; // made before the Context, which reads the working directory
    std::string errors;
};

TEST_F(Expansion, RedefinedCaseIsKeptAndTheOthersFollowInBaseOrder)
{
    translate("TEST CLASS A {\n"
              "  TEST CASE t1 { check (1 == 1); }\n"
              "  TEST CASE t2 { check (2 == 2); }\n"
              "  PROC p { }\n"
              "  TEST CASE t3 { check (3 == 3); }\n"
              "}\n"
              "TEST CLASS B : A {\n"
              "  TEST CASE t2 { check (20 == 20); }\n"
              "  TEST CASE own { }\n"
              "}\n");
    Node *a = topClass("A");
    Node *b = topClass("B");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(names(b), (std::vector<std::string>{"t2", "own", "t1", "p", "t3"}));
    EXPECT_STREQ(condition(b->firstChild->firstChild), "20 == 20");
    EXPECT_EQ(children(b)[3]->kind, static_cast<uint32_t>(KIND_PROC));
    EXPECT_STREQ(condition(children(b)[4]->firstChild), "3 == 3");
    // The base is left as written.
    EXPECT_EQ(names(a), (std::vector<std::string>{"t1", "t2", "p", "t3"}));
    EXPECT_STREQ(condition(children(a)[1]->firstChild), "2 == 2");
}

TEST_F(Expansion, ThreeLevelsFlattenNearestBaseFirst)
{
    // The most derived class comes first, so its base is flattened on
    // demand before it is copied.
    translate("TEST CLASS Z : B {\n"
              "  TEST CASE z1 { }\n"
              "  TEST CASE a2 { check (z); }\n"
              "}\n"
              "TEST CLASS B : A {\n"
              "  TEST CASE b1 { }\n"
              "  TEST CASE s { check (b); }\n"
              "}\n"
              "TEST CLASS A {\n"
              "  TEST CASE a1 { }\n"
              "  TEST CASE a2 { check (a); }\n"
              "  TEST CASE s { check (a); }\n"
              "}\n");
    Node *z = topClass("Z");
    Node *b = topClass("B");
    ASSERT_NE(z, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(names(b), (std::vector<std::string>{"b1", "s", "a1", "a2"}));
    EXPECT_STREQ(condition(child(b, KIND_TEST_CASE, "s")->firstChild), "b");
    EXPECT_EQ(names(z), (std::vector<std::string>{"z1", "a2", "b1", "s", "a1"}));
    EXPECT_STREQ(condition(child(z, KIND_TEST_CASE, "a2")->firstChild), "z");
    EXPECT_STREQ(condition(child(z, KIND_TEST_CASE, "s")->firstChild), "b");
    EXPECT_EQ(names(topClass("A")), (std::vector<std::string>{"a1", "a2", "s"}));
}

TEST_F(Expansion, CopiesKeepIdentityAndSourceButGetFreshNodeNumbers)
{
    directory.write("base.otd", "TEST CLASS A {\n"
                                "  TEST CASE t { check (1 == 1); }\n"
                                "}\n");
    translate("include \"base.otd\";\n"
              "TEST CLASS B : A { }\n");
    Node *a = topClass("A");
    Node *b = topClass("B");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->fileNo, 2u);
    EXPECT_EQ(b->fileNo, 1u);
    Node *original = a->firstChild;
    Node *copy = b->firstChild;
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, original);
    EXPECT_EQ(copy->nextSibling, nullptr);
    for (int level = 0; level < 2; ++level) {
        SCOPED_TRACE(level == 0 ? "test case" : "check");
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->kind, original->kind);
        EXPECT_EQ(copy->id, original->id);
        EXPECT_NE(copy->sid, original->sid);
        EXPECT_EQ(copy->fileNo, 2u);
        EXPECT_STREQ(copy->displayPath, original->displayPath);
        EXPECT_EQ(copy->line, original->line);
        EXPECT_EQ(copy->beginLine, original->beginLine);
        EXPECT_EQ(copy->endLine, original->endLine);
        EXPECT_EQ(copy->beginColumn, original->beginColumn);
        EXPECT_EQ(copy->endColumn, original->endColumn);
        EXPECT_EQ(copy->depth, original->depth);
        original = original->firstChild;
        copy = copy->firstChild;
    }
    EXPECT_EQ(b->firstChild->parent, b);
    EXPECT_EQ(b->firstChild->firstChild->parent, b->firstChild);
    std::set<uint64_t> sids;
    for (Node *node : allNodes())
        EXPECT_TRUE(sids.insert(node->sid).second) << "sid " << node->sid << " given twice";
}

class Substituted : public Expansion {
protected:
    void SetUp() override
    {
        Expansion::SetUp();
        ASSERT_NO_FATAL_FAILURE(translate("TEST CLASS A (n) {\n"
                                          "  property Size (k) { (k > n) }\n"
                                          "  TEST CASE t {\n"
                                          "    check (n > 0);\n"
                                          "    call p(n);\n"
                                          "    CHECK PROPERTY Size(n);\n"
                                          "    print (n, \"n\");\n"
                                          "  }\n"
                                          "  PROC p (n) {\n"
                                          "    check (n > 0);\n"
                                          "  }\n"
                                          "  PROC q (m) {\n"
                                          "    check (n > m);\n"
                                          "  }\n"
                                          "  TEST CLASS Inner (x) {\n"
                                          "    TEST CASE i { check (x == n); }\n"
                                          "  }\n"
                                          "  run { Inner(n + 1); t; }\n"
                                          "}\n"
                                          "TEST CLASS B : A (3) { }\n"));
        a = topClass("A");
        b = topClass("B");
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(names(b), (std::vector<std::string>{"Size", "t", "p", "q", "Inner", "run"}));
    }

    static const char *firstArgument(const NameSegment *segment)
    {
        return segment == nullptr || segment->arguments == nullptr ? "<none>" : segment->arguments->text;
    }

    static std::vector<std::string> printed(const Node *print)
    {
        std::vector<std::string> items;
        for (NameEntry *entry = static_cast<ListInfo *>(print->payload)->list; entry != nullptr; entry = entry->next)
            items.push_back(entry->text);
        return items;
    }

    Node *a = nullptr;
    Node *b = nullptr;
};

TEST_F(Substituted, CopiedTextsTakeTheActualParameter)
{
    Node *t = child(b, KIND_TEST_CASE, "t");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(condition(firstOfKind(t, KIND_CHECK)), "3 > 0");
    auto *call = static_cast<CallInfo *>(firstOfKind(t, KIND_CALL)->payload);
    EXPECT_STREQ(firstArgument(call->target), "3");
    auto *property = static_cast<PropertyCheckInfo *>(firstOfKind(t, KIND_CHECK_PROPERTY)->payload);
    EXPECT_STREQ(firstArgument(property->target), "3");
    EXPECT_EQ(printed(firstOfKind(t, KIND_PRINT)), (std::vector<std::string>{"3", " \"n\""}));
    // The property's own formal k is left, the class's n is replaced.
    EXPECT_STREQ(child(b, KIND_PROPERTY, "Size")->firstChild->name, "k > 3");
}

TEST_F(Substituted, OwnFormalsHideTheBinding)
{
    EXPECT_STREQ(condition(child(b, KIND_PROC, "p")->firstChild), "n > 0");
    // The mask of p is undone before q, which only hides m.
    EXPECT_STREQ(condition(child(b, KIND_PROC, "q")->firstChild), "3 > m");
    Node *inner = child(b, KIND_TEST_CLASS, "Inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(condition(inner->firstChild->firstChild), "x == 3");
    auto *run = static_cast<RunInfo *>(child(b, KIND_RUN, "run")->firstChild->payload);
    EXPECT_STREQ(firstArgument(run->component), "3 + 1");
}

TEST_F(Substituted, BaseTextsAreUnchanged)
{
    Node *t = child(a, KIND_TEST_CASE, "t");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(condition(firstOfKind(t, KIND_CHECK)), "n > 0");
    auto *call = static_cast<CallInfo *>(firstOfKind(t, KIND_CALL)->payload);
    EXPECT_STREQ(firstArgument(call->target), "n");
    EXPECT_STREQ(call->arguments != nullptr ? call->arguments->text : "<none>", "n");
    auto *property = static_cast<PropertyCheckInfo *>(firstOfKind(t, KIND_CHECK_PROPERTY)->payload);
    EXPECT_STREQ(firstArgument(property->target), "n");
    EXPECT_EQ(printed(firstOfKind(t, KIND_PRINT)), (std::vector<std::string>{"n", " \"n\""}));
    EXPECT_STREQ(child(a, KIND_PROPERTY, "Size")->firstChild->name, "k > n");
    EXPECT_STREQ(condition(child(a, KIND_PROC, "q")->firstChild), "n > m");
    EXPECT_STREQ(condition(child(a, KIND_TEST_CLASS, "Inner")->firstChild->firstChild), "x == n");
    auto *run = static_cast<RunInfo *>(child(a, KIND_RUN, "run")->firstChild->payload);
    EXPECT_STREQ(firstArgument(run->component), "n + 1");
}

TEST_F(Substituted, CopiesAreBoundInTheDerivedClass)
{
    Node *copiedP = child(b, KIND_PROC, "p");
    Node *copiedCase = child(b, KIND_TEST_CASE, "t");
    auto *call = static_cast<CallInfo *>(firstOfKind(copiedCase, KIND_CALL)->payload);
    EXPECT_EQ(call->resolvedTarget, copiedP);
    // The payload's argument list is the list of its segment.
    EXPECT_EQ(call->arguments, call->target->arguments);
    ASSERT_NE(call->target->arguments, nullptr);
    EXPECT_STREQ(call->target->arguments->formal, "n");
    auto *property = static_cast<PropertyCheckInfo *>(firstOfKind(copiedCase, KIND_CHECK_PROPERTY)->payload);
    EXPECT_EQ(property->resolvedTarget, child(b, KIND_PROPERTY, "Size"));
    EXPECT_EQ(property->arguments, property->target->arguments);

    Node *run = child(b, KIND_RUN, "run");
    std::vector<Node *> components = children(run);
    ASSERT_EQ(components.size(), 2u);
    EXPECT_EQ(static_cast<RunInfo *>(components[0]->payload)->resolvedComponent, child(b, KIND_TEST_CLASS, "Inner"));
    EXPECT_EQ(static_cast<RunInfo *>(components[1]->payload)->resolvedComponent, copiedCase);

    // The base's own references still point into the base.
    auto *baseCall = static_cast<CallInfo *>(firstOfKind(child(a, KIND_TEST_CASE, "t"), KIND_CALL)->payload);
    EXPECT_EQ(baseCall->resolvedTarget, child(a, KIND_PROC, "p"));
}

TEST_F(Expansion, InheritedRunRunsTheDerivedClassCases)
{
    translate("TEST CLASS A {\n"
              "  TEST CASE t1 { }\n"
              "  TEST CASE t2 { }\n"
              "  run { t1; t2; }\n"
              "}\n"
              "TEST CLASS B : A {\n"
              "  TEST CASE t2 { }\n"
              "}\n"
              "run { B.t2; B.t1; }\n");
    Node *a = topClass("A");
    Node *b = topClass("B");
    ASSERT_EQ(names(b), (std::vector<std::string>{"t2", "t1", "run"}));
    std::vector<Node *> inherited = children(children(b)[2]);
    ASSERT_EQ(inherited.size(), 2u);
    auto *first = static_cast<RunInfo *>(inherited[0]->payload);
    auto *second = static_cast<RunInfo *>(inherited[1]->payload);
    EXPECT_EQ(first->resolvedComponent, children(b)[1]);
    EXPECT_EQ(first->component->resolved, children(b)[1]);
    EXPECT_EQ(second->resolvedComponent, children(b)[0]);
    EXPECT_EQ(second->component->resolved, children(b)[0]);

    std::vector<Node *> own = children(child(a, KIND_RUN, "run"));
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(static_cast<RunInfo *>(own[0]->payload)->resolvedComponent, child(a, KIND_TEST_CASE, "t1"));
    EXPECT_EQ(static_cast<RunInfo *>(own[1]->payload)->resolvedComponent, child(a, KIND_TEST_CASE, "t2"));

    // The top-level RUN reaches the inherited case through B's copy.
    std::vector<Node *> top = children(child(root, KIND_RUN, "run"));
    ASSERT_EQ(top.size(), 2u);
    auto *viaB = static_cast<RunInfo *>(top[1]->payload);
    EXPECT_EQ(viaB->component->resolved, b);
    EXPECT_EQ(viaB->resolvedComponent, children(b)[1]);
}

TEST_F(Expansion, CallThroughABaseIsBoundBeforeExpansion)
{
    ASSERT_NO_FATAL_FAILURE(parse("TEST CLASS A {\n"
                                  "  PROC p (x) { }\n"
                                  "}\n"
                                  "TEST CLASS B : A {\n"
                                  "  TEST CASE t { call p(1); }\n"
                                  "}\n"));
    ASSERT_NO_FATAL_FAILURE(firstResolve());
    Node *a = topClass("A");
    Node *b = topClass("B");
    EXPECT_EQ(static_cast<ClassInfo *>(b->payload)->resolvedBase, a);
    auto *call = static_cast<CallInfo *>(b->firstChild->firstChild->payload);
    EXPECT_EQ(call->resolvedTarget, a->firstChild);
    ASSERT_NE(call->target->arguments, nullptr);
    EXPECT_STREQ(call->target->arguments->formal, "x");
}

TEST_F(Expansion, NoClassKeepsABaseAndASecondExpansionChangesNothing)
{
    translate("TEST CLASS A (v) {\n"
              "  TEST CLASS X { TEST CASE x { } }\n"
              "  TEST CLASS Y : X { TEST CASE y { } }\n"
              "}\n"
              "TEST CLASS B : A (1) { }\n"
              "TEST CLASS C : B { TEST CASE c { } }\n");
    size_t count = 0;
    for (Node *node : allNodes()) {
        ++count;
        if (node->kind != KIND_TEST_CLASS)
            continue;
        auto *info = static_cast<ClassInfo *>(node->payload);
        EXPECT_EQ(info->base, nullptr) << node->name;
        EXPECT_EQ(info->resolvedBase, nullptr) << node->name;
    }
    Node *y = child(topClass("C"), KIND_TEST_CLASS, "Y");
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(names(y), (std::vector<std::string>{"y", "x"}));
    EXPECT_EQ(names(topClass("C")), (std::vector<std::string>{"c", "X", "Y"}));

    ASSERT_NO_FATAL_FAILURE(expandAndResolve());
    EXPECT_EQ(allNodes().size(), count);
}

// C0 holds a test case; every Ci derives from C(i-1). Written from the most
// derived class down when reversed.
std::string chainOfBases(int length, bool reversed = false)
{
    std::vector<std::string> lines;
    lines.push_back("TEST CLASS C0 { TEST CASE t { } }\n");
    for (int i = 1; i < length; ++i)
        lines.push_back("TEST CLASS C" + std::to_string(i) + " : C" + std::to_string(i - 1) + " { }\n");
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += lines[reversed ? lines.size() - 1 - i : i];
    return text;
}

TEST_F(Expansion, LongChainsOfBasesAreFlattened)
{
    translate(chainOfBases(100, true));
    Node *last = topClass("C99");
    ASSERT_NE(last, nullptr);
    ASSERT_NE(last->firstChild, nullptr);
    EXPECT_EQ(last->firstChild->id, topClass("C0")->firstChild->id);
    EXPECT_EQ(last->firstChild->nextSibling, nullptr);
}

// Written derived first, a long chain makes expansion flatten each base on
// the way down, so its depth is refused; written base first, every base is
// flat already when its derived class is reached, and nothing nests.
TEST_F(Expansion, DeepChainWrittenDerivedFirstIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(parse(chainOfBases(600, true)));
    errors = captureStderr([&] {
        resolve(root);
        if (errorCount == 0 && expand(root) == 0)
            resolve(root);
    });
    EXPECT_NE(errors.find("zepprepro - fatal: "), std::string::npos) << errors.substr(0, 400);
    EXPECT_NE(errors.find("internal error: "), std::string::npos) << errors.substr(0, 400);
}

TEST_F(Expansion, DeepChainWrittenBaseFirstIsFlattened)
{
    ASSERT_NO_FATAL_FAILURE(parse(chainOfBases(600, false)));
    errors = captureStderr([&] {
        resolve(root);
        if (errorCount == 0 && expand(root) == 0)
            resolve(root);
    });
    EXPECT_EQ(errors, "");
    EXPECT_EQ(errorCount, 0u);
}

} // namespace
