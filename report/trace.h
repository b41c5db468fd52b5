// The trace file of a test run (target/host/TRACE.md): read into a list of
// events, each checked field by field. What the events mean together (which
// component is open, which element an id names) is left to the run model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zepreport {

enum class EventType {
    Enter, Leave, Check, Error, Recover, Unexpected, Thrown, Print, Value, Printed, Comment, Stub, Return,
    Violation, Illegal, Multiple, Tally  // the contracts woven into the code under test
};
enum class ComponentKind { Run, Class, Suite, Case, Proc };
enum class CheckKind { Expression, Property, Condition, Exception, Method, Stub };
enum class ContractKind { Require, Ensure, Invariant };  // VIOLATION
enum class ContractWhen { In, After, Before };           // VIOLATION
enum class TallyKind { State, Transition, Pass };        // TALLY

struct Event {
    EventType type = EventType::Enter;
    uint64_t line = 0;  // line number in the trace file
    ComponentKind component = ComponentKind::Run;  // ENTER, LEAVE
    CheckKind check = CheckKind::Expression;       // CHECK
    bool passed = false;                           // CHECK
    // The element of ENTER, CHECK, ERROR, RECOVER, UNEXPECTED, PRINT, COMMENT, STUB, VIOLATION, TALLY;
    // ILLEGAL, MULTIPLE: the state left, or the observation state of the class.
    uint64_t id = 0;
    uint64_t file = 0;  // its file index (RETURN: the stub's file)
    uint64_t runner = 0, runnerFile = 0;  // ENTER
    std::string expression, value;        // VALUE; THROWN: the type and the what() text
    ContractKind contract = ContractKind::Require;  // VIOLATION
    ContractWhen when = ContractWhen::In;           // VIOLATION
    std::string function;                           // VIOLATION: the method, "Lift::call"
    TallyKind tally = TallyKind::State;             // TALLY
    uint64_t count = 0;                             // TALLY
};

// A FILE line: the checksum pair of one source file's record files.
struct SourceFile {
    uint32_t checksumA = 0, checksumB = 0;
    uint64_t line = 0;
};

struct EndCounts {
    uint64_t cases = 0, casesFailed = 0, checks = 0, checksFailed = 0;
};

struct Trace {
    std::string path;
    std::vector<SourceFile> files;  // by index
    std::vector<Event> events;
    bool ended = false;  // an END line was read
    uint64_t endLine = 0;
    std::string fault;  // the kind of a FAULT line ("SIGSEGV", "HARDFAULT" ...), empty without one
    uint64_t lineCount = 0;  // lines in the file
    EndCounts end;
};

// Name of a component kind as the scripts write it: "TEST CASE", "PROC"...
const char *componentName(ComponentKind kind);
// Name of a check kind as the scripts write it: "CHECK PROPERTY"...
const char *checkName(CheckKind kind);
// "REQUIRE", "ENSURE" or "INVARIANT".
const char *contractName(ContractKind kind);

// Reads the trace file at path. On failure error holds "path:line: reason"
// (or "path: reason") and false is returned.
bool readTrace(const std::string &path, Trace &trace, std::string &error);
// The same for a trace already in memory; path only names it in messages.
bool parseTrace(const std::string &text, const std::string &path, Trace &trace, std::string &error);

} // namespace zepreport
