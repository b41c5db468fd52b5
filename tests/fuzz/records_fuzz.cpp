// zepreport's readers and writers on any bytes: a trace, then after the
// first NUL byte an .ots file and after the next one a .tsf file, which
// stand for the record files of every source file the trace names. Whatever
// comes is refused with a message or reported by all three writers; the
// trace's own lines also serve as the script that run parameters are read
// from.
#include "fuzz_support.h"
#include "report/arguments.h"
#include "report/html.h"
#include "report/junit.h"
#include "report/textreport.h"

#include <sstream>

namespace {

// The input's piece after the NUL byte at, up to the next one.
std::string pieceAfter(const std::string &input, size_t at, size_t *end)
{
    if (at == std::string::npos) {
        *end = at;
        return "";
    }
    *end = input.find('\0', at + 1);
    return input.substr(at + 1, *end == std::string::npos ? std::string::npos : *end - at - 1);
}

void refused(const std::string &error)
{
    if (error.empty())
        fuzzFailure("a refusal without a message");
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t first = input.find('\0'), second, rest;
    std::istringstream ots(pieceAfter(input, first, &second)), tsf(pieceAfter(input, second, &rest));
    std::string traceText = input.substr(0, first), error;
    zepreport::Trace trace;
    zepreport::RecordSet records;
    if (!zepreport::parseTrace(traceText, "run.trace", trace, error) ||
        !zepreport::parseRecordSet(ots, "a.otd01.ots", tsf, "a.otd01.tsf", records, error)) {
        refused(error);
        return 0;
    }
    // Each FILE line takes a copy of the record set: a few are enough.
    if (trace.files.size() > 16)
        return 0;
    std::vector<zepreport::RecordSet> sets(trace.files.size(), records);
    zepreport::Run run;
    if (!zepreport::buildRun(trace, sets, run, error)) {
        refused(error);
        return 0;
    }
    zepreport::PageSources sources;
    sources.scripts.assign(sets.size(), linesOf(traceText));
    zepreport::nameRunArguments(run, sources.scripts);
    if (zepreport::formatTextReport(run).empty() || zepreport::formatJUnit(run).empty() ||
        zepreport::formatHtml(run, sources).empty())
        fuzzFailure("an empty report");
    return 0;
}
