#include "base/memory.h"

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

// g++ tells of AddressSanitizer by a macro, clang by a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define ZEP_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEP_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ZEP_ADDRESS_SANITIZER
#define ZEP_ADDRESS_SANITIZER 0
#endif

// The test hook: how many allocations were made since it was last set, and
// which one is to fail (0: none).
static struct {
    unsigned long made;
    unsigned long failing;
} failureHook;

// True when the allocation being made now is the one a test asked to fail.
static bool allocationFails()
{
    failureHook.made++;
    if (failureHook.failing == 0 || failureHook.made != failureHook.failing)
        return false;
    // As the C library does, so that callers may tell no memory from other
    // failures.
    errno = ENOMEM;
    return true;
}

unsigned long failAllocation(unsigned long count)
{
    unsigned long made = failureHook.made;
    failureHook.made = 0;
    failureHook.failing = count;
    return made;
}

#if ZEP_ADDRESS_SANITIZER
static void *heapBlock(void *block, size_t)
{
    return block;
}
#else
// Every page of the C library's heap costs a fault when it is first touched,
// and a large script touches tens of thousands of them. The heap is asked to
// grow in large steps and to keep what it has instead of trimming it; each
// step is then backed by huge pages, one fault per 2 MB as for the record
// blocks. A step's first huge page may already be touched by the allocation
// that made the step, and keeps small pages. Blocks of a megabyte and more
// get mappings of their own, given back when freed: in the heap the space of
// a grown text would stay resident after it moved.
enum : size_t { HEAP_STEP = 32 << 20, OWN_MAPPING = 1 << 20, HUGE_PAGE = 2 << 20, PAGE = 4096 };
static char *heapAdvised;

static char *roundDown(const void *address, size_t unit)
{
    return reinterpret_cast<char *>(reinterpret_cast<uintptr_t>(address) & ~uintptr_t{unit - 1});
}

static char *roundUp(const void *address, size_t unit)
{
    return roundDown(static_cast<const char *>(address) + unit - 1, unit);
}

static void adviseHeap()
{
    char *end = static_cast<char *>(sbrk(0));
    if (end == reinterpret_cast<char *>(-1) || end <= heapAdvised)
        return;
    if (heapAdvised != nullptr) {
        char *start = roundDown(heapAdvised, PAGE);
        madvise(start, static_cast<size_t>(end - start), MADV_HUGEPAGE);
    }
    heapAdvised = end;
}

// A block too large for the heap has its own mapping, advised the same way.
static void *heapBlock(void *block, size_t size)
{
    if (heapAdvised == nullptr) {
        mallopt(M_TOP_PAD, HEAP_STEP);
        mallopt(M_TRIM_THRESHOLD, 2 * HEAP_STEP);
        mallopt(M_MMAP_THRESHOLD, OWN_MAPPING);
    }
    if (block == nullptr)
        return nullptr;
    if (size >= 2 * HUGE_PAGE) {
        char *start = roundUp(block, HUGE_PAGE);
        char *end = roundDown(static_cast<char *>(block) + size, HUGE_PAGE);
        if (end > start)
            madvise(start, static_cast<size_t>(end - start), MADV_HUGEPAGE);
    }
    adviseHeap();
    return block;
}
#endif

void *zepAlloc(size_t size)
{
    if (allocationFails())
        return nullptr;
    return heapBlock(malloc(size == 0 ? 1 : size), size);
}

void *zepRealloc(void *block, size_t size)
{
    if (allocationFails())
        return nullptr;
    return heapBlock(realloc(block, size == 0 ? 1 : size), size);
}

void zepFree(void *block)
{
    free(block);
}

// The kept blocks; none under AddressSanitizer, whose checks of use after
// free would not see a block that is kept instead of freed.
#if ZEP_ADDRESS_SANITIZER
enum : size_t { SPARE_SIZE = 2048, SPARE_LIMIT = 0 };
#else
enum : size_t { SPARE_SIZE = 2048, SPARE_LIMIT = 32 };
#endif
static struct {
    void *blocks[SPARE_LIMIT + 1];
    size_t count;
} spare;

void *zepAllocBuffer(size_t size)
{
    if (allocationFails())
        return nullptr;
    if (size == SPARE_SIZE && spare.count > 0)
        return spare.blocks[--spare.count];
    return heapBlock(malloc(size == 0 ? 1 : size), size);
}

void zepFreeBuffer(void *block, size_t size)
{
    if (block != nullptr && size == SPARE_SIZE && spare.count < SPARE_LIMIT)
        spare.blocks[spare.count++] = block;
    else
        free(block);
}

#if ZEP_ADDRESS_SANITIZER
// Each record its own block, so that the sanitizer checks every one.
void *zepAllocRecord(size_t size)
{
    return zepAlloc(size);
}

void zepFreeRecord(void *record)
{
    zepFree(record);
}

bool zepFreeRecords(size_t)
{
    return false;
}
#else
namespace {

struct RecordBlock {
    RecordBlock *next;
};

// Blocks are of the size and alignment of a huge page, and asked to be
// backed by one: a run fills them from start to end, and one fault per block
// costs far less than one per page. Records hold pointers and 64-bit
// numbers only, and the name cells, made by the hundred thousand, are 40
// bytes long: aligned to 16 they would take 48.
constexpr size_t RECORD_ALIGNMENT = alignof(uint64_t), RECORD_BLOCK_SIZE = 2 << 20;
// The block header keeps the records after it aligned.
constexpr size_t RECORD_HEADER = (sizeof(RecordBlock) + RECORD_ALIGNMENT - 1) & ~(RECORD_ALIGNMENT - 1);

// The blocks, newest first, the room left in the newest, and how many
// records cut from them are not freed yet.
struct {
    RecordBlock *blocks;
    char *next;
    size_t room;
    size_t live;
} records;

} // namespace

void *zepAllocRecord(size_t size)
{
    if (allocationFails())
        return nullptr;
    size = (size + RECORD_ALIGNMENT - 1) & ~(RECORD_ALIGNMENT - 1);
    if (size == 0)
        size = RECORD_ALIGNMENT;
    if (size > records.room) {
        size_t blockSize = (RECORD_HEADER + size + RECORD_BLOCK_SIZE - 1) & ~(RECORD_BLOCK_SIZE - 1);
        auto *block = static_cast<RecordBlock *>(aligned_alloc(RECORD_BLOCK_SIZE, blockSize));
        if (block == nullptr)
            return nullptr;
        madvise(block, blockSize, MADV_HUGEPAGE);
        size_t room = blockSize - RECORD_HEADER;
        block->next = records.blocks;
        records.blocks = block;
        records.next = reinterpret_cast<char *>(block) + RECORD_HEADER;
        records.room = room;
    }
    void *record = records.next;
    records.next += size;
    records.room -= size;
    records.live++;
    return record;
}

bool zepFreeRecords(size_t count)
{
    records.live -= count;
    if (records.live > 0)
        return true;
    while (records.blocks != nullptr) {
        RecordBlock *next = records.blocks->next;
        free(records.blocks);
        records.blocks = next;
    }
    records.next = nullptr;
    records.room = 0;
    return true;
}

void zepFreeRecord(void *record)
{
    if (record != nullptr)
        zepFreeRecords(1);
}
#endif

char *zepCopy(const char *text, size_t length)
{
    char *copy = static_cast<char *>(zepAlloc(length + 1));
    if (copy == nullptr)
        return nullptr;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

char *zepCopyText(const char *text)
{
    return zepCopy(text, strlen(text));
}
