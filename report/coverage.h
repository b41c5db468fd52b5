// Coverage of the code under test in one run: the coverage file a harness
// built for coverage writes beside its trace (target/host/COVERAGE.md),
// turned by gcov into per-file line, branch and function counts, with the
// test cases that reached each line.
#pragma once

#include "report/gcovjson.h"
#include "report/trace.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zepreport {

// A snapshot of every object's counters: its .gcda bytes, as the run-time
// library wrote them.
struct GcdaFile {
    std::string path;  // where the object's .gcda would be; its .gcno is beside it
    std::string bytes;
};

struct Snapshot {
    char point = 'E';    // 'B' a test case begins, 'A' it ended, 'E' the run ended
    uint64_t caseNumber = 0;  // the test cases entered so far
    std::vector<GcdaFile> objects;
};

struct CoverageData {
    std::vector<SourceFile> files;     // the FILE lines: the translation the run belonged to
    std::vector<Snapshot> snapshots;   // only complete ones
};

// Reads a coverage file; a snapshot cut off by a crash is left out.
bool parseCoverageData(std::string_view text, const std::string &path, CoverageData &data, std::string &error);

struct LineCoverage {
    uint64_t number = 0;
    uint64_t hits = 0;
    uint64_t branches = 0, branchesTaken = 0;
    std::vector<uint64_t> branchCounts;  // how often each branch was taken
    // Buckets that reached the line: 0 is what ran outside any test case,
    // n the n-th test case entered.
    std::vector<uint64_t> buckets;
};

struct FunctionCoverage {
    std::string name;
    uint64_t line = 0;
    uint64_t calls = 0;
};

struct FileCoverage {
    std::string path;  // absolute
    std::string name;  // relative to the coverage root, as the reports show it
    std::vector<LineCoverage> lines;  // by line number
    std::vector<FunctionCoverage> functions;
    bool sourceFound = true;  // the source file can be read (for its listing)
};

struct CoverageTotals {
    uint64_t lines = 0, linesHit = 0, branches = 0, branchesTaken = 0, functions = 0, functionsCalled = 0;
};

struct Coverage {
    std::vector<FileCoverage> files;  // by name
    uint64_t cases = 0;  // test cases with a bucket of their own
    std::vector<uint64_t> lostCases;  // entered but never ended (a crash or a fault)
};

// Which files count as code under test: under one of roots (any when there
// is none), under none of excludes, and not a script (the harness's #line
// directives name those).
struct CoverageScope {
    std::vector<std::string> roots, excludes;
    bool counts(const std::string &path) const;
    // path as the reports show it: relative to the first root holding it.
    std::string shown(const std::string &path) const;
};

// Puts the documents of every complete snapshot together (gcov's output for
// each, in the order of data.snapshots).
bool buildCoverage(const std::vector<std::vector<GcovDocument>> &snapshots, const CoverageData &data,
                   const CoverageScope &scope, Coverage &coverage, std::string &error);

// Reads path (the trace's coverage file), checks that it belongs to the
// trace and to the objects built now, runs gcov on each snapshot and builds
// the coverage.
bool readCoverage(const std::string &path, const Trace &trace, const std::string &gcov, const CoverageScope &scope,
                  Coverage &coverage, std::string &error);

// Adds from (of another harness) to into: files by path, lines by number,
// functions by line and name; from's bucket n becomes into's bucket
// n + bucketOffset.
void mergeCoverage(Coverage &into, const Coverage &from, uint64_t bucketOffset);

CoverageTotals fileTotals(const FileCoverage &file);

// text between single quotes for the shell.
std::string shellQuoted(const std::string &text);
// Runs program with arguments (already quoted for the shell) in directory,
// its standard output into output; on failure error names the program with
// the first of its messages.
bool runCaptured(const std::string &directory, const std::string &program, const std::string &arguments,
                 std::string &output, std::string &error);
CoverageTotals coverageTotals(const Coverage &coverage);

} // namespace zepreport
