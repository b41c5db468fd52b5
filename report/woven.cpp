// Copies of the user's sources with woven contracts, put back at the
// user's lines.
#include "report/woven.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace zepreport {

namespace {

bool number(std::string_view text, uint64_t &value)
{
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc() && end == text.data() + text.size();
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// A directive `#line N "path"` as the writers of copies and harnesses
// write it (backslash and quote escaped): the line number and path.
bool lineDirective(std::string_view text, uint64_t &line, std::string &path)
{
    text = trimmed(text);
    if (text.substr(0, 5) != "#line")
        return false;
    text = trimmed(text.substr(5));
    size_t space = text.find(' ');
    if (space == std::string_view::npos || !number(text.substr(0, space), line))
        return false;
    text = trimmed(text.substr(space));
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return false;
    path.clear();
    for (size_t at = 1; at + 1 < text.size(); at++)
        path += text[at] == '\\' && at + 2 < text.size() ? text[++at] : text[at];
    return true;
}

// The fields of an lcov record "KEY:a,b,..." after its key.
std::vector<std::string_view> fields(std::string_view text)
{
    std::vector<std::string_view> out;
    for (size_t comma; (comma = text.find(',')) != std::string_view::npos; text.remove_prefix(comma + 1))
        out.push_back(text.substr(0, comma));
    out.push_back(text);
    return out;
}

// What the lcov records of one copy add up to, by the user's files.
struct Placed {
    std::map<std::string, std::map<uint64_t, uint64_t>> lines;
    std::map<std::string, CoverageTotals> totals;
    std::map<std::string, LinePlace> functions;  // by name, of the current copy
};

void placeRecord(std::string_view key, std::string_view value, const std::vector<LinePlace> &places, Placed &placed)
{
    std::vector<std::string_view> parts = fields(value);
    uint64_t line = 0, count = 0;
    if (key == "DA" && parts.size() >= 2 && number(parts[0], line) && number(parts[1], count)) {
        LinePlace place = placeOf(places, line);
        // The line of a body's "{" is split around the woven code.
        if (!place.path.empty())
            placed.lines[place.path][place.line] = std::max(placed.lines[place.path][place.line], count);
    } else if (key == "BRDA" && parts.size() == 4 && number(parts[0], line)) {
        LinePlace place = placeOf(places, line);
        if (place.path.empty())
            return;
        CoverageTotals &totals = placed.totals[place.path];
        totals.branches++;
        totals.branchesTaken += number(parts[3], count) && count > 0;
    } else if (key == "FN" && parts.size() >= 2 && number(parts[0], line)) {
        placed.functions[std::string(value.substr(parts[0].size() + 1))] = placeOf(places, line);
    } else if (key == "FNDA" && parts.size() >= 2 && number(parts[0], count)) {
        auto function = placed.functions.find(std::string(value.substr(parts[0].size() + 1)));
        if (function == placed.functions.end() || function->second.path.empty())
            return;
        CoverageTotals &totals = placed.totals[function->second.path];
        totals.functions++;
        totals.functionsCalled += count > 0;
    }
}

} // namespace

bool placeCopyLines(const std::vector<std::string> &lines, const CoverageScope &scope,
                    std::vector<LinePlace> &places)
{
    places.clear();
    std::set<std::string> inScope, outOfScope;
    bool anyInScope = false;
    LinePlace next;  // of the next line
    for (const std::string &text : lines) {
        std::string path;
        uint64_t line = 0;
        if (lineDirective(text, line, path)) {
            places.push_back(LinePlace());
            bool counted = inScope.count(path) || (!outOfScope.count(path) && scope.counts(path));
            (counted ? inScope : outOfScope).insert(path);
            anyInScope = anyInScope || counted;
            next = counted ? LinePlace{path, line} : LinePlace();
        } else {
            places.push_back(next);
            if (!next.path.empty())
                next.line++;
        }
    }
    return anyInScope;
}

LinePlace placeOf(const std::vector<LinePlace> &places, uint64_t line)
{
    return line >= 1 && line <= places.size() ? places[line - 1] : LinePlace();
}

std::map<std::string, CoverageTotals> placedTotals(std::string_view lcov, const WovenCopies &copies)
{
    Placed placed;
    const std::vector<LinePlace> *places = nullptr;
    for (size_t at = 0; at < lcov.size();) {
        size_t end = lcov.find('\n', at);
        end = end == std::string_view::npos ? lcov.size() : end;
        std::string_view record = trimmed(lcov.substr(at, end - at));
        at = end + 1;
        size_t colon = record.find(':');
        if (record.substr(0, 3) == "SF:") {
            auto copy = copies.find(std::string(record.substr(3)));
            places = copy == copies.end() ? nullptr : &copy->second;
            placed.functions.clear();
        } else if (places != nullptr && colon != std::string_view::npos) {
            placeRecord(record.substr(0, colon), record.substr(colon + 1), *places, placed);
        }
    }
    for (const auto &[path, lines] : placed.lines) {
        CoverageTotals &totals = placed.totals[path];
        totals.lines += lines.size();
        for (const auto &[line, count] : lines)
            totals.linesHit += count > 0;
    }
    return placed.totals;
}

} // namespace zepreport
