// Record files: for every source file a .tsf and an .ots file of records
// describing its elements, both folded into one running checksum.
#pragma once
#include "form/form.h"

#include <cstddef>

// Writes the record files of every FileEntry; 0, or -1 after message 43.
int writeRecordFiles(Run *run, Node *root);

// Folds length bytes into the checksum pair, each as a signed byte.
void foldChecksum(uint32_t *a, uint32_t *b, const char *text, size_t length);
// Append one record to the entry's file and fold it into its checksum; in
// the .tsf file inner line breaks become spaces.
int writeTsfLine(FileEntry *entry, const char *text, size_t length);
int writeOtsLine(FileEntry *entry, const char *text, size_t length);

// The records of node, its descendants and its following siblings.
int writeElementRecords(Run *run, Node *node);

// Appends text converted from the locale's 8-bit encoding to UTF-8; -1 when
// memory runs out.
int appendUtf8(TextBuffer *buffer, const char *text);
