// The string pool. Texts are kept in a chained hash table that doubles as it
// fills, so a lookup compares only texts of the same hash and length.
#include "form/form.h"
#include "form/memory.h"

#include <cstring>

namespace {

struct PoolEntry {
    char *text;
    size_t length;
    uint64_t hash;
    PoolEntry *next;
};

PoolEntry **buckets;
size_t bucketCount;
size_t entryCount;

// The entries last found or added, by hash: a script repeats its keywords,
// names and file paths all the time, and this small table stays in the
// cache where the chains of a large pool do not.
enum : size_t { RECENT_COUNT = 4096 };
PoolEntry *recent[RECENT_COUNT];

bool holds(const PoolEntry *entry, const char *text, size_t length, uint64_t hash)
{
    return entry->hash == hash && entry->length == length && memcmp(entry->text, text, length) == 0;
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

// Doubles the table; when that memory cannot be had the chains just grow.
void growPool()
{
    size_t newCount = bucketCount == 0 ? 1024 : bucketCount * 2;
    PoolEntry **newBuckets = static_cast<PoolEntry **>(zepAlloc(newCount * sizeof(PoolEntry *)));
    if (newBuckets == nullptr)
        return;
    memset(newBuckets, 0, newCount * sizeof(PoolEntry *));
    for (size_t b = 0; b < bucketCount; b++) {
        PoolEntry *entry = buckets[b];
        while (entry != nullptr) {
            PoolEntry *next = entry->next;
            size_t slot = entry->hash & (newCount - 1);
            entry->next = newBuckets[slot];
            newBuckets[slot] = entry;
            entry = next;
        }
    }
    zepFree(buckets);
    buckets = newBuckets;
    bucketCount = newCount;
}

PoolEntry *findEntry(const char *text, size_t length, uint64_t hash)
{
    PoolEntry **seen = &recent[(hash >> 40) & (RECENT_COUNT - 1)];
    if (*seen != nullptr && holds(*seen, text, length, hash))
        return *seen;
    if (bucketCount == 0)
        return nullptr;
    for (PoolEntry *entry = buckets[hash & (bucketCount - 1)]; entry != nullptr; entry = entry->next) {
        if (holds(entry, text, length, hash)) {
            *seen = entry;
            return entry;
        }
    }
    return nullptr;
}

// Adds text (owned by the pool from now on); false when no entry can be made.
bool addEntry(char *text, size_t length, uint64_t hash)
{
    if (entryCount >= bucketCount)
        growPool();
    if (bucketCount == 0)
        return false;
    PoolEntry *entry = static_cast<PoolEntry *>(zepAllocRecord(sizeof(PoolEntry)));
    if (entry == nullptr)
        return false;
    size_t slot = hash & (bucketCount - 1);
    *entry = {text, length, hash, buckets[slot]};
    buckets[slot] = entry;
    recent[(hash >> 40) & (RECENT_COUNT - 1)] = entry;
    entryCount++;
    return true;
}

} // namespace

const char *intern(char *text)
{
    size_t length = strlen(text);
    uint64_t hash = hashText(text, length);
    PoolEntry *found = findEntry(text, length, hash);
    if (found != nullptr) {
        if (found->text != text)
            zepFree(text);
        return found->text;
    }
    return addEntry(text, length, hash) ? text : nullptr;
}

const char *internCopy(const char *text, size_t length)
{
    uint64_t hash = hashText(text, length);
    PoolEntry *found = findEntry(text, length, hash);
    if (found != nullptr)
        return found->text;
    char *copy = zepCopy(text, length);
    if (copy == nullptr)
        return nullptr;
    if (!addEntry(copy, length, hash)) {
        zepFree(copy);
        return nullptr;
    }
    return copy;
}

const char *findInterned(const char *text, size_t length)
{
    PoolEntry *found = findEntry(text, length, hashText(text, length));
    return found != nullptr ? found->text : nullptr;
}

const char *internText(const char *text)
{
    return internCopy(text, strlen(text));
}

void clearStringPool()
{
    memset(recent, 0, sizeof recent);
    buckets = nullptr;
    bucketCount = 0;
    entryCount = 0;
}

void releaseStringPool()
{
    for (size_t b = 0; b < bucketCount; b++) {
        PoolEntry *entry = buckets[b];
        while (entry != nullptr) {
            PoolEntry *next = entry->next;
            zepFree(entry->text);
            zepFreeRecord(entry);
            entry = next;
        }
    }
    zepFree(buckets);
    clearStringPool();
}
