// The string pool. Texts are kept in an open-addressed table that doubles
// when three quarters full. A slot holds the text's hash and length beside
// it, so a lookup reads one or two neighbouring slots and only the texts of
// the same hash and length.
#include "form/form.h"
#include "form/memory.h"

#include <cstring>

namespace {

struct PoolSlot {
    uint64_t hash;
    char *text; // null in a free slot
    size_t length;
};

PoolSlot *slots;
size_t slotCount;
size_t entryCount;

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
PoolSlot *findEntry(const char *text, size_t length, uint64_t hash)
{
    if (slotCount == 0)
        return nullptr;
    for (size_t index = hash & (slotCount - 1);; index = (index + 1) & (slotCount - 1)) {
        PoolSlot &slot = slots[index];
        if (slot.text == nullptr || holds(slot, text, length, hash))
            return &slot;
    }
}

// Doubles the table; false when that memory cannot be had.
bool growPool()
{
    size_t newCount = slotCount == 0 ? 1024 : slotCount * 2;
    auto *newSlots = static_cast<PoolSlot *>(zepAlloc(newCount * sizeof(PoolSlot)));
    if (newSlots == nullptr)
        return false;
    memset(newSlots, 0, newCount * sizeof(PoolSlot));
    PoolSlot *oldSlots = slots;
    size_t oldCount = slotCount;
    slots = newSlots;
    slotCount = newCount;
    for (size_t index = 0; index < oldCount; index++) {
        const PoolSlot &slot = oldSlots[index];
        if (slot.text != nullptr)
            *findEntry(slot.text, slot.length, slot.hash) = slot;
    }
    zepFree(oldSlots);
    return true;
}

// Adds text (owned by the pool from now on) in the free slot found for it;
// false when the table is three quarters full and cannot grow.
bool addEntry(PoolSlot *room, char *text, size_t length, uint64_t hash)
{
    if (4 * (entryCount + 1) > 3 * slotCount) {
        if (!growPool())
            return false;
        room = findEntry(text, length, hash);
    }
    *room = {hash, text, length};
    entryCount++;
    return true;
}

} // namespace

const char *intern(char *text)
{
    size_t length = strlen(text);
    uint64_t hash = hashText(text, length);
    PoolSlot *slot = findEntry(text, length, hash);
    if (slot != nullptr && slot->text != nullptr) {
        if (slot->text != text)
            zepFree(text);
        return slot->text;
    }
    return addEntry(slot, text, length, hash) ? text : nullptr;
}

const char *internCopy(const char *text, size_t length)
{
    uint64_t hash = hashText(text, length);
    PoolSlot *slot = findEntry(text, length, hash);
    if (slot != nullptr && slot->text != nullptr)
        return slot->text;
    char *copy = zepCopy(text, length);
    if (copy == nullptr)
        return nullptr;
    if (!addEntry(slot, copy, length, hash)) {
        zepFree(copy);
        return nullptr;
    }
    return copy;
}

const char *findInterned(const char *text, size_t length)
{
    PoolSlot *slot = findEntry(text, length, hashText(text, length));
    return slot != nullptr ? slot->text : nullptr;
}

const char *internText(const char *text)
{
    return internCopy(text, strlen(text));
}

void clearStringPool()
{
    slots = nullptr;
    slotCount = 0;
    entryCount = 0;
}

void releaseStringPool()
{
    for (size_t index = 0; index < slotCount; index++)
        zepFree(slots[index].text);
    zepFree(slots);
    clearStringPool();
}
