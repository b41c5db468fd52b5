#pragma once
#include "form/form.h"

// Reads one source file into the tree under parent; failures are counted
// through errorCount. included is 1 for an INCLUDE, baseDirectory the
// including file's directory (null for a command-line file).
int parseSourceFile(const char *name, Node *parent, int included, const char *baseDirectory);
