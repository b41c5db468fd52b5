// llvm-cov's export lists per file its branches ([line, column, end line,
// end column, true count, false count, ...]) and its MC/DC records ([line,
// column, end line, end column, expansion, kind, [shown per condition]]);
// a decision's conditions are the branches inside its span, in order.
#include "report/mcdc.h"
#include "report/coveragereport.h"
#include "report/json.h"
#include "report/lines.h"
#include "report/text.h"
#include "report/woven.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zepreport {

namespace {

// A list of counts (and, last, of flags) as llvm-cov writes its records.
bool counts(const Json &record, size_t least, std::vector<uint64_t> &out)
{
    if (record.kind != JsonArray || record.items.size() < least)
        return false;
    for (size_t at = 0; at < least; at++) {
        if (record.items[at].kind != JsonNumber || !record.items[at].integral)
            return false;
        out.push_back(record.items[at].number);
    }
    return true;
}

uint64_t summaryCount(const Json &summary, const char *part, const char *what)
{
    const Json *section = summary.member(part);
    const Json *value = section ? section->member(what) : nullptr;
    return value && value->kind == JsonNumber && value->integral ? value->number : 0;
}

bool before(uint64_t line, uint64_t column, uint64_t otherLine, uint64_t otherColumn)
{
    return line < otherLine || (line == otherLine && column <= otherColumn);
}

bool readDecision(const Json &record, const Json *branches, const std::string &path, McdcDecision &decision)
{
    std::vector<uint64_t> place;
    if (!counts(record, 6, place) || record.items.size() < 7 || record.items[6].kind != JsonArray)
        return false;
    decision = McdcDecision{path, place[0], place[1], place[2], place[3], {}, {}};
    for (const Json &flag : record.items[6].items) {
        if (flag.kind != JsonBool)
            return false;
        decision.shown.push_back(flag.flag);
    }
    for (const Json &branch : branches ? branches->items : std::vector<Json>()) {
        std::vector<uint64_t> span;
        if (counts(branch, 4, span) && before(decision.line, decision.column, span[0], span[1]) &&
            before(span[2], span[3], decision.endLine, decision.endColumn) &&
            decision.conditions.size() < decision.shown.size())
            decision.conditions.push_back(span);
    }
    return true;
}

McdcFile &fileOf(Mcdc &mcdc, const std::string &path, const CoverageScope &scope)
{
    for (McdcFile &file : mcdc.files)
        if (file.path == path)
            return file;
    mcdc.files.push_back(McdcFile{path, scope.shown(path), {}, 0, 0});
    return mcdc.files.back();
}

// The decision of a copy at the user's lines (its columns are the user's
// too, as the copy puts each line's rest back at its column); false when
// it is woven code.
bool placeDecision(const std::vector<LinePlace> &places, McdcDecision &decision)
{
    LinePlace start = placeOf(places, decision.line), end = placeOf(places, decision.endLine);
    if (start.path.empty() || end.path != start.path)
        return false;
    decision.path = start.path;
    decision.line = start.line;
    decision.endLine = end.line;
    for (std::vector<uint64_t> &condition : decision.conditions) {
        condition[0] = placeOf(places, condition[0]).line;
        condition[2] = placeOf(places, condition[2]).line;
    }
    return true;
}

// A file in scope, or a copy with woven contracts of files in scope, whose
// lines it then notes in copies.
bool readFile(const Json &file, const CoverageScope &scope, Mcdc &mcdc, WovenCopies &copies)
{
    const Json *name = file.member("filename");
    const Json *summary = file.member("summary");
    if (!name || name->kind != JsonText || !summary)
        return false;
    const std::vector<LinePlace> *places = nullptr;
    if (!scope.counts(name->text)) {
        std::vector<std::string> lines;
        std::vector<LinePlace> placed;
        if (!readLines(name->text, lines) || !placeCopyLines(lines, scope, placed))
            return true;
        places = &(copies[name->text] = std::move(placed));
    } else {
        fileOf(mcdc, name->text, scope).totals = {
            summaryCount(*summary, "lines", "count"),     summaryCount(*summary, "lines", "covered"),
            summaryCount(*summary, "branches", "count"),  summaryCount(*summary, "branches", "covered"),
            summaryCount(*summary, "functions", "count"), summaryCount(*summary, "functions", "covered")};
    }
    const Json *records = file.member("mcdc_records");
    for (const Json &record : records && records->kind == JsonArray ? records->items : std::vector<Json>()) {
        McdcDecision decision;
        if (!readDecision(record, file.member("branches"), name->text, decision))
            return false;
        if (places != nullptr && !placeDecision(*places, decision))
            continue;
        McdcFile &out = fileOf(mcdc, decision.path, scope);
        out.conditions += decision.shown.size();
        out.conditionsShown += static_cast<uint64_t>(std::count(decision.shown.begin(), decision.shown.end(), true));
        mcdc.decisions.push_back(std::move(decision));
    }
    return true;
}

// The source text from line:column to the end (the end column is past the
// text); a span of several lines is cut at its first line's end.
std::string spanText(const std::vector<std::string> &lines, uint64_t line, uint64_t column, uint64_t endLine,
                     uint64_t endColumn)
{
    if (line == 0 || line > lines.size() || column == 0 || column > lines[line - 1].size())
        return "line " + std::to_string(line) + " column " + std::to_string(column);
    const std::string &text = lines[line - 1];
    if (endLine != line || endColumn <= column)
        return text.substr(column - 1) + " ...";
    return text.substr(column - 1, endColumn - column);
}

std::string shownText(uint64_t shown, uint64_t all)
{
    std::string percent = percentText(shown, all);
    return std::to_string(shown) + "/" + std::to_string(all) + " conditions" + (percent.empty() ? "" : " " + percent);
}

struct DecisionText {
    std::string where, text;
    std::vector<std::pair<std::string, bool>> conditions;
};

std::vector<DecisionText> decisionTexts(const Mcdc &mcdc)
{
    std::vector<DecisionText> out;
    std::string readPath;
    std::vector<std::string> lines;
    for (const McdcDecision &decision : mcdc.decisions) {
        if (decision.path != readPath)
            readLines(readPath = decision.path, lines);
        auto file = std::find_if(mcdc.files.begin(), mcdc.files.end(),
                                 [&](const McdcFile &f) { return f.path == decision.path; });
        DecisionText text{file->name + ":" + std::to_string(decision.line),
                          spanText(lines, decision.line, decision.column, decision.endLine, decision.endColumn), {}};
        for (size_t at = 0; at < decision.shown.size(); at++) {
            std::string condition = "condition " + std::to_string(at + 1);
            if (at < decision.conditions.size()) {
                const std::vector<uint64_t> &span = decision.conditions[at];
                condition = spanText(lines, span[0], span[1], span[2], span[3]);
            }
            text.conditions.push_back({condition, decision.shown[at]});
        }
        out.push_back(std::move(text));
    }
    return out;
}

void sortMcdc(Mcdc &mcdc)
{
    std::sort(mcdc.files.begin(), mcdc.files.end(), [](const McdcFile &a, const McdcFile &b) { return a.name < b.name; });
    std::stable_sort(mcdc.decisions.begin(), mcdc.decisions.end(), [](const McdcDecision &a, const McdcDecision &b) {
        return a.path != b.path ? a.path < b.path : !before(b.line, b.column, a.line, a.column);
    });
}

// Adds the totals of the user's files whose copies llvm-cov counted.
bool placeCopies(const std::string &directory, const std::string &arguments, const LlvmTools &tools,
                 const WovenCopies &copies, const CoverageScope &scope, Mcdc &mcdc, std::string &error)
{
    std::string lcov;
    if (!runCaptured(directory, tools.cov, "export -format=lcov " + arguments, lcov, error))
        return false;
    for (const auto &[path, totals] : placedTotals(lcov, copies)) {
        CoverageTotals &out = fileOf(mcdc, path, scope).totals;
        out = {out.lines + totals.lines,         out.linesHit + totals.linesHit,
               out.branches + totals.branches,   out.branchesTaken + totals.branchesTaken,
               out.functions + totals.functions, out.functionsCalled + totals.functionsCalled};
    }
    sortMcdc(mcdc);
    return true;
}

} // namespace

