// zepreport's readers of outside coverage input, chosen by the first byte
// modulo 3: gcov's JSON (0), the coverage file a harness writes (1) and
// llvm-cov's export (2, and after a NUL the lcov export of a copy whose
// lines the text before it gives). gcov's documents that read well must also add up
// as a snapshot of themselves.
#include "report/coverage.h"
#include "report/mcdc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string error;
    if (data[0] % 3 == 1) {
        zepreport::CoverageData coverage;
        zepreport::parseCoverageData(text, "fuzz.cov", coverage, error);
        return 0;
    }
    if (data[0] % 3 == 2) {
        zepreport::Mcdc mcdc;
        zepreport::WovenCopies copies;
        zepreport::parseLlvmCovExport(text, zepreport::CoverageScope{}, mcdc, copies, error);
        size_t nul = text.find('\0');
        std::vector<std::string> lines;
        for (size_t at = 0; nul != std::string_view::npos && at < nul;) {
            size_t end = std::min(text.find('\n', at), nul);
            lines.emplace_back(text.substr(at, end - at));
            at = end + 1;
        }
        if (zepreport::placeCopyLines(lines, zepreport::CoverageScope{}, copies["c"]))
            zepreport::placedTotals(text.substr(nul + 1), copies);
        return 0;
    }
    std::vector<zepreport::GcovDocument> documents;
    if (!zepreport::parseGcovJson(text, documents, error))
        return 0;
    zepreport::CoverageData run;
    run.snapshots = {{'B', 1, {}}, {'A', 1, {}}};
    zepreport::Coverage coverage;
    if (!zepreport::buildCoverage({documents, documents}, run, zepreport::CoverageScope{}, coverage, error)) {
        std::fprintf(stderr, "fuzz property: the same documents twice do not add up: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}
