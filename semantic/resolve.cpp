// Name resolution: binds every reference to the element it names and
// reports duplicates, unknown names, parameter counts and inheritance cycles.
#include "driver/diagnostics.h"
#include "form/memory.h"
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

// Classes whose base is being resolved now: coming back to one of them finds
// no base instead of recursing without end.
const Node *resolving[64];
size_t resolvingCount;

void reportAtNode(const Node *node, unsigned message, const QString &a1 = QString(), const QString &a2 = QString())
{
    report(message, node->displayPath, node->line, a1, a2);
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
void matchParameters(const Node *target, NameSegment *segment, const Node *at)
{
    NameEntry *actual = segment->arguments, *formal = formalsOf(target);
    for (; actual != nullptr && formal != nullptr; actual = actual->next, formal = formal->next)
        actual->formal = formal->text;
    if (actual != nullptr)
        reportAtNode(at, 33, words("many"), messageArgument(segment->text));
    else if (formal != nullptr)
        reportAtNode(at, 33, words("few"), messageArgument(segment->text));
}

// The first child of scope that the name may denote. A name followed by
// another in a dotted path can only be a TEST CLASS.
Node *childNamed(Node *scope, const char *name, uint32_t wanted, bool followed)
{
    if (wanted != WANT_RUNNABLE)
        return firstChild(scope, wanted, name).node;
    ScopeEntry best = firstChild(scope, KIND_TEST_CLASS, name);
    if (!followed) {
        for (uint32_t kind : {KIND_TEST_SUITE, KIND_TEST_CASE}) {
            ScopeEntry entry = firstChild(scope, kind, name);
            if (entry.node != nullptr && (best.node == nullptr || entry.ordinal < best.ordinal))
                best = entry;
        }
    }
    return best.node;
}

void failInheritance(Node *testClass)
{
    static_cast<ClassInfo *>(testClass->payload)->base = nullptr;
    reportAtNode(testClass, 30, phrase(WORD_INHERITANCE_OF), messageArgument(testClass->name));
}

// The base of a TEST CLASS, resolved on first need; null when it has none.
Node *baseOf(Node *testClass)
{
    auto *info = static_cast<ClassInfo *>(testClass->payload);
    if (info->resolvedBase == nullptr && info->base != nullptr) {
        info->resolvedBase = resolveBase(testClass, info->base);
        if (info->resolvedBase == nullptr)
            failInheritance(testClass);
    }
    return info->resolvedBase;
}

// Looks for the segment's name among the children of scope and then of its
// bases, nearest first. A cyclic chain of bases is left at its first repeat
// (the cycle itself is reported once the sibling list is done).
Node *findInScope(Node *scope, NameSegment *segment, uint32_t wanted)
{
    bool followed = segment->next != nullptr;
    Node *mark = scope;
    uint64_t steps = 0, limit = 1;
    while (scope != nullptr) {
        Node *found = childNamed(scope, segment->text, wanted, followed);
        if (found != nullptr) {
            segment->resolved = found;
            return found;
        }
        if (scope->kind != KIND_TEST_CLASS)
            break;
        Node *next = baseOf(scope);
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
Node *findInAncestors(Node *node, NameSegment *segment, uint32_t wanted)
{
    for (Node *scope = node->parent; scope != nullptr; scope = scope->parent) {
        Node *found = findInScope(scope, segment, wanted);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

bool hasEarlier(const Node *node, uint64_t ordinal, uint32_t kind, const char *name)
{
    return earlierKinds(node, ordinal, &kind, 1, name) != 0;
}

// TEST CLASS, TEST SUITE and TEST CASE share one name space in a block; the
// same kind is named in full, another as "TEST".
void checkTestComponent(Node *node, uint64_t ordinal)
{
    static const uint32_t KINDS[] = {KIND_TEST_CLASS, KIND_TEST_SUITE, KIND_TEST_CASE};
    unsigned earlier = earlierKinds(node, ordinal, KINDS, 3, node->name);
    for (size_t i = 0; i < 3; i++) {
        if ((earlier & (1u << i)) != 0)
            reportAtNode(node, 29, words(KINDS[i] == node->kind ? kindName(KINDS[i]) : "TEST"), messageArgument(node->name));
    }
    if (node->kind == KIND_TEST_CLASS && static_cast<ClassInfo *>(node->payload)->base != nullptr)
        baseOf(node);
}

// A reference to a PROC or PROPERTY from a CALL or CHECK PROPERTY.
Node *resolveReference(Node *node, NameSegment *target, uint32_t wanted, const char *statement, const char *word)
{
    Node *found = findInAncestors(node, target, wanted);
    if (found != nullptr) {
        matchParameters(found, target, node);
        return found;
    }
    reportAtNode(node, 32, messageArgument(target->text), words(statement));
    reportAtNode(node, 30, phrase(word), messageArgument(node->name));
    return nullptr;
}

void checkRunComponent(Node *node)
{
    auto *info = static_cast<RunInfo *>(node->payload);
    info->resolvedComponent = nullptr;
    Node *run = node->parent;
    if (run->kind != KIND_RUN || run->parent == nullptr) {
        reportAtNode(node, 30, phrase(WORD_CHECKING_OF), messageArgument(node->name));
        return;
    }
    Node *scope = run->parent;
    for (NameSegment *segment = info->component; segment != nullptr; segment = segment->next) {
        scope = findInScope(scope, segment, WANT_RUNNABLE);
        if (scope == nullptr) {
            reportAtNode(node, 32, messageArgument(segment->text), words("RUN"));
            reportAtNode(node, 30, phrase(WORD_CHECKING_OF), messageArgument(node->name));
            return;
        }
        matchParameters(scope, segment, node);
    }
    info->resolvedComponent = scope;
}

void checkOnError(Node *node, uint64_t ordinal)
{
    if (hasEarlier(node, ordinal, KIND_ON_ERROR, node->name))
        reportAtNode(node, 28, words("ON ERROR"));
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
    reportAtNode(node, 30, words("bypass"), messageArgument(info->bypassTarget));
}

void checkTransition(Node *node, uint64_t ordinal)
{
    auto *info = static_cast<TransitionInfo *>(node->payload);
    info->resolvedFrom = firstChild(node->parent, KIND_UMLSTATE, info->fromState).node;
    if (info->resolvedFrom == nullptr)
        reportAtNode(node, 30, phrase(WORD_TRANSITION_FROM), messageArgument(info->fromState));
    info->resolvedTo = firstChild(node->parent, KIND_UMLSTATE, info->toState).node;
    if (info->resolvedTo == nullptr)
        reportAtNode(node, 30, phrase(WORD_TRANSITION_TO), messageArgument(info->toState));
    if (info->resolvedFrom == nullptr || info->resolvedTo == nullptr)
        return;
    if (info->resolvedFrom == info->resolvedTo)
        reportAtNode(node, 39, messageArgument(info->fromState));
    ScopeEntry same = firstChild(node->parent, KIND_TRANSITION, info->fromState, info->toState);
    if (same.node != nullptr && same.ordinal < ordinal)
        reportAtNode(node, 28, words("TRANSITION"));
}

// Only a STUB answers a CHECK STUB: the generator reads its payload.
void checkStubCheck(Node *node, uint64_t ordinal)
{
    if (hasEarlier(node, ordinal, KIND_CHECK_STUB, node->name))
        reportAtNode(node, 29, words("CHECK STUB"), messageArgument(node->name));
    Node *stub = firstChild(rootOf(node), KIND_STUB, node->name).node;
    static_cast<StubCheckInfo *>(node->payload)->resolvedStub = stub;
    if (stub == nullptr)
        reportAtNode(node, 30, phrase(WORD_CHECKING), messageArgument(node->name));
}

// Kinds whose elements may not repeat a name in a block, with the word of
// message 29 (with the name) or 28 (without).
void checkDuplicate(Node *node, uint64_t ordinal)
{
    switch (node->kind) {
    case KIND_PROC:
    case KIND_PROPERTY:
    case KIND_STUB:
        if (hasEarlier(node, ordinal, node->kind, node->name))
            reportAtNode(node, 29, words(kindName(node->kind)), messageArgument(node->name));
        return;
    case KIND_UMLSTATE:
        if (hasEarlier(node, ordinal, node->kind, node->name))
            reportAtNode(node, 29, words("UMLSTATE"), messageArgument(node->name));
        return;
    case KIND_CHECK_EXCEPTION:
        if (hasEarlier(node, ordinal, node->kind, nullptr))
            reportAtNode(node, 28, words("CHECK EXCEPTION"));
        return;
    case KIND_RUN:
        // The script root holds one RUN at most, however it is spelt: each
        // makes a harness of its own.
        if (hasEarlier(node, ordinal, node->kind, node->parent->kind == KIND_SCRIPT ? nullptr : node->name))
            reportAtNode(node, 28, words("RUN"));
        return;
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
        if (hasEarlier(node, ordinal, node->kind, node->name))
            reportAtNode(node, 28, words(kindName(node->kind)));
        return;
    case KIND_THREE_POINTS:
        if (hasEarlier(node, ordinal, node->kind, node->name))
            reportAtNode(node, 28, words("..."));
        return;
    default:
        return;
    }
}

void checkNode(Node *node, uint64_t ordinal)
{
    if (node->parent == nullptr)
        return;
    switch (node->kind) {
    case KIND_TEST_CLASS:
    case KIND_TEST_SUITE:
    case KIND_TEST_CASE:
        checkTestComponent(node, ordinal);
        return;
    case KIND_ON_ERROR:
        checkOnError(node, ordinal);
        return;
    case KIND_CHECK_STUB:
        checkStubCheck(node, ordinal);
        return;
    case KIND_CHECK_PROPERTY: {
        auto *info = static_cast<PropertyCheckInfo *>(node->payload);
        if (info->target != nullptr)
            info->resolvedTarget = resolveReference(node, info->target, KIND_PROPERTY, "CHECK PROPERTY", WORD_CHECKING_OF);
        return;
    }
    case KIND_CALL: {
        auto *info = static_cast<CallInfo *>(node->payload);
        if (info->target != nullptr)
            info->resolvedTarget = resolveReference(node, info->target, KIND_PROC, "CALL", WORD_CALLING_OF);
        return;
    }
    case KIND_RUN_COMPONENT:
        checkRunComponent(node);
        return;
    case KIND_TRANSITION:
        checkTransition(node, ordinal);
        return;
    default:
        checkDuplicate(node, ordinal);
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
void reportCycle(Node *start)
{
    Cell *visited = appendCell(nullptr, start);
    if (visited == nullptr) {
        reportAtNode(start, 50);
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
            reportAtNode(leading, 36, messageArgument(leading->name), messageArgument(next->name));
            break;
        }
        last = appendCell(last, next);
        if (last == nullptr) {
            reportAtNode(start, 50);
            break;
        }
    }
    releaseCells(visited);
}

void checkCycles(Node *first)
{
    for (Node *node = first; node != nullptr; node = node->nextSibling) {
        if (node->kind == KIND_TEST_CLASS && resolvedBaseOf(node) != nullptr && hasCycle(node))
            reportCycle(node);
    }
}

void resolveList(Node *first)
{
    uint64_t ordinal = 0;
    for (Node *node = first; node != nullptr; node = node->nextSibling) {
        checkNode(node, ordinal++);
        if (node->firstChild != nullptr)
            resolveList(node->firstChild);
    }
    checkCycles(first);
}

} // namespace

Node *resolveBase(Node *testClass, NameSegment *base)
{
    if (base->text == testClass->name) {
        reportAtNode(testClass, 31, messageArgument(testClass->name));
        return nullptr;
    }
    for (size_t i = 0; i < resolvingCount; i++) {
        if (resolving[i] == testClass)
            return nullptr;
    }
    if (resolvingCount == sizeof resolving / sizeof resolving[0])
        return nullptr;
    resolving[resolvingCount++] = testClass;
    Node *found = findInScope(testClass->parent, base, KIND_TEST_CLASS);
    resolvingCount--;
    if (found != nullptr) {
        matchParameters(found, base, testClass);
        return found;
    }
    reportAtNode(testClass, 32, messageArgument(base->text), messageArgument(testClass->name));
    return nullptr;
}

int resolve(Node *first)
{
    clearScopes();
    resolveList(first);
    clearScopes();
    return 0;
}
