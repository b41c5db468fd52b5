#include "report/junit.h"
#include "report/contracts.h"
#include "report/textreport.h"
#include "report/text.h"

#include <map>
#include <vector>

namespace zepreport {

namespace {

std::string attribute(const char *name, const std::string &value)
{
    return std::string(" ") + name + "=\"" + xmlEscape(value, true) + "\"";
}

std::string attribute(const char *name, uint64_t value)
{
    return attribute(name, std::to_string(value));
}

struct TestCase {
    const Item *item = nullptr;
    std::string name, className;
    std::vector<std::string> failures;  // ready-made <failure> elements
    std::string output;                 // printed values
};

std::string contractFailure(const Item &item)
{
    return "<failure" + attribute("message", item.records->where(*item.element) + ": " + contractDetail(item)) +
           attribute("type", contractKindText(item)) + "/>";
}

// What inside a test case says about it: its failed checks and unexpected
// exceptions (PROC calls and stub calls included) and the values it printed.
void collectFailures(const Item &item, TestCase &testCase)
{
    for (const auto &child : item.children) {
        const Item &inner = *child;
        if (inner.type == ItemType::Check && !inner.passed)
            testCase.failures.push_back("<failure" +
                                        attribute("message", inner.records->where(*inner.element) + ": " +
                                                                 oneLine(inner.element->text) +
                                                                 stubConditionSuffix(inner)) +
                                        attribute("type", RecordSet::kindName(*inner.element)) + "/>");
        if (inner.type == ItemType::Contract)
            testCase.failures.push_back(contractFailure(inner));
        if (inner.type == ItemType::Unexpected)
            testCase.failures.push_back("<failure" + attribute("message", itemText(inner)) +
                                        attribute("type", "UNEXPECTED EXCEPTION") + "/>");
        if (inner.type == ItemType::Print)
            for (const auto &[expression, value] : inner.values)
                testCase.output += inner.records->where(*inner.element) + ": " + oneLine(trimmed(expression)) + " = " +
                                   visible(value) + "\n";
        collectFailures(inner, testCase);
    }
}

void collectCases(const Item &item, const std::string &path, std::vector<TestCase> &cases)
{
    if (item.type != ItemType::Component)
        return;
    std::string name = path.empty() ? componentName(item) : path + "." + componentName(item);
    if (item.component == ComponentKind::Case) {
        TestCase testCase;
        testCase.item = &item;
        testCase.name = name;
        testCase.className = path.empty() ? name : path;
        collectFailures(item, testCase);
        cases.push_back(std::move(testCase));
        return;
    }
    // Components inside PROCs are not possible; PROCs stay out of the names.
    for (const auto &child : item.children)
        collectCases(*child, item.component == ComponentKind::Proc ? path : name, cases);
}

// The component a FAULT ended the run in lies inside the test case.
bool endedByFault(const Run &run, const TestCase &testCase)
{
    for (const Item *item = run.faultIn; item != nullptr; item = item->parent)
        if (item == testCase.item)
            return true;
    return false;
}

void writeCase(std::string &out, const Run &run, const TestCase &testCase)
{
    out += "    <testcase" + attribute("name", testCase.name) + attribute("classname", testCase.className);
    bool unfinished = !testCase.item->finished;
    if (testCase.failures.empty() && !unfinished && testCase.output.empty()) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    for (const std::string &failure : testCase.failures)
        out += "      " + failure + "\n";
    if (unfinished && endedByFault(run, testCase))
        out += "      <error" + attribute("message", faultText(run)) + attribute("type", run.trace->fault) + "/>\n";
    else if (unfinished)
        out += "      <error" + attribute("message", "the run ended before the test case finished") +
               attribute("type", "NOT FINISHED") + "/>\n";
    if (!testCase.output.empty())
        out += "      <system-out>" + xmlEscape(testCase.output, false) + "</system-out>\n";
    out += "    </testcase>\n";
}

// Contracts that failed outside any test case: while the run set up a
// class or suite, or in a static object's constructor or destructor.
void collectOutsideCases(const Item &item, std::vector<std::string> &failures)
{
    for (const auto &child : item.children) {
        if (child->type == ItemType::Contract)
            failures.push_back(contractFailure(*child));
        if (child->type != ItemType::Component || child->component != ComponentKind::Case)
            collectOutsideCases(*child, failures);
    }
}

// The suite "contracts": the states entered and transitions fired as
// properties and the lines of the text report as its output, and a test
// case "outside test cases" that fails with the contracts that failed
// outside them. Empty when the run has neither.
std::string contractSuite(const Run &run, uint64_t &tests, uint64_t &failures)
{
    std::vector<std::string> outside;
    collectOutsideCases(run.root, outside);
    if (run.charts.empty() && outside.empty())
        return "";
    std::string out = "  <testsuite" + attribute("name", "contracts") + attribute("tests", outside.empty() ? 0 : 1) +
                      attribute("failures", outside.empty() ? 0 : 1) + attribute("errors", 0) + ">\n";
    std::string properties;
    for (const ClassChart &chart : run.charts) {
        std::string name = className(*chart.element);
        for (const ChartState &state : chart.states)
            properties += "      <property" + attribute("name", name + " STATE " + oneLine(state.element->text)) +
                          attribute("value", state.entered) + "/>\n";
        for (const ChartTransition &transition : chart.transitions)
            properties += "      <property" +
                          attribute("name", name + " TRANSITION " + oneLine(transition.element->text)) +
                          attribute("value", transition.fired) + "/>\n";
    }
    if (!properties.empty())
        out += "    <properties>\n" + properties + "    </properties>\n";
    if (!outside.empty()) {
        out += "    <testcase" + attribute("name", "outside test cases") + attribute("classname", "contracts") + ">\n";
        for (const std::string &failure : outside)
            out += "      " + failure + "\n";
        out += "    </testcase>\n";
        tests++;
        failures++;
    }
    if (!run.charts.empty())
        out += "    <system-out>" + xmlEscape(formatCharts(run.charts), false) + "</system-out>\n";
    return out + "  </testsuite>\n";
}

} // namespace

std::string formatJUnit(const Run &run)
{
    struct Suite {
        std::string name;
        std::vector<TestCase> cases;
        uint64_t failures = 0, errors = 0;
    };
    std::vector<Suite> suites;
    uint64_t tests = 0, failures = 0, errors = 0;
    std::map<std::pair<std::string, std::string>, uint64_t> runsOfName;
    for (const auto &child : run.root.children) {
        if (child->type != ItemType::Component)
            continue;
        Suite suite;
        suite.name = componentName(*child);
        collectCases(*child, "", suite.cases);
        for (TestCase &testCase : suite.cases) {
            // A test case run again under the same names is told apart by
            // the number of its run: "Up (2)".
            uint64_t runs = ++runsOfName[{testCase.className, testCase.name}];
            if (runs > 1)
                testCase.name += " (" + std::to_string(runs) + ")";
            if (!testCase.item->finished)
                suite.errors++;
            else if (testCase.item->failed)
                suite.failures++;
        }
        tests += suite.cases.size();
        failures += suite.failures;
        errors += suite.errors;
        suites.push_back(std::move(suite));
    }

    std::string contracts = contractSuite(run, tests, failures);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites" + attribute("name", run.trace->path) + attribute("tests", tests) +
           attribute("failures", failures) + attribute("errors", errors) + ">\n";
    for (const Suite &suite : suites) {
        out += "  <testsuite" + attribute("name", suite.name) + attribute("tests", suite.cases.size()) +
               attribute("failures", suite.failures) + attribute("errors", suite.errors);
        if (suite.cases.empty()) {
            out += "/>\n";
            continue;
        }
        out += ">\n";
        for (const TestCase &testCase : suite.cases)
            writeCase(out, run, testCase);
        out += "  </testsuite>\n";
    }
    out += contracts + "</testsuites>\n";
    return out;
}

} // namespace zepreport
