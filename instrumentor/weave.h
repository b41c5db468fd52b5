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
};

// What applies to one body; a null pointer where nothing of that kind does.
struct Weaving {
    const ContractClass *owner = nullptr;  // its class has contracts
    const Wrap *wrap = nullptr;
    const Stub *stub = nullptr;
    std::vector<std::string> counters;  // CHECK METHOD counters
};

// The text inserted just after the body's "{". It ends with a #line and
// blanks that put the rest of the original line back at its own line and
// column.
std::string wovenEntry(const Body &body, const Weaving &weaving);

// The text inserted at the top of a copy: the run-time declarations and
// the counters, then the #line back to the original's first line.
std::string copyHead(const std::string &original, const std::vector<std::string> &counters, bool woven);

// Whether anything of the class reaches a body that is not wrapped.
bool observesEveryMember(const ContractClass &owner);

} // namespace zepinstr
