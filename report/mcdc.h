// MC/DC of a run whose SOURCES clang built with -fcoverage-mcdc: the raw
// profile the harness wrote (<trace>.profraw) is merged with llvm-profdata
// and exported with llvm-cov as JSON, which gives per file its line, branch
// and function totals and per decision which of its conditions were shown
// to affect the outcome independently over the whole run.
#pragma once

#include "report/coverage.h"
#include "report/woven.h"

#include <string>
#include <string_view>
#include <vector>

namespace zepreport {

struct McdcDecision {
    std::string path;
    uint64_t line = 0, column = 0, endLine = 0, endColumn = 0;
    std::vector<std::vector<uint64_t>> conditions;  // line, column, end line, end column of each, in order
    std::vector<bool> shown;  // per condition: an independence pair was run
};

struct McdcFile {
    std::string path, name;
    CoverageTotals totals;
    uint64_t conditions = 0, conditionsShown = 0;
};

struct Mcdc {
    std::vector<McdcFile> files;  // by name
    std::vector<McdcDecision> decisions;  // by file and place
};

// Reads llvm-cov's export (format 2) of the files in scope. The copies of
// files in scope with woven contracts give their decisions at the user's
// lines, and are noted in copies for their totals.
bool parseLlvmCovExport(std::string_view text, const CoverageScope &scope, Mcdc &mcdc, WovenCopies &copies,
                        std::string &error);

struct LlvmTools {
    std::string profdata = "llvm-profdata-19", cov = "llvm-cov-19";
};

// Merges profraw and exports the coverage of harness, the executable that
// wrote it.
bool readMcdc(const std::string &profraw, const std::string &harness, const LlvmTools &tools,
              const CoverageScope &scope, Mcdc &mcdc, std::string &error);

// After the verdicts: the files' totals with their conditions, then each
// decision with its conditions, their texts taken from the sources.
std::string formatMcdcText(const Mcdc &mcdc);

// The same as a section of the page, before the end of its main part.
std::string addMcdcToPage(const std::string &page, const Mcdc &mcdc);

} // namespace zepreport
