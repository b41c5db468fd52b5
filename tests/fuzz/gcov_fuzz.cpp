// zepreport's readers of outside coverage input: gcov's JSON (input whose
// first byte is even) and the coverage file a harness writes (odd). gcov's
// documents that read well must also add up as a snapshot of themselves.
#include "report/coverage.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string error;
    if (data[0] % 2) {
        zepreport::CoverageData coverage;
        zepreport::parseCoverageData(text, "fuzz.cov", coverage, error);
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
