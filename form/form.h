// The internal form: one tree of script elements per run, the list cells its
// payloads point to, the run's Context and one FileEntry per source file.
// Every text stored here is interned in the string pool, so equal texts are
// one pointer and names compare by pointer.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/diagnostics.h"

// Kind codes. They are the scanner's token codes: a node's kind is the code
// of the token that introduces it, so one table serves scanner, parser,
// writers and generators. Some codes are only ever tokens, some only kinds.
enum : uint32_t {
    KIND_SCRIPT = 999,
    KIND_TEST_CLASS = 1000,
    KIND_TEST_SUITE = 1001,
    KIND_TEST_CASE = 1002,
    KIND_SINGLE_CLASS = 1050,
    KIND_CHECK_EXCEPTION = 1100,
    KIND_CHECK_PROPERTY = 1101,
    KIND_CHECK_STUB = 1102,
    KIND_CHECK_METHOD = 1103,
    KIND_ON_ERROR = 1300,
    KIND_PRINT = 1400,
    KIND_BYPASS = 1401,
    KIND_CALL = 1402,
    KIND_COMMENT = 1403,
    KIND_CONTINUE = 1404,
    KIND_ENSURE = 1406,
    KIND_EXIT = 1407,
    KIND_INVARIANT = 1409,
    KIND_PROC = 1411,
    KIND_REQUIRE = 1413,
    KIND_WRAP = 1418,
    KIND_RUN = 1419,
    KIND_INCLUDE = 1420,
    KIND_CPP = 1421,
    KIND_JAVA = 1422,
    KIND_RUN_COMPONENT = 1425,
    KIND_SIGNATURE = 1427,
    KIND_PROLOGUE = 1430,
    KIND_EPILOGUE = 1431,
    KIND_UMLSTATE = 1436,
    KIND_TRANSITION = 1437,
    KIND_TO = 1438,
    KIND_SINGLE = 1439,
    KIND_LEFT_BRACE = 5000,
    KIND_RIGHT_BRACE = 5001,
    KIND_LEFT_PARENTHESIS = 5002,
    KIND_RIGHT_PARENTHESIS = 5003,
    KIND_COLON = 5004,
    KIND_COMMA = 5005,
    KIND_STAR = 5007,
    KIND_SEMICOLON = 5008,
    KIND_HASH = 5009,
    KIND_DOT = 5010,
    KIND_DOUBLE_QUOTE = 5011,
    KIND_LEFT_BRACKET = 5012,
    KIND_RIGHT_BRACKET = 5013,
    KIND_LESS = 5014,
    KIND_GREATER = 5015,
    KIND_PERCENT = 5016,
    KIND_QUESTION = 5017,
    KIND_MINUS = 5019,
    KIND_CARET = 5020,
    KIND_AMPERSAND = 5021,
    KIND_BAR = 5022,
    KIND_TILDE = 5023,
    KIND_EXCLAMATION = 5024,
    KIND_EQUALS = 5025,
    KIND_BACKSLASH = 5026,
    KIND_BACKQUOTE = 5027,
    KIND_APOSTROPHE = 5028,
    KIND_DOUBLE_COLON = 5103,
    KIND_THREE_POINTS = 5200,
    KIND_STRING = 8000,
    KIND_EXPRESSION = 8001,
    KIND_COMMENT_LINE = 8002,
    KIND_COMMENT_BLOCK = 8003,
    KIND_LINE_COMMENT = 8004,
    KIND_BLOCK_COMMENT = 8005,
    KIND_NATIVE_LINE = 8006,
    KIND_NATIVE_BLOCK = 8007,
    KIND_CPP_LINE = 8008,
    KIND_CPP_BLOCK = 8009,
    KIND_JAVA_LINE = 8010,
    KIND_JAVA_BLOCK = 8011,
    KIND_CHECK = 9000,
    KIND_PROPERTY = 9001,
    KIND_STUB = 9002,
    KIND_IDENTIFIER = 9500,
    KIND_TEST = 9600,
    KIND_CLASS = 9601,
    KIND_SUITE = 9602,
    KIND_CASE = 9603,
    KIND_EXCEPTION = 9604,
    KIND_METHOD = 9605,
    KIND_ON = 9607,
    KIND_ERROR = 9609,
};

// Record numbers above an element's id: its message (MS) and text (TX)
// records, and the observation state of a contract class, which the
// generated code names too.
enum : uint64_t { RECORD_MESSAGE_BASE = 1000000, RECORD_TEXT_BASE = 2000000, RECORD_STATE_BASE = 3000000 };

// Blocks, includes and chains of bases nest at most this deep; deeper ones
// are refused with message 0, so that no pass can run out of stack.
enum : uint64_t { NESTING_LIMIT = 512 };


// A growable heap text. Starts at 2048 bytes and grows as needed.
struct TextBuffer {
    char *text;
    size_t length;
    size_t capacity;
};

struct Node;

struct NameEntry {
    const char *text;
    const char *formal;
    NameEntry *next;
    NameEntry *registryNext; // every entry ever made, for the bulk release
};

