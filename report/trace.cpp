// Reader of the trace file: one event per line, fields separated by one
// space, numbers in lower-case hexadecimal (counts in decimal), texts between
// double quotes.
#include "report/trace.h"
#include "report/lines.h"
#include "report/text.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace zepreport {

const char *componentName(ComponentKind kind)
{
    switch (kind) {
    case ComponentKind::Run: return "RUN";
    case ComponentKind::Class: return "TEST CLASS";
    case ComponentKind::Suite: return "TEST SUITE";
    case ComponentKind::Case: return "TEST CASE";
    case ComponentKind::Proc: return "PROC";
    }
    return "?";
}

const char *checkName(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Expression: return "CHECK";
    case CheckKind::Property: return "CHECK PROPERTY";
    case CheckKind::Condition: return "CONDITION";
    case CheckKind::Exception: return "CHECK EXCEPTION";
    case CheckKind::Method: return "CHECK METHOD";
    case CheckKind::Stub: return "CHECK STUB";
    }
    return "?";
}

const char *contractName(ContractKind kind)
{
    switch (kind) {
    case ContractKind::Require: return "REQUIRE";
    case ContractKind::Ensure: return "ENSURE";
    case ContractKind::Invariant: return "INVARIANT";
    }
    return "?";
}

namespace {

// The run-time library is always initialised with these bases; the record
// files number their messages and texts with them.
constexpr uint64_t elementBase = 0, messageBase = 0xf4240, textBase = 0x1e8480;

// Reads the fields of one line from left to right. The first problem found
// is kept in problem; later calls then do nothing.
class Fields {
public:
    explicit Fields(std::string_view line) : line(line) {}

    std::string problem;

    std::string_view word()
    {
        if (!problem.empty())
            return {};
        size_t end = line.find(' ', at);
        if (end == std::string_view::npos)
            end = line.size();
        std::string_view result = line.substr(at, end - at);
        at = end;
        return result;
    }

    // One separating space before the next field named what.
    bool space(const char *what)
    {
        if (!problem.empty())
            return false;
        if (at >= line.size()) {
            problem = std::string("the line ends before ") + what;
            return false;
        }
        if (line[at] != ' ' || (at + 1 < line.size() && line[at + 1] == ' ')) {
            problem = std::string("fields must be separated by one space before ") + what;
            return false;
        }
        at++;
        return true;
    }

    uint64_t hex(const char *what)
    {
        uint64_t value = 0;
        if (!space(what))
            return 0;
        std::string_view digits = word();
        if (!parseHex(digits, value))
            numberProblem(what, digits, "a lower-case hexadecimal number", "0123456789abcdef");
        return value;
    }

    uint64_t decimal(const char *what)
    {
        uint64_t value = 0;
        if (!space(what))
            return 0;
        std::string_view digits = word();
        if (!parseDecimal(digits, value))
            numberProblem(what, digits, "a decimal count", "0123456789");
        return value;
    }

    // One of the words in choices (null-terminated list); its position.
    size_t choice(const char *what, const char *const *choices)
    {
        if (!space(what))
            return 0;
        std::string_view found = word();
        for (size_t i = 0; choices[i] != nullptr; i++)
            if (found == choices[i])
                return i;
        if (problem.empty())
            problem = std::string(what) + " " + quoted(found, 40) + " is not known";
        return 0;
    }

    std::string text(const char *what)
    {
        std::string result;
        if (!space(what))
            return result;
        if (at == line.size() || line[at] != '"') {
            problem = std::string(what) + " must begin with a double quote";
            return result;
        }
        for (at++; at < line.size(); at++) {
            char c = line[at];
            if (c == '"') {
                at++;
                return result;
            }
            if (c != '\\') {
                result += c;
                continue;
            }
            if (++at == line.size())
                break;
            switch (line[at]) {
            case '\\': result += '\\'; break;
            case '"': result += '"'; break;
            case 'n': result += '\n'; break;
            case 'r': result += '\r'; break;
            case 't': result += '\t'; break;
            default:
                problem = std::string(what) + " holds the unknown escape \\" + oneLine(line.substr(at, 1));
                return result;
            }
        }
        problem = std::string(what) + " has no closing double quote";
        return result;
    }