bool parseLlvmCovExport(std::string_view text, const CoverageScope &scope, Mcdc &mcdc, WovenCopies &copies,
                        std::string &error)
{
    std::vector<Json> values;
    if (!parseJsonValues(text, values, error)) {
        error = "llvm-cov's JSON: " + error;
        return false;
    }
    const Json *data = values.size() == 1 ? values[0].member("data") : nullptr;
    if (!data || data->kind != JsonArray) {
        error = "llvm-cov's JSON: no \"data\" list";
        return false;
    }
    for (const Json &export_ : data->items) {
        const Json *files = export_.member("files");
        for (const Json &file : files && files->kind == JsonArray ? files->items : std::vector<Json>())
            if (!readFile(file, scope, mcdc, copies)) {
                error = "llvm-cov's JSON: a file's record is not readable";
                return false;
            }
    }
    sortMcdc(mcdc);
    return true;
}

bool readMcdc(const std::string &profraw, const std::string &harness, const LlvmTools &tools,
              const CoverageScope &scope, Mcdc &mcdc, std::string &error)
{
    char pattern[] = "/tmp/zepreport-XXXXXX";
    const char *base = mkdtemp(pattern);
    if (!base) {
        error = "cannot make a scratch directory for llvm-profdata";
        return false;
    }
    // The tools run in the scratch directory.
    std::string raw = std::filesystem::absolute(profraw).string(), program = std::filesystem::absolute(harness).string();
    std::string ignored, output, arguments = "-instr-profile run.profdata " + shellQuoted(program);
    WovenCopies copies;
    bool good = runCaptured(base, tools.profdata, "merge -sparse " + shellQuoted(raw) + " -o run.profdata", ignored,
                            error) &&
                runCaptured(base, tools.cov, "export -format=text " + arguments, output, error) &&
                parseLlvmCovExport(output, scope, mcdc, copies, error) &&
                (copies.empty() || placeCopies(base, arguments, tools, copies, scope, mcdc, error));
    std::error_code failed;
    std::filesystem::remove_all(base, failed);
    return good;
}