struct NameSegment {
    const char *text;
    NameEntry *arguments;
    Node *resolved;
    NameSegment *next;
    NameSegment *registryNext;
};

struct Cell {
    void *value;
    Cell *next;
};

struct SpanWords {
    uint64_t beginLine, endLine, beginColumn, endColumn;
};

struct ListInfo {
    NameEntry *list;
};

struct ClassInfo {
    NameEntry *parameters;
    NameSegment *base;
    Node *resolvedBase;
};

struct CallInfo {
    NameSegment *target;
    NameEntry *arguments;
    Node *resolvedTarget;
};

struct PropertyCheckInfo {
    NameSegment *target;
    NameEntry *arguments;
    const char *label;
    Node *resolvedTarget;
    SpanWords span;
};

struct StubCheckInfo {
    Node *resolvedStub;
};

struct OnErrorInfo {
    uint32_t action;
    const char *bypassTarget;
    Node *resolvedBypass;
};

struct ConditionInfo {
    SpanWords span;
};

struct RunInfo {
    NameSegment *component;
    Node *resolvedComponent;
};

struct StateInfo {
    int64_t stateNumber;
    uint64_t transitionCount;
};

struct TransitionInfo {
    const char *fromState;
    const char *toState;
    Node *resolvedFrom;
    Node *resolvedTo;
};

struct CheckInfo {
    const char *label;
    const char *condition;
    SpanWords span;
};

struct StubInfo {
    const char *signature;
    uint64_t caseCounter;
    TextBuffer head, cases, tail;
};

// The two 32-bit fields stand together: a large script makes a node for
// every few dozen bytes, and padding would cost a word in each.
struct Node {
    uint32_t kind;
    uint32_t fileNo;
    const char *name;
    uint64_t id;
    uint64_t sid;
    const char *directory;
    const char *fileName;
    const char *displayPath;
    uint64_t beginLine, endLine, beginColumn, endColumn;
    uint64_t line;
    uint64_t depth;
    void *payload;
    Node *parent, *firstChild, *lastChild, *prevSibling, *nextSibling;
};

// Where a node comes from and where it lies: the common constructor inputs.
struct NodePlace {
    const char *directory;
    const char *fileName;
    const char *displayPath; // the file as messages name it
    uint32_t fileNo;
    uint64_t line;
    SpanWords span;
    uint64_t depth;
};

struct SourceName {
    const char *name;
    SourceName *next;
};

struct FileEntry {
    const char *tsfName;
    FILE *tsfStream;
    const char *otsName;
    FILE *otsStream;
    uint32_t fileNo;
    uint32_t checksumA, checksumB;
    const char *fileName;
    const char *directory;
    int64_t modificationTime;
    // Which file it is, whatever path named it.
    uint64_t device, inode;
    FileEntry *nextEntry;
};

struct Context {
    SourceName *sourceNames;
    FileEntry *fileEntries;
    uint32_t fileCount;
    const char *featureLabel;
    const char *toolTitle;
    const char *workingDirectory;
    const char *targetDirectory;
    const char *codePath;
    FILE *codeStream;
    const char *instrPath;
    FILE *instrStream;
    const char *dynamicPath;
    uint32_t noLineDirectives;
    uint32_t noPath;
    const char *benchLogPath;
    FILE *benchLog;
    // How deep INCLUDE statements nest at this moment.
    uint64_t includeDepth;
};

// Everything one run of the translator owns, made by the run sequence and
// handed to every stage, as the first argument of each routine that needs
// it: two runs never share anything but the allocation layer. The stages
// above the internal form keep their state here too, behind pointers to
// types of their own.
struct PoolSlot;
struct ScopeSlot;
struct GenState;
struct OutputBuffer;
struct Run : Diagnostics {
    Context *context;
    Node *root;
    // The string pool (pool.cpp).
    PoolSlot *poolSlots;
    size_t poolSlotCount, poolEntryCount;
    // Every NameSegment and NameEntry made, for the bulk release (lists.cpp).
    NameSegment *segmentRegistry;
    NameEntry *parameterRegistry;
    size_t segmentCount, parameterCount;
    // The id of the next node, and how many OTD scripts were read.
    uint64_t nextId;
    uint32_t otdFileCount;
    // Resolution and expansion: the index of large scopes (scope.cpp), the
    // classes whose base is being resolved now (coming back to one of them
    // finds no base instead of recursing without end), how deep expansion
    // recurses.
    ScopeSlot *scopeSlots;
    size_t scopeSlotCount, scopeUsedCount;
    const Node *lastIndexed;
    const Node *resolving[64];
    size_t resolvingCount;
    uint64_t expansionDepth;
    // The generator's state while it runs.
    GenState *gen;
    // The write buffers of the open output files.
    OutputBuffer *outputBuffers;
};

extern const char *const TOOL_TITLE;
extern const char *const FEATURE_LABEL;
// The translator's version, shown in the banner and the record files.
extern const char *const RELEASE_TEXT;

