// The lines of the contracts woven into the code under test: a failed
// REQUIRE, ENSURE or INVARIANT of a class, an illegal or multiple
// transition, and a failed condition of a stub, each shown like a failed
// check at its element's line.
#pragma once

#include "report/run.h"

#include <string>

namespace zepreport {

// "REQUIRE", "INVARIANT", "ILLEGAL TRANSITION", "MULTIPLE TRANSITIONS".
std::string contractKindText(const Item &item);
// What follows the kind: "(floor >= 0) in Lift::call", "from state Idle",
// "before any state of Lift".
std::string contractDetail(const Item &item);
// The report's line: "lift.otc:3: REQUIRE failed: (floor >= 0) in Lift::call".
std::string contractText(const Item &item);

// " in STUB showFloor" for a check of a REQUIRE or ENSURE of a stub, else "".
std::string stubConditionSuffix(const Item &item);

} // namespace zepreport
