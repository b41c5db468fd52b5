// The coverage on the HTML page: a band beside the verdict, a table of the
// source files, each source file as an annotated listing with the test
// cases that reached each line, and what each test case covered.
#pragma once

#include "report/coverage.h"

#include <string>
#include <vector>

namespace zepreport {

// page as formatHtml wrote it, with the coverage added; names as bucketNames
// gives them.
std::string addCoverageToPage(const std::string &page, const Coverage &coverage,
                              const std::vector<std::string> &names);

// "3-5, 9": line numbers (in order) as ranges.
std::string lineRanges(const std::vector<uint64_t> &lines);

} // namespace zepreport
