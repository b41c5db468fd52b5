// The string pool. Texts are kept in an open-addressed table that doubles
// when three quarters full. A slot holds the text's hash and length beside
// it, so a lookup reads one or two neighbouring run->poolSlots and only the texts of
// the same hash and length.
#include "form/form.h"
#include "base/memory.h"

#include <cstring>

struct PoolSlot {
    uint64_t hash;
    char *text; // null in a free slot
    size_t length;
};

namespace {

bool holds(const PoolSlot &slot, const char *text, size_t length, uint64_t hash)
{
    return slot.hash == hash && slot.length == length && memcmp(slot.text, text, length) == 0;
}

// Eight bytes a step: native code and expressions make long texts, and
// every token, record text and substitution is looked up.
uint64_t hashText(const char *text, size_t length)
{
    uint64_t hash = 0x9e3779b97f4a7c15ull ^ length;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        memcpy(&word, text + i, 8);
        hash = (hash ^ word) * 0xff51afd7ed558ccdull;
        hash ^= hash >> 32;
    }
    uint64_t rest = 0;
    memcpy(&rest, text + i, length - i);
    hash = (hash ^ rest) * 0xc4ceb9fe1a85ec53ull;
    return hash ^ (hash >> 29);
}

// The slot holding the text, or the free slot where it would go; null while
// the table is empty.
PoolSlot *findEntry(Run *run, const char *text, size_t length, uint64_t hash)
{
    if (run->poolSlotCount == 0)
        return nullptr;
    for (size_t index = hash & (run->poolSlotCount - 1);; index = (index + 1) & (run->poolSlotCount - 1)) {
        PoolSlot &slot = run->poolSlots[index];
        if (slot.text == nullptr || holds(slot, text, length, hash))
            return &slot;
    }
}

// Doubles the table; false when that memory cannot be had.
bool growPool(Run *run)
{
    size_t newCount = run->poolSlotCount == 0 ? 1024 : run->poolSlotCount * 2;
    auto *newSlots = static_cast<PoolSlot *>(zepAlloc(newCount * sizeof(PoolSlot)));
    if (newSlots == nullptr)
        return false;
    memset(newSlots, 0, newCount * sizeof(PoolSlot));
    PoolSlot *oldSlots = run->poolSlots;
    size_t oldCount = run->poolSlotCount;
    run->poolSlots = newSlots;
    run->poolSlotCount = newCount;
    for (size_t index = 0; index < oldCount; index++) {
        const PoolSlot &slot = oldSlots[index];
        if (slot.text != nullptr)
            *findEntry(run, slot.text, slot.length, slot.hash) = slot;
    }
    zepFree(oldSlots);
    return true;
}

// Adds text (owned by the pool from now on) in the free slot found for it;
// false when the table is three quarters full and cannot grow.
bool addEntry(Run *run, PoolSlot *room, char *text, size_t length, uint64_t hash)
{
    if (4 * (run->poolEntryCount + 1) > 3 * run->poolSlotCount) {
        if (!growPool(run))
            return false;
        room = findEntry(run, text, length, hash);
    }
    *room = {hash, text, length};
    run->poolEntryCount++;
    return true;
}

} // namespace

const char *intern(Run *run, char *text)
{
    size_t length = strlen(text);
    uint64_t hash = hashText(text, length);
    PoolSlot *slot = findEntry(run, text, length, hash);
    if (slot != nullptr && slot->text != nullptr) {
        if (slot->text != text)
            zepFree(text);
        return slot->text;
    }
    return addEntry(run, slot, text, length, hash) ? text : nullptr;
}

const char *internCopy(Run *run, const char *text, size_t length)
{
    uint64_t hash = hashText(text, length);
    PoolSlot *slot = findEntry(run, text, length, hash);
    if (slot != nullptr && slot->text != nullptr)
        return slot->text;
    char *copy = zepCopy(text, length);
    if (copy == nullptr)
        return nullptr;
    if (!addEntry(run, slot, copy, length, hash)) {
        zepFree(copy);
        return nullptr;
    }
    return copy;
}

const char *findInterned(Run *run, const char *text, size_t length)
{
    PoolSlot *slot = findEntry(run, text, length, hashText(text, length));
    return slot != nullptr ? slot->text : nullptr;
}

const char *internText(Run *run, const char *text)
{
    return internCopy(run, text, strlen(text));
}

void releaseStringPool(Run *run)
{
    for (size_t index = 0; index < run->poolSlotCount; index++)
        zepFree(run->poolSlots[index].text);
    zepFree(run->poolSlots);
    run->poolSlots = nullptr;
    run->poolSlotCount = 0;
    run->poolEntryCount = 0;
}
