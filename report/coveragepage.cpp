// The coverage parts are put into the page that formatHtml wrote, at its
// two fixed places (the end of the header and the end of the main part), so
// that a page without coverage stays exactly as it was.
#include "report/coveragepage.h"
#include "report/coveragereport.h"
#include "report/lines.h"
#include "report/text.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace zepreport {

namespace {

const char style[] = R"(<style>
.coverage-band { float: right; margin: 0 0 0 24px; padding: 6px 12px; border-left: 4px solid #0969da; background: #f6f8fa; }
.coverage-band h2, .coverage h2 { margin: 0 0 4px; font-size: 18px; }
.coverage h3 { font-size: 16px; margin: 12px 0 4px; }
.coverage td.r { text-align: right; }
.coverage th { padding: 1px 8px; text-align: left; }
.listing > span.miss { background: #fdecea; }
.listing > span.part { background: #fff8c5; }
.listing .c { display: inline-block; min-width: 7ch; margin-right: 8px; text-align: right; color: #6e7781; }
.reach { margin: 2px 0 2px 12px; font-size: 13px; color: #0969da; }
.reach > span { font-weight: 600; margin-right: 6px; }
.reach > div { display: inline; margin-right: 12px; }
.listing .by { margin-left: 16px; color: #0969da; font-family: system-ui, sans-serif; font-size: 12px; }
</style>
)";

std::string escaped(std::string_view text)
{
    return xmlEscape(text, false);
}

std::string anchor(size_t file)
{
    return "cov-" + std::to_string(file);
}

void writeBand(std::string &out, const Coverage &coverage)
{
    CoverageTotals totals = coverageTotals(coverage);
    out += "<aside class=\"coverage-band\">\n<h2>Coverage</h2>\n<dl>\n";
    out += "<dt>lines</dt><dd>" + std::to_string(totals.linesHit) + "/" + std::to_string(totals.lines) + " " +
           percentText(totals.linesHit, totals.lines) + "</dd>\n";
    out += "<dt>branches</dt><dd>" + std::to_string(totals.branchesTaken) + "/" + std::to_string(totals.branches) +
           " " + percentText(totals.branchesTaken, totals.branches) + "</dd>\n";
    out += "<dt>functions</dt><dd>" + std::to_string(totals.functionsCalled) + "/" +
           std::to_string(totals.functions) + "</dd>\n</dl>\n</aside>\n";
}

void writeTable(std::string &out, const Coverage &coverage)
{
    out += "<table>\n<tr><th>source file</th><th>lines</th><th>%</th><th>branches</th><th>%</th>"
           "<th>functions</th></tr>\n";
    for (size_t at = 0; at < coverage.files.size(); at++) {
        const FileCoverage &file = coverage.files[at];
        CoverageTotals t = fileTotals(file);
        out += "<tr><td><a href=\"#" + anchor(at) + "\">" + escaped(file.name) + "</a></td><td class=\"r\">" +
               std::to_string(t.linesHit) + "/" + std::to_string(t.lines) + "</td><td class=\"r\">" +
               percentText(t.linesHit, t.lines) + "</td><td class=\"r\">" + std::to_string(t.branchesTaken) + "/" +
               std::to_string(t.branches) + "</td><td class=\"r\">" + percentText(t.branchesTaken, t.branches) +
               "</td><td class=\"r\">" + std::to_string(t.functionsCalled) + "/" + std::to_string(t.functions) +
               "</td></tr>\n";
    }
    out += "</table>\n";
}

std::string readerList(const LineCoverage &line, const std::vector<std::string> &names)
{
    std::string list;
    for (uint64_t bucket : line.buckets)
        list.append(list.empty() ? "" : ", ").append(bucket < names.size() ? names[bucket] : std::to_string(bucket));
    return list;
}

// One line of the listing: its count ("1 of 2" taken branches after it when
// some were not), its text and who reached it.
std::string listingLine(uint64_t number, const std::string &text, const LineCoverage *line,
                        const std::vector<std::string> &names)
{
    std::string state, count, by;
    if (line) {
        state = line->hits == 0 ? " class=\"miss\"" : line->branchesTaken < line->branches ? " class=\"part\"" : "";
        count = std::to_string(line->hits);
        if (line->branchesTaken < line->branches)
            by = std::to_string(line->branchesTaken) + " of " + std::to_string(line->branches) + " branches";
        std::string list = readerList(*line, names);
        if (!list.empty())
            by += (by.empty() ? "" : "; ") + list;
    }
    return "<span" + state + "><span class=\"n\">" + std::to_string(number) + "</span><span class=\"c\">" + count +
           "</span>" + escaped(text) + (by.empty() ? "" : "<span class=\"by\">" + escaped(by) + "</span>") +
           "\n</span>";
}

void writeListing(std::string &out, const FileCoverage &file, size_t at, const std::vector<std::string> &names)
{
    out += "<details id=\"" + anchor(at) + "\" open=\"open\"><summary>" + escaped(file.name) + "</summary>\n";
    std::vector<std::string> text;
    if (!readLines(file.path, text)) {
        out += "<p>Source not found: <code>" + escaped(file.path) + "</code></p>\n</details>\n";
        return;
    }
    std::map<uint64_t, const LineCoverage *> byNumber;
    for (const LineCoverage &line : file.lines)
        byNumber[line.number] = &line;
    out += "<pre class=\"listing\">";
    for (size_t number = 1; number <= text.size(); number++) {
        auto found = byNumber.find(number);
        out += listingLine(number, text[number - 1], found == byNumber.end() ? nullptr : found->second, names);
    }
    out += "</pre>\n</details>\n";
}

// What a bucket reached in each file, and what no other bucket reached,
// as "<div>file: ranges</div>" each; empty when nothing.
void bucketReach(const Coverage &coverage, uint64_t bucket, std::string &covered, std::string &only)
{
    for (const FileCoverage &file : coverage.files) {
        std::vector<uint64_t> all, alone;
        for (const LineCoverage &line : file.lines)
            if (std::find(line.buckets.begin(), line.buckets.end(), bucket) != line.buckets.end()) {
                all.push_back(line.number);
                if (line.buckets.size() == 1)
                    alone.push_back(line.number);
            }
        if (!all.empty())
            covered += "<div>" + escaped(file.name) + ": " + lineRanges(all) + "</div>";
        if (!alone.empty())
            only += "<div>" + escaped(file.name) + ": " + lineRanges(alone) + "</div>";
    }
}

void writeCases(std::string &out, const Coverage &coverage, const std::vector<std::string> &names)
{
    out += "<h3>What each test case covered</h3>\n<table>\n<tr><th>test case</th><th>covered</th>"
           "<th>only it covered</th></tr>\n";
    for (size_t bucket = 0; bucket < names.size(); bucket++) {
        std::string covered, only;
        bucketReach(coverage, bucket, covered, only);
        out += "<tr><td>" + escaped(names[bucket]) + "</td><td>" + (covered.empty() ? "nothing" : covered) +
               "</td><td>" + (only.empty() ? "nothing" : only) + "</td></tr>\n";
    }
    out += "</table>\n";
}

// Under each TEST CASE of the tree (which lists them in the order they
// were entered, as the buckets are numbered): what it covered.
std::string markTestCases(const std::string &page, const Coverage &coverage)
{
    const std::string title = "</span> TEST CASE ", end = "</summary>\n";
    std::string out;
    size_t from = 0;
    uint64_t bucket = 0;
    for (size_t at; (at = page.find(title, from)) != std::string::npos;) {
        size_t after = page.find(end, at);
        if (after == std::string::npos)
            break;
        after += end.size();
        std::string covered, only;
        bucketReach(coverage, ++bucket, covered, only);
        out += page.substr(from, after - from) + "<div class=\"reach\"><span>covered:</span>" +
               (covered.empty() ? "nothing" : covered) + "<span>only it:</span>" + (only.empty() ? "nothing" : only) +
               "</div>\n";
        from = after;
    }
    return out + page.substr(from);
}

} // namespace

std::string lineRanges(const std::vector<uint64_t> &lines)
{
    std::string out;
    for (size_t at = 0; at < lines.size();) {
        size_t end = at;
        while (end + 1 < lines.size() && lines[end + 1] == lines[end] + 1)
            end++;
        out += (out.empty() ? "" : ", ") + std::to_string(lines[at]);
        if (end > at)
            out.append("-").append(std::to_string(lines[end]));
        at = end + 1;
    }
    return out;
}

std::string addCoverageToPage(const std::string &page, const Coverage &coverage,
                              const std::vector<std::string> &names)
{
    // The band floats at the top of the header, beside the verdict.
    size_t headEnd = page.find("</head>"), header = page.find("<header"), mainEnd = page.rfind("</main>");
    size_t headerEnd = header == std::string::npos ? header : page.find(">", header);
    if (headEnd == std::string::npos || headerEnd == std::string::npos || mainEnd == std::string::npos)
        return page;
    headerEnd++;
    std::string band, body = "<section class=\"coverage\">\n<h2>Coverage of the code under test</h2>\n";
    writeBand(band, coverage);
    writeTable(body, coverage);
    for (size_t at = 0; at < coverage.files.size(); at++)
        writeListing(body, coverage.files[at], at, names);
    writeCases(body, coverage, names);
    body += "</section>\n";
    return page.substr(0, headEnd) + style + page.substr(headEnd, headerEnd - headEnd) + band +
           markTestCases(page.substr(headerEnd, mainEnd - headerEnd), coverage) + body + page.substr(mainEnd);
}

} // namespace zepreport
