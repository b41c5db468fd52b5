// The libclang layer: parses one source with its compile arguments and
// reports the function definitions, classes and project files it holds.
// Everything else of zepinstr works on what this returns.
#pragma once

#include "instrumentor/signature.h"
#include "instrumentor/weave.h"

#include <string>
#include <vector>

namespace zepinstr {

struct FunctionSite {
    Definition definition;
    Body body;
    size_t bodyOffset = 0;            // just after the body's "{"
    size_t endOffset = 0;             // just after its "}"
    std::vector<std::string> owner;   // the class's qualified name, empty for a free function
    bool constexprFunction = false;
    bool fromMacro = false;           // its body comes from a macro
    bool tryBody = false;             // a function-try-block
};

struct ParsedSource {
    std::vector<FunctionSite> functions;
    std::vector<std::vector<std::string>> classes;  // qualified names of class definitions
    // (includer, included) of every project file, the source itself included.
    std::vector<std::pair<std::string, std::string>> includes;
};

// A file of the project: under the root and under no excluded folder.
struct ProjectFiles {
    std::string root;
    std::vector<std::string> excluded;
    std::string also;  // a file that belongs to it wherever it is (the harness)
    bool contains(const std::string &path) const;
};

// Parses `source`; on failure false and the compiler's errors as messages.
bool parseSource(const std::string &source, const std::vector<std::string> &arguments, const ProjectFiles &project,
                 ParsedSource &out, std::string &error);

} // namespace zepinstr
