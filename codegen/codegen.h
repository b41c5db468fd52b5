// Code generation: the C++ test harness of an OTD script in the generated
// source file and the marker fragments of the instrumentation file.
#pragma once
#include "form/form.h"
#include "semantic/semantic.h"

#include <cstring>

// Writes both output files; 0, or -1 after a message.
int generate(Node *root);

// Actual parameters bound to a component's formals while it is generated.
struct BindingFrame {
    const Node *owner;
    Binding *bindings;
    BindingFrame *next;
};

struct PathEscape {
    const char *path;
    const char *text; // escaped
};
enum : unsigned { PATHS_KEPT = 4 };

// The generator's running state, reset when generation starts.
struct GenState {
    BindingFrame *bindingStack; // outermost first
    uint64_t blockCounter;
    Node *currentOnError;
    Cell *runStack;
    Cell *procStack;
    uint64_t stateCounter;
    uint64_t outputLine;
    uint64_t depth; // components and PROCs open at once
    bool failed; // a write that ran out of memory; reported once
    TextBuffer scratch;
    SubstitutionScratch substitution;
    PathEscape paths[PATHS_KEPT]; // the escaped forms of the last paths
    unsigned nextPath;
};

extern GenState gen;

// Writers (writer.cpp). Texts go to the code stream, or to the capture
// buffer while one is set; each level indents by three spaces, written
// only before the start of the text.
void writeText(const char *text, size_t length, uint64_t level);
// Inline so that the length of a literal is known where it is written.
inline void writeCode(const char *text, uint64_t level)
{
    writeText(text, strlen(text), level);
}
// A formatted text, the same followed by a newline, and one for the
// instrumentation file. Patterns are literals: the formatter keeps what it
// learns of a pattern by its address, and these macros refuse any other
// pattern where it is written ("" joins only with a literal).
void writeFormattedLiteral(uint64_t level, const char *format, ...) __attribute__((format(printf, 2, 3)));
void writeLineLiteral(uint64_t level, const char *format, ...) __attribute__((format(printf, 2, 3)));
void emitInstrLiteral(const char *format, ...) __attribute__((format(printf, 1, 2)));
#define writeFormatted(level, pattern, ...) writeFormattedLiteral(level, "" pattern __VA_OPT__(, ) __VA_ARGS__)
#define writeLine(level, pattern, ...) writeLineLiteral(level, "" pattern __VA_OPT__(, ) __VA_ARGS__)
#define emitInstr(pattern, ...) emitInstrLiteral("" pattern __VA_OPT__(, ) __VA_ARGS__)
void writeInstr(const char *text);
void sourceLineDirective(const Node *node);
void sourceLineDirectiveInstr(const Node *node);
void outputLineDirective();
// The "@SLI@ " location fragment of an element.
void writeLocation(const Node *node);
// Escaped for a string literal or #line; null (and failed) without memory.
const char *escaped(const char *text);
// Script text written inside a generated comment, with each "*/" of its own
// written "* /" so that the comment does not end early, and each "/*"
// written "/ *" so that the compiler does not warn of a nested comment.
const char *commentText(const char *text);
// A script name in a generated label or identifier, with each "+" (a word
// character of the script language, not of C++) written "_P_".
const char *labelName(const char *name);
// Both are the text itself when there is nothing to change, a pooled copy
// otherwise, and null (after message 50) when memory runs out.
// Message 48 for an element where its kind has no place; -1.
int failKind(const Node *node);
// "_ZEP_FileIdList[0x%x]" index of an element.
unsigned fileIndex(const Node *node);
bool isNative(uint32_t kind);
bool isAnyComment(uint32_t kind);
bool isPlainComment(uint32_t kind);

// Component state machines (machine.cpp).
int generateRun(Node *run, uint64_t level);
void openMachine(uint64_t level);
void writeGoToNextComponent(const Node *owner, uint64_t level);
void closeMachine(uint64_t level);
// The error-handling block for component with block number at level.
int writeErrorHandling(const Node *component, uint64_t block, uint64_t level, const Node *onError);
int writeCatchBlock(const Node *component, uint64_t block, uint64_t level);
// The goto to the end label of a TEST CASE or PROC block.
int writeJump(const Node *component, uint64_t block, uint64_t level);
Node *firstChildOfKind(const Node *node, uint32_t kind);
// Opens one more nested block for element; -1 after message 0 when blocks
// nest too deep for the stack. closeNesting undoes a successful one.
int openNesting(const Node *element);
void closeNesting();

// Statements and stubs (statements.cpp).
// The body statements of a TEST CASE or PROC between TRY begin and end.
int generateBody(Node *component, uint64_t block, uint64_t level);
int generateCall(Node *call, Node *caller, uint64_t callerBlock, uint64_t level);
int generateStatementIn(Node *statement, const Node *component, uint64_t block, uint64_t level);
int writeStubCheckResets(const Node *component, uint64_t level);
int prepareStub(Node *stub);
void writeStubTrailer(Node *stub);
void writeCounterDeclarations(const Node *node);
// The text with the bindings in force for node applied, to be written at
// once: a changed text lives in the generator's scratch until the next call.
// Null after message 50.
const char *substitute(const char *text, const Node *node);
// Pushes a frame for the actuals, when there are any; -1 after message 50.
int pushBindings(const Node *referring, const Node *owner, const NameEntry *actuals, bool *pushed);
void popBindings();

// Contract instrumentation of OTC classes (contracts.cpp).
int generateContracts(Node *contractClass);
