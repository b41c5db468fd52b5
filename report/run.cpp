// Puts the events of a trace together. Components and stub calls nest
// strictly (ENTER/LEAVE, STUB/RETURN); an error handling passage begins at
// ERROR and takes the prints and comments of its ON ERROR block until the
// next event of another kind, because its RECOVER may come much later, from
// the machine of an enclosing component.
#include "report/run.h"
#include "report/text.h"

namespace zepreport {

namespace {

const char *const componentCodes[] = {"TL", "TS", "TC", "PC", nullptr};

// The writers walk the tree recursively. A harness nests far less (the
// translator refuses scripts nested more than a few hundred blocks deep),
// so a deeper trace is refused before the walk could run out of stack.
constexpr size_t nestingLimit = 1000;

const char *codeOf(ComponentKind kind)
{
    switch (kind) {
    case ComponentKind::Class: return "TL";
    case ComponentKind::Suite: return "TS";
    case ComponentKind::Case: return "TC";
    case ComponentKind::Proc: return "PC";
    case ComponentKind::Run: break;
    }
    return "";
}

// The element codes each check kind may name.
bool checkNames(CheckKind kind, const std::string &code)
{
    switch (kind) {
    case CheckKind::Expression: return code == "CH";
    case CheckKind::Property: return code == "CY";
    case CheckKind::Condition: return code == "RQ" || code == "EN";
    case CheckKind::Exception: return code == "CX";
    case CheckKind::Method: return code == "CM";
    case CheckKind::Stub: return code == "CS";
    }
    return false;
}

// The element codes a contract event may name, with their description.
const char *const *contractCodes(const Event &event, std::string &expected)
{
    if (event.type == EventType::Violation) {
        static const char *const violated[][2] = {{"RQ", nullptr}, {"EN", nullptr}, {"IV", nullptr}};
        expected = std::string("a ") + contractName(event.contract);
        return violated[static_cast<int>(event.contract)];
    }
    if (event.type != EventType::Tally) {
        static const char *const left[] = {"ST", "OS", nullptr};
        expected = "a state or the observation state of a class";
        return left;
    }
    static const char *const tallied[][4] = {{"ST", nullptr}, {"TR", nullptr}, {"RQ", "EN", "IV", nullptr}};
    static const char *const names[] = {"a state", "a transition", "a contract"};
    expected = names[static_cast<int>(event.tally)];
    return tallied[static_cast<int>(event.tally)];
}

class RunBuilder {
public:
    RunBuilder(const Trace &trace, const std::vector<RecordSet> &records, Run &run)
        : trace(trace), records(records), run(run)
    {
        open.push_back(&run.root);
    }

    std::string error;

    bool build()
    {
        for (const Event &event : trace.events) {
            current = &event;
            if (!apply(event))
                return false;
        }
        if (!trace.fault.empty())
            run.faultIn = innermostComponent();
        count(run.root);
        return true;
    }

private:
    bool fail(const std::string &reason)
    {
        error = trace.path + ":" + std::to_string(current->line) + ": " + reason;
        return false;
    }

    const RecordSet &recordsOf(uint64_t file) const { return records[file]; }

    std::string sourceName(uint64_t file) const
    {
        return "source file " + std::to_string(file) + " (" + records[file].fileName + ")";
    }

    // The element an event names, which must be one of codes (a
    // null-terminated list; none: any) and is looked up in the file's records.
    const Element *lookup(uint64_t file, uint64_t id, bool (*fits)(const Element &, const void *), const void *data,
                          const std::string &expected)
    {
        const Element *element = recordsOf(file).find(id);
        if (element == nullptr) {
            fail("element " + hexText(id) + " is not in the records of " + sourceName(file));
            return nullptr;
        }
        if (!fits(*element, data)) {
            fail("element " + hexText(id) + " is a " + RecordSet::kindName(*element) + " (" +
                 recordsOf(file).where(*element) + "), not " + expected);
            return nullptr;
        }
        return element;
    }

