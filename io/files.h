// File-level services shared by the parser, the record writers and the
// code generator: source classes, path splitting, display paths, file
// entries, output files and small text conversions.
#pragma once
#include "form/form.h"

enum : int { SOURCE_NONE = 100, SOURCE_OTD = 101, SOURCE_OTC = 102 };
enum : int { OPEN_CODE = 200, OPEN_INSTR = 202, OPEN_OTS = 203, OPEN_TSF = 204, OPEN_BENCH_LOG = 205 };

int classifySourceName(const char *name);
const char *currentDirectoryPrefix(Run *run, const char *file, uint64_t line);
int splitPath(Run *run, const char *baseDirectory, const char *path, const char **directory, const char **fileName);
// base + relative with one "/" between them; a heap block, or null.
char *joinPath(const char *base, const char *relative);
const char *makeDisplayPath(Run *run, const char *directory, const char *fileName);
// The record-file name: fileName, fileNo in at least two digits, suffix.
const char *recordFileName(Run *run, const char *fileName, uint32_t fileNo, const char *suffix);
FILE *openSourceFile(const char *directory, const char *fileName);
// What a FileEntry keeps of an open file: its last modification (seconds)
// and the device and inode that tell it from every other file.
struct FileStatus {
    int64_t modificationTime;
    uint64_t device, inode;
};
FileStatus fileStatus(FILE *stream);
FileEntry *addFileEntry(Run *run, FileEntry *list, uint32_t fileNo, const char *directory, const char *fileName,
                        const FileStatus &status);
// Whether path names a file that the run read as a source, however spelt.
bool isSourceFile(Run *run, const char *path);
FILE *openOutputFile(Run *run, const char *path, int code);
int closeFile(Run *run, FILE *stream);
const char *escapeQuotes(Run *run, const char *text);
// Whether text holds a backslash or a double quote that escapeQuotes would
// escape; a text that does not may be written as it is.
bool needsQuoteEscapes(const char *text);
const char *unescapeText(Run *run, const char *text);
const char *copyEnvironment(Run *run, const char *name);
