// Node construction: linking, identifiers, the payloads as built, release and
// allocation failures.
#include "driver/files.h"
#include "test_support.h"

#include <functional>

namespace {

class Nodes : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        savedNextId = nextId;
        savedFileNo = currentFileNo;
        root = createRoot();
        ASSERT_NE(root, nullptr);
        place = {internText("/nowhere/"), internText("a.otd"), 12, {12, 14, 3, 9}, 1};
    }

    void TearDown() override
    {
        releaseTree(root);
        nextId = savedNextId;
        currentFileNo = savedFileNo;
        RunState::TearDown();
    }

    Node *root = nullptr;
    NodePlace place{};
    uint64_t savedNextId = 0;
    uint32_t savedFileNo = 0;
};

TEST_F(Nodes, RootHasOnlyItsFixedFields)
{
    EXPECT_EQ(root->kind, 999u);
    EXPECT_EQ(root->id, 1u);
    EXPECT_EQ(root->sid, 0u);
    EXPECT_EQ(root->line, 1u);
    EXPECT_EQ(root->name, nullptr);
    EXPECT_EQ(root->displayPath, nullptr);
    EXPECT_EQ(root->fileNo, 0u);
    EXPECT_EQ(root->depth, 0u);
    EXPECT_EQ(root->payload, nullptr);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(root->firstChild, nullptr);
    EXPECT_EQ(root->nextSibling, nullptr);
}

TEST_F(Nodes, ChildrenLinkInOrderWithFreshIdentifiers)
{
    nextId = 40;
    currentFileNo = 3;
    Node *first = createPlainNode(root, KIND_TEST_SUITE, internText("S"), place);
    Node *second = createPlainNode(root, KIND_TEST_CASE, internText("T"), place);
    Node *inner = createPlainNode(first, KIND_THREE_POINTS, internText("..."), place);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(nextId, 43u);
    EXPECT_EQ(first->id, 40u);
    EXPECT_EQ(first->sid, 40u);
    EXPECT_EQ(second->id, 41u);
    EXPECT_EQ(inner->sid, 42u);

    EXPECT_EQ(root->firstChild, first);
    EXPECT_EQ(root->lastChild, second);
    EXPECT_EQ(first->prevSibling, nullptr);
    EXPECT_EQ(first->nextSibling, second);
    EXPECT_EQ(second->prevSibling, first);
    EXPECT_EQ(second->nextSibling, nullptr);
    EXPECT_EQ(inner->parent, first);
    EXPECT_EQ(first->firstChild, inner);
    EXPECT_EQ(first->lastChild, inner);
    EXPECT_EQ(rootOf(inner), root);

    EXPECT_EQ(second->kind, KIND_TEST_CASE);
    EXPECT_STREQ(second->name, "T");
    EXPECT_EQ(second->fileNo, 3u);
    EXPECT_STREQ(second->directory, "/nowhere/");
    EXPECT_STREQ(second->fileName, "a.otd");
    // Outside the working directory the display path is the full path.
    EXPECT_STREQ(second->displayPath, "/nowhere/a.otd");
    EXPECT_EQ(second->line, 12u);
    EXPECT_EQ(second->beginLine, 12u);
    EXPECT_EQ(second->endLine, 14u);
    EXPECT_EQ(second->beginColumn, 3u);
    EXPECT_EQ(second->endColumn, 9u);
    EXPECT_EQ(second->depth, 1u);
    EXPECT_EQ(second->payload, nullptr);

    EXPECT_EQ(createNode(nullptr, KIND_TEST_CASE, nullptr, place), nullptr);
    EXPECT_EQ(nextId, 43u);
}

