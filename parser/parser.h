// The parser: one routine per construct of the script language, reading the
// scanner's tokens and appending nodes to the one tree of the run.
#pragma once
#include "form/form.h"
#include "lexer/lexer.h"
#include "parser/blocks.h"

#include <QString>

// Reads one source file into the tree under root; failures are counted
// through run->errorCount. included is 1 for an INCLUDE, baseDirectory the
// including file's directory (null for a command-line file).
int parseSourceFile(Run *run, const char *path, Node *root, int included, const char *baseDirectory);

// What every construct routine works on: the open file with its counters,
// the names its nodes carry, and the token read last. On entry to a routine
// the token is its introducing keyword; a look-ahead that puts a token back
// leaves it here, as its span is what the next node built takes.
struct ParseState {
    Run *run;
    ScanStream stream;
    const char *directory;
    const char *fileName;
    uint32_t fileNo; // the file's number in the run, from 1
    Token token;
};

// Where a construct began: its introducing keyword and the text as written.
struct Opening {
    uint64_t line;
    uint64_t column;
    const char *text;
};

// Parses the component that the token just read starts when the table
// accepts it; false when it does not.
bool parseComponent(ParseState *state, uint64_t depth, Node *parent, const ComponentTable *table);

// Shared steps of the construct routines (frame.cpp).
Opening openConstruct(const ParseState *state);
int readToken(ParseState *state);
// Reads a token that must have the given code; otherwise reports message with
// the words and, last, "EOF" or the text read. Returns 0 or -1 (a failed read
// is not reported again).
int expectToken(ParseState *state, uint32_t code, unsigned message, const QString &w1, const QString &w2 = QString(),
                const QString &w3 = QString(), const QString &w4 = QString());
// Reads one token and keeps it when it has the code; otherwise puts the
// stream back (the token stays in state->token).
bool lookAhead(ParseState *state, uint32_t code);
// A parenthesised list after a name, made by build, when there is one: 0
// with the list (null when absent), -1 after message 26.
int parseOptionalList(ParseState *state, NameEntry *(*build)(Run *, const char *), NameEntry **list);
NodePlace placeHere(const ParseState *state, uint64_t depth);
void closeConstruct(const ParseState *state, Node *node, const Opening &opening);
// Reads components after '{' until '}'; blockPhrase, translated only when
// needed, names the block in the message about a component out of place.
// Returns 0 when the body closed (a failed read closes it too), -1 at the
// end of the file (reported).
int parseBody(ParseState *state, Node *node, uint64_t depth, const char *blockPhrase, const ComponentTable *components);
// Raw text scans for signatures and class heads. The text ends at the first
// candidate character from which a token with one of the two codes is read;
// letters count as candidates only after a blank when afterBlank is set.
// Comments are passed over. Returns SCAN_TOKEN with end marking the ending
// character, SCAN_END at the end of the file (not reported) or SCAN_FAILED.
struct RawEnd {
    const char *candidates;
    bool afterBlank;
    uint32_t code;
    uint32_t otherCode;
};
int scanRawText(ParseState *state, const RawEnd &rule, ScanMark *end);
// Captures the text from start to end and puts the stream back at end, so
// that the ending token is read again. Returns 0 or -1.
int captureRawText(ParseState *state, ScanMark start, ScanMark end, const char **text);

