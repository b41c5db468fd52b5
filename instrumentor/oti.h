// The instrumentation file that zepprepro writes with -OTI, read into what
// zepinstr weaves: contract classes, stubs and CHECK METHOD counters.
#pragma once

#include <string>
#include <vector>

namespace zepinstr {

// Where an element stands in its script, as the "@SLI@ " fragment says.
struct ScriptPlace {
    std::string file;
    unsigned long line = 0;
};

struct Wrap {
    std::string signature;
    ScriptPlace place;
    std::string require;  // code of the "@PRE@ " fragment, empty without one
    std::string ensure;
};

struct ContractClass {
    bool single = false;  // SINGLE CLASS: one state for the whole class
    std::string head;     // the class as the script names it
    ScriptPlace place;
    unsigned long checksumA = 0, checksumB = 0;
    unsigned long id = 0;
    std::vector<Wrap> wraps;
    std::vector<std::string> invariants;
    // The state chart; all three empty when the class has no states.
    std::string tables, update, check;
};

struct Stub {
    std::string signature;
    ScriptPlace place;
    std::string entry, exit;  // "@PRE@ " and "@POS@ " code
};

struct MethodCheck {
    std::string signature;
    ScriptPlace place;
    std::string counter;
};

struct Instrumentation {
    std::vector<ContractClass> classes;
    std::vector<Stub> stubs;
    std::vector<MethodCheck> methods;  // one per counter
};

// Reads the text of an instrumentation file. On a fault, false and a
// message located at the line of the file (path:line: text).
bool readInstrumentation(const std::string &text, const std::string &path, Instrumentation &out, std::string &error);

} // namespace zepinstr
