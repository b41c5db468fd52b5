// The copies zepinstr writes: every project file that holds woven code or
// includes one that does is copied whole (a #line keeps it at its original
// place in compiler messages); every other source and project header gets a
// forwarding copy that includes the original. Copies mirror the project's
// folders under the output folder, so that a file's own includes find the
// copies first and no source sees a header's original beside its copy.
#pragma once

#include "instrumentor/resolve.h"

#include <string>
#include <utility>
#include <vector>

namespace zepinstr {

struct CopySet {
    std::string root, out;
    std::vector<std::string> sources;
    std::string harness, harnessCopy;  // both empty without a harness
};

using Includes = std::vector<std::pair<std::string, std::string>>;

// Where the copy of a project file goes.
std::string mirrorPath(const CopySet &copies, const std::string &original);

// The files to be copied whole: those with insertions and every file that
// includes one of them, directly or not.
std::vector<std::string> wholeCopies(const Plan &plan, const Includes &includes);

bool writeCopies(const CopySet &copies, const Plan &plan, const Includes &includes, std::string &error);

// The depfile of the stamp: every file whose change must instrument again.
bool writeDepfile(const CopySet &copies, const std::string &oti, const std::string &depfile,
                  const std::string &stamp, const Includes &includes, std::string &error);

} // namespace zepinstr
