// The events of the contracts woven into the code under test: how the trace
// reader takes them apart, which elements the run model lets them name, and
// the layout of the state chart picture. What the reports say about them is
// tested end to end (cases/contracts).
#include "report/statechart_svg.h"
#include "report_support.h"

#include <array>
#include <cstdio>

namespace zepreport {
namespace {

TEST(ContractEvents, AreReadFieldByField)
{
    Trace trace;
    std::string error;
    ASSERT_TRUE(parseTrace(testing::head + "VIOLATION ENSURE 1a 0 IN \"A<int>::f\\\"\"\n"
                                           "VIOLATION INVARIANT 2b 0 BEFORE \"A::~A\"\nILLEGAL 3c 0\n"
                                           "MULTIPLE 2dc6c7 0\nTALLY TRANSITION 4d 0 12\n",
                           "run.trace", trace, error))
        << error;
    ASSERT_EQ(trace.events.size(), 5u);
    const Event &ensure = trace.events[0], &invariant = trace.events[1], &tally = trace.events[4];
    EXPECT_EQ(ensure.type, EventType::Violation);
    EXPECT_EQ(ensure.contract, ContractKind::Ensure);
    EXPECT_EQ(ensure.id, 0x1au);
    EXPECT_EQ(ensure.when, ContractWhen::In);
    EXPECT_EQ(ensure.function, "A<int>::f\"");
    EXPECT_EQ(invariant.contract, ContractKind::Invariant);
    EXPECT_EQ(invariant.when, ContractWhen::Before);
    EXPECT_EQ(trace.events[2].type, EventType::Illegal);
    EXPECT_EQ(trace.events[3].type, EventType::Multiple);
    EXPECT_EQ(trace.events[3].id, 0x2dc6c7u);
    EXPECT_EQ(tally.tally, TallyKind::Transition);
    EXPECT_EQ(tally.count, 12u);
    const std::pair<const char *, const char *> refused[] = {
        {"VIOLATION CHECK 1 0 IN \"f\"", "run.trace:4: VIOLATION: the contract kind \"CHECK\" is not known"},
        {"VIOLATION REQUIRE 1 0 DURING \"f\"", "run.trace:4: VIOLATION: the moment \"DURING\" is not known"},
        {"VIOLATION REQUIRE 1 0 IN f", "run.trace:4: VIOLATION: the function must begin with a double quote"},
        {"TALLY PASS 1 0 a", "run.trace:4: TALLY: the count must be a decimal count, not \"a\""},
        {"ILLEGAL 1 3", "run.trace:4: file index 3 was not declared by a FILE line"},
        {"MULTIPLE 1", "run.trace:4: MULTIPLE: the line ends before the file index"},
    };
    for (const auto &[line, message] : refused) {
        EXPECT_FALSE(parseTrace(testing::head + line + "\n", "run.trace", trace, error)) << line;
        EXPECT_EQ(error, message);
    }
}

TEST(ContractEvents, MustNameAnElementOfTheirKind)
{
    const std::pair<const char *, const char *> refused[] = {
        {"VIOLATION REQUIRE 4 0 IN \"f\"", "run.trace:4: element 4h is a CHECK (lift.otd:3), not a REQUIRE"},
        {"ILLEGAL 3 0", "run.trace:4: element 3h is a TEST CASE (lift.otd:2), not a state or the observation "
                        "state of a class"},
        {"TALLY STATE 99 0 1", "run.trace:4: element 99h is not in the records of source file 0 (lift.otd)"},
        {"TALLY PASS 4 0 1", "run.trace:4: element 4h is a CHECK (lift.otd:3), not a contract"},
    };
    for (const auto &[line, message] : refused) {
        auto built = testing::build(std::string(line) + "\n");
        EXPECT_FALSE(built->ok) << line;
        EXPECT_EQ(built->error, message);
    }
}

// x, y, width and height of every box of a picture, or of its view box.
std::vector<std::array<double, 4>> numbersAfter(const std::string &svg, const char *start, const char *format)
{
    std::vector<std::array<double, 4>> found;
    for (size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
        std::array<double, 4> box{};
        if (std::sscanf(svg.c_str() + at, format, &box[0], &box[1], &box[2], &box[3]) == 4)
            found.push_back(box);
    }
    return found;
}

TEST(StateChartPicture, KeepsEveryBoxApartAndInsideThePicture)
{
    RecordSet records;
    std::vector<Element> elements(10);
    ClassChart chart{&records, &elements[0], {}, {}, {}, 0, 0};
    for (size_t count = 1; count < elements.size(); count++) {
        elements[count].text = std::string(count * 3, 'S') + std::to_string(count);
        chart.states.push_back({&elements[count], count % 2, 0, 0});
        std::string svg = stateChartSvg(chart);
        auto view = numbersAfter(svg, "viewBox=", "viewBox=\"%lf %lf %lf %lf\"");
        ASSERT_EQ(view.size(), 1u) << svg;
        double left = view[0][0], top = view[0][1], right = left + view[0][2], bottom = top + view[0][3];
        auto boxes = numbersAfter(svg, "<rect ", "<rect x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"");
        ASSERT_EQ(boxes.size(), count);
        for (size_t a = 0; a < count; a++) {
            auto [x, y, w, h] = boxes[a];
            EXPECT_TRUE(x >= left && y >= top && x + w <= right && y + h <= bottom) << count << " states:\n" << svg;
            for (size_t b = a + 1; b < count; b++)
                EXPECT_TRUE(x + w + 20 < boxes[b][0] || boxes[b][0] + boxes[b][2] + 20 < x ||
                            y + h + 20 < boxes[b][1] || boxes[b][1] + boxes[b][3] + 20 < y)
                    << "boxes " << a << " and " << b << " of " << count << " states meet:\n" << svg;
        }
    }
}

} // namespace
} // namespace zepreport
