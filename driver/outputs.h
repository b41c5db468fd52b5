// Output files whose bytes a second thread writes while the run goes on.
#pragma once
#include <cstdio>

// A stream that truncates or creates path, or null with errno set. Its
// close waits for its bytes and fails when one of them was not written.
// Every stream opened must be closed: bytes still gathered are written
// only then.
FILE *openQueuedOutput(const char *path);
