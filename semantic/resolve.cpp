// Name resolution: binds every reference to the element it names and
// reports duplicates, unknown names, parameter counts and inheritance cycles.
#include "base/diagnostics.h"
#include "base/memory.h"
#include "semantic/semantic.h"

#include <QCoreApplication>

namespace {

const char *const WORD_CHECKING = QT_TRANSLATE_NOOP("ZEP Error Parameter", "checking");
const char *const WORD_CHECKING_OF = QT_TRANSLATE_NOOP("ZEP Error Parameter", "checking of");
const char *const WORD_INHERITANCE_OF = QT_TRANSLATE_NOOP("ZEP Error Parameter", "inheritance of");
const char *const WORD_CALLING_OF = QT_TRANSLATE_NOOP("ZEP Error Parameter", "calling of");
const char *const WORD_TRANSITION_FROM = QT_TRANSLATE_NOOP("ZEP Error Parameter", "transition from");
const char *const WORD_TRANSITION_TO = QT_TRANSLATE_NOOP("ZEP Error Parameter", "transition to");

// A wanted kind that accepts any runnable component.
enum : uint32_t { WANT_RUNNABLE = 0 };


void reportAtNode(Run *run, const Node *node, unsigned message, const QString &a1 = QString(), const QString &a2 = QString())
{
    report(run, message, node->displayPath, node->line, a1, a2);
}

QString words(const char *text)
{
    return QString::fromLatin1(text);
}

NameEntry *formalsOf(const Node *target)
{
    switch (target->kind) {
    case KIND_PROC:
    case KIND_PROPERTY:
        return static_cast<ListInfo *>(target->payload)->list;
    case KIND_TEST_CLASS:
        return static_cast<ClassInfo *>(target->payload)->parameters;
    default:
        return nullptr;
    }
}

// Pairs the segment's actual parameters with the target's formals in order.
void matchParameters(Run *run, const Node *target, NameSegment *segment, const Node *at)
{
    NameEntry *actual = segment->arguments, *formal = formalsOf(target);
    for (; actual != nullptr && formal != nullptr; actual = actual->next, formal = formal->next)
        actual->formal = formal->text;
    if (actual != nullptr)
        reportAtNode(run, at, MESSAGE_PARAMETER_COUNT, words("many"), messageArgument(segment->text));
    else if (formal != nullptr)
        reportAtNode(run, at, MESSAGE_PARAMETER_COUNT, words("few"), messageArgument(segment->text));
}

// The first child of scope that the name may denote. A name followed by
// another in a dotted path can only be a TEST CLASS.
Node *childNamed(Run *run, Node *scope, const char *name, uint32_t wanted, bool followed)
{
    if (wanted != WANT_RUNNABLE)
        return firstChild(run, scope, wanted, name).node;
    ScopeEntry best = firstChild(run, scope, KIND_TEST_CLASS, name);
    if (!followed) {
        for (uint32_t kind : {KIND_TEST_SUITE, KIND_TEST_CASE}) {
            ScopeEntry entry = firstChild(run, scope, kind, name);
            if (entry.node != nullptr && (best.node == nullptr || entry.ordinal < best.ordinal))
                best = entry;
        }
    }
    return best.node;
}

void failInheritance(Run *run, Node *testClass)
{
    static_cast<ClassInfo *>(testClass->payload)->base = nullptr;
    reportAtNode(run, testClass, MESSAGE_UNRESOLVED, phrase(WORD_INHERITANCE_OF), messageArgument(testClass->name));
}

// The base of a TEST CLASS, resolved on first need; null when it has none.
Node *baseOf(Run *run, Node *testClass)
{
    auto *info = static_cast<ClassInfo *>(testClass->payload);
    if (info->resolvedBase == nullptr && info->base != nullptr) {
        info->resolvedBase = resolveBase(run, testClass, info->base);
        if (info->resolvedBase == nullptr)
            failInheritance(run, testClass);
    }
    return info->resolvedBase;
}

// Looks for the segment's name among the children of scope and then of its
// bases, nearest first. A cyclic chain of bases is left at its first repeat
// (the cycle itself is reported once the sibling list is done).
Node *findInScope(Run *run, Node *scope, NameSegment *segment, uint32_t wanted)
{
    bool followed = segment->next != nullptr;
    Node *mark = scope;
    uint64_t steps = 0, limit = 1;
    while (scope != nullptr) {
        Node *found = childNamed(run, scope, segment->text, wanted, followed);
        if (found != nullptr) {
            segment->resolved = found;
            return found;
        }
        if (scope->kind != KIND_TEST_CLASS)
            break;
        Node *next = baseOf(run, scope);
        if (next == mark)
            break;
        if (++steps == limit) {
            mark = next;
            limit *= 2;
            steps = 0;
        }
        scope = next;
    }
    segment->resolved = nullptr;
    return nullptr;
}

// The nearest enclosing scope, from the element's parent up, that has the
// name; the whole chain of bases of each scope is searched before going up.
Node *findInAncestors(Run *run, Node *node, NameSegment *segment, uint32_t wanted)
{
    for (Node *scope = node->parent; scope != nullptr; scope = scope->parent) {
        Node *found = findInScope(run, scope, segment, wanted);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

bool hasEarlier(Run *run, const Node *node, uint64_t ordinal, uint32_t kind, const char *name)
{
    return earlierKinds(run, node, ordinal, &kind, 1, name) != 0;
}

// TEST CLASS, TEST SUITE and TEST CASE share one name space in a block; the
// same kind is named in full, another as "TEST".
void checkTestComponent(Run *run, Node *node, uint64_t ordinal)
{
    static const uint32_t KINDS[] = {KIND_TEST_CLASS, KIND_TEST_SUITE, KIND_TEST_CASE};
    unsigned earlier = earlierKinds(run, node, ordinal, KINDS, 3, node->name);
    for (size_t i = 0; i < 3; i++) {
        if ((earlier & (1u << i)) != 0)
            reportAtNode(run, node, MESSAGE_NAMED_COMPONENT_DEFINED, words(KINDS[i] == node->kind ? kindName(KINDS[i]) : "TEST"), messageArgument(node->name));
    }
    if (node->kind == KIND_TEST_CLASS && static_cast<ClassInfo *>(node->payload)->base != nullptr)
        baseOf(run, node);
}

// A reference to a PROC or PROPERTY from a CALL or CHECK PROPERTY.
Node *resolveReference(Run *run, Node *node, NameSegment *target, uint32_t wanted, const char *statement, const char *word)
{
    Node *found = findInAncestors(run, node, target, wanted);
    if (found != nullptr) {
        matchParameters(run, found, target, node);
        return found;
    }
    reportAtNode(run, node, MESSAGE_COMPONENT_NOT_FOUND, messageArgument(target->text), words(statement));
    reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(word), messageArgument(node->name));
    return nullptr;
}

void checkRunComponent(Run *run, Node *node)
{
    auto *info = static_cast<RunInfo *>(node->payload);
    info->resolvedComponent = nullptr;
    Node *runNode = node->parent;
    if (runNode->kind != KIND_RUN || runNode->parent == nullptr) {
        reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(WORD_CHECKING_OF), messageArgument(node->name));
        return;
    }
    Node *scope = runNode->parent;
    for (NameSegment *segment = info->component; segment != nullptr; segment = segment->next) {
        scope = findInScope(run, scope, segment, WANT_RUNNABLE);
        if (scope == nullptr) {
            reportAtNode(run, node, MESSAGE_COMPONENT_NOT_FOUND, messageArgument(segment->text), words("RUN"));
            reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(WORD_CHECKING_OF), messageArgument(node->name));
            return;
        }
        matchParameters(run, scope, segment, node);
    }
    info->resolvedComponent = scope;
}

