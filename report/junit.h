// JUnit XML for test report viewers: one testsuite per component the
// top-level RUN ran, one testcase per TEST CASE run.
#pragma once

#include "report/run.h"

#include <string>

namespace zepreport {

std::string formatJUnit(const Run &run);

} // namespace zepreport
