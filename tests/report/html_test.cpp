// The HTML page on hand-written traces of lift.otd (report_support.h):
// escaping, the summary and the script excerpts of failed checks.
#include "report/html.h"
#include "report_support.h"

namespace zepreport {
namespace {

TEST(HtmlPage, EscapesTextsAndShowsScriptLinesAroundFailedChecks)
{
    // Down fails its check of line 16, whose text holds < and ", and
    // prints a value that looks like markup.
    const std::string failedDown = "ENTER SUITE f 0 f 0\nENTER CASE 10 0 10 0\nCHECK EXPRESSION FAIL 11 0\n"
                                   "PRINT 5 0\nVALUE \"x\" \"<b>&amp;\\\"\\n\"\nPRINTED\nLEAVE CASE\nLEAVE SUITE\n"
                                   "END 1 1 1 1\n";
    const std::string check = "<p>lift.otd:16: CHECK failed: (x &lt; &quot;a\\b&quot;)</p>\n";
    const struct {
        std::string events;
        bool readable;
        std::vector<std::string> present;
    } cases[] = {
        {failedDown,
         true,
         {"<dt>Checks</dt><dd>1: 0 passed, 1 failed</dd>\n", "<dt>Run</dt><dd>2026-01-02 03:04, trace run.trace</dd>",
          "<li>/src/lift.otd</li>", "<tr><td>x</td><td>&lt;b&gt;&amp;amp;&quot;\\n</td></tr>\n",
          check + "<pre title=\"/src/lift.otd\"><span><span class=\"n\">14</span>line 14\n</span><span><span "
                  "class=\"n\">15</span>line 15\n</span><span class=\"here\"><span class=\"n\">16</span>x &lt; "
                  "&amp;\n</span><span><span class=\"n\">17</span>line 17\n</span></pre>\n"}},
        {failedDown, false, {check + "</div>\n"}},
        // Not finished, so open; line 3 is near the top of the script.
        {"ENTER CASE 3 0 3 0\nCHECK EXPRESSION FAIL 4 0\n",
         true,
         {"<details class=\"failed\" open=\"open\">\n<summary><span class=\"verdict\">NOT FINISHED</span> TEST CASE Up",
          "<p class=\"note\">The run did not finish: the trace ends after line 5 without END.</p>\n",
          "<pre title=\"/src/lift.otd\"><span><span class=\"n\">1</span>line 1\n</span><span><span "
          "class=\"n\">2</span>"}},
    };
    for (const auto &test : cases) {
        auto built = testing::build(test.events);
        ASSERT_TRUE(built->ok) << built->error;
        PageSources sources{"2026-01-02 03:04", {{}}};
        if (test.readable)
            sources.scripts[0] = {"line 1", "line 2", "line 3", "", "", "", "", "", "", "", "", "", "", "line 14",
                                  "line 15", "x < &", "line 17"};
        std::string page = formatHtml(built->run, sources);
        for (const std::string &text : test.present)
            EXPECT_NE(page.find(text), std::string::npos) << "missing: " << text << "\n" << page;
        EXPECT_EQ(page.find("<b>"), std::string::npos);
        EXPECT_EQ(page.find("http"), std::string::npos) << "the page names something on the network";
    }
}

} // namespace
} // namespace zepreport