// String pool. intern takes a heap block: it returns that block, now owned by
// the pool, or the equal text already pooled (freeing the block); null when
// the pool entry cannot be made (the caller still owns the block).
const char *intern(Run *run, char *text);
// Copies length bytes of text and interns the copy; null on failure.
const char *internCopy(Run *run, const char *text, size_t length);
const char *internText(Run *run, const char *text);
// The pooled text equal to the length bytes at text, or null when none is.
const char *findInterned(Run *run, const char *text, size_t length);
void releaseStringPool(Run *run);

// Context and file entries.
Context *createContext();
void releaseContext(Context *context);
FileEntry *entryForFile(const Context *context, uint32_t fileNo);

// Nodes.
Node *createRoot();
Node *createNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place);
Node *createPlainNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place);
Node *createListNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place, NameEntry *list);
Node *createClassNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameEntry *parameters, NameSegment *base);
Node *createCallNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameSegment *target, NameEntry *arguments);
Node *createPropertyCheckNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *label,
                              NameSegment *target, NameEntry *arguments, const SpanWords &span);
Node *createStubCheckNode(Run *run, Node *parent, const char *name, const NodePlace &place);
Node *createOnErrorNode(Run *run, Node *parent, const char *name, const NodePlace &place);
Node *createConditionNode(Run *run, Node *parent, uint32_t kind, const char *name, const NodePlace &place, const SpanWords &span);
Node *createInvariantNode(Run *run, Node *parent, const char *name, const NodePlace &place, const SpanWords &span);
Node *createRunNode(Run *run, Node *parent, const char *name, const NodePlace &place, NameSegment *component);
Node *createStateNode(Run *run, Node *parent, const char *name, const NodePlace &place);
Node *createTransitionNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *fromState,
                           const char *toState);
Node *createCheckNode(Run *run, Node *parent, const NodePlace &place, const char *label, const char *condition,
                      const SpanWords &span);
Node *createStubNode(Run *run, Node *parent, const char *name, const NodePlace &place, const char *signature);

// Whether kind is one of native code's six kinds (a line or block opened by
// `#`, c++ or java).
inline bool isNativeKind(uint32_t kind)
{
    return kind >= KIND_NATIVE_LINE && kind <= KIND_JAVA_BLOCK;
}

// Whether kind is a kind code of the internal form.
bool isKnownKind(uint32_t kind);
// The element's name in messages and in the dump ("TEST CLASS", "CHECK" ...).
const char *kindName(uint32_t kind);

Node *rootOf(Node *node);

// Lists.
NameEntry *buildNameList(Run *run, const char *text);
NameEntry *buildParameterList(Run *run, const char *text);
NameSegment *appendSegment(Run *run, NameSegment *list, const char *text, NameEntry *arguments);
// A fresh list with the same entries (texts shared); -1 when memory runs
// out (the entries made stay recorded).
int copyNameList(Run *run, const NameEntry *list, NameEntry **copy);
Cell *appendCell(Cell *list, void *value);
void releaseCells(Cell *list);
void releaseSegments(Run *run);
void releaseParameters(Run *run);

// Text buffers. appendText reports message 41 and frees the buffer when it
// cannot grow; it returns -1 then.
int initTextBuffer(TextBuffer *buffer);
// Makes room for extra more bytes and a terminator; -1 when memory runs out
// (the buffer is left as it was).
int reserveText(TextBuffer *buffer, size_t extra);
int appendText(Run *run, TextBuffer *buffer, const char *text);
// Copies length bytes between texts that do not overlap. Nearly every piece
// of text is short, and two moves of a fixed size, made inline, cost less
// than a call of the C library.
inline void copyText(char *to, const char *from, size_t length)
{
    if (length >= 8 && length <= 16) {
        uint64_t head, tail;
        memcpy(&head, from, 8);
        memcpy(&tail, from + length - 8, 8);
        memcpy(to, &head, 8);
        memcpy(to + length - 8, &tail, 8);
    } else if (length >= 4 && length < 8) {
        uint32_t head, tail;
        memcpy(&head, from, 4);
        memcpy(&tail, from + length - 4, 4);
        memcpy(to, &head, 4);
        memcpy(to + length - 4, &tail, 4);
    } else if (length < 4) {
        for (size_t i = 0; i < length; i++)
            to[i] = from[i];
    } else {
        memcpy(to, from, length);
    }
}

// count bytes, kept terminated, without a message; -1 when memory runs out.
// Inline: most appends fit, and they come by the million.
inline int appendBytes(TextBuffer *buffer, const char *bytes, size_t count)
{
    if (buffer->length + count >= buffer->capacity && reserveText(buffer, count) != 0)
        return -1;
    copyText(buffer->text + buffer->length, bytes, count);
    buffer->length += count;
    buffer->text[buffer->length] = '\0';
    return 0;
}
void freeTextBuffer(TextBuffer *buffer);
// The digits of value in base 10 or 16 (lower case), written backwards so
// that they end just before end; returns where they begin. The generated
// code and the records write millions of numbers, for which the general
// machinery of snprintf costs far more.
enum : size_t { DIGITS_ROOM = 24 };
char *writeDigits(char *end, uint64_t value, unsigned base);

// Release and dump.
void releaseTree(Run *run, Node *node);
void dumpTree(Run *run, const Node *node, FILE *out = stderr);