void checkOnError(Run *run, Node *node, uint64_t ordinal)
{
    if (hasEarlier(run, node, ordinal, KIND_ON_ERROR, node->name))
        reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words("ON ERROR"));
    auto *info = static_cast<OnErrorInfo *>(node->payload);
    info->resolvedBypass = nullptr;
    if (info->action != KIND_BYPASS || info->bypassTarget == nullptr)
        return;
    for (Node *scope = node->parent; scope != nullptr; scope = scope->parent) {
        uint32_t kind = scope->kind;
        if (scope->name == info->bypassTarget &&
            (kind == KIND_TEST_CLASS || kind == KIND_TEST_SUITE || kind == KIND_TEST_CASE || kind == KIND_PROC)) {
            info->resolvedBypass = scope;
            return;
        }
    }
    reportAtNode(run, node, MESSAGE_UNRESOLVED, words("bypass"), messageArgument(info->bypassTarget));
}

void checkTransition(Run *run, Node *node, uint64_t ordinal)
{
    auto *info = static_cast<TransitionInfo *>(node->payload);
    info->resolvedFrom = firstChild(run, node->parent, KIND_UMLSTATE, info->fromState).node;
    if (info->resolvedFrom == nullptr)
        reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(WORD_TRANSITION_FROM), messageArgument(info->fromState));
    info->resolvedTo = firstChild(run, node->parent, KIND_UMLSTATE, info->toState).node;
    if (info->resolvedTo == nullptr)
        reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(WORD_TRANSITION_TO), messageArgument(info->toState));
    if (info->resolvedFrom == nullptr || info->resolvedTo == nullptr)
        return;
    if (info->resolvedFrom == info->resolvedTo)
        reportAtNode(run, node, MESSAGE_REFLEXIVE_TRANSITION, messageArgument(info->fromState));
    ScopeEntry same = firstChild(run, node->parent, KIND_TRANSITION, info->fromState, info->toState);
    if (same.node != nullptr && same.ordinal < ordinal)
        reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words("TRANSITION"));
}

