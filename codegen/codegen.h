// Code generation: the C++ test harness of an OTD script in the generated
// source file and the marker fragments of the instrumentation file.
#pragma once
#include "form/form.h"
#include "semantic/semantic.h"

#include <cstring>

// Writes both output files; 0, or -1 after a message.
int generate(Run *run, Node *root);

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

// A pattern of the formatted writes cut once into its pieces, each a
// literal run and the conversion after it (0 at the end), kept by the
// pattern's address: every pattern is a literal (see writeLine), so an
// address names one text.
struct PatternPiece {
    uint32_t start, length;
    char conversion; // '%', 's', 'd', 'u' or 'x'
    uint8_t longs;
};
enum : size_t { PLAN_PIECES = 8, PLAN_SLOTS = 512 };
struct PatternPlan {
    const char *pattern;
    bool quick; // every conversion one that formatQuickly makes
    PatternPiece pieces[PLAN_PIECES];
};

// The generator's state, made when generation starts and handed to every
// routine of it; the run it belongs to gives the Context and takes the
// messages.
struct GenState {
    Run *run;
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
    // The generated code on its way to the stream, and how much of it has
    // been counted in outputLine: lines are counted only when a #line
    // directive names one, and then over all the text since the last count.
    TextBuffer codeText;
    size_t codeCounted;
    // While set, what is written goes here instead (a stub's parts).
    TextBuffer *captureBuffer;
    PatternPlan plans[PLAN_SLOTS];
};

// Writers (writer.cpp). Texts go to the code stream, or to the capture
// buffer while one is set; each level indents by three spaces, written
// only before the start of the text.
void writeText(GenState *gen, const char *text, size_t length, uint64_t level);
// Inline so that the length of a literal is known where it is written.
inline void writeCode(GenState *gen, const char *text, uint64_t level)
{
    writeText(gen, text, strlen(text), level);
}
// A formatted text, the same followed by a newline, and one for the
// instrumentation file. Patterns are literals: the formatter keeps what it
// learns of a pattern by its address, and these macros refuse any other
// pattern where it is written ("" joins only with a literal).
void writeFormattedLiteral(GenState *gen, uint64_t level, const char *format, ...) __attribute__((format(printf, 3, 4)));
void writeLineLiteral(GenState *gen, uint64_t level, const char *format, ...) __attribute__((format(printf, 3, 4)));
void emitInstrLiteral(GenState *gen, const char *format, ...) __attribute__((format(printf, 2, 3)));
#define writeFormatted(gen, level, pattern, ...) writeFormattedLiteral(gen, level, "" pattern __VA_OPT__(, ) __VA_ARGS__)
#define writeLine(gen, level, pattern, ...) writeLineLiteral(gen, level, "" pattern __VA_OPT__(, ) __VA_ARGS__)
#define emitInstr(gen, pattern, ...) emitInstrLiteral(gen, "" pattern __VA_OPT__(, ) __VA_ARGS__)
void writeInstr(GenState *gen, const char *text);
void sourceLineDirective(GenState *gen, const Node *node);
void sourceLineDirectiveInstr(GenState *gen, const Node *node);
void outputLineDirective(GenState *gen);
// The "@SLI@ " location fragment of an element.
void writeLocation(GenState *gen, const Node *node);
// Escaped for a string literal or #line; null (and failed) without memory.
const char *escaped(GenState *gen, const char *text);
// Script text written inside a generated comment, with each "*/" of its own
// written "* /" so that the comment does not end early, and each "/*"
// written "/ *" so that the compiler does not warn of a nested comment.
const char *commentText(GenState *gen, const char *text);
// A script name in a generated label or identifier, with each "+" (a word
// character of the script language, not of C++) written "_P_".
const char *labelName(GenState *gen, const char *name);
// Both are the text itself when there is nothing to change, a pooled copy
// otherwise, and null (after message 50) when memory runs out.
// Message 48 for an element where its kind has no place; -1.
int failKind(GenState *gen, const Node *node);
// "_ZEP_FileIdList[0x%x]" index of an element.
unsigned fileIndex(const Node *node);
bool isAnyComment(uint32_t kind);
bool isPlainComment(uint32_t kind);

// Component state machines (machine.cpp).
int generateRun(GenState *gen, Node *runNode, uint64_t level);
void openMachine(GenState *gen, uint64_t level);
void writeGoToNextComponent(GenState *gen, const Node *owner, uint64_t level);
void closeMachine(GenState *gen, uint64_t level);
// The error-handling block for component with block number at level.
int writeErrorHandling(GenState *gen, const Node *component, uint64_t block, uint64_t level, const Node *onError);
int writeCatchBlock(GenState *gen, const Node *component, uint64_t block, uint64_t level);
// The goto to the end label of a TEST CASE or PROC block.
int writeJump(GenState *gen, const Node *component, uint64_t block, uint64_t level);
Node *firstChildOfKind(const Node *node, uint32_t kind);
// The stacks of blocks open at once (runStack: components run through RUN;
// procStack: PROCs expanded through CALL), innermost last.
bool isOnStack(const Cell *stack, const Node *node);
// Pushes node; -1 after message 50 at place.
int pushOpen(GenState *gen, Cell **stack, Node *node, const Node *place);
void popOpen(Cell **stack);
// Opens one more nested block for element; -1 after message 0 when blocks
// nest too deep for the stack. closeNesting undoes a successful one.
int openNesting(GenState *gen, const Node *element);
void closeNesting(GenState *gen);

// Statements and stubs (statements.cpp).
// The body statements of a TEST CASE or PROC between TRY begin and end.
int generateBody(GenState *gen, Node *component, uint64_t block, uint64_t level);
int generateCall(GenState *gen, Node *call, Node *caller, uint64_t callerBlock, uint64_t level);
int generateStatementIn(GenState *gen, Node *statement, const Node *component, uint64_t block, uint64_t level);
int writeStubCheckResets(GenState *gen, const Node *component, uint64_t level);
int prepareStub(GenState *gen, Node *stub);
void writeStubTrailer(GenState *gen, Node *stub);
void writeCounterDeclarations(GenState *gen, const Node *node);
// The text with the bindings in force for node applied, to be written at
// once: a changed text lives in the generator's scratch until the next call.
// Null after message 50.
const char *substitute(GenState *gen, const char *text, const Node *node);
// Pushes a frame for the actuals, when there are any; -1 after message 50.
int pushBindings(GenState *gen, const Node *referring, const Node *owner, const NameEntry *actuals, bool *pushed);
void popBindings(GenState *gen);

// Contract instrumentation of OTC classes (contracts.cpp).
int generateContracts(GenState *gen, Node *contractClass);
