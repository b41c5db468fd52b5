// The page is built from the same items and lines as the text report, so
// that both say the same; it only adds the layout, the colours and the
// script lines around failed checks. It is written as well-formed XML as
// well as HTML (the style and script hold no "<" or "&"), so that tools for
// XML can read it too.
#include "report/html.h"
#include "report/contracts.h"
#include "report/statechart_svg.h"
#include "report/lines.h"
#include "report/text.h"
#include "report/textreport.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <fstream>

namespace zepreport {

namespace {

// Script lines shown before and after the line of a failed check.
constexpr uint64_t excerptContext = 2;

const char style[] = R"(body { margin: 0; font: 15px/1.45 system-ui, sans-serif; color: #1f2328; background: #fff; }
header { padding: 14px 24px; border-bottom: 4px solid; }
header.passed { background: #e6f4ea; border-color: #1a7f37; }
header.failed { background: #fdecea; border-color: #b42318; }
h1 { margin: 0 0 6px; font-size: 26px; }
.passed > h1, .passed > summary .verdict, .item.passed > p { color: #1a7f37; }
.failed > h1, .failed > summary .verdict, .item.failed > p { color: #b42318; }
dl { display: grid; grid-template-columns: max-content auto; gap: 2px 16px; margin: 0; }
dt { font-weight: 600; }
dd, dd ul { margin: 0; padding: 0; list-style: none; }
.note { font-weight: 600; margin: 6px 0 0; }
#filter { margin: 8px 0 0; }
main { padding: 12px 24px 32px; }
details { margin: 4px 0; padding-left: 8px; border-left: 4px solid; }
details.passed { border-color: #1a7f37; }
details.failed { border-color: #b42318; }
summary { cursor: pointer; padding: 2px 0; }
.verdict { display: inline-block; min-width: 8.5em; font-size: 13px; font-weight: 700; }
.inside { margin-left: 12px; }
.item { margin: 4px 0 4px 16px; }
.item > p { margin: 0; }
.item.failed > p { font-weight: 600; }
code, pre, td { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 13px; }
pre { margin: 4px 0; padding: 4px 0; overflow-x: auto; background: #f6f8fa; border: 1px solid #d0d7de; }
pre > span { display: block; padding: 0 8px; }
pre > span.here { background: #fdecea; font-weight: 600; }
pre .n { display: inline-block; min-width: 4ch; margin-right: 12px; text-align: right; color: #6e7781; user-select: none; }
table { border-collapse: collapse; margin: 2px 0 2px 16px; }
#classes { margin-top: 24px; border-top: 1px solid #d0d7de; }
h2 { font-size: 20px; margin: 12px 0 4px; }
h3 { font-size: 16px; margin: 16px 0 6px; }
.legend { margin: 0; color: #57606a; }
.chart { display: flex; flex-wrap: wrap; align-items: center; gap: 8px 32px; }
.statechart { display: block; max-width: 100%; height: auto; margin: 8px 0; }
.class ul { margin: 4px 0; padding-left: 20px; }
.class li { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 13px; }
td { padding: 1px 8px; border: 1px solid #d0d7de; }
.failures-only main .passed { display: none; }
)";

// Shows the check box, which has no use without the script, and hides what
// passed while it is ticked.
const char script[] = R"((function () {
  var box = document.getElementById("failures-only");
  document.getElementById("filter").hidden = false;
  box.addEventListener("change", function () {
    document.body.classList.toggle("failures-only", box.checked);
  });
})();
)";

std::string escaped(std::string_view text)
{
    return xmlEscape(text, false);
}

bool componentFailed(const Item &item)
{
    return item.failed || !item.finished;
}

// "passed", "failed" or nothing: the colour of an item that is not a component.
const char *stateOf(const Item &item)
{
    if (item.type == ItemType::Check)
        return item.passed ? " passed" : " failed";
    return item.type == ItemType::Unexpected || item.type == ItemType::Contract ? " failed" : "";
}

const char *classOf(const Item &item)
{
    switch (item.type) {
    case ItemType::Check: return "check";
    case ItemType::Print: return "print";
    case ItemType::Comment: return "comment";
    case ItemType::ErrorHandling:
    case ItemType::Recover: return "handling";
    case ItemType::Unexpected: return "unexpected";
    case ItemType::StubCall: return "stub";
    case ItemType::Contract: return "contract";
    case ItemType::Component: break;
    }
    return "component";
}

class PageWriter {
public:
    PageWriter(const Run &run, const PageSources &sources) : run(run), sources(sources) {}

    std::string write()
    {
        const char *verdict = run.passed() ? "PASSED" : "FAILED";
        const char *state = run.passed() ? "passed" : "failed";
        out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
        out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n";
        out += "<title>" + std::string(verdict) + ": test run " + escaped(oneLine(run.trace->path)) + "</title>\n";
        out += "<style>\n" + std::string(style) + "</style>\n</head>\n<body>\n";
        out += "<header class=\"" + std::string(state) + "\">\n<h1>" + verdict + "</h1>\n";
        writeSummary();
        out += "</header>\n<main>\n";
        if (run.root.children.empty())
            out += "<p>No test component was run.</p>\n";
        for (const auto &child : run.root.children)
            writeItem(*child);
        writeCharts();
        out += "</main>\n<script>\n" + std::string(script) + "</script>\n</body>\n</html>\n";
        return out;
    }

private:
    void term(const char *name, const std::string &value)
    {
        out += "<dt>" + std::string(name) + "</dt><dd>" + value + "</dd>\n";
    }

    void writeSummary()
    {
        const Counts &counts = run.counts;
        std::string cases = std::to_string(counts.cases) + ": " + std::to_string(counts.casesPassed) + " passed, " +
                            std::to_string(counts.casesFailed) + " failed";
        if (counts.casesUnfinished)
            cases += ", " + std::to_string(counts.casesUnfinished) + " not finished";
        out += "<dl>\n";
        term("Test cases", cases);
        term("Checks", std::to_string(counts.checks) + ": " + std::to_string(counts.checksPassed) + " passed, " +
                           std::to_string(counts.checksFailed) + " failed");
        if (counts.unexpected)
            term("Unexpected exceptions", std::to_string(counts.unexpected));
        term("Run", (sources.runDate.empty() ? std::string() : escaped(sources.runDate) + ", ") + "trace " +
                        escaped(oneLine(run.trace->path)));
        std::string scripts = "<ul>";
        for (const RecordSet &records : *run.records)
            scripts += "<li>" + escaped(oneLine(records.source)) + "</li>";
        term("Scripts", scripts + "</ul>");
        writeChartSummary();
        out += "</dl>\n";
        std::string notes = runNotes(run);
        for (size_t begin = 0, end; (end = notes.find('\n', begin)) != std::string::npos; begin = end + 1)
            out += "<p class=\"note\">" + escaped(notes.substr(begin, end - begin)) + "</p>\n";
        out += "<p id=\"filter\" hidden=\"hidden\"><label><input type=\"checkbox\" id=\"failures-only\"/> "
               "Show failures only</label></p>\n";
    }

    void writeItem(const Item &item)
    {
        if (!itemShown(item))
            return;
        if (item.type == ItemType::Component) {
            writeComponent(item);
            return;
        }
        out += "<div class=\"item " + std::string(classOf(item)) + stateOf(item) + "\">\n<p>" +
               escaped(itemText(item)) + "</p>\n";
        if ((item.type == ItemType::Check && !item.passed) || item.type == ItemType::Contract)
            writeExcerpt(item);
        if (!item.values.empty()) {
            out += "<table>\n";
            for (const auto &[expression, value] : item.values)
                out += "<tr><td>" + escaped(oneLine(trimmed(expression))) + "</td><td>" + escaped(visible(value)) +
                       "</td></tr>\n";
            out += "</table>\n";
        }
        writeChildren(item);
        out += "</div>\n";
    }

    // Failed branches open, passed ones closed.
    void writeComponent(const Item &item)
    {
        bool failed = componentFailed(item);
        out += std::string("<details class=\"") + (failed ? "failed\" open=\"open\">" : "passed\">") +
               "\n<summary><span class=\"verdict\">" + verdictText(item) + "</span> " +
               escaped(componentTitle(item)) + "</summary>\n";
        writeChildren(item);
        out += "</details>\n";
    }

    void writeChildren(const Item &item)
    {
        if (std::none_of(item.children.begin(), item.children.end(),
                         [](const auto &child) { return itemShown(*child); }))
            return;
        out += "<div class=\"inside\">\n";
        for (const auto &child : item.children)
            writeItem(*child);
        out += "</div>\n";
    }

    // How much of the state charts the run reached, linked to the pictures.
    void writeChartSummary()
    {
        if (run.charts.empty())
            return;
        size_t states = 0, entered = 0, transitions = 0, fired = 0;
        for (const ClassChart &chart : run.charts) {
            states += chart.states.size();
            transitions += chart.transitions.size();
            for (const ChartState &state : chart.states)
                entered += state.entered != 0;
            for (const ChartTransition &transition : chart.transitions)
                fired += transition.fired != 0;
        }
        term("Classes", "<a href=\"#classes\">" + std::to_string(run.charts.size()) + "</a>: " +
                            std::to_string(entered) + " of " + std::to_string(states) + " states entered, " +
                            std::to_string(fired) + " of " + std::to_string(transitions) + " transitions fired");
    }

    // Each class of the contract scripts: its state chart as a picture and
    // the lines of the text report beside it.
    void writeCharts()
    {
        if (run.charts.empty())
            return;
        out += "<section id=\"classes\">\n<h2>Classes and state charts</h2>\n"
               "<p class=\"legend\">Green: entered or fired; grey and dashed: never reached; red: an illegal or "
               "multiple transition, which leaves the object in no state.</p>\n";
        for (const ClassChart &chart : run.charts) {
            out += "<div class=\"class\">\n<h3>" + escaped(chartTitle(chart)) + "</h3>\n<div class=\"chart\">\n" +
                   stateChartSvg(chart) + "<ul>\n";
            for (const std::string &line : chartLines(chart))
                out += "<li>" + escaped(line) + "</li>\n";
            out += "</ul>\n</div>\n</div>\n";
        }
        out += "</section>\n";
    }

    void writeExcerpt(const Item &item)
    {
        size_t index = static_cast<size_t>(item.records - run.records->data());
        if (index >= sources.scripts.size())
            return;
        const std::vector<std::string> &lines = sources.scripts[index];
        uint64_t line = item.element->line;
        if (line == 0 || line > lines.size())
            return;
        uint64_t first = line > excerptContext ? line - excerptContext : 1;
        uint64_t last = std::min<uint64_t>(lines.size(), line + excerptContext);
        out += "<pre title=\"" + xmlEscape(oneLine(item.records->source), true) + "\">";
        for (uint64_t at = first; at <= last; at++)
            out += std::string(at == line ? "<span class=\"here\">" : "<span>") + "<span class=\"n\">" +
                   std::to_string(at) + "</span>" + escaped(lines[at - 1]) + "\n</span>";
        out += "</pre>\n";
    }

    const Run &run;
    const PageSources &sources;
    std::string out;
};

// The lines of a script, without their line ends; none when it cannot be
// read whole.
std::vector<std::string> readScript(const std::string &path)
{
    std::vector<std::string> lines;
    readLines(path, lines);
    return lines;
}

std::string modificationTime(const std::string &path)
{
    struct stat status;
    struct tm local;
    char text[64];
    if (stat(path.c_str(), &status) != 0 || localtime_r(&status.st_mtime, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local) == 0)
        return "";
    return text;
}

} // namespace

PageSources readPageSources(const Run &run)
{
    PageSources sources;
    sources.runDate = modificationTime(run.trace->path);
    for (const RecordSet &records : *run.records)
        sources.scripts.push_back(readScript(records.source));
    return sources;
}

std::string formatHtml(const Run &run, const PageSources &sources)
{
    return PageWriter(run, sources).write();
}

} // namespace zepreport
