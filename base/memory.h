// The one allocation layer. Every allocation of the translator goes through
// here, so that an allocation failure can be forced in tests and the
// "not enough memory" paths really run.
#pragma once
#include <cstddef>

void *zepAlloc(size_t size);
void *zepRealloc(void *block, size_t size);
void zepFree(void *block);
// Blocks for text buffers, which come and go by the million (one per token
// capture, substitution and record line) at one first size. They count and
// fail like any other allocation; zepFreeBuffer takes the block's size and
// keeps a few freed blocks of that first size for the next requests, which
// the C library would serve on its slow path.
void *zepAllocBuffer(size_t size);
void zepFreeBuffer(void *block, size_t size);
// Records of the internal form (nodes, payloads, list cells, pool entries):
// made by the hundred thousand, and all kept to the end of the run. They are
// cut from large blocks instead of being asked one by one of the C library,
// which saves its overhead per block in time and memory; each counts and
// fails like any other allocation. A freed record's room is not used again:
// the blocks go back when the last record cut from them is freed.
void *zepAllocRecord(size_t size);
void zepFreeRecord(void *record);
// Frees count records at once, without being shown them, where records only
// count towards their blocks; false (nothing freed) where each record is a
// block of its own, as under AddressSanitizer.
bool zepFreeRecords(size_t count);
// A heap copy of text (length bytes plus a terminator), or null.
char *zepCopy(const char *text, size_t length);
char *zepCopyText(const char *text);

// Test hook: the count-th allocation from now on fails (1 = the next one);
// 0 turns failing off. Returns the number of allocations made since the last
// call, which lets a test find how many allocations a run needs.
unsigned long failAllocation(unsigned long count);
