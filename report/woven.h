// Source-based coverage places code at the lines of the file compiled,
// whatever its #line directives say. The copies into which zepinstr weaves
// contracts are compiled in place of the user's sources: here their lines
// are put back at the user's lines, and the woven code (lines of the copy
// itself, or of the contract scripts) drops out.
#pragma once

#include "report/coverage.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zepreport {

// Where a line of a copy comes from; an empty path where it is not code
// under test.
struct LinePlace {
    std::string path;
    uint64_t line = 0;
};

// Per copy (by its path) the place of each of its lines, the first at 0.
using WovenCopies = std::map<std::string, std::vector<LinePlace>>;

// The places of a file's lines by the #line directives zepinstr and the
// translator write; false when no line is code under test, so that the
// file is no copy of a user's source.
bool placeCopyLines(const std::vector<std::string> &lines, const CoverageScope &scope,
                    std::vector<LinePlace> &places);

// The place of line (from 1) of a copy; an empty path beyond its end.
LinePlace placeOf(const std::vector<LinePlace> &places, uint64_t line);

// Totals of the user's files from llvm-cov's lcov export of the copies:
// its DA, BRDA, FN and FNDA lines put back at the user's lines.
std::map<std::string, CoverageTotals> placedTotals(std::string_view lcov, const WovenCopies &copies);

} // namespace zepreport