    static bool hasCode(const Element &element, const void *data)
    {
        for (const char *const *code = static_cast<const char *const *>(data); *code != nullptr; code++)
            if (element.code == *code)
                return true;
        return false;
    }

    static bool isOnError(const Element &element, const void *) { return element.onError; }

    static bool fitsCheck(const Element &element, const void *data)
    {
        return checkNames(*static_cast<const CheckKind *>(data), element.code);
    }

    const Element *lookupCode(uint64_t file, uint64_t id, const char *code, const std::string &expected)
    {
        const char *const codes[] = {code, nullptr};
        return lookup(file, id, hasCode, codes, expected);
    }

    // A component or stub call opened inside the open ones.
    bool nestedTooDeep()
    {
        if (open.size() <= nestingLimit)
            return false;
        fail("components and stub calls nest more than " + std::to_string(nestingLimit) +
             " deep, which no harness does");
        return true;
    }

    Item &add(ItemType type, uint64_t file, const Element *element, bool intoPassage = false)
    {
        Item *container = intoPassage && passage ? passage : open.back();
        auto item = std::make_unique<Item>();
        item->type = type;
        item->traceLine = current->line;
        item->records = element ? &recordsOf(file) : nullptr;
        item->element = element;
        item->parent = container;
        container->children.push_back(std::move(item));
        return *container->children.back();
    }

    bool apply(const Event &event)
    {
        bool continuesPassage = event.type == EventType::Print || event.type == EventType::Value ||
                                event.type == EventType::Printed || event.type == EventType::Comment;
        if (!continuesPassage)
            passage = nullptr;
        if (event.type != EventType::Thrown)
            lastUnexpected = nullptr;
        switch (event.type) {
        case EventType::Enter: return enter(event);
        case EventType::Leave: return leave(event);
        case EventType::Check: return check(event);
        case EventType::Error: return errorHandling(event);
        case EventType::Recover: return recover(event);
        case EventType::Unexpected: return unexpected(event);
        case EventType::Thrown: return thrown(event);
        case EventType::Print: return print(event);
        case EventType::Value: return value(event);
        case EventType::Printed: return printed();
        case EventType::Comment: return comment(event);
        case EventType::Stub: return stub(event);
        case EventType::Return: return stubReturn();
        case EventType::Violation:
        case EventType::Illegal:
        case EventType::Multiple:
        case EventType::Tally: return contract(event);
        }
        return true;
    }

    bool enter(const Event &event)
    {
        const char *codes[] = {codeOf(event.component), nullptr};
        const Element *element =
            lookup(event.file, event.id, hasCode, codes, std::string("a ") + componentName(event.component));
        if (element == nullptr || nestedTooDeep())
            return false;
        Item &item = add(ItemType::Component, event.file, element);
        item.component = event.component;
        item.runner = event.runner;
        item.runnerFile = event.runnerFile;
        open.push_back(&item);
        return true;
    }

    // The innermost open component of the kind ends, and with it whatever was
    // opened inside it and not closed: those stay unfinished.
    bool leave(const Event &event)
    {
        for (size_t at = open.size(); at-- > 1;) {
            Item *item = open[at];
            if (item->type != ItemType::Component || item->component != event.component)
                continue;
            item->finished = true;
            open.resize(at);
            while (!prints.empty() && prints.back().second > at)
                prints.pop_back();
            return true;
        }
        return fail(std::string("LEAVE ") + componentName(event.component) + " without an open " +
                    componentName(event.component));
    }

    bool check(const Event &event)
    {
        CheckKind kind = event.check;
        const Element *element =
            lookup(event.file, event.id, fitsCheck, &kind, std::string("a ") + checkName(event.check) + " element");
        if (element == nullptr)
            return false;
        Item &item = add(ItemType::Check, event.file, element);
        item.check = event.check;
        item.passed = event.passed;
        if (!event.passed)
            failOpenComponents();
        return true;
    }

