// Semantic analysis: name resolution and inheritance expansion.
#pragma once
#include "form/form.h"

// Binds every referring element to what it names and reports duplicates,
// unknown names, parameter counts and inheritance cycles. Always 0.
int resolve(Run *run, Node *first);
// Makes every derived TEST CLASS self-contained; 0, or -1 after a message.
int expand(Run *run, Node *node);

// A formal parameter text bound to an actual one; masked bindings are not
// applied (an inner declaration of the same formal hides them).
struct Binding {
    const char *formal;
    const char *actual;
    uint64_t masked;
    Binding *next;
};

// The text with every unmasked binding applied in list order, outside
// strings, character literals and comments and only at identifier bounds:
// an interned text, the text itself when nothing changed, or null after
// message 50.
const char *substituteText(Run *run, const char *text, const Binding *bindings);
// The same for a text that is written out at once: a changed text is left
// in one of the scratch buffers, valid until the next call with them, and is
// not pooled. The caller frees the buffers when done.
struct SubstitutionScratch {
    TextBuffer buffers[2];
};
const char *substituteScratch(Run *run, const char *text, const Binding *bindings, SubstitutionScratch *scratch);
void freeSubstitutionScratch(SubstitutionScratch *scratch);
// A scratch result of substituting text, pooled so that it can be kept: text
// itself when nothing changed, null as it came or after message 50.
const char *keepSubstitution(Run *run, const char *text, const char *result);

// Resolution steps that expansion uses again.
Node *resolveBase(Run *run, Node *testClass, NameSegment *base);

// Lookups among the children of a scope (scope.cpp), through an index made
// on first use and dropped by clearScopes when the tree changes.
struct ScopeEntry {
    Node *node;
    uint64_t ordinal; // place among the scope's children, from 0
};
// The first child of scope with kind and name (name null: any name), or
// {null, 0}. For TRANSITION children, name and other are the two states.
ScopeEntry firstChild(Run *run, Node *scope, uint32_t kind, const char *name, const char *other = nullptr);
// Which of count kinds (at most 32) an earlier sibling of node, the child at
// ordinal, has under name (null: any name): bit i stands for kinds[i]. The
// siblings before a node near the start of its block are walked; for one
// further on the index answers.
unsigned earlierKinds(Run *run, const Node *node, uint64_t ordinal, const uint32_t *kinds, size_t count, const char *name);
void clearScopes(Run *run);