TEST_F(Nodes, PayloadsAsBuilt)
{
    SpanWords span{5, 6, 7, 8};
    NameEntry *parameters = buildNameList("x, y");
    NameEntry *arguments = buildParameterList("1, 2");
    NameSegment *base = appendSegment(nullptr, internText("Base"), arguments);
    const char *label = internText("lbl");

    auto *cls = static_cast<ClassInfo *>(createClassNode(root, internText("C"), place, parameters, base)->payload);
    EXPECT_EQ(cls->parameters, parameters);
    EXPECT_EQ(cls->base, base);
    EXPECT_EQ(cls->resolvedBase, nullptr);

    auto *call = static_cast<CallInfo *>(createCallNode(root, internText("P"), place, base, arguments)->payload);
    EXPECT_EQ(call->target, base);
    EXPECT_EQ(call->arguments, arguments);
    EXPECT_EQ(call->resolvedTarget, nullptr);

    Node *propertyNode = createPropertyCheckNode(root, internText("Q"), place, label, base, arguments, span);
    EXPECT_EQ(propertyNode->kind, KIND_CHECK_PROPERTY);
    auto *property = static_cast<PropertyCheckInfo *>(propertyNode->payload);
    EXPECT_EQ(property->label, label);
    EXPECT_EQ(property->target, base);
    EXPECT_EQ(property->arguments, arguments);
    EXPECT_EQ(property->resolvedTarget, nullptr);
    EXPECT_EQ(property->span.endColumn, 8u);

    auto *onError = static_cast<OnErrorInfo *>(createOnErrorNode(root, nullptr, place)->payload);
    EXPECT_EQ(onError->action, 1404u);
    EXPECT_EQ(onError->bypassTarget, nullptr);
    EXPECT_EQ(onError->resolvedBypass, nullptr);

    Node *invariant = createInvariantNode(root, internText("x > 0"), place, span);
    EXPECT_EQ(invariant->kind, KIND_INVARIANT);
    EXPECT_EQ(static_cast<ConditionInfo *>(invariant->payload)->span.beginLine, 5u);
    Node *require = createConditionNode(root, KIND_REQUIRE, internText("y"), place, span);
    EXPECT_EQ(static_cast<ConditionInfo *>(require->payload)->span.beginColumn, 7u);

    Node *runNode = createRunNode(root, internText("Suite"), place, base);
    EXPECT_EQ(runNode->kind, KIND_RUN_COMPONENT);
    EXPECT_EQ(static_cast<RunInfo *>(runNode->payload)->component, base);
    EXPECT_EQ(static_cast<RunInfo *>(runNode->payload)->resolvedComponent, nullptr);

    auto *state = static_cast<StateInfo *>(createStateNode(root, internText("Idle"), place)->payload);
    EXPECT_EQ(state->stateNumber, 0);
    EXPECT_EQ(state->transitionCount, 0u);

    auto *transition = static_cast<TransitionInfo *>(
        createTransitionNode(root, internText("go"), place, internText("A"), internText("B"))->payload);
    EXPECT_STREQ(transition->fromState, "A");
    EXPECT_STREQ(transition->toState, "B");
    EXPECT_EQ(transition->resolvedFrom, nullptr);
    EXPECT_EQ(transition->resolvedTo, nullptr);

    Node *checkNode = createCheckNode(root, place, label, internText("a == b"), span);
    EXPECT_EQ(checkNode->kind, KIND_CHECK);
    EXPECT_EQ(checkNode->name, nullptr);
    auto *check = static_cast<CheckInfo *>(checkNode->payload);
    EXPECT_EQ(check->label, label);
    EXPECT_STREQ(check->condition, "a == b");
    EXPECT_EQ(check->span.endLine, 6u);

    Node *stubCheck = createStubCheckNode(root, internText("s"), place);
    EXPECT_EQ(static_cast<StubCheckInfo *>(stubCheck->payload)->resolvedStub, nullptr);

    Node *printNode = createListNode(root, KIND_PRINT, nullptr, place, arguments);
    EXPECT_EQ(static_cast<ListInfo *>(printNode->payload)->list, arguments);

    Node *stubNode = createStubNode(root, internText("f"), place, internText("int f(int)"));
    EXPECT_EQ(stubNode->kind, KIND_STUB);
    auto *stub = static_cast<StubInfo *>(stubNode->payload);
    EXPECT_STREQ(stub->signature, "int f(int)");
    EXPECT_EQ(stub->caseCounter, 1u);
    for (const TextBuffer *buffer : {&stub->head, &stub->cases, &stub->tail}) {
        ASSERT_NE(buffer->text, nullptr);
        EXPECT_STREQ(buffer->text, "");
        EXPECT_EQ(buffer->capacity, 2048u);
    }
    EXPECT_NE(stub->head.text, stub->cases.text);
    EXPECT_NE(stub->cases.text, stub->tail.text);
}