    void failOpenComponents()
    {
        for (Item *component : open)
            if (component->type == ItemType::Component)
                component->failed = true;
    }

    // A contract of the code under test failed: a failed check of whatever
    // is open. A TALLY only counts; its element is checked here all the same.
    bool contract(const Event &event)
    {
        std::string expected;
        const char *const *codes = contractCodes(event, expected);
        const Element *element = lookup(event.file, event.id, hasCode, codes, expected);
        if (element == nullptr)
            return false;
        if (event.type == EventType::Tally)
            return true;
        add(ItemType::Contract, event.file, element).event = &event;
        failOpenComponents();
        return true;
    }

    bool errorHandling(const Event &event)
    {
        const Element *element = nullptr;
        if (event.id != 0 && (element = lookup(event.file, event.id, isOnError, nullptr, "an ON ERROR")) == nullptr)
            return false;
        passage = &add(ItemType::ErrorHandling, event.file, element);
        return true;
    }

    // RECOVER carries no file index: the component is looked for in every
    // source file, components first (identifiers are unique in a run).
    bool recover(const Event &event)
    {
        const Element *found = nullptr;
        uint64_t foundFile = 0;
        for (size_t file = 0; file < records.size() && event.id != 0; file++) {
            const Element *element = records[file].find(event.id);
            if (element != nullptr && (found == nullptr || hasCode(*element, componentCodes))) {
                found = element;
                foundFile = file;
            }
        }
        Item &item = add(ItemType::Recover, foundFile, found);
        item.recovered = event.id;
        return true;
    }

    // Fails every open component, as a failed check does: whichever handler
    // caught the exception, the test case it escaped from failed.
    bool unexpected(const Event &event)
    {
        const Element *element = lookup(event.file, event.id, hasCode, componentCodes, "a test component");
        if (element == nullptr)
            return false;
        lastUnexpected = &add(ItemType::Unexpected, event.file, element);
        for (Item *component : open)
            if (component->type == ItemType::Component)
                component->failed = true;
        return true;
    }

    bool thrown(const Event &event)
    {
        if (lastUnexpected == nullptr)
            return fail("THROWN without an UNEXPECTED before it");
        lastUnexpected->thrownType = event.expression;
        lastUnexpected->thrownWhat = event.value;
        lastUnexpected = nullptr;
        return true;
    }

    const Item *innermostComponent() const
    {
        for (size_t at = open.size(); at-- > 1;)
            if (open[at]->type == ItemType::Component)
                return open[at];
        return nullptr;
    }

    bool print(const Event &event)
    {
        const Element *element = lookupCode(event.file, event.id, "PR", "a PRINT");
        if (element == nullptr)
            return false;
        prints.emplace_back(&add(ItemType::Print, event.file, element, true), open.size());
        return true;
    }

    bool value(const Event &event)
    {
        if (prints.empty())
            return fail("VALUE outside a PRINT");
        prints.back().first->values.emplace_back(event.expression, event.value);
        return true;
    }

    bool printed()
    {
        if (prints.empty())
            return fail("PRINTED without a PRINT");
        prints.back().first->finished = true;
        prints.pop_back();
        return true;
    }

    bool comment(const Event &event)
    {
        const Element *element = lookupCode(event.file, event.id, "CO", "a COMMENT");
        if (element == nullptr)
            return false;
        add(ItemType::Comment, event.file, element, true);
        return true;
    }

    bool stub(const Event &event)
    {
        const Element *element = lookupCode(event.file, event.id, "SB", "a STUB");
        if (element == nullptr || nestedTooDeep())
            return false;
        open.push_back(&add(ItemType::StubCall, event.file, element));
        return true;
    }

    bool stubReturn()
    {
        if (open.back()->type != ItemType::StubCall)
            return fail("RETURN without a STUB call");
        open.back()->finished = true;
        open.pop_back();
        while (!prints.empty() && prints.back().second > open.size())
            prints.pop_back();
        return true;
    }