    bool finished()
    {
        if (problem.empty() && at != line.size())
            problem = "unexpected text after the last field: " + quoted(line.substr(at), 40);
        return problem.empty();
    }

private:
    void numberProblem(const char *what, std::string_view digits, const char *expected, const char *allowed)
    {
        if (!problem.empty())
            return;
        bool digitsOnly = !digits.empty() && digits.find_first_not_of(allowed) == std::string_view::npos;
        if (digitsOnly)
            problem = std::string(what) + " " + quoted(digits, 40) + " is too large";
        else
            problem = std::string(what) + " must be " + expected + ", not " + quoted(digits, 40);
    }

    std::string_view line;
    size_t at = 0;
};

const char *const componentWords[] = {"CLASS", "SUITE", "CASE", "PROC", nullptr};
const ComponentKind componentKinds[] = {ComponentKind::Class, ComponentKind::Suite, ComponentKind::Case,
                                        ComponentKind::Proc};
const char *const checkWords[] = {"EXPRESSION", "PROPERTY", "CONDITION", "EXCEPTION", "METHOD", "STUB", nullptr};
const char *const verdictWords[] = {"FAIL", "PASS", nullptr};

const char *const contractWords[] = {"REQUIRE", "ENSURE", "INVARIANT", nullptr};
const char *const whenWords[] = {"IN", "AFTER", "BEFORE", nullptr};
const char *const tallyWords[] = {"STATE", "TRANSITION", "PASS", nullptr};

// The events of the contracts woven into the code under test; false when
// name is none of them.
bool contractEvent(std::string_view name, Fields &fields, Event &event)
{
    if (name == "VIOLATION") {
        event.type = EventType::Violation;
        event.contract = static_cast<ContractKind>(fields.choice("the contract kind", contractWords));
        event.id = fields.hex("the element");
        event.file = fields.hex("the file index");
        event.when = static_cast<ContractWhen>(fields.choice("the moment", whenWords));
        event.function = fields.text("the function");
    } else if (name == "ILLEGAL" || name == "MULTIPLE") {
        event.type = name == "ILLEGAL" ? EventType::Illegal : EventType::Multiple;
        event.id = fields.hex("the state");
        event.file = fields.hex("the file index");
    } else if (name == "TALLY") {
        event.type = EventType::Tally;
        event.tally = static_cast<TallyKind>(fields.choice("the tally kind", tallyWords));
        event.id = fields.hex("the element");
        event.file = fields.hex("the file index");
        event.count = fields.decimal("the count");
    } else {
        return false;
    }
    return true;
}

// A word a later format version could use for a new event.
bool looksLikeEventName(std::string_view word)
{
    if (word.empty())
        return false;
    for (char c : word)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

class TraceParser {
public:
    TraceParser(const std::string &path, Trace &trace) : path(path), trace(trace) {}

    std::string error;

    bool parseLine(std::string_view line, uint64_t number)
    {
        lineNumber = number;
        Fields fields(line);
        std::string_view name = fields.word();
        return dispatch(name, fields);
    }

    bool fail(const std::string &reason)
    {
        error = path + ":" + std::to_string(lineNumber) + ": " + reason;
        return false;
    }

private:
    bool dispatch(std::string_view name, Fields &fields)
    {
        if (name == "INIT")
            return init(fields);
        if (name == "FILE")
            return file(fields);
        if (name == "END")
            return end(fields);
        if (name == "FAULT")
            return fault(fields);
        if (name.empty())
            return fail("empty line");
        Event event;
        event.line = lineNumber;
        if (name == "ENTER") {
            event.type = EventType::Enter;
            event.component = componentKinds[fields.choice("the component kind", componentWords)];
            event.id = fields.hex("the element");
            event.file = fields.hex("the file index");
            event.runner = fields.hex("the runner");
            event.runnerFile = fields.hex("the runner's file index");
        } else if (name == "LEAVE") {
            event.type = EventType::Leave;
            event.component = componentKinds[fields.choice("the component kind", componentWords)];
        } else if (name == "CHECK") {
            event.type = EventType::Check;
            event.check = static_cast<CheckKind>(fields.choice("the check kind", checkWords));
            event.passed = fields.choice("the verdict", verdictWords) == 1;
            event.id = fields.hex("the element");
            event.file = fields.hex("the file index");
        } else if (name == "ERROR") {
            event.type = EventType::Error;
            event.id = fields.hex("the ON ERROR element");
            event.file = fields.hex("the file index");
        } else if (name == "RECOVER") {
            event.type = EventType::Recover;
            event.id = fields.hex("the component");
        } else if (name == "UNEXPECTED" || name == "PRINT" || name == "COMMENT" || name == "STUB") {
            event.type = name == "UNEXPECTED" ? EventType::Unexpected
                         : name == "PRINT"    ? EventType::Print
                         : name == "COMMENT"  ? EventType::Comment
                                              : EventType::Stub;
            event.id = fields.hex("the element");
            event.file = fields.hex("the file index");
        } else if (name == "VALUE" || name == "THROWN") {
            bool thrown = name == "THROWN";
            event.type = thrown ? EventType::Thrown : EventType::Value;
            event.expression = fields.text(thrown ? "the type" : "the expression");
            event.value = fields.text(thrown ? "the what() text" : "the value");
        } else if (name == "PRINTED") {
            event.type = EventType::Printed;
        } else if (name == "RETURN") {
            event.type = EventType::Return;
            event.file = fields.hex("the file index");
        } else if (!contractEvent(name, fields, event)) {
            if (looksLikeEventName(name))
                return true;  // an event of a later version: skipped
            return fail("not a trace event: " + quoted(name, 40));
        }
        if (!fields.finished())
            return fail(std::string(name) + ": " + fields.problem);
        return accept(event, name);
    }

    bool ready(std::string_view name)
    {
        if (trace.ended)
            return fail(std::string(name) + " after the END of the run");
        if (!trace.fault.empty())
            return fail(std::string(name) + " after the FAULT that ended the run");
        if (!initialised)
            return fail(std::string(name) + " before INIT");
        return true;
    }

    bool declared(uint64_t index, const char *what)
    {
        if (index < trace.files.size())
            return true;
        std::string digits = hexText(index);
        digits.pop_back();
        return fail(std::string(what) + " " + digits + " was not declared by a FILE line");
    }

    bool accept(Event &event, std::string_view name)
    {
        if (!ready(name))
            return false;
        bool hasFile = event.type != EventType::Leave && event.type != EventType::Recover &&
                       event.type != EventType::Value && event.type != EventType::Printed &&
                       event.type != EventType::Thrown;
        if (hasFile && !declared(event.file, "file index"))
            return false;
        if (event.type == EventType::Enter && !declared(event.runnerFile, "runner's file index"))
            return false;
        trace.events.push_back(std::move(event));
        return true;
    }

    bool init(Fields &fields)
    {
        uint64_t element = fields.hex("the element base");
        uint64_t message = fields.hex("the message base");
        uint64_t text = fields.hex("the text base");
        if (!fields.finished())
            return fail("INIT: " + fields.problem);
        if (trace.ended)
            return fail("INIT after the END of the run");
        if (initialised)
            return fail("a second INIT");
        if (element != elementBase || message != messageBase || text != textBase)
            return fail("INIT: the number bases " + hexText(element) + " " + hexText(message) + " " + hexText(text) +
                        " are not those of the record files (0h f4240h 1e8480h)");
        initialised = true;
        return true;
    }

    bool file(Fields &fields)
    {
        uint64_t index = fields.hex("the file index");
        uint64_t a = fields.hex("checksum word A");
        uint64_t b = fields.hex("checksum word B");
        if (!fields.finished())
            return fail("FILE: " + fields.problem);
        if (!ready("FILE"))
            return false;
        if (index != trace.files.size())
            return fail("FILE: index " + std::to_string(index) + " out of order, expected " +
                        std::to_string(trace.files.size()));
        if (a > UINT32_MAX || b > UINT32_MAX)
            return fail("FILE: a checksum word must fit 32 bits");
        trace.files.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b), lineNumber});
        return true;
    }

    bool end(Fields &fields)
    {
        EndCounts counts;
        counts.cases = fields.decimal("the number of test cases");
        counts.casesFailed = fields.decimal("the number of failed test cases");
        counts.checks = fields.decimal("the number of checks");
        counts.checksFailed = fields.decimal("the number of failed checks");
        if (!fields.finished())
            return fail("END: " + fields.problem);
        if (!ready("END"))
            return false;
        if (counts.casesFailed > counts.cases || counts.checksFailed > counts.checks)
            return fail("END: more failures than test cases or checks");
        trace.ended = true;
        trace.endLine = lineNumber;
        trace.end = counts;
        return true;
    }

    // The kind is one word; zepreport names those it knows.
    bool fault(Fields &fields)
    {
        fields.space("the fault kind");
        std::string_view kind = fields.word();
        if (!fields.finished())
            return fail("FAULT: " + fields.problem);
        if (!looksLikeEventName(kind))
            return fail("FAULT: the fault kind " + quoted(kind, 40) + " is not one word of capitals");
        if (!ready("FAULT"))
            return false;
        trace.fault = kind;
        return true;
    }

    const std::string &path;
    Trace &trace;
    uint64_t lineNumber = 0;
    bool initialised = false;
};

