// The run model: the events of a trace put together with the records of
// the elements they name, as a tree of the components as they were run.
#pragma once

#include "report/records.h"
#include "report/statechart.h"
#include "report/trace.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zepreport {

enum class ItemType { Component, Check, Print, Comment, ErrorHandling, Recover, Unexpected, StubCall, Contract };

struct Item {
    ItemType type = ItemType::Component;
    uint64_t traceLine = 0;
    const RecordSet *records = nullptr;
    // The element named by the event; none for the run itself, the default
    // ON ERROR and a RECOVER whose component has no record.
    const Element *element = nullptr;
    ComponentKind component = ComponentKind::Run;  // Component
    CheckKind check = CheckKind::Expression;       // Check
    bool passed = false;                           // Check
    bool failed = false;                           // Component
    // Component: its LEAVE came; StubCall: its RETURN came; Print: its PRINTED came.
    bool finished = false;
    uint64_t recovered = 0;                                    // Recover: the component's id
    const Event *event = nullptr;  // Contract: its VIOLATION, ILLEGAL or MULTIPLE line, a failed check
    uint64_t runner = 0, runnerFile = 0;                       // Component: what ran it, from its ENTER
    // A TEST CLASS run with actual parameters: them as its RUN writes them,
    // "(10)"; empty without parameters or when the script cannot be read.
    std::string arguments;
    std::vector<std::pair<std::string, std::string>> values;  // Print: expression and value
    // Unexpected, from its THROWN line: the exception's type (empty when
    // unknown) and its what() text.
    std::string thrownType, thrownWhat;
    std::vector<std::unique_ptr<Item>> children;
    Item *parent = nullptr;
};

struct Counts {
    uint64_t cases = 0, casesPassed = 0, casesFailed = 0, casesUnfinished = 0;
    uint64_t checks = 0, checksPassed = 0, checksFailed = 0;
    uint64_t unexpected = 0;
    uint64_t unfinished = 0;  // components of any kind without their LEAVE
};

struct Run {
    const Trace *trace = nullptr;
    const std::vector<RecordSet> *records = nullptr;
    Item root;  // ComponentKind::Run: what the top-level RUN ran
    Counts counts;
    std::vector<ClassChart> charts;  // the classes of the contract scripts
    // The innermost component open when a FAULT ended the run; null without
    // a FAULT or when none was open.
    const Item *faultIn = nullptr;

    // Every test case and check passed, nothing was unexpected and the run
    // came to its END.
    bool passed() const;
    // The END line disagrees with what the events say.
    bool countsDiffer() const;
};

// Builds the run from the trace and the record sets of its FILE lines
// (records[i] for index i). Fails with "trace:line: reason" when an event
// names an element the records do not have, or the events do not nest.
bool buildRun(const Trace &trace, const std::vector<RecordSet> &records, Run &run, std::string &error);

// Name and place of a component item: "TEST CASE Up (lift.otd:23)".
std::string componentTitle(const Item &item);
// Its name alone: "TEST CASE Up", "TEST CLASS Valves (10)".
std::string componentLabel(const Item &item);
// Its name in a path of names: "Up", "Valves (10)".
std::string componentName(const Item &item);

// The words of a FAULT line's kind: "SIGSEGV (invalid memory access)".
std::string faultWords(const std::string &kind);
// "the run ended by a fault in TEST CASE Up: SIGSEGV (invalid memory
// access)"; empty when no FAULT ended the run.
std::string faultText(const Run &run);

} // namespace zepreport