// Only a STUB answers a CHECK STUB: the generator reads its payload.
void checkStubCheck(Run *run, Node *node, uint64_t ordinal)
{
    if (hasEarlier(run, node, ordinal, KIND_CHECK_STUB, node->name))
        reportAtNode(run, node, MESSAGE_NAMED_COMPONENT_DEFINED, words("CHECK STUB"), messageArgument(node->name));
    Node *stub = firstChild(run, rootOf(node), KIND_STUB, node->name).node;
    static_cast<StubCheckInfo *>(node->payload)->resolvedStub = stub;
    if (stub == nullptr)
        reportAtNode(run, node, MESSAGE_UNRESOLVED, phrase(WORD_CHECKING), messageArgument(node->name));
}

// Kinds whose elements may not repeat a name in a block, with the word of
// message 29 (with the name) or 28 (without).
void checkDuplicate(Run *run, Node *node, uint64_t ordinal)
{
    switch (node->kind) {
    case KIND_PROC:
    case KIND_PROPERTY:
    case KIND_STUB:
        if (hasEarlier(run, node, ordinal, node->kind, node->name))
            reportAtNode(run, node, MESSAGE_NAMED_COMPONENT_DEFINED, words(kindName(node->kind)), messageArgument(node->name));
        return;
    case KIND_UMLSTATE:
        if (hasEarlier(run, node, ordinal, node->kind, node->name))
            reportAtNode(run, node, MESSAGE_NAMED_COMPONENT_DEFINED, words("UMLSTATE"), messageArgument(node->name));
        return;
    case KIND_CHECK_EXCEPTION:
        if (hasEarlier(run, node, ordinal, node->kind, nullptr))
            reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words("CHECK EXCEPTION"));
        return;
    case KIND_RUN:
        // The script root holds one RUN at most, however it is spelt: each
        // makes a harness of its own.
        if (hasEarlier(run, node, ordinal, node->kind, node->parent->kind == KIND_SCRIPT ? nullptr : node->name))
            reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words("RUN"));
        return;
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
        if (hasEarlier(run, node, ordinal, node->kind, node->name))
            reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words(kindName(node->kind)));
        return;
    case KIND_THREE_POINTS:
        if (hasEarlier(run, node, ordinal, node->kind, node->name))
            reportAtNode(run, node, MESSAGE_COMPONENT_DEFINED, words("..."));
        return;
    default:
        return;
    }
}

