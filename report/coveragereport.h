// The coverage of a run as the reports show it: lines of the text report,
// the Cobertura XML that CI servers read, and the sections of the HTML page.
#pragma once

#include "report/coverage.h"
#include "report/run.h"

#include <string>
#include <vector>

namespace zepreport {

// The names of the buckets: [0] what ran outside any test case, [n] the
// n-th test case entered, named by its path ("Lift.Basic.Up").
std::vector<std::string> bucketNames(const Run &run);

// "96.6 %": one decimal, and 100.0 only when nothing is missing; empty when
// there is nothing to count.
std::string percentText(uint64_t part, uint64_t whole);

// "lift.cpp  28/29 lines 96.6 %  26/28 branches 92.9 %  6/6 functions" and
// a line feed, the name padded to width.
std::string coverageLine(const std::string &name, size_t width, const CoverageTotals &totals);

// After the verdicts: one line per source file and the totals, and the test
// cases whose coverage was lost.
std::string formatCoverageText(const Coverage &coverage, const std::vector<std::string> &names);

// Cobertura XML; sources are the directories the file names are relative to.
std::string formatCobertura(const Coverage &coverage, const std::vector<std::string> &sources, long long timestamp);

} // namespace zepreport
