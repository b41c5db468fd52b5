// The JSON that gcov writes with --json-format --stdout: one document per
// data file, each naming the source files of its object with their lines,
// branches and functions. Only what the coverage report needs is kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zepreport {

struct GcovLine {
    uint64_t number = 0;
    uint64_t count = 0;
    std::vector<uint64_t> branches;  // how often each branch was taken
};

struct GcovFunction {
    std::string name;  // demangled when gcov gives it so
    uint64_t startLine = 0;
    uint64_t count = 0;
};

struct GcovFile {
    std::string path;  // absolute: relative names are taken from gcov's working directory
    std::vector<GcovLine> lines;
    std::vector<GcovFunction> functions;
};

// What one data file says, in gcov's order.
struct GcovDocument {
    std::vector<GcovFile> files;
};

// Reads every document of text (gcov writes one per data file, one after
// the other). On failure error says what is wrong and where.
bool parseGcovJson(std::string_view text, std::vector<GcovDocument> &documents, std::string &error);

} // namespace zepreport
