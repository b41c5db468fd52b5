// The HTML page on hand-written traces of lift.otd (report_support.h): what
// each part of the page holds, escaping, and the script excerpts.
#include "report/html.h"
#include "report_support.h"

namespace zepreport {
namespace {

// Up passes; Down fails its check of line 16, whose text holds < and ",
// and prints a value that looks like markup.
const std::string mixedRun = "ENTER CLASS 2 0 2 0\n"
                             "ENTER CASE 3 0 3 0\n"
                             "CHECK EXPRESSION PASS 4 0\n"
                             "LEAVE CASE\n"
                             "ENTER SUITE f 0 f 0\n"
                             "ENTER CASE 10 0 10 0\n"
                             "CHECK EXPRESSION FAIL 11 0\n"
                             "PRINT 5 0\n"
                             "VALUE \"x\" \"<b>&amp;\\\"\\n\"\n"
                             "PRINTED\n"
                             "LEAVE CASE\n"
                             "LEAVE SUITE\n"
                             "LEAVE CLASS\n"
                             "END 2 1 2 1\n";

std::vector<std::string> liftScript()
{
    std::vector<std::string> lines(20, "   // ...");
    lines[13] = "   TEST SUITE Basic {";
    lines[14] = "      TEST CASE Down {";
    lines[15] = "         CHECK (x < \"a\\b\");";
    lines[16] = "      }";
    return lines;
}

struct PageCase {
    const char *name;
    std::string events;
    bool scriptReadable;
    std::vector<std::string> present, absent;
};

TEST(HtmlPage, ShowsSummaryTreeExcerptsAndEscapesEveryText)
{
    const std::string failedCheck = "<p>lift.otd:16: CHECK failed: (x &lt; &quot;a\\b&quot;)</p>\n";
    const std::string excerpt = "<pre title=\"/src/lift.otd\">"
                                "<span><span class=\"n\">14</span>   TEST SUITE Basic {\n</span>"
                                "<span><span class=\"n\">15</span>      TEST CASE Down {\n</span>"
                                "<span class=\"here\"><span class=\"n\">16</span>         CHECK (x &lt; "
                                "&quot;a\\b&quot;);\n</span>"
                                "<span><span class=\"n\">17</span>      }\n</span>"
                                "<span><span class=\"n\">18</span>   // ...\n</span></pre>\n";
    const PageCase cases[] = {
        {"failed run",
         mixedRun,
         true,
         {"<title>FAILED: test run run.trace</title>", "<header class=\"failed\">\n<h1>FAILED</h1>\n",
          "<dt>Test cases</dt><dd>2: 1 passed, 1 failed</dd>\n", "<dt>Checks</dt><dd>2: 1 passed, 1 failed</dd>\n",
          "<dt>Run</dt><dd>2026-01-02 03:04:05 +0000, trace run.trace</dd>\n",
          "<dt>Scripts</dt><dd><ul><li>/src/lift.otd</li></ul></dd>\n",
          "<details class=\"failed\" open=\"open\">\n<summary><span class=\"verdict\">FAILED</span> TEST CLASS Lift "
          "(lift.otd:1)</summary>\n<div class=\"inside\">\n<details class=\"passed\">\n<summary><span "
          "class=\"verdict\">PASSED</span> TEST CASE Up (lift.otd:2)</summary>\n</details>\n",
          "<details class=\"failed\" open=\"open\">\n<summary><span class=\"verdict\">FAILED</span> TEST CASE Down "
          "(lift.otd:15)</summary>\n<div class=\"inside\">\n<div class=\"item check failed\">\n" + failedCheck + excerpt,
          "<div class=\"item print\">\n<p>lift.otd:4: PRINT (&quot;x&quot;, x)</p>\n"
          "<table>\n<tr><td>x</td><td>&lt;b&gt;&amp;amp;&quot;\\n</td></tr>\n</table>\n",
          "<p id=\"filter\" hidden=\"hidden\"><label><input type=\"checkbox\" id=\"failures-only\"/>",
          "document.body.classList.toggle(\"failures-only\", box.checked);"},
         {"<b>", "href=", "src=", "url(", "@import", "http"}},
        {"script not readable", mixedRun, false, {failedCheck}, {"<pre"}},
        {"passed run",
         "ENTER CASE 3 0 3 0\nCHECK STUB PASS 9 0\nLEAVE CASE\nEND 1 0 1 0\n",
         true,
         {"<header class=\"passed\">\n<h1>PASSED</h1>\n",
          "<details class=\"passed\">\n<summary><span class=\"verdict\">PASSED</span> TEST CASE Up",
          "<div class=\"item check passed\">\n<p>lift.otd:6: CHECK STUB passed: open (called)</p>\n</div>\n"},
         {"open=\"open\"", "<pre"}},
        {"crashed run",
         "ENTER CASE 3 0 3 0\nCHECK EXPRESSION FAIL 4 0\n",
         true,
         {"<dd>1: 0 passed, 0 failed, 1 not finished</dd>",
          "<details class=\"failed\" open=\"open\">\n<summary><span class=\"verdict\">NOT FINISHED</span> TEST CASE Up",
          "<p class=\"note\">The run did not finish: the trace ends after line 5 without END.</p>\n",
          // Line 3 of the script is near its top: the excerpt begins at line 1.
          "<pre title=\"/src/lift.otd\"><span><span class=\"n\">1</span>"},
         {}},
    };
    for (const PageCase &test : cases) {
        SCOPED_TRACE(test.name);
        auto built = testing::build(test.events);
        ASSERT_TRUE(built->ok) << built->error;
        PageSources sources;
        sources.runDate = "2026-01-02 03:04:05 +0000";
        sources.scripts.push_back(test.scriptReadable ? liftScript() : std::vector<std::string>());
        std::string page = formatHtml(built->run, sources);
        EXPECT_EQ(page.compare(0, 40, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"), 0);
        EXPECT_EQ(page.substr(page.size() - 26), "</script>\n</body>\n</html>\n");
        for (const std::string &text : test.present)
            EXPECT_NE(page.find(text), std::string::npos) << "missing: " << text << "\n" << page;
        for (const std::string &text : test.absent)
            EXPECT_EQ(page.find(text), std::string::npos) << "present: " << text;
    }
}

} // namespace
} // namespace zepreport
