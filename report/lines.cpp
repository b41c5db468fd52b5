#include "report/lines.h"

#include <fstream>

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

bool readLines(const std::string &path, std::vector<std::string> &lines)
{
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    LineReader reader(in);
    std::string line;
    for (LineReader::Result result; (result = reader.next(line)) != LineReader::End;) {
        if (result == LineReader::TooLong || result == LineReader::Failed) {
            lines.clear();
            return false;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (result == LineReader::Cut)
            break;
    }
    return true;
}

} // namespace zepreport
