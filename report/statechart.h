// What a run did with the classes of its contract scripts: per CLASS and
// SINGLE CLASS, how often each state was entered and each transition
// fired, the illegal and multiple transitions, and how often each contract
// held and failed. The states and transitions come from the record files,
// the counts from the TALLY, VIOLATION, ILLEGAL and MULTIPLE lines.
#pragma once

#include "report/records.h"
#include "report/trace.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zepreport {

constexpr size_t noState = static_cast<size_t>(-1);

struct ChartState {
    const Element *element = nullptr;
    uint64_t entered = 0;
    uint64_t illegal = 0, multiple = 0;  // transitions that left no state from here
};

struct ChartTransition {
    const Element *element = nullptr;
    size_t from = noState, to = noState;  // indexes of states; noState when the name is no state of the class
    uint64_t fired = 0;
};

struct ChartContract {
    const Element *element = nullptr;  // a REQUIRE or ENSURE of a WRAP, or an INVARIANT
    uint64_t held = 0, failed = 0;
};

struct ClassChart {
    const RecordSet *records = nullptr;
    const Element *element = nullptr;  // the CLASS or SINGLE CLASS
    std::vector<ChartState> states;
    std::vector<ChartTransition> transitions;
    std::vector<ChartContract> contracts;
    // Illegal and multiple transitions before any state of the class was known.
    uint64_t illegalBefore = 0, multipleBefore = 0;
};

// The classes of the record sets with their counts from the trace. The
// run model has checked already that every event names an element of the
// right kind.
std::vector<ClassChart> buildClassCharts(const Trace &trace, const std::vector<RecordSet> &records);

// A class's name from the head of its CLASS: "Lift" for "Lift : public Device".
std::string className(const Element &element);
// "CLASS Lift (lift.otc:1): 2 of 3 states entered, 1 of 2 transitions fired".
std::string chartTitle(const ClassChart &chart);
// One line per state, transition, kind of failed transition and contract,
// as the reports write them: "lift.otc:7: STATE Idle: entered 2 times".
std::vector<std::string> chartLines(const ClassChart &chart);
// The whole section of the text report, empty without classes.
std::string formatCharts(const std::vector<ClassChart> &charts);

// "2 times", "1 time".
std::string timesText(uint64_t count);

} // namespace zepreport
