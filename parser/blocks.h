// What each block of a script accepts as its components: the tables the
// parser reads a body by, which others (an editor's completion) may read too.
#pragma once
#include <cstddef>
#include <cstdint>

struct Node;
struct ParseState;

// A construct routine, entered with its introducing keyword read.
using ConstructRoutine = int (*)(ParseState *state, uint64_t depth, Node *parent);

struct Component {
    uint32_t code; // the token code of the introducing keyword
    ConstructRoutine parse;
};

// Besides its keywords, a block may take native code and COMMENT lines.
enum : unsigned { TAKES_NATIVE = 1, TAKES_COMMENT = 2 };

// A block's keywords with their routines and what else it takes; then all
// that the table more accepts (null: nothing more).
struct ComponentTable {
    const Component *components;
    size_t count;
    unsigned takes;
    const ComponentTable *more;
};

// The table of a block of the node kind, or for kind 0 of an OTD script's
// top level (an OTC script's when contracts); null for a kind that holds no
// components.
const ComponentTable *componentsOf(uint32_t blockKind, bool contracts);
