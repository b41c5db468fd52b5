// The readable report of a run, written to standard output by zepreport.
#pragma once

#include "report/run.h"

#include <string>

namespace zepreport {

std::string formatTextReport(const Run &run);

// "2 test cases (1 passed, 1 failed), 6 checks (5 passed, 1 failed)", with
// the not finished test cases and unexpected exceptions when there are any.
std::string countText(const Counts &counts);

} // namespace zepreport
