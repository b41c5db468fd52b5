// zepreport [--junit FILE] [--html FILE] [--cobertura FILE] [--gcov PROGRAM]
//           [--coverage-root DIR]... [--coverage-exclude DIR]... TRACE [RECORDS...]
//
// Reads the trace of a test run and the record files of its translation and
// writes the readable report to standard output. Exit status: 0 when every
// test case passed, 1 when anything failed, 2 when the report cannot be made.
#include "report/arguments.h"
#include "report/coveragepage.h"
#include "report/coveragereport.h"
#include "report/html.h"
#include "report/junit.h"
#include "report/mcdc.h"
#include "report/project.h"
#include "report/run.h"
#include "report/sources.h"
#include "report/textreport.h"
#include "report/trace.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

const char usage[] = "usage: zepreport [--junit FILE] [--html FILE] [--cobertura FILE] [--gcov PROGRAM]\n"
                     "                 [--coverage-root DIR]... [--coverage-exclude DIR]... [--mcdc HARNESS]\n"
                     "                 TRACE [RECORDS...]\n"
                     "       zepreport --project [--html FILE] [--cobertura FILE] [--gcov PROGRAM]\n"
                     "                 [--coverage-root DIR]... [--coverage-exclude DIR]... TRACE...\n"
                     "  TRACE    the trace file the test run wrote\n"
                     "  RECORDS  .ots and .tsf record files of the translation, or directories\n"
                     "           holding them (default: the current directory)\n"
                     "  --junit FILE  also write the verdicts as JUnit XML to FILE\n"
                     "  --html FILE   also write the report as an HTML page to FILE\n"
                     "  --cobertura FILE        write the coverage of TRACE.cov as Cobertura XML to FILE\n"
                     "  --gcov PROGRAM          the gcov that reads TRACE.cov (default gcov)\n"
                     "  --coverage-root DIR     count only source files under DIR (may be repeated)\n"
                     "  --coverage-exclude DIR  never count source files under DIR (may be repeated)\n"
                     "  --mcdc HARNESS          also MC/DC of TRACE.profraw, which HARNESS wrote\n"
                     "  --llvm-profdata PROGRAM, --llvm-cov PROGRAM\n"
                     "                          read it (default llvm-profdata-19, llvm-cov-19)\n"
                     "  --project  every argument is the trace of a harness of one project, its record\n"
                     "             files beside it: one report of them all, their coverage merged\n"
                     "Exit status: 0 all test cases passed, 1 something failed, 2 error.\n";

using zepreport::writeFile;

int failure(const std::string &message)
{
    // The usage text that may follow the message ends its own last line.
    bool ended = !message.empty() && message.back() == '\n';
    std::fprintf(stderr, "zepreport: %s%s", message.c_str(), ended ? "" : "\n");
    return 2;
}

struct FileOption {
    const char *name;
    std::string path;
    bool given = false;
    std::vector<std::string> all = {};  // every value, for the options that may be repeated
};

