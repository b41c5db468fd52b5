// The one allocation layer. Every allocation of the translator goes through
// here, so that an allocation failure can be forced in tests and the
// "not enough memory" paths really run.
#pragma once
#include <cstddef>

void *zepAlloc(size_t size);
void *zepRealloc(void *block, size_t size);
void zepFree(void *block);
// A heap copy of text (length bytes plus a terminator), or null.
char *zepCopy(const char *text, size_t length);
char *zepCopyText(const char *text);

// Test hook: the count-th allocation from now on fails (1 = the next one);
// 0 turns failing off. Returns the number of allocations made since the last
// call, which lets a test find how many allocations a run needs.
unsigned long failAllocation(unsigned long count);
