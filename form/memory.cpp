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
