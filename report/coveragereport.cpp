#include "report/coveragereport.h"
#include "report/text.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace zepreport {

namespace {

void collectNames(const Item &item, const std::string &path, std::vector<std::string> &names)
{
    if (item.type != ItemType::Component)
        return;
    std::string name = path;
    if (item.element && item.component != ComponentKind::Proc)
        name = path.empty() ? item.element->text : path + "." + item.element->text;
    if (item.component == ComponentKind::Case)
        names.push_back(oneLine(name));
    for (const auto &child : item.children)
        collectNames(*child, name, names);
}

std::string countColumn(uint64_t part, uint64_t whole, const char *what)
{
    std::string text = std::to_string(part) + "/" + std::to_string(whole) + " " + what;
    std::string percent = percentText(part, whole);
    return percent.empty() ? text : text + " " + percent;
}

// Cobertura's rates: a fraction with four decimals, 1 when nothing counts.
std::string rate(uint64_t part, uint64_t whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", whole ? static_cast<double>(part) / static_cast<double>(whole) : 1.0);
    return text;
}

std::string attribute(const char *name, const std::string &value)
{
    return std::string(" ") + name + "=\"" + xmlEscape(value, true) + "\"";
}

std::string rates(const CoverageTotals &totals)
{
    return attribute("line-rate", rate(totals.linesHit, totals.lines)) +
           attribute("branch-rate", rate(totals.branchesTaken, totals.branches)) + attribute("complexity", "0");
}

std::string directoryOf(const std::string &name)
{
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

std::string coberturaLine(const LineCoverage &line)
{
    std::string out = "<line" + attribute("number", std::to_string(line.number)) +
                      attribute("hits", std::to_string(line.hits));
    if (line.branches == 0)
        return out + attribute("branch", "false") + "/>";
    uint64_t percent = line.branchesTaken * 100 / line.branches;
    return out + attribute("branch", "true") +
           attribute("condition-coverage", std::to_string(percent) + "% (" + std::to_string(line.branchesTaken) + "/" +
                                               std::to_string(line.branches) + ")") +
           "/>";
}

std::string coberturaClass(const FileCoverage &file)
{
    std::string out = "        <class" + attribute("name", file.name) + attribute("filename", file.name) +
                      rates(fileTotals(file)) + ">\n          <methods>\n";
    for (const FunctionCoverage &function : file.functions)
        out += "            <method" + attribute("name", function.name) + attribute("signature", "") +
               attribute("line-rate", function.calls ? "1" : "0") + attribute("branch-rate", "1") +
               attribute("complexity", "0") + ">\n              <lines><line" +
               attribute("number", std::to_string(function.line)) + attribute("hits", std::to_string(function.calls)) +
               attribute("branch", "false") + "/></lines>\n            </method>\n";
    out += "          </methods>\n          <lines>\n";
    for (const LineCoverage &line : file.lines)
        out += "            " + coberturaLine(line) + "\n";
    return out + "          </lines>\n        </class>\n";
}

} // namespace

std::string coverageLine(const std::string &name, size_t width, const CoverageTotals &totals)
{
    std::string line = name + std::string(width - name.size(), ' ');
    line += "  " + countColumn(totals.linesHit, totals.lines, "lines");
    line += "  " + countColumn(totals.branchesTaken, totals.branches, "branches");
    line += "  " + std::to_string(totals.functionsCalled) + "/" + std::to_string(totals.functions) + " functions";
    return line + "\n";
}

std::vector<std::string> bucketNames(const Run &run)
{
    std::vector<std::string> names{"outside any test case"};
    collectNames(run.root, "", names);
    return names;
}

std::string percentText(uint64_t part, uint64_t whole)
{
    if (whole == 0)
        return "";
    uint64_t tenths = (part * 2000 / whole + 1) / 2;
    if (part < whole && tenths == 1000)
        tenths = 999;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " %";
}

std::string formatCoverageText(const Coverage &coverage, const std::vector<std::string> &names)
{
    std::string out = "\nCoverage of the code under test:\n";
    if (coverage.files.empty())
        return out + "No code under test was built for coverage.\n";
    size_t width = 5;  // "total"
    for (const FileCoverage &file : coverage.files)
        width = std::max(width, file.name.size());
    for (const FileCoverage &file : coverage.files)
        out += coverageLine(file.name, width, fileTotals(file));
    out += coverageLine("total", width, coverageTotals(coverage));
    for (const FileCoverage &file : coverage.files)
        if (!file.sourceFound)
            out += "Source not found: " + file.path + "\n";
    for (uint64_t lost : coverage.lostCases)
        out += "The coverage of test case " + (lost < names.size() ? names[lost] : std::to_string(lost)) +
               " is lost: it did not end.\n";
    return out;
}

std::string formatCobertura(const Coverage &coverage, const std::vector<std::string> &sources, long long timestamp)
{
    CoverageTotals totals = coverageTotals(coverage);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE coverage SYSTEM \"http://cobertura.sourceforge.net/xml/coverage-04.dtd\">\n";
    out += "<coverage" + attribute("line-rate", rate(totals.linesHit, totals.lines)) +
           attribute("branch-rate", rate(totals.branchesTaken, totals.branches)) +
           attribute("lines-covered", std::to_string(totals.linesHit)) +
           attribute("lines-valid", std::to_string(totals.lines)) +
           attribute("branches-covered", std::to_string(totals.branchesTaken)) +
           attribute("branches-valid", std::to_string(totals.branches)) + attribute("complexity", "0") +
           attribute("version", "zepreport") + attribute("timestamp", std::to_string(timestamp)) + ">\n  <sources>\n";
    for (const std::string &source : sources)
        out += "    <source>" + xmlEscape(source, false) + "</source>\n";
    out += "  </sources>\n  <packages>\n";
    // One package per directory, as Cobertura's readers group them.
    std::map<std::string, std::vector<const FileCoverage *>> packages;
    for (const FileCoverage &file : coverage.files)
        packages[directoryOf(file.name)].push_back(&file);
    for (const auto &[directory, files] : packages) {
        Coverage package;
        for (const FileCoverage *file : files)
            package.files.push_back(*file);
        std::string name = directory;
        std::replace(name.begin(), name.end(), '/', '.');
        out += "    <package" + attribute("name", name) + rates(coverageTotals(package)) + ">\n      <classes>\n";
        for (const FileCoverage *file : files)
            out += coberturaClass(*file);
        out += "      </classes>\n    </package>\n";
    }
    return out + "  </packages>\n</coverage>\n";
}

} // namespace zepreport
