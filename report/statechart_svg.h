// The state chart of a class as an inline SVG picture for the HTML page.
#pragma once

#include "report/statechart.h"

#include <string>

namespace zepreport {

// The states as boxes and the transitions as arrows: green what the run
// entered and fired, grey and dashed what it never reached, red the
// illegal and multiple transitions. Empty for a class without states.
std::string stateChartSvg(const ClassChart &chart);

} // namespace zepreport
