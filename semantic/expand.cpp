// Inheritance expansion: every derived TEST CLASS receives copies of what
// its base holds and it does not redefine, with the base's formal parameters
// replaced by the actual ones, and then forgets its base.
#include "base/diagnostics.h"
#include "base/memory.h"
#include "semantic/semantic.h"

namespace {

// The word of message 46 for a copied element's kind.
const char *copyWord(uint32_t kind)
{
    switch (kind) {
    case KIND_RUN_COMPONENT:
        return "RUN ELEMENT";
    case KIND_REQUIRE:
        return "REQUIRE EXPRESSION";
    case KIND_ENSURE:
        return "ENSURE EXPRESSION";
    case KIND_COMMENT_LINE:
    case KIND_COMMENT_BLOCK:
    case KIND_LINE_COMMENT:
    case KIND_BLOCK_COMMENT:
        return "COMMENT";
    default:
        return isNativeKind(kind) ? "NATIVE" : kindName(kind);
    }
}

// A dotted name copied segment by segment; with arguments set, each
// segment's actual parameters are copied too, so that substituting into the
// copy leaves the original's texts alone. -1 when memory runs out.
int copySegments(Run *run, const NameSegment *segments, bool arguments, NameSegment **copy)
{
    *copy = nullptr;
    NameSegment *last = nullptr;
    for (; segments != nullptr; segments = segments->next) {
        NameEntry *list = segments->arguments;
        if (arguments && copyNameList(run, segments->arguments, &list) != 0)
            return -1;
        // Appended after the last copied segment: a long name is not walked
        // for every segment.
        NameSegment *grown = appendSegment(run, last, segments->text, list);
        if (grown == nullptr)
            return -1;
        if (*copy == nullptr)
            *copy = grown;
        last = last != nullptr ? last->next : grown;
    }
    return 0;
}

NameEntry *argumentsOf(const NameSegment *target)
{
    return target != nullptr ? target->arguments : nullptr;
}

// The copy of one element without its children, or null.
Node *copyNode(Run *run, Node *parent, const Node *element)
{
    NodePlace place{element->directory, element->fileName, element->displayPath, element->fileNo, element->line,
                    SpanWords{element->beginLine, element->endLine, element->beginColumn, element->endColumn},
                    element->depth};
    const char *name = element->name;
    uint32_t kind = element->kind;
    void *payload = element->payload;
    NameSegment *segments = nullptr;
    switch (kind) {
    case KIND_TEST_CLASS: {
        auto *info = static_cast<ClassInfo *>(payload);
        if (copySegments(run, info->base, false, &segments) != 0)
            return nullptr;
        return createClassNode(run, parent, name, place, info->parameters, segments);
    }
    case KIND_PROC:
    case KIND_PROPERTY:
        return createListNode(run, parent, kind, name, place, static_cast<ListInfo *>(payload)->list);
    case KIND_PRINT: {
        NameEntry *items;
        if (copyNameList(run, static_cast<ListInfo *>(payload)->list, &items) != 0)
            return nullptr;
        return createListNode(run, parent, kind, name, place, items);
    }
    case KIND_STUB:
        return createStubNode(run, parent, name, place, static_cast<StubInfo *>(payload)->signature);
    case KIND_CHECK: {
        auto *info = static_cast<CheckInfo *>(payload);
        return createCheckNode(run, parent, place, info->label, info->condition, info->span);
    }
    case KIND_CHECK_PROPERTY: {
        auto *info = static_cast<PropertyCheckInfo *>(payload);
        if (copySegments(run, info->target, true, &segments) != 0)
            return nullptr;
        return createPropertyCheckNode(run, parent, name, place, info->label, segments, argumentsOf(segments), info->span);
    }
    case KIND_CHECK_STUB:
        return createStubCheckNode(run, parent, name, place);
    case KIND_CALL:
        if (copySegments(run, static_cast<CallInfo *>(payload)->target, true, &segments) != 0)
            return nullptr;
        return createCallNode(run, parent, name, place, segments, argumentsOf(segments));
    case KIND_RUN_COMPONENT:
        if (copySegments(run, static_cast<RunInfo *>(payload)->component, true, &segments) != 0)
            return nullptr;
        return createRunNode(run, parent, name, place, segments);
    case KIND_ON_ERROR: {
        Node *copy = createOnErrorNode(run, parent, name, place);
        if (copy != nullptr)
            *static_cast<OnErrorInfo *>(copy->payload) = *static_cast<OnErrorInfo *>(payload);
        return copy;
    }
    case KIND_REQUIRE:
    case KIND_ENSURE:
        return createConditionNode(run, parent, kind, name, place, static_cast<ConditionInfo *>(payload)->span);
    default:
        return createPlainNode(run, parent, kind, name, place);
    }
}

bool isCopiedKind(uint32_t kind)
{
    switch (kind) {
    case KIND_TEST_CLASS:
    case KIND_TEST_SUITE:
    case KIND_TEST_CASE:
    case KIND_PROC:
    case KIND_PROPERTY:
    case KIND_STUB:
    case KIND_CHECK:
    case KIND_CHECK_PROPERTY:
    case KIND_CHECK_STUB:
    case KIND_CHECK_METHOD:
    case KIND_CHECK_EXCEPTION:
    case KIND_CALL:
    case KIND_RUN:
    case KIND_RUN_COMPONENT:
    case KIND_ON_ERROR:
    case KIND_PRINT:
    case KIND_REQUIRE:
    case KIND_ENSURE:
    case KIND_EXPRESSION:
    case KIND_THREE_POINTS:
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
        return true;
    default:
        return (kind >= KIND_COMMENT_LINE && kind <= KIND_BLOCK_COMMENT) ||
               isNativeKind(kind);
    }
}

// Copies element with its children under parent; null after a message.
// The copy keeps the identifier and file of what was written.
Node *copySubtree(Run *run, Node *parent, const Node *element)
{
    if (!isCopiedKind(element->kind)) {
        report(run, MESSAGE_UNKNOWN_TOKEN, element->displayPath, element->line, messageArgument(element->name));
        return nullptr;
    }
    Node *copy = copyNode(run, parent, element);
    if (copy == nullptr) {
        const char *name = element->kind == KIND_CHECK ? static_cast<CheckInfo *>(element->payload)->condition
                                                       : element->name;
        report(run, MESSAGE_NODE_NOT_BUILT, element->displayPath, element->line, QString::fromLatin1(copyWord(element->kind)),
               messageArgument(name));
        return nullptr;
    }
    copy->id = element->id;
    copy->fileNo = element->fileNo;
    for (const Node *child = element->firstChild; child != nullptr; child = child->nextSibling) {
        if (copySubtree(run, copy, child) == nullptr)
            return nullptr;
    }
    return copy;
}

NameEntry *formalsDeclared(const Node *node)
{
    switch (node->kind) {
    case KIND_TEST_CLASS:
        return static_cast<ClassInfo *>(node->payload)->parameters;
    case KIND_PROC:
    case KIND_PROPERTY:
        return static_cast<ListInfo *>(node->payload)->list;
    default:
        return nullptr;
    }
}

// Masks (step 1) or unmasks (step -1) the bindings that node's own formal
// parameters hide.
void maskBindings(const Node *node, Binding *bindings, int step)
{
    for (const NameEntry *formal = formalsDeclared(node); formal != nullptr; formal = formal->next) {
        for (Binding *binding = bindings; binding != nullptr; binding = binding->next) {
            if (binding->formal == formal->text)
                binding->masked += step;
        }
    }
}

int substituteInto(Run *run, const char **text, const Binding *bindings)
{
    const char *substituted = substituteText(run, *text, bindings);
    if (substituted == nullptr)
        return -1;
    *text = substituted;
    return 0;
}

int substituteList(Run *run, NameEntry *list, const Binding *bindings)
{
    for (; list != nullptr; list = list->next) {
        if (substituteInto(run, &list->text, bindings) != 0)
            return -1;
    }
    return 0;
}

int substituteSegments(Run *run, NameSegment *segments, const Binding *bindings)
{
    for (; segments != nullptr; segments = segments->next) {
        if (substituteList(run, segments->arguments, bindings) != 0)
            return -1;
    }
    return 0;
}

// The texts of one element that carry native code.
int substituteNode(Run *run, Node *node, const Binding *bindings)
{
    switch (node->kind) {
    case KIND_PRINT:
        return substituteList(run, static_cast<ListInfo *>(node->payload)->list, bindings);
    case KIND_CHECK:
        return substituteInto(run, &static_cast<CheckInfo *>(node->payload)->condition, bindings);
    case KIND_CALL:
        return substituteSegments(run, static_cast<CallInfo *>(node->payload)->target, bindings);
    case KIND_CHECK_PROPERTY:
        return substituteSegments(run, static_cast<PropertyCheckInfo *>(node->payload)->target, bindings);
    case KIND_RUN_COMPONENT:
        return substituteSegments(run, static_cast<RunInfo *>(node->payload)->component, bindings);
    case KIND_REQUIRE:
    case KIND_ENSURE:
    case KIND_EXPRESSION:
        return substituteInto(run, &node->name, bindings);
    default:
        if (isNativeKind(node->kind))
            return substituteInto(run, &node->name, bindings);
        return 0;
    }
}

int substituteSubtree(Run *run, Node *node, Binding *bindings)
{
    maskBindings(node, bindings, 1);
    int result = substituteNode(run, node, bindings);
    for (Node *child = node->firstChild; child != nullptr && result == 0; child = child->nextSibling)
        result = substituteSubtree(run, child, bindings);
    maskBindings(node, bindings, -1);
    return result;
}

void releaseBindings(Binding *bindings)
{
    while (bindings != nullptr) {
        Binding *next = bindings->next;
        zepFree(bindings);
        bindings = next;
    }
}

// One binding for every actual parameter of every segment of the base name.
int makeBindings(Run *run, const NameSegment *base, Binding **bindings)
{
    Binding **tail = bindings;
    *bindings = nullptr;
    for (; base != nullptr; base = base->next) {
        for (const NameEntry *actual = base->arguments; actual != nullptr; actual = actual->next) {
            if (actual->formal == nullptr)
                continue;
            auto *binding = static_cast<Binding *>(zepAlloc(sizeof(Binding)));
            if (binding == nullptr) {
                report(run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
                releaseBindings(*bindings);
                return -1;
            }
            *binding = Binding{actual->formal, actual->text, 0, nullptr};
            *tail = binding;
            tail = &binding->next;
        }
    }
    return 0;
}

// Whether the derived class redefines the base's element, so that it is
// not inherited.
bool isRedefined(const Node *derived, const Node *element)
{
    uint32_t kind = element->kind;
    switch (kind) {
    case KIND_TEST_CLASS:
    case KIND_TEST_SUITE:
    case KIND_TEST_CASE:
    case KIND_PROC:
    case KIND_PROPERTY:
    case KIND_CHECK_STUB:
    case KIND_ON_ERROR:
    case KIND_RUN:
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
    case KIND_CHECK_EXCEPTION:
        for (const Node *child = derived->firstChild; child != nullptr; child = child->nextSibling) {
            if (child->kind == kind && (kind == KIND_CHECK_EXCEPTION || child->name == element->name))
                return true;
        }
        return false;
    default:
        return false;
    }
}

bool holds(const Node *outer, const Node *inner)
{
    for (; inner != nullptr; inner = inner->parent) {
        if (inner == outer)
            return true;
    }
    return false;
}

int inherit(Run *run, Node *derived, Node *base, Binding *bindings)
{
    for (const Node *element = base->firstChild; element != nullptr; element = element->nextSibling) {
        if (isRedefined(derived, element))
            continue;
        Node *copy = copySubtree(run, derived, element);
        if (copy == nullptr || (bindings != nullptr && substituteSubtree(run, copy, bindings) != 0))
            return -1;
    }
    return 0;
}

int expandClass(Run *run, Node *derived)
{
    auto *info = static_cast<ClassInfo *>(derived->payload);
    Node *base = resolveBase(run, derived, info->base);
    if (base == nullptr) {
        info->base = nullptr;
        return -1;
    }
    if (holds(base, derived)) {
        report(run, MESSAGE_INTERNAL_ERROR, derived->displayPath, derived->line,
               QStringLiteral("TEST CLASS `%1' inherits from a class that holds it").arg(messageArgument(derived->name)));
        return -1;
    }
    if (run->expansionDepth >= NESTING_LIMIT) {
        report(run, MESSAGE_INTERNAL_ERROR, derived->displayPath, derived->line,
               QStringLiteral("TEST CLASS bases nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    run->expansionDepth++;
    int result = expand(run, base);
    run->expansionDepth--;
    Binding *bindings = nullptr;
    if (result != 0 || makeBindings(run, info->base, &bindings) != 0)
        return -1;
    result = inherit(run, derived, base, bindings);
    releaseBindings(bindings);
    info->base = nullptr;
    info->resolvedBase = nullptr;
    return result;
}

} // namespace

int expand(Run *run, Node *node)
{
    if (node->kind == KIND_TEST_CLASS && static_cast<ClassInfo *>(node->payload)->resolvedBase != nullptr &&
        expandClass(run, node) != 0)
        return -1;
    for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling) {
        if (expand(run, child) != 0)
            return -1;
    }
    return 0;
}