// --project: the traces are first and rest; options as main reads them
// (--html, --cobertura, --gcov, --coverage-root, --coverage-exclude).
int reportProject(const std::string &first, const std::vector<std::string> &rest, const FileOption *options)
{
    zepreport::ProjectOptions project;
    project.traces.push_back(first);
    project.traces.insert(project.traces.end(), rest.begin(), rest.end());
    project.html = options[1].path;
    project.cobertura = options[2].path;
    if (options[3].given)
        project.gcov = options[3].path;
    project.scope = {options[4].all, options[5].all};
    std::string report, error;
    int status = zepreport::reportProject(project, report, error);
    if (status == 2)
        return failure(error);
    if (std::fwrite(report.data(), 1, report.size(), stdout) != report.size() || std::fflush(stdout) != 0)
        return failure("cannot write the report to standard output");
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    // Options with a file name: "--junit FILE" or "--junit=FILE".
    FileOption options[] = {{"--junit", ""},         {"--html", ""},          {"--cobertura", ""},
                            {"--gcov", ""},          {"--coverage-root", ""}, {"--coverage-exclude", ""},
                            {"--mcdc", ""},          {"--llvm-profdata", ""}, {"--llvm-cov", ""}};
    FileOption &junit = options[0], &html = options[1], &cobertura = options[2], &gcov = options[3];
    FileOption &mcdcHarness = options[6], &profdata = options[7], &llvmCov = options[8];
    std::string tracePath;
    bool optionsEnded = false, project = false;
    std::vector<std::string> places;
    for (int at = 1; at < argc; at++) {
        std::string argument = argv[at];
        FileOption *option = nullptr;
        for (FileOption &candidate : options) {
            std::string name = candidate.name;
            if (optionsEnded || argument.compare(0, name.size(), name) != 0)
                continue;
            if (argument.size() == name.size()) {
                if (++at == argc)
                    return failure(name + " needs a file name\n" + usage);
                candidate.path = argv[at];
            } else if (argument[name.size()] == '=') {
                candidate.path = argument.substr(name.size() + 1);
            } else {
                continue;
            }
            option = &candidate;
            option->given = true;
            option->all.push_back(option->path);
            break;
        }
        if (option != nullptr)
            continue;
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            std::fputs(usage, stdout);
            return 0;
        } else if (!optionsEnded && argument == "--project") {
            project = true;
        } else if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return failure("unknown option `" + argument + "'\n" + usage);
        } else if (tracePath.empty()) {
            tracePath = argument;
        } else {
            places.push_back(argument);
        }
    }
    if (tracePath.empty())
        return failure("no trace file given\n" + std::string(usage));
    for (const FileOption &option : options)
        if (option.given && option.path.empty())
            return failure(std::string(option.name) + " needs a file name");

    std::string error;
    if (project && junit.given)
        return failure("--junit does not go with --project: each run has its own");
    if (project)
        return reportProject(tracePath, places, options);
    zepreport::Trace trace;
    if (!zepreport::readTrace(tracePath, trace, error))
        return failure(error);
    std::vector<zepreport::RecordSet> records;
    if (!zepreport::findRecordSets(trace, places, records, error))
        return failure(error);
    zepreport::Run run;
    if (!zepreport::buildRun(trace, records, run, error))
        return failure(error);

    // A harness built for coverage leaves its coverage file beside the trace.
    zepreport::Coverage coverage;
    zepreport::CoverageScope scope{options[4].all, options[5].all};
    std::string coveragePath = tracePath + ".cov";
    struct stat status;
    bool covered = stat(coveragePath.c_str(), &status) == 0;
    if (covered && !zepreport::readCoverage(coveragePath, trace, gcov.given ? gcov.path : "gcov", scope, coverage, error))
        return failure(error);
    zepreport::Mcdc mcdc;
    zepreport::LlvmTools tools;
    tools.profdata = profdata.given ? profdata.path : tools.profdata;
    tools.cov = llvmCov.given ? llvmCov.path : tools.cov;
    if (mcdcHarness.given && !zepreport::readMcdc(tracePath + ".profraw", mcdcHarness.path, tools, scope, mcdc, error))
        return failure(error);
    if (cobertura.given && !covered)
        return failure(coveragePath + ": no coverage file: the harness was not built for coverage");
    std::vector<std::string> names = zepreport::bucketNames(run);

    zepreport::PageSources sources = zepreport::readPageSources(run);
    zepreport::nameRunArguments(run, sources.scripts);
    if (junit.given && !writeFile(junit.path, zepreport::formatJUnit(run)))
        return failure(junit.path + ": cannot write the JUnit file");
    if (html.given) {
        std::string page = zepreport::formatHtml(run, sources);
        if (covered)
            page = zepreport::addCoverageToPage(page, coverage, names);
        if (mcdcHarness.given)
            page = zepreport::addMcdcToPage(page, mcdc);
        if (!writeFile(html.path, page))
            return failure(html.path + ": cannot write the HTML page");
    }
    if (cobertura.given && !writeFile(cobertura.path, zepreport::formatCobertura(coverage, scope.roots, std::time(nullptr))))
        return failure(cobertura.path + ": cannot write the Cobertura file");
    std::string report = zepreport::formatTextReport(run);
    if (covered)
        report += zepreport::formatCoverageText(coverage, names);
    if (mcdcHarness.given)
        report += zepreport::formatMcdcText(mcdc);
    if (std::fwrite(report.data(), 1, report.size(), stdout) != report.size() || std::fflush(stdout) != 0)
        return failure("cannot write the report to standard output");
    return run.passed() ? 0 : 1;
}