// The first line names the format; anything else is refused before a single
// event is read, so that a record file or a log given by mistake is not
// taken for an empty run.
bool readTraceStream(std::istream &in, const std::string &path, Trace &trace, std::string &error)
{
    trace = Trace();
    trace.path = path;
    LineReader lines(in);
    std::string line;
    LineReader::Result result = lines.next(line);
    if (result == LineReader::End) {
        error = path + ": empty file, not a trace";
        return false;
    }
    if (result == LineReader::Failed || result == LineReader::TooLong) {
        error = path + ":1: " + lineProblem(result);
        return false;
    }
    if (line != "ZEPTRACE 1") {
        uint64_t version = 0;
        std::string_view first(line);
        if (first.substr(0, 9) == "ZEPTRACE " && parseDecimal(first.substr(9), version))
            error = path + ":1: trace format version " + std::string(first.substr(9)) +
                    " is not supported (this zepreport reads version 1)";
        else
            error = path + ":1: not a trace file (the first line is not \"ZEPTRACE 1\")";
        return false;
    }
    TraceParser parser(path, trace);
    for (;;) {
        if (result != LineReader::Line) {
            error = path + ":" + std::to_string(lines.number()) + ": " + lineProblem(result);
            return false;
        }
        result = lines.next(line);
        if (result == LineReader::End) {
            trace.lineCount = lines.number() - 1;
            return true;
        }
        if (result == LineReader::Line && !parser.parseLine(line, lines.number())) {
            error = parser.error;
            return false;
        }
    }
}

} // namespace

bool parseTrace(const std::string &text, const std::string &path, Trace &trace, std::string &error)
{
    std::istringstream in(text);
    return readTraceStream(in, path, trace, error);
}

bool readTrace(const std::string &path, Trace &trace, std::string &error)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        error = path + ": is a directory, not a trace file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the trace file";
        return false;
    }
    return readTraceStream(in, path, trace, error);
}

} // namespace zepreport