void checkNode(Run *run, Node *node, uint64_t ordinal)
{
    if (node->parent == nullptr)
        return;
    switch (node->kind) {
    case KIND_TEST_CLASS:
    case KIND_TEST_SUITE:
    case KIND_TEST_CASE:
        checkTestComponent(run, node, ordinal);
        return;
    case KIND_ON_ERROR:
        checkOnError(run, node, ordinal);
        return;
    case KIND_CHECK_STUB:
        checkStubCheck(run, node, ordinal);
        return;
    case KIND_CHECK_PROPERTY: {
        auto *info = static_cast<PropertyCheckInfo *>(node->payload);
        if (info->target != nullptr)
            info->resolvedTarget = resolveReference(run, node, info->target, KIND_PROPERTY, "CHECK PROPERTY", WORD_CHECKING_OF);
        return;
    }
    case KIND_CALL: {
        auto *info = static_cast<CallInfo *>(node->payload);
        if (info->target != nullptr)
            info->resolvedTarget = resolveReference(run, node, info->target, KIND_PROC, "CALL", WORD_CALLING_OF);
        return;
    }
    case KIND_RUN_COMPONENT:
        checkRunComponent(run, node);
        return;
    case KIND_TRANSITION:
        checkTransition(run, node, ordinal);
        return;
    default:
        checkDuplicate(run, node, ordinal);
    }
}

Node *resolvedBaseOf(const Node *testClass)
{
    return static_cast<ClassInfo *>(testClass->payload)->resolvedBase;
}

// Whether following the resolved bases from start ever repeats a class.
bool hasCycle(Node *start)
{
    Node *mark = start, *current = start;
    uint64_t steps = 0, limit = 1;
    for (;;) {
        Node *next = resolvedBaseOf(current);
        if (next == nullptr)
            return false;
        if (next == mark)
            return true;
        if (++steps == limit) {
            mark = next;
            limit *= 2;
            steps = 0;
        }
        current = next;
    }
}

// Message 36 for a chain of bases from start that runs into a cycle: named
// at the class that leads into the repeated one.
void reportCycle(Run *run, Node *start)
{
    Cell *visited = appendCell(nullptr, start);
    if (visited == nullptr) {
        reportAtNode(run, start, MESSAGE_NO_FREE_MEMORY);
        return;
    }
    Cell *last = visited;
    for (;;) {
        Node *next = resolvedBaseOf(static_cast<Node *>(last->value));
        Cell *before = nullptr;
        for (Cell *cell = visited; cell != nullptr && cell->value != next; cell = cell->next)
            before = cell;
        bool recorded = before == nullptr || before->next != nullptr;
        if (recorded) {
            Node *leading = static_cast<Node *>((next == start ? last : before)->value);
            reportAtNode(run, leading, MESSAGE_INHERITANCE_CYCLE, messageArgument(leading->name), messageArgument(next->name));
            break;
        }
        last = appendCell(last, next);
        if (last == nullptr) {
            reportAtNode(run, start, MESSAGE_NO_FREE_MEMORY);
            break;
        }
    }
    releaseCells(visited);
}

void checkCycles(Run *run, Node *first)
{
    for (Node *node = first; node != nullptr; node = node->nextSibling) {
        if (node->kind == KIND_TEST_CLASS && resolvedBaseOf(node) != nullptr && hasCycle(node))
            reportCycle(run, node);
    }
}

void resolveList(Run *run, Node *first)
{
    uint64_t ordinal = 0;
    for (Node *node = first; node != nullptr; node = node->nextSibling) {
        checkNode(run, node, ordinal++);
        if (node->firstChild != nullptr)
            resolveList(run, node->firstChild);
    }
    checkCycles(run, first);
}

} // namespace

Node *resolveBase(Run *run, Node *testClass, NameSegment *base)
{
    if (base->text == testClass->name) {
        reportAtNode(run, testClass, MESSAGE_SELF_INHERITANCE, messageArgument(testClass->name));
        return nullptr;
    }
    for (size_t i = 0; i < run->resolvingCount; i++) {
        if (run->resolving[i] == testClass)
            return nullptr;
    }
    if (run->resolvingCount == sizeof run->resolving / sizeof run->resolving[0])
        return nullptr;
    run->resolving[run->resolvingCount++] = testClass;
    Node *found = findInScope(run, testClass->parent, base, KIND_TEST_CLASS);
    run->resolvingCount--;
    if (found != nullptr) {
        matchParameters(run, found, base, testClass);
        return found;
    }
    reportAtNode(run, testClass, MESSAGE_COMPONENT_NOT_FOUND, messageArgument(base->text), messageArgument(testClass->name));
    return nullptr;
}

int resolve(Run *run, Node *first)
{
    clearScopes(run);
    resolveList(run, first);
    clearScopes(run);
    return 0;
}