TEST_F(Nodes, ReleaseFreesNestedStubBuffersOnce)
{
    // Released by the fixture; the sanitizer reports leaks and double frees.
    Node *suite = createPlainNode(root, KIND_TEST_SUITE, internText("S"), place);
    Node *stub = createStubNode(suite, internText("f"), place, internText("void f()"));
    ASSERT_NE(stub, nullptr);
    ASSERT_EQ(appendText(&static_cast<StubInfo *>(stub->payload)->cases, std::string(5000, 'c').c_str()), 0);
    ASSERT_NE(createStubNode(root, internText("g"), place, internText("void g()")), nullptr);
    ASSERT_NE(createOnErrorNode(suite, nullptr, place), nullptr);
}

TEST_F(Nodes, ReleaseReportsAnUnknownKind)
{
    Node *odd = createPlainNode(root, 4242, internText("weird"), place);
    ASSERT_NE(odd, nullptr);
    Node *detached = root->firstChild;
    root->firstChild = root->lastChild = nullptr;
    detached->parent = nullptr;
    std::string errors = captureStderr([&] { releaseTree(detached); });
    EXPECT_EQ(errorCount, 1u);
    EXPECT_EQ(errors, "zepprepro - error: /nowhere/a.otd:12: Unknown token `weird' in internal form.\n");
}

// Makes build fail at every allocation it needs in turn: each failure must
// return null with the parent's child list exactly as before.
void failEachAllocation(Node *parent, const std::function<Node *()> &build)
{
    failAllocation(0);
    ASSERT_NE(build(), nullptr);
    unsigned long needed = failAllocation(0);
    ASSERT_GT(needed, 0u);
    for (unsigned long n = 1; n <= needed; n++) {
        Node *lastBefore = parent->lastChild;
        Node *firstBefore = parent->firstChild;
        failAllocation(n);
        Node *made = build();
        failAllocation(0);
        if (made == nullptr) {
            EXPECT_EQ(parent->lastChild, lastBefore) << "allocation " << n;
            EXPECT_EQ(parent->firstChild, firstBefore) << "allocation " << n;
            if (lastBefore != nullptr) {
                EXPECT_EQ(lastBefore->nextSibling, nullptr) << "allocation " << n;
            }
        } else {
            // Only the display path may be lost; the node is fully linked
            // and has its payload.
            EXPECT_EQ(parent->lastChild, made) << "allocation " << n;
            EXPECT_EQ(made->prevSibling, lastBefore) << "allocation " << n;
            EXPECT_NE(made->payload, nullptr) << "allocation " << n;
        }
    }
}

TEST_F(Nodes, FailedAllocationsLeaveTheParentIntact)
{
    // The node itself failing.
    failAllocation(1);
    EXPECT_EQ(createPlainNode(root, KIND_TEST_CASE, nullptr, place), nullptr);
    failAllocation(0);
    EXPECT_EQ(root->firstChild, nullptr);

    ASSERT_NE(createPlainNode(root, KIND_TEST_SUITE, internText("S"), place), nullptr);
    failEachAllocation(root, [&] { return createStubNode(root, internText("f"), place, internText("void f()")); });
    failEachAllocation(root, [&] {
        return createTransitionNode(root, internText("t"), place, internText("A"), internText("B"));
    });
    failEachAllocation(root, [&] { return createOnErrorNode(root, nullptr, place); });
}

} // namespace
