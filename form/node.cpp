// Node construction, navigation and the bulk release of the tree.
#include "base/diagnostics.h"
#include "form/form.h"
#include "base/memory.h"

#include <cstring>

// Every node is asked for at its release: a switch, not a search.
const char *kindName(uint32_t kind)
{
    switch (kind) {
    case KIND_SCRIPT:
        return "SCRIPT";
    case KIND_TEST_CLASS:
        return "TEST CLASS";
    case KIND_TEST_SUITE:
        return "TEST SUITE";
    case KIND_TEST_CASE:
        return "TEST CASE";
    case KIND_SINGLE_CLASS:
        return "SINGLE CLASS";
    case KIND_CHECK_EXCEPTION:
        return "CHECK EXCEPTION";
    case KIND_CHECK_PROPERTY:
        return "CHECK PROPERTY";
    case KIND_CHECK_STUB:
        return "CHECK STUB";
    case KIND_CHECK_METHOD:
        return "CHECK METHOD";
    case KIND_ON_ERROR:
        return "ON ERROR";
    case KIND_PRINT:
        return "PRINT";
    case KIND_CALL:
        return "CALL";
    case KIND_ENSURE:
        return "ENSURE";
    case KIND_INVARIANT:
        return "INVARIANT";
    case KIND_PROC:
        return "PROC";
    case KIND_REQUIRE:
        return "REQUIRE";
    case KIND_WRAP:
        return "WRAP";
    case KIND_RUN:
        return "RUN";
    case KIND_INCLUDE:
        return "INCLUDE";
    case KIND_RUN_COMPONENT:
        return "RUN COMPONENT";
    case KIND_PROLOGUE:
        return "PROLOGUE";
    case KIND_EPILOGUE:
        return "EPILOGUE";
    case KIND_UMLSTATE:
        return "UMLSTATE";
    case KIND_TRANSITION:
        return "TRANSITION";
    case KIND_THREE_POINTS:
        return "THREE POINTS";
    case KIND_EXPRESSION:
        return "EXPRESSION";
    case KIND_COMMENT_LINE:
    case KIND_COMMENT_BLOCK:
        return "COMMENT";
    case KIND_NATIVE_LINE:
    case KIND_NATIVE_BLOCK:
    case KIND_CPP_LINE:
    case KIND_CPP_BLOCK:
    case KIND_JAVA_LINE:
    case KIND_JAVA_BLOCK:
        return "NATIVE CODE";
    case KIND_CHECK:
        return "CHECK";
    case KIND_PROPERTY:
        return "PROPERTY";
    case KIND_STUB:
        return "STUB";
    case KIND_CLASS:
        return "CLASS";
    default:
        return nullptr;
    }
}

bool isKnownKind(uint32_t kind)
{
    return kindName(kind) != nullptr;
}

Node *createRoot()
{
    Node *root = static_cast<Node *>(zepAllocRecord(sizeof(Node)));
    if (root == nullptr)
        return nullptr;
    memset(root, 0, sizeof(Node));
    root->kind = KIND_SCRIPT;
    root->id = 1;
    root->line = 1;
    return root;
}

static void appendChild(Node *parent, Node *node)
{
    node->parent = parent;
    node->prevSibling = parent->lastChild;
    if (parent->lastChild != nullptr)
        parent->lastChild->nextSibling = node;
    else
        parent->firstChild = node;
    parent->lastChild = node;
}

Node *createNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place)
{
    if (parent == nullptr)
        return nullptr;
    Node *node = static_cast<Node *>(zepAllocRecord(sizeof(Node)));
    if (node == nullptr)
        return nullptr;
    memset(node, 0, sizeof(Node));
    node->displayPath = place.displayPath;
    node->kind = kind;
    node->name = name;
    node->id = run->nextId;
    node->sid = run->nextId;
    run->nextId++;
    node->directory = place.directory;
    node->fileName = place.fileName;
    node->fileNo = place.fileNo;
    node->beginLine = place.span.beginLine;
    node->endLine = place.span.endLine;
    node->beginColumn = place.span.beginColumn;
    node->endColumn = place.span.endColumn;
    node->line = place.line;
    node->depth = place.depth;
    appendChild(parent, node);
    return node;
}

// Takes back the node just appended under parent, when its payload could not
// be built, so that no node of a payload kind ever lacks its payload.
static void unlinkLastChild(Node *parent)
{
    Node *node = parent->lastChild;
    parent->lastChild = node->prevSibling;
    if (node->prevSibling != nullptr)
        node->prevSibling->nextSibling = nullptr;
    else
        parent->firstChild = nullptr;
    zepFreeRecord(node->payload);
    zepFreeRecord(node);
}

// Builds the node and a zeroed payload of the given size.
static Node *createPayloadNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place,
                               size_t payloadSize)
{
    Node *node = createNode(run, parent, kind, name, place);
    if (node == nullptr)
        return nullptr;
    node->payload = zepAllocRecord(payloadSize);
    if (node->payload == nullptr) {
        unlinkLastChild(parent);
        return nullptr;
    }
    memset(node->payload, 0, payloadSize);
    return node;
}

template <typename Info> static Info *payloadOf(Node *node)
{
    return static_cast<Info *>(node->payload);
}

Node *createPlainNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place)
{
    return createNode(run, parent, kind, name, place);
}

