// zepreport on any trace: the input is read as a trace file and, when the
// reader takes it, put together with the records of the scripts of the
// report case "contracts" (an OTD script with a stub and an OTC script with
// contracts and a state chart), translated once at start-up; each FILE line
// gets the records of one of the two in turn. Every report is then written.
// Whatever comes, the reader and the run model refuse it or the three
// reports come out whole.
#include "driver/run.h"
#include "fuzz_support.h"
#include "report/html.h"
#include "report/junit.h"
#include "report/run.h"
#include "report/textreport.h"
#include "report/trace.h"

#include <fstream>
#include <sstream>

namespace {

std::vector<zepreport::RecordSet> scriptRecords;

std::string fileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void translateScripts()
{
    scratch->enter();
    for (const char *name : {"lift.otd", "lift.otc"}) {
        std::string text = fileText(std::string(ZEP_FUZZ_SCRIPTS) + "/" + name);
        scratch->write(name, text.data(), text.size());
    }
    const char *arguments[] = {"zepprepro", "-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.trace",
                               "lift.otd", "lift.otc", nullptr};
    if (runTranslator(11, const_cast<char **>(arguments)) != 0)
        fuzzFailure("the scripts of the report case do not translate");
    for (const char *records : {"lift.otd01", "lift.otc02"}) {
        std::string error, path = scratch->path + "/" + records;
        scriptRecords.emplace_back();
        if (!zepreport::readRecordSet(path + ".ots", path + ".tsf", scriptRecords.back(), error))
            fuzzFailure("%s", error.c_str());
    }
    scratch->empty();
    scratch->leave();
}

size_t count(const std::string &text, const char *what)
{
    size_t found = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at++)
        found++;
    return found;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    startToolkitFuzzing(*argv);
    translateScripts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zepreport::Trace trace;
    std::string error;
    if (!zepreport::parseTrace(std::string(reinterpret_cast<const char *>(data), size), "run.trace", trace, error))
        return 0;
    std::vector<zepreport::RecordSet> records;
    for (size_t index = 0; index < trace.files.size() && index < 16; index++)
        records.push_back(scriptRecords[index % 2]);
    zepreport::Run run;
    if (trace.files.size() > 16 || !zepreport::buildRun(trace, records, run, error))
        return 0;
    std::string text = zepreport::formatTextReport(run);
    if (text.empty() || text.back() != '\n')
        fuzzFailure("a text report that does not end its last line");
    std::string page = zepreport::formatHtml(run, zepreport::PageSources{"", {{}, {}}});
    if (count(page, "<svg ") != count(page, "</svg>") || count(page, "<svg ") > run.charts.size())
        fuzzFailure("a page whose pictures are not whole or more than the classes");
    if (zepreport::formatJUnit(run).find("</testsuites>\n") == std::string::npos)
        fuzzFailure("JUnit XML that does not end");
    return 0;
}
