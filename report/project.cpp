// Each harness's run is read as zepreport reads one run alone; the project's
// page lists the runs with their verdicts and links to their own pages, and
// below them the merged coverage, whose test cases are named by harness.
#include "report/project.h"
#include "report/coveragepage.h"
#include "report/coveragereport.h"
#include "report/run.h"
#include "report/sources.h"
#include "report/text.h"
#include "report/textreport.h"

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <memory>

namespace zepreport {

namespace {

// Everything a run points into lives as long as the project's report.
struct HarnessRun {
    std::string name;  // the trace's name without ".tdf"
    Trace trace;
    std::vector<RecordSet> records;
    Run run;
    bool covered = false;
    Coverage coverage;
};

bool exists(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string directoryOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string nameOf(const std::string &path)
{
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tdf") == 0 ? name.substr(0, name.size() - 4) : name;
}

bool readHarness(const std::string &path, const ProjectOptions &options, HarnessRun &harness, std::string &error)
{
    harness.name = nameOf(path);
    harness.covered = exists(path + ".cov");
    return readTrace(path, harness.trace, error) &&
           findRecordSets(harness.trace, {directoryOf(path).empty() ? "." : directoryOf(path)}, harness.records, error) &&
           buildRun(harness.trace, harness.records, harness.run, error) &&
           (!harness.covered ||
            readCoverage(path + ".cov", harness.trace, options.gcov, options.scope, harness.coverage, error));
}

std::string runRow(const HarnessRun &harness)
{
    std::string page = directoryOf(harness.trace.path) + harness.name + ".html";
    std::string name = xmlEscape(harness.name, false);
    if (exists(page))
        name = "<a href=\"" + xmlEscape(page, true) + "\">" + name + "</a>";
    const char *verdict = harness.run.passed() ? "PASSED" : "FAILED";
    return "<tr><td>" + name + "</td><td class=\"" + (harness.run.passed() ? "passed" : "failed") + "\">" + verdict +
           "</td><td>" + xmlEscape(countText(harness.run.counts), false) + "</td></tr>\n";
}

std::string projectPage(const std::vector<std::unique_ptr<HarnessRun>> &runs, bool passed)
{
    const char *verdict = passed ? "PASSED" : "FAILED";
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
                      std::string(verdict) + ": project of " + std::to_string(runs.size()) +
                      " test runs</title>\n<style>\nbody { margin: 0; font: 15px/1.45 system-ui, sans-serif; }\n"
                      "header { padding: 14px 24px; border-bottom: 4px solid; }\n"
                      "header.passed { background: #e6f4ea; border-color: #1a7f37; }\n"
                      "header.failed { background: #fdecea; border-color: #b42318; }\n"
                      "main { padding: 12px 24px 32px; }\ntable { border-collapse: collapse; }\n"
                      "td, th { padding: 1px 8px; border: 1px solid #d0d7de; }\n"
                      "td.passed { color: #1a7f37; } td.failed { color: #b42318; }\n"
                      "pre .n { display: inline-block; min-width: 4ch; margin-right: 12px; text-align: right; }\n"
                      "pre > span { display: block; }\n</style>\n</head>\n<body>\n<header class=\"" +
                      (passed ? "passed" : "failed") + "\">\n<h1>" + verdict + "</h1>\n<p>" +
                      std::to_string(runs.size()) + " test runs</p>\n</header>\n<main>\n<table>\n"
                      "<tr><th>test run</th><th>verdict</th><th>test cases and checks</th></tr>\n";
    for (const auto &harness : runs)
        out += runRow(*harness);
    return out + "</table>\n</main>\n</body>\n</html>\n";
}

} // namespace

bool writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

int reportProject(const ProjectOptions &options, std::string &report, std::string &error)
{
    std::vector<std::unique_ptr<HarnessRun>> runs;
    Coverage merged;
    std::vector<std::string> names;
    bool passed = true, covered = false;
    for (const std::string &path : options.traces) {
        runs.push_back(std::make_unique<HarnessRun>());
        HarnessRun &harness = *runs.back();
        if (!readHarness(path, options, harness, error))
            return 2;
        passed = passed && harness.run.passed();
        report += harness.name + ": " + (harness.run.passed() ? "PASSED" : "FAILED") + ": " +
                  countText(harness.run.counts) + "\n";
        if (!harness.covered)
            continue;
        covered = true;
        mergeCoverage(merged, harness.coverage, names.size());
        for (const std::string &name : bucketNames(harness.run))
            names.push_back(harness.name + ": " + name);
    }
    if (!options.cobertura.empty() && !covered) {
        error = "no test run has a coverage file: no harness was built for coverage";
        return 2;
    }
    report += std::string(passed ? "PASSED" : "FAILED") + ": " + std::to_string(runs.size()) + " test runs\n";
    if (covered)
        report += formatCoverageText(merged, names);
    std::string page = projectPage(runs, passed);
    if (!options.html.empty() && !writeFile(options.html, covered ? addCoverageToPage(page, merged, names) : page)) {
        error = options.html + ": cannot write the HTML page";
        return 2;
    }
    if (!options.cobertura.empty() &&
        !writeFile(options.cobertura, formatCobertura(merged, options.scope.roots, std::time(nullptr)))) {
        error = options.cobertura + ": cannot write the Cobertura file";
        return 2;
    }
    return passed ? 0 : 1;
}

} // namespace zepreport
