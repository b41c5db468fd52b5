// What the instrumentation file's elements name in the sources: the class
// of each CLASS, the method of each WRAP and CHECK METHOD, the stub
// function of each STUB; and the insertions that follow. Plain code on what
// the parser layer found.
#pragma once

#include "instrumentor/edits.h"
#include "instrumentor/oti.h"
#include "instrumentor/parse.h"

#include <map>
#include <string>
#include <vector>

namespace zepinstr {

struct FileEdits {
    std::vector<Insertion> insertions;
    std::vector<std::string> counters;  // declared at the top of the copy
};

struct Plan {
    std::map<std::string, FileEdits> files;  // by original path
    std::string messages;                    // one per element that names nothing usable
};

// Plans the weaving of the sources' functions (deduplicated: a header's
// function is met once per source that includes it) and of the harness's
// stub functions.
Plan planWeaving(const Instrumentation &instrumentation, const std::vector<FunctionSite> &sources,
                 const std::vector<std::vector<std::string>> &classes, const std::vector<FunctionSite> &harness);

// The functions without the second and later sightings of one body, by
// file and place in it.
std::vector<FunctionSite> distinctSites(const std::vector<FunctionSite> &sites);

} // namespace zepinstr
