// Line-by-line reading of the trace and record files with a bound on the
// length of a line, so that a file without line feeds (or a garbage file of
// gigabytes) gives a message instead of exhausting memory.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace zepreport {

// No line the run-time library or the translator writes comes near this.
constexpr size_t lineLimit = 16u << 20;

class LineReader {
public:
    enum Result { Line, End, Cut, TooLong, Failed };

    explicit LineReader(std::istream &in, size_t limit = lineLimit) : in(in), limit(limit) {}

    // The next line without its line feed. Cut: the file ends inside a line
    // (line holds what was read); TooLong: the line is longer than the limit;
    // Failed: the stream could not be read.
    Result next(std::string &line);
    // Number of the line last returned, from 1.
    uint64_t number() const { return lineNumber; }

private:
    std::istream &in;
    size_t limit;
    uint64_t lineNumber = 0;
};

// The lines of a text file without their line ends (a CR before the line
// feed dropped too); false, with lines empty, when it cannot be read whole.
bool readLines(const std::string &path, std::vector<std::string> &lines);

// "the line is longer than 16 MiB" and the like, for a result that is not Line.
std::string lineProblem(LineReader::Result result);

} // namespace zepreport
