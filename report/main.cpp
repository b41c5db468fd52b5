// zepreport [--junit FILE] [--html FILE] TRACE [RECORDS...]
//
// Reads the trace of a test run and the record files of its translation and
// writes the readable report to standard output. Exit status: 0 when every
// test case passed, 1 when anything failed, 2 when the report cannot be made.
#include "report/arguments.h"
#include "report/html.h"
#include "report/junit.h"
#include "report/run.h"
#include "report/sources.h"
#include "report/textreport.h"
#include "report/trace.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char usage[] = "usage: zepreport [--junit FILE] [--html FILE] TRACE [RECORDS...]\n"
                     "  TRACE    the trace file the test run wrote\n"
                     "  RECORDS  .ots and .tsf record files of the translation, or directories\n"
                     "           holding them (default: the current directory)\n"
                     "  --junit FILE  also write the verdicts as JUnit XML to FILE\n"
                     "  --html FILE   also write the report as an HTML page to FILE\n"
                     "Exit status: 0 all test cases passed, 1 something failed, 2 error.\n";

int failure(const std::string &message)
{
    // The usage text that may follow the message ends its own last line.
    bool ended = !message.empty() && message.back() == '\n';
    std::fprintf(stderr, "zepreport: %s%s", message.c_str(), ended ? "" : "\n");
    return 2;
}

bool writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char *argv[])
{
    // Options with a file name: "--junit FILE" or "--junit=FILE".
    struct FileOption {
        const char *name;
        std::string path;
        bool given = false;
    } options[] = {{"--junit", ""}, {"--html", ""}};
    FileOption &junit = options[0], &html = options[1];
    std::string tracePath;
    bool optionsEnded = false;
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
            break;
        }
        if (option != nullptr)
            continue;
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            std::fputs(usage, stdout);
            return 0;
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
    zepreport::Trace trace;
    if (!zepreport::readTrace(tracePath, trace, error))
        return failure(error);
    std::vector<zepreport::RecordSet> records;
    if (!zepreport::findRecordSets(trace, places, records, error))
        return failure(error);
    zepreport::Run run;
    if (!zepreport::buildRun(trace, records, run, error))
        return failure(error);

    zepreport::PageSources sources = zepreport::readPageSources(run);
    zepreport::nameRunArguments(run, sources.scripts);
    if (junit.given && !writeFile(junit.path, zepreport::formatJUnit(run)))
        return failure(junit.path + ": cannot write the JUnit file");
    if (html.given && !writeFile(html.path, zepreport::formatHtml(run, sources)))
        return failure(html.path + ": cannot write the HTML page");
    std::string report = zepreport::formatTextReport(run);
    if (std::fwrite(report.data(), 1, report.size(), stdout) != report.size() || std::fflush(stdout) != 0)
        return failure("cannot write the report to standard output");
    return run.passed() ? 0 : 1;
}
