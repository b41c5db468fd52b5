// The readable report of a run, written to standard output by zepreport.
#pragma once

#include "report/run.h"

#include <string>

namespace zepreport {

std::string formatTextReport(const Run &run);

// The notes on a run that did not finish or whose END line counts
// otherwise than its events, one line each; empty when there are none.
std::string runNotes(const Run &run);

// The line of one item as the report writes it, without its indentation:
// "lift.otd:25: CHECK failed: (level() == 2)".
std::string itemText(const Item &item);
// Whether the report lists the item: passed checks only when a stub, an
// exception or a method check says by passing that something happened.
bool itemShown(const Item &item);
// "PASSED", "FAILED" or "NOT FINISHED" for a component.
const char *verdictText(const Item &item);

// "2 test cases (1 passed, 1 failed), 6 checks (5 passed, 1 failed)", with
// the not finished test cases and unexpected exceptions when there are any.
std::string countText(const Counts &counts);

} // namespace zepreport
