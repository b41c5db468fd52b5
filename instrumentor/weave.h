// The code woven into one function body: what runs at its entry and, via a
// guard object, at each normal return.
#pragma once

#include "instrumentor/oti.h"

#include <string>
#include <vector>

namespace zepinstr {

enum FunctionKind { PlainFunction, MemberFunction, StaticMember, Constructor, Destructor };

// A function definition as far as weaving needs it.
struct Body {
    FunctionKind kind = PlainFunction;
    bool isPublic = false;
    std::string display;  // the name in trace lines, e.g. Lift::call
    std::string file;     // original path, for the #line back to it
    unsigned long line = 0, column = 0;  // of the body's "{"
    unsigned long endLine = 0, endColumn = 0;  // of its "}"
    bool returnsValue = false;  // its "}" is never reached by a return
};

// What applies to one body; a null pointer where nothing of that kind does.
struct Weaving {
    const ContractClass *owner = nullptr;  // its class has contracts
    const Wrap *wrap = nullptr;
    const Stub *stub = nullptr;
    std::vector<std::string> counters;  // CHECK METHOD counters
};

// The line that opens woven code. The copy's writer replaces it by a
// #line naming the copy itself, so that compilers, debuggers and coverage
// place the woven code in the build tree and never among the user's lines.
extern const char WOVEN_CODE_LINE[];

// The text inserted just after the body's "{": the line of woven code, the
// code, then a #line and blanks that put the rest of the original line back
// at its own line and column.
std::string wovenEntry(const Body &body, const Weaving &weaving);

// The text inserted just after the "}" of a body that returns a value.
// There the body's own statements stand in a block of their own, so that
// the woven objects end at a "}" of the copy: the user's "}", which no
// return reaches, stays a line without code, as it is without weaving.
std::string wovenExit(const Body &body);

// The copy's text with each line of woven code replaced by the #line that
// makes the next line the copy's own next line.
std::string placeWovenCode(const std::string &text, const std::string &copy);

// The text inserted at the top of a copy: the run-time declarations and
// the counters, then the #line back to the original's first line.
std::string copyHead(const std::string &original, const std::vector<std::string> &counters, bool woven);

// Whether anything of the class reaches a body that is not wrapped.
bool observesEveryMember(const ContractClass &owner);

} // namespace zepinstr