// Phrases of the messages, translated with phrase().
extern const char *const PHRASE_OTD_SCRIPT;
extern const char *const PHRASE_OTC_SCRIPT;
extern const char *const PHRASE_STUB;
extern const char *const PHRASE_TEST_CLASS;
extern const char *const PHRASE_TEST_SUITE;
extern const char *const PHRASE_TEST_CASE;
extern const char *const PHRASE_PROC;
extern const char *const PHRASE_PARAMETERS;
extern const char *const PHRASE_EXCEPTION_SIGNATURE;
extern const char *const PHRASE_CHECK_EXCEPTION;
extern const char *const PHRASE_CHECK_STUB;
extern const char *const PHRASE_ON_ERROR;
extern const char *const PHRASE_PROLOGUE;
extern const char *const PHRASE_EPILOGUE;
extern const char *const PHRASE_RUN;
extern const char *const PHRASE_PROPERTY;
extern const char *const PHRASE_CLASS;
extern const char *const PHRASE_UML_STATE;
// Message 46 for a node that could not be built.
void failNode(const ParseState *state, const char *words, const char *name);
// Message 26 for a list that could not be made from an expression.
void failList(const ParseState *state, const char *text);
void reportAt(const ParseState *state, unsigned message, const QString &a1 = QString(), const QString &a2 = QString(),
              const QString &a3 = QString(), const QString &a4 = QString(), const QString &a5 = QString());
bool isCommentText(uint32_t code);

// The OTD top level and STUB definitions (script.cpp).
int parseOtdScript(ParseState *state, Node *root);
int parseInclude(ParseState *state, uint64_t depth, Node *parent);
extern const ComponentTable OTD_SCRIPT_COMPONENTS;
extern const ComponentTable STUB_COMPONENTS;

// Test components (components.cpp).
int parseTestClass(ParseState *state, uint64_t depth, Node *parent);
int parseTestSuite(ParseState *state, uint64_t depth, Node *parent);
int parseTestCase(ParseState *state, uint64_t depth, Node *parent);
extern const ComponentTable TEST_CLASS_COMPONENTS;
extern const ComponentTable TEST_SUITE_COMPONENTS;
// The statements of a TEST CASE or PROC body.
extern const ComponentTable STATEMENT_COMPONENTS;

// Procedures (procedures.cpp).
int parseProc(ParseState *state, uint64_t depth, Node *parent);
// REQUIRE or ENSURE with its expression, after the keyword (also STUB).
int parseCondition(ParseState *state, uint64_t depth, Node *parent, uint32_t kind);

// Checks, calls and prints (checks.cpp).
int parseCheck(ParseState *state, uint64_t depth, Node *parent);
int parseCheckProperty(ParseState *state, uint64_t depth, Node *parent);
extern const ComponentTable CHECK_STUB_COMPONENTS;
int parseCheckException(ParseState *state, uint64_t depth, Node *parent);
int parseCheckStub(ParseState *state, uint64_t depth, Node *parent);
int parseCall(ParseState *state, uint64_t depth, Node *parent);
int parsePrint(ParseState *state, uint64_t depth, Node *parent);

// Error handling, prologue and epilogue (handlers.cpp).
int parseOnError(ParseState *state, uint64_t depth, Node *parent);
int parsePrologue(ParseState *state, uint64_t depth, Node *parent);
int parseEpilogue(ParseState *state, uint64_t depth, Node *parent);

// RUN, native code, comments and properties (run.cpp).
int parseRun(ParseState *state, uint64_t depth, Node *parent);
int buildNative(ParseState *state, uint64_t depth, Node *parent);
// A node that only records the token just read; words name it in message 46.
int buildTokenNode(ParseState *state, uint64_t depth, Node *parent, const char *words);
int buildComment(ParseState *state, uint64_t depth, Node *parent);
int parsePropertyDefinition(ParseState *state, uint64_t depth, Node *parent);
// The body components of ON ERROR, PROLOGUE, EPILOGUE and CHECK EXCEPTION:
// comments, native code and PRINT.
extern const ComponentTable PLAIN_STATEMENT_COMPONENTS;
extern const ComponentTable PROPERTY_COMPONENTS;

// OTC contract scripts and CHECK METHOD (contracts.cpp).
extern const ComponentTable OTC_SCRIPT_COMPONENTS;
extern const ComponentTable CLASS_COMPONENTS;
extern const ComponentTable UML_STATE_COMPONENTS;
int parseCheckMethod(ParseState *state, uint64_t depth, Node *parent);