    void count(const Item &item)
    {
        Counts &counts = run.counts;
        switch (item.type) {
        case ItemType::Component:
            if (&item != &run.root && !item.finished)
                counts.unfinished++;
            if (item.component == ComponentKind::Case) {
                counts.cases++;
                if (!item.finished)
                    counts.casesUnfinished++;
                else if (item.failed)
                    counts.casesFailed++;
                else
                    counts.casesPassed++;
            }
            break;
        case ItemType::Check:
            counts.checks++;
            (item.passed ? counts.checksPassed : counts.checksFailed)++;
            break;
        case ItemType::Unexpected:
            counts.unexpected++;
            break;
        case ItemType::Contract:
            counts.checks++;
            counts.checksFailed++;
            break;
        default:
            break;
        }
        for (const auto &child : item.children)
            count(*child);
    }

    const Trace &trace;
    const std::vector<RecordSet> &records;
    Run &run;
    const Event *current = nullptr;
    std::vector<Item *> open;  // the root, then open components and stub calls
    Item *passage = nullptr;   // the error handling passage that takes prints and comments
    Item *lastUnexpected = nullptr;  // the UNEXPECTED just read, which a THROWN describes
    // Open PRINT statements with the depth of open at their start: an
    // exception may leave one without its PRINTED.
    std::vector<std::pair<Item *, size_t>> prints;
};

} // namespace

bool Run::passed() const
{
    return trace->ended && counts.unfinished == 0 && counts.casesFailed == 0 && counts.checksFailed == 0 &&
           counts.unexpected == 0;
}

bool Run::countsDiffer() const
{
    const EndCounts &end = trace->end;
    return trace->ended && (end.cases != counts.cases || end.casesFailed != counts.casesFailed ||
                            end.checks != counts.checks || end.checksFailed != counts.checksFailed);
}

bool buildRun(const Trace &trace, const std::vector<RecordSet> &records, Run &run, std::string &error)
{
    run.trace = &trace;
    run.records = &records;
    run.root = Item();
    run.counts = Counts();
    RunBuilder builder(trace, records, run);
    if (!builder.build()) {
        error = builder.error;
        return false;
    }
    run.charts = buildClassCharts(trace, records);
    return true;
}

std::string faultWords(const std::string &kind)
{
    static const char *const known[][2] = {
        {"SIGSEGV", "invalid memory access"},
        {"SIGBUS", "bus error: memory that cannot be reached"},
        {"SIGFPE", "arithmetic fault, such as an integer division by zero"},
        {"SIGILL", "illegal instruction"},
        {"SIGABRT", "abort, such as a failed assertion or an exception nobody caught"},
        {"HARDFAULT", "hard fault: invalid memory access or instruction"},
        {"ABORT", "abort, such as a failed assertion or an exception nobody caught"},
        {"STACK", "stack overflow"},
    };
    for (const auto &[word, meaning] : known)
        if (kind == word)
            return kind + " (" + meaning + ")";
    return kind + " (a fault of the target)";
}

std::string faultText(const Run &run)
{
    if (run.trace->fault.empty())
        return "";
    std::string in = run.faultIn ? " in " + componentLabel(*run.faultIn) : "";
    return "the run ended by a fault" + in + ": " + faultWords(run.trace->fault);
}

std::string componentName(const Item &item)
{
    std::string name = oneLine(item.element->text);
    if (!item.arguments.empty())
        name += ' ' + oneLine(item.arguments);
    return name;
}

std::string componentLabel(const Item &item)
{
    return RecordSet::kindName(*item.element) + " " + componentName(item);
}

std::string componentTitle(const Item &item)
{
    if (item.element == nullptr)
        return "the run";
    return componentLabel(item) + " (" + item.records->where(*item.element) + ")";
}

} // namespace zepreport
