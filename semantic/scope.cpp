// An index of the children of each large scope by kind and name, so that
// the duplicate checks and lookups of resolution take constant time however
// many elements a block holds. Most blocks hold a handful of elements, where
// walking them costs less than hashing and indexing them would take several
// times the memory of the tree, so only a scope whose wanted child is not
// among its first SCAN_LIMIT children is indexed. Built per scope on first
// use; the tree must not change while it is kept.
#include "base/memory.h"
#include "semantic/semantic.h"

#include <cstring>

namespace {

struct Key {
    const Node *scope;
    uint32_t kind;
    const void *name;
    const void *other;
};

} // namespace

// The index lives in the run; the scope indexed last (run->lastIndexed) is
// asked of again and again (the script root for every CHECK STUB): it goes
// to the index without the walk.
struct ScopeSlot {
    Key key;
    ScopeEntry entry;
    bool used;
};

namespace {

using Slot = ScopeSlot;

enum : uint64_t { SCAN_LIMIT = 32 };

// Marks a scope whose children are in the index.
const char INDEXED = 0;
const char ANY_NAME = 0;

bool sameKey(const Key &a, const Key &b)
{
    return a.scope == b.scope && a.kind == b.kind && a.name == b.name && a.other == b.other;
}

size_t hashKey(const Key &key)
{
    uint64_t hash = reinterpret_cast<uintptr_t>(key.scope) * 0x9e3779b97f4a7c15ull;
    hash ^= (hash >> 29) + key.kind * 0xbf58476d1ce4e5b9ull;
    hash ^= reinterpret_cast<uintptr_t>(key.name) * 0x94d049bb133111ebull;
    hash ^= reinterpret_cast<uintptr_t>(key.other) * 0xd6e8feb86659fd93ull;
    return static_cast<size_t>(hash ^ (hash >> 31));
}

Slot *findSlot(Slot *table, size_t count, const Key &key)
{
    for (size_t i = hashKey(key) & (count - 1);; i = (i + 1) & (count - 1)) {
        if (!table[i].used || sameKey(table[i].key, key))
            return &table[i];
    }
}

bool grow(Run *run)
{
    size_t count = run->scopeSlotCount == 0 ? 1024 : run->scopeSlotCount * 2;
    Slot *table = static_cast<Slot *>(zepAlloc(count * sizeof(Slot)));
    if (table == nullptr)
        return false;
    memset(table, 0, count * sizeof(Slot));
    for (size_t i = 0; i < run->scopeSlotCount; i++) {
        if (run->scopeSlots[i].used)
            *findSlot(table, count, run->scopeSlots[i].key) = run->scopeSlots[i];
    }
    zepFree(run->scopeSlots);
    run->scopeSlots = table;
    run->scopeSlotCount = count;
    return true;
}

// Records the first holder of a key; false when memory runs out.
bool add(Run *run, const Key &key, Node *node, uint64_t ordinal)
{
    if ((run->scopeUsedCount + 1) * 2 > run->scopeSlotCount && !grow(run))
        return false;
    Slot *slot = findSlot(run->scopeSlots, run->scopeSlotCount, key);
    if (!slot->used) {
        *slot = Slot{key, ScopeEntry{node, ordinal}, true};
        run->scopeUsedCount++;
    }
    return true;
}

bool addChild(Run *run, const Node *scope, Node *child, uint64_t ordinal)
{
    if (child->kind == KIND_TRANSITION) {
        auto *states = static_cast<TransitionInfo *>(child->payload);
        if (!add(run, Key{scope, child->kind, states->fromState, states->toState}, child, ordinal))
            return false;
    }
    return add(run, Key{scope, child->kind, child->name, nullptr}, child, ordinal) &&
           add(run, Key{scope, child->kind, &ANY_NAME, nullptr}, child, ordinal);
}

bool indexScope(Run *run, Node *scope)
{
    Key mark{scope, 0, &INDEXED, nullptr};
    if (run->scopeSlotCount > 0 && findSlot(run->scopeSlots, run->scopeSlotCount, mark)->used)
        return true;
    uint64_t ordinal = 0;
    for (Node *child = scope->firstChild; child != nullptr; child = child->nextSibling) {
        if (!addChild(run, scope, child, ordinal++))
            return false;
    }
    return add(run, mark, nullptr, 0);
}

// The same lookup by walking at most limit children. Not found: {null, the
// number of children walked}, so that a walk that stopped at the limit can
// be told from one that reached the last child.
ScopeEntry scanChildren(Node *scope, uint32_t kind, const char *name, const char *other, uint64_t limit = UINT64_MAX)
{
    uint64_t ordinal = 0;
    for (Node *child = scope->firstChild; child != nullptr && ordinal < limit; child = child->nextSibling, ordinal++) {
        if (child->kind != kind)
            continue;
        if (kind == KIND_TRANSITION && other != nullptr) {
            auto *states = static_cast<TransitionInfo *>(child->payload);
            if (states->fromState == name && states->toState == other)
                return ScopeEntry{child, ordinal};
        } else if (name == nullptr || child->name == name) {
            return ScopeEntry{child, ordinal};
        }
    }
    return ScopeEntry{nullptr, ordinal};
}

} // namespace

ScopeEntry firstChild(Run *run, Node *scope, uint32_t kind, const char *name, const char *other)
{
    if (scope != run->lastIndexed) {
        ScopeEntry near = scanChildren(scope, kind, name, other, SCAN_LIMIT);
        if (near.node != nullptr || near.ordinal < SCAN_LIMIT)
            return near;
        if (!indexScope(run, scope))
            return scanChildren(scope, kind, name, other);
        run->lastIndexed = scope;
    }
    Key key{scope, kind, name != nullptr ? static_cast<const void *>(name) : &ANY_NAME, other};
    Slot *slot = findSlot(run->scopeSlots, run->scopeSlotCount, key);
    return slot->used ? slot->entry : ScopeEntry{nullptr, 0};
}

unsigned earlierKinds(Run *run, const Node *node, uint64_t ordinal, const uint32_t *kinds, size_t count, const char *name)
{
    unsigned found = 0;
    if (ordinal > SCAN_LIMIT) {
        for (size_t i = 0; i < count; i++) {
            ScopeEntry entry = firstChild(run, node->parent, kinds[i], name);
            if (entry.node != nullptr && entry.ordinal < ordinal)
                found |= 1u << i;
        }
        return found;
    }
    for (const Node *sibling = node->prevSibling; sibling != nullptr; sibling = sibling->prevSibling) {
        if (name != nullptr && sibling->name != name)
            continue;
        for (size_t i = 0; i < count; i++) {
            if (sibling->kind == kinds[i])
                found |= 1u << i;
        }
    }
    return found;
}

void clearScopes(Run *run)
{
    zepFree(run->scopeSlots);
    run->scopeSlots = nullptr;
    run->scopeSlotCount = 0;
    run->scopeUsedCount = 0;
    run->lastIndexed = nullptr;
}