Node *createListNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place, NameEntry *list)
{
    Node *node = createPayloadNode(run, parent, kind, name, place, sizeof(ListInfo));
    if (node != nullptr)
        payloadOf<ListInfo>(node)->list = list;
    return node;
}

Node *createClassNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameEntry *parameters, NameSegment *base)
{
    Node *node = createPayloadNode(run, parent, KIND_TEST_CLASS, name, place, sizeof(ClassInfo));
    if (node != nullptr)
        *payloadOf<ClassInfo>(node) = {parameters, base, nullptr};
    return node;
}

Node *createCallNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameSegment *target, NameEntry *arguments)
{
    Node *node = createPayloadNode(run, parent, KIND_CALL, name, place, sizeof(CallInfo));
    if (node != nullptr)
        *payloadOf<CallInfo>(node) = {target, arguments, nullptr};
    return node;
}

Node *createPropertyCheckNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *label,
                              NameSegment *target, NameEntry *arguments, const SpanWords &span)
{
    Node *node = createPayloadNode(run, parent, KIND_CHECK_PROPERTY, name, place, sizeof(PropertyCheckInfo));
    if (node != nullptr)
        *payloadOf<PropertyCheckInfo>(node) = {target, arguments, label, nullptr, span};
    return node;
}

Node *createStubCheckNode(Run *run, Node *parent, const char *name, const NodePlace &place)
{
    return createPayloadNode(run, parent, KIND_CHECK_STUB, name, place, sizeof(StubCheckInfo));
}

Node *createOnErrorNode(Run *run, Node *parent, const char *name, const NodePlace &place)
{
    Node *node = createPayloadNode(run, parent, KIND_ON_ERROR, name, place, sizeof(OnErrorInfo));
    if (node != nullptr)
        *payloadOf<OnErrorInfo>(node) = {KIND_CONTINUE, nullptr, nullptr};
    return node;
}

Node *createConditionNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place, const SpanWords &span)
{
    Node *node = createPayloadNode(run, parent, kind, name, place, sizeof(ConditionInfo));
    if (node != nullptr)
        payloadOf<ConditionInfo>(node)->span = span;
    return node;
}

Node *createInvariantNode(Run *run, Node *parent, const char *name, const NodePlace &place, const SpanWords &span)
{
    return createConditionNode(run, parent, KIND_INVARIANT, name, place, span);
}

Node *createRunNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameSegment *component)
{
    Node *node = createPayloadNode(run, parent, KIND_RUN_COMPONENT, name, place, sizeof(RunInfo));
    if (node != nullptr)
        payloadOf<RunInfo>(node)->component = component;
    return node;
}

Node *createStateNode(Run *run, Node *parent, const char *name, const NodePlace &place)
{
    return createPayloadNode(run, parent, KIND_UMLSTATE, name, place, sizeof(StateInfo));
}

Node *createTransitionNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *fromState,
                           const char *toState)
{
    Node *node = createPayloadNode(run, parent, KIND_TRANSITION, name, place, sizeof(TransitionInfo));
    if (node != nullptr)
        *payloadOf<TransitionInfo>(node) = {fromState, toState, nullptr, nullptr};
    return node;
}

Node *createCheckNode(Run *run, Node *parent, const NodePlace &place, const char *label, const char *condition,
                      const SpanWords &span)
{
    Node *node = createPayloadNode(run, parent, KIND_CHECK, nullptr, place, sizeof(CheckInfo));
    if (node != nullptr)
        *payloadOf<CheckInfo>(node) = {label, condition, span};
    return node;
}

Node *createStubNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *signature)
{
    Node *node = createPayloadNode(run, parent, KIND_STUB, name, place, sizeof(StubInfo));
    if (node == nullptr)
        return nullptr;
    StubInfo *stub = payloadOf<StubInfo>(node);
    stub->signature = signature;
    stub->caseCounter = 1;
    if (initTextBuffer(&stub->head) != 0 || initTextBuffer(&stub->cases) != 0 || initTextBuffer(&stub->tail) != 0) {
        freeTextBuffer(&stub->head);
        freeTextBuffer(&stub->cases);
        freeTextBuffer(&stub->tail);
        unlinkLastChild(parent);
        return nullptr;
    }
    return node;
}

Node *rootOf(Node *node)
{
    while (node != nullptr && node->parent != nullptr)
        node = node->parent;
    return node;
}

static void releasePayload(Run *run, Node *node)
{
    if (!isKnownKind(node->kind))
        report(run, MESSAGE_UNKNOWN_TOKEN, node->displayPath, node->line, messageArgument(node->name));
    else if (node->kind == KIND_STUB && node->payload != nullptr) {
        StubInfo *stub = payloadOf<StubInfo>(node);
        freeTextBuffer(&stub->head);
        freeTextBuffer(&stub->cases);
        freeTextBuffer(&stub->tail);
    }
    zepFreeRecord(node->payload);
}

// Walks siblings in a loop and children by recursion, so a long list of
// elements does not deepen the stack.
void releaseTree(Run *run, Node *node)
{
    while (node != nullptr) {
        Node *next = node->nextSibling;
        releaseTree(run, node->firstChild);
        releasePayload(run, node);
        zepFreeRecord(node);
        node = next;
    }
}
