#include "form/memory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

static unsigned long allocationsMade;
static unsigned long failingAllocation;

// True when the allocation being made now is the one a test asked to fail.
static bool allocationFails()
{
    allocationsMade++;
    if (failingAllocation == 0 || allocationsMade != failingAllocation)
        return false;
    // As the C library does, so that callers may tell no memory from other
    // failures.
    errno = ENOMEM;
    return true;
}

unsigned long failAllocation(unsigned long count)
{
    unsigned long made = allocationsMade;
    allocationsMade = 0;
    failingAllocation = count;
    return made;
}

void *zepAlloc(size_t size)
{
    if (allocationFails())
        return nullptr;
    return malloc(size == 0 ? 1 : size);
}

void *zepRealloc(void *block, size_t size)
{
    if (allocationFails())
        return nullptr;
    return realloc(block, size == 0 ? 1 : size);
}

void zepFree(void *block)
{
    free(block);
}

// The kept blocks; none under AddressSanitizer, whose checks of use after
// free would not see a block that is kept instead of freed.
#if defined(__SANITIZE_ADDRESS__)
enum : size_t { SPARE_SIZE = 2048, SPARE_LIMIT = 0 };
#else
enum : size_t { SPARE_SIZE = 2048, SPARE_LIMIT = 32 };
#endif
static void *spareBlocks[SPARE_LIMIT + 1];
static size_t spareCount;

void *zepAllocBuffer(size_t size)
{
    if (allocationFails())
        return nullptr;
    if (size == SPARE_SIZE && spareCount > 0)
        return spareBlocks[--spareCount];
    return malloc(size == 0 ? 1 : size);
}

void zepFreeBuffer(void *block, size_t size)
{
    if (block != nullptr && size == SPARE_SIZE && spareCount < SPARE_LIMIT)
        spareBlocks[spareCount++] = block;
    else
        free(block);
}

#if defined(__SANITIZE_ADDRESS__)
// Each record its own block, so that the sanitizer checks every one.
void *zepAllocRecord(size_t size)
{
    return zepAlloc(size);
}

void zepFreeRecord(void *record)
{
    zepFree(record);
}
#else
namespace {

struct RecordBlock {
    RecordBlock *next;
};

// Blocks are of the size and alignment of a huge page, and asked to be
// backed by one: a run fills them from start to end, and one fault per block
// costs far less than one per page.
constexpr size_t RECORD_ALIGNMENT = 16, RECORD_BLOCK_SIZE = 2 << 20;
// The block header keeps the records after it aligned.
constexpr size_t RECORD_HEADER = (sizeof(RecordBlock) + RECORD_ALIGNMENT - 1) & ~(RECORD_ALIGNMENT - 1);

RecordBlock *recordBlocks;
char *recordNext;
size_t recordRoom;
size_t liveRecords;

} // namespace

void *zepAllocRecord(size_t size)
{
    if (allocationFails())
        return nullptr;
    size = (size + RECORD_ALIGNMENT - 1) & ~(RECORD_ALIGNMENT - 1);
    if (size == 0)
        size = RECORD_ALIGNMENT;
    if (size > recordRoom) {
        size_t blockSize = (RECORD_HEADER + size + RECORD_BLOCK_SIZE - 1) & ~(RECORD_BLOCK_SIZE - 1);
        auto *block = static_cast<RecordBlock *>(aligned_alloc(RECORD_BLOCK_SIZE, blockSize));
        if (block == nullptr)
            return nullptr;
        madvise(block, blockSize, MADV_HUGEPAGE);
        size_t room = blockSize - RECORD_HEADER;
        block->next = recordBlocks;
        recordBlocks = block;
        recordNext = reinterpret_cast<char *>(block) + RECORD_HEADER;
        recordRoom = room;
    }
    void *record = recordNext;
    recordNext += size;
    recordRoom -= size;
    liveRecords++;
    return record;
}

void zepFreeRecord(void *record)
{
    if (record == nullptr || --liveRecords > 0)
        return;
    while (recordBlocks != nullptr) {
        RecordBlock *next = recordBlocks->next;
        free(recordBlocks);
        recordBlocks = next;
    }
    recordNext = nullptr;
    recordRoom = 0;
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
