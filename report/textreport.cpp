// The report lists what ran as a tree, two spaces of indentation per level.
// Passed checks are left out, except those of stubs, exceptions and methods,
// whose passing says that something happened at all.
#include "report/textreport.h"
#include "report/contracts.h"
#include "report/text.h"

namespace zepreport {

namespace {

std::string plural(uint64_t count, const char *word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

} // namespace

const char *verdictText(const Item &item)
{
    if (!item.finished)
        return "NOT FINISHED";
    return item.failed ? "FAILED" : "PASSED";
}

namespace {

// "(called)" for the checks whose verdict says whether something happened.
std::string happened(const Item &item)
{
    switch (item.check) {
    case CheckKind::Stub:
    case CheckKind::Method: return item.passed ? " (called)" : " (not called)";
    case CheckKind::Exception: return item.passed ? " (thrown)" : " (not thrown)";
    default: return "";
    }
}

} // namespace

bool itemShown(const Item &item)
{
    return item.type != ItemType::Check || !item.passed || item.check == CheckKind::Stub ||
           item.check == CheckKind::Exception || item.check == CheckKind::Method;
}

namespace {

std::string where(const Item &item)
{
    return item.records->where(*item.element);
}

// ": std::out_of_range: index 5" from the THROWN line of an UNEXPECTED.
std::string thrownText(const Item &item)
{
    if (item.thrownType.empty())
        return "";
    return ": " + oneLine(item.thrownType) + (item.thrownWhat.empty() ? "" : ": " + visible(item.thrownWhat));
}

} // namespace

std::string itemText(const Item &item)
{
    switch (item.type) {
    case ItemType::Component:
        return componentTitle(item) + ": " + verdictText(item);
    case ItemType::Check:
        return where(item) + ": " + RecordSet::kindName(*item.element) + (item.passed ? " passed: " : " failed: ") +
               oneLine(item.element->text) + happened(item) + stubConditionSuffix(item);
    case ItemType::Print:
        return where(item) + ": PRINT " + oneLine(item.element->text) + (item.finished ? "" : " (did not end)");
    case ItemType::Comment:
        return where(item) + ": COMMENT " + oneLine(item.element->text);
    case ItemType::ErrorHandling:
        return item.element ? "error handling: ON ERROR (" + where(item) + ")" : "error handling: ON ERROR (DEFAULT)";
    case ItemType::Recover:
        if (item.recovered == 0)
            return "error handling ended: the run";
        if (item.element == nullptr)
            return "error handling ended: element " + hexText(item.recovered);
        return "error handling ended: " + componentTitle(item);
    case ItemType::Unexpected:
        return where(item) + ": unexpected exception in " + RecordSet::kindName(*item.element) + " " +
               oneLine(item.element->text) + thrownText(item);
    case ItemType::StubCall:
        return where(item) + ": STUB " + oneLine(item.element->text) + " called" +
               (item.finished ? "" : " (did not return)");
    case ItemType::Contract:
        return contractText(item);
    }
    return "";
}

namespace {

void writeItem(std::string &out, const Item &item, size_t depth)
{
    if (!itemShown(item))
        return;
    std::string indent(2 * depth, ' ');
    out += indent + itemText(item) + "\n";
    for (const auto &[expression, value] : item.values)
        out += indent + "  " + oneLine(trimmed(expression)) + " = " + visible(value) + "\n";
    for (const auto &child : item.children)
        writeItem(out, *child, depth + 1);
}

} // namespace

std::string countText(const Counts &counts)
{
    std::string text = plural(counts.cases, "test case") + " (" + std::to_string(counts.casesPassed) + " passed, " +
                       std::to_string(counts.casesFailed) + " failed";
    if (counts.casesUnfinished)
        text += ", " + std::to_string(counts.casesUnfinished) + " not finished";
    text += "), " + plural(counts.checks, "check") + " (" + std::to_string(counts.checksPassed) + " passed, " +
            std::to_string(counts.checksFailed) + " failed)";
    if (counts.unexpected)
        text += ", " + plural(counts.unexpected, "unexpected exception");
    return text;
}

std::string runNotes(const Run &run)
{
    const Trace &trace = *run.trace;
    std::string out;
    if (!trace.fault.empty())
        out += "The run did not finish: " + faultText(run) + ".\n";
    else if (!trace.ended)
        out += "The run did not finish: the trace ends after line " + std::to_string(trace.lineCount) +
               " without END.\n";
    if (run.countsDiffer()) {
        const EndCounts &end = trace.end;
        out += "The END line (" + trace.path + ":" + std::to_string(trace.endLine) + ") counts " +
               plural(end.cases, "test case") + " (" + std::to_string(end.casesFailed) + " failed) and " +
               plural(end.checks, "check") + " (" + std::to_string(end.checksFailed) + " failed).\n";
    }
    return out;
}

std::string formatTextReport(const Run &run)
{
    const Trace &trace = *run.trace;
    std::string out = "Test run " + trace.path + "\n";
    for (size_t index = 0; index < run.records->size(); index++) {
        const RecordSet &records = (*run.records)[index];
        out += "Source file " + std::to_string(index) + ": " + records.source + " (" + records.otsPath + ", " +
               records.tsfPath + ")\n";
    }
    out += "\n";
    if (run.root.children.empty())
        out += "No test component was run.\n";
    for (const auto &child : run.root.children)
        writeItem(out, *child, 0);
    // Appended piece by piece: "\n" + a returned string makes g++ 12 warn
    // of an overlapping copy that cannot happen.
    if (!run.charts.empty())
        out.append("\n").append(formatCharts(run.charts));
    out.append("\n").append(runNotes(run));
    out += std::string(run.passed() ? "PASSED" : "FAILED") + ": " + countText(run.counts) + "\n";
    return out;
}

} // namespace zepreport