std::string formatMcdcText(const Mcdc &mcdc)
{
    std::string out = "\nCoverage of the code under test (MC/DC):\n";
    size_t width = 5;
    for (const McdcFile &file : mcdc.files)
        width = std::max(width, file.name.size());
    McdcFile total{"", "total", {}, 0, 0};
    for (const McdcFile &file : mcdc.files) {
        out += coverageLine(file.name, width, file.totals);
        out.insert(out.size() - 1, "  " + shownText(file.conditionsShown, file.conditions));
        CoverageTotals &t = total.totals;
        t.lines += file.totals.lines, t.linesHit += file.totals.linesHit;
        t.branches += file.totals.branches, t.branchesTaken += file.totals.branchesTaken;
        t.functions += file.totals.functions, t.functionsCalled += file.totals.functionsCalled;
        total.conditions += file.conditions, total.conditionsShown += file.conditionsShown;
    }
    out += coverageLine("total", width, total.totals);
    out.insert(out.size() - 1, "  " + shownText(total.conditionsShown, total.conditions));
    for (const DecisionText &decision : decisionTexts(mcdc)) {
        uint64_t shown = 0;
        for (const auto &condition : decision.conditions)
            shown += condition.second;
        out += decision.where + ": " + decision.text + ": " + std::to_string(shown) + " of " +
               std::to_string(decision.conditions.size()) + " conditions shown to affect the outcome independently\n";
        for (const auto &[condition, isShown] : decision.conditions)
            out += "  " + condition + ": " + (isShown ? "shown" : "not shown") + "\n";
    }
    return out;
}

std::string addMcdcToPage(const std::string &page, const Mcdc &mcdc)
{
    size_t mainEnd = page.rfind("</main>");
    if (mainEnd == std::string::npos)
        return page;
    std::string section = "<section class=\"coverage\">\n<h2>MC/DC of the code under test</h2>\n<table>\n"
                          "<tr><th>decision</th><th>condition</th><th>shown to affect the outcome "
                          "independently</th></tr>\n";
    for (const DecisionText &decision : decisionTexts(mcdc))
        for (const auto &[condition, shown] : decision.conditions)
            section += "<tr><td>" + xmlEscape(decision.where + ": " + decision.text, false) + "</td><td>" +
                       xmlEscape(condition, false) + "</td><td>" + (shown ? "yes" : "no") + "</td></tr>\n";
    section += "</table>\n</section>\n";
    return page.substr(0, mainEnd) + section + page.substr(mainEnd);
}

} // namespace zepreport
