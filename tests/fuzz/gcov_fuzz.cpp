// zepreport's readers of outside coverage input, chosen by the first byte
// modulo 3: gcov's JSON (0), the coverage file a harness writes (1) and
// llvm-cov's export (2). gcov's documents that read well must also add up
// as a snapshot of themselves.
#include "report/coverage.h"
#include "report/mcdc.h"

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
        zepreport::parseLlvmCovExport(text, zepreport::CoverageScope{}, mcdc, error);
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
