#include "report/lines.h"

namespace zepreport {

LineReader::Result LineReader::next(std::string &line)
{
    line.clear();
    std::streambuf *buffer = in.rdbuf();
    if (buffer == nullptr)
        return Failed;
    lineNumber++;
    for (;;) {
        std::streambuf::int_type c;
        try {
            c = buffer->sbumpc();
        } catch (...) {
            return Failed;
        }
        if (c == std::streambuf::traits_type::eof())
            return line.empty() ? End : Cut;
        if (c == '\n')
            return Line;
        if (line.size() == limit)
            return TooLong;
        line += static_cast<char>(c);
    }
}

std::string lineProblem(LineReader::Result result)
{
    switch (result) {
    case LineReader::Line: return "";
    case LineReader::End: return "the file ends here";
    case LineReader::Cut: return "the line is cut off (no line feed at its end)";
    case LineReader::TooLong: return "the line is longer than " + std::to_string(lineLimit >> 20) + " MiB";
    case LineReader::Failed: return "the file cannot be read";
    }
    return "";
}

} // namespace zepreport
