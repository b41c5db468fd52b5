// The picture of a class's state chart as SVG text. The states stand on a
// circle (two side by side, one alone in the middle), so that every
// transition is a line between two boxes that crosses no third box; two
// transitions between the same states bend to either side, and an
// illegal or multiple transition is a red arrow from the state it left out
// to a "no state" mark. Lengths are in pixels; the texts are monospace, so
// their widths are known without a font.
#include "report/statechart_svg.h"
#include "report/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zepreport {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double nameWidth = 7.9, countWidth = 6.7;  // advance of a character at 13px and 11px
constexpr double boxHeight = 42, arrowGap = 3;
const char green[] = "#1a7f37", grey[] = "#8c959f", red[] = "#b42318";

struct Point {
    double x = 0, y = 0;
};

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
Point operator*(Point a, double k) { return {a.x * k, a.y * k}; }

Point unit(Point a)
{
    double length = std::hypot(a.x, a.y);
    return length == 0 ? Point{0, -1} : a * (1 / length);
}

Point turned(Point direction, double degrees)
{
    double angle = degrees * pi / 180, c = std::cos(angle), s = std::sin(angle);
    return {direction.x * c - direction.y * s, direction.x * s + direction.y * c};
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string at(Point point)
{
    return number(point.x) + " " + number(point.y);
}

struct Box {
    Point centre;
    double width = 0;
    Point outward;  // away from the middle of the chart
};

class ChartDrawing {
public:
    explicit ChartDrawing(const ClassChart &chart) : chart(chart) {}

    std::string draw()
    {
        placeStates();
        for (const ChartTransition &transition : chart.transitions)
            drawTransition(transition);
        for (size_t state = 0; state < chart.states.size(); state++)
            drawState(state);
        drawBeforeAnyState();
        std::string name = xmlEscape(className(*chart.element), true);
        double width = right - left + 16, height = bottom - top + 16;
        return "<svg class=\"statechart\" viewBox=\"" + number(left - 8) + " " + number(top - 8) + " " +
               number(width) + " " + number(height) + "\" width=\"" + number(width) + "\" height=\"" +
               number(height) + "\" role=\"img\" aria-label=\"State chart of " + name +
               "\" font-family=\"DejaVu Sans Mono, Menlo, Consolas, monospace\">\n<title>State chart of " + name +
               "</title>\n" + body + "</svg>\n";
    }

private:
    void include(Point point)
    {
        left = std::min(left, point.x), right = std::max(right, point.x);
        top = std::min(top, point.y), bottom = std::max(bottom, point.y);
    }

    // A text whose extent counts for the size of the picture; anchor is
    // "start", "middle" or "end".
    void text(Point point, const std::string &content, double size, const char *anchor, const char *colour,
              const char *extra = "")
    {
        double width = (size > 12 ? nameWidth : countWidth) * static_cast<double>(content.size());
        double from = anchor[0] == 's' ? 0 : anchor[0] == 'm' ? width / 2 : width;
        include({point.x - from, point.y - size});
        include({point.x - from + width, point.y + 4});
        body += "<text x=\"" + number(point.x) + "\" y=\"" + number(point.y) + "\" font-size=\"" + number(size) +
                "\" text-anchor=\"" + anchor + "\" fill=\"" + colour + "\"" + extra +
                " paint-order=\"stroke\" stroke=\"#fff\" stroke-width=\"3\">" + xmlEscape(content, false) +
                "</text>\n";
    }

    void title(const std::string &content) { body += "<title>" + xmlEscape(content, false) + "</title>\n"; }

    // Circle big enough that neighbours keep the widest box and a label
    // between them.
    void placeStates()
    {
        size_t count = chart.states.size();
        double widest = 0;
        for (const ChartState &state : chart.states) {
            double width = std::max(nameWidth * static_cast<double>(oneLine(state.element->text).size()),
                                    countWidth * 13) + 24;
            boxes.push_back({{}, width, {0, -1}});
            widest = std::max(widest, width);
        }
        double radius = 0;
        if (count > 1)
            radius = std::max(120.0, (widest + 80) / (2 * std::sin(pi / static_cast<double>(count))));
        for (size_t at = 0; at < count; at++) {
            double angle = count == 2 ? pi * (1 - static_cast<double>(at))
                                      : -pi / 2 + 2 * pi * static_cast<double>(at) / static_cast<double>(count);
            Point outward{std::cos(angle), std::sin(angle)};
            boxes[at].centre = outward * radius;
            boxes[at].outward = count < 2 ? Point{0, -1} : outward;
            include(boxes[at].centre - Point{boxes[at].width / 2, boxHeight / 2});
            include(boxes[at].centre + Point{boxes[at].width / 2, boxHeight / 2});
        }
    }

    // Where a ray from the box's centre in direction leaves the box.
    Point edge(const Box &box, Point direction) const
    {
        double tx = direction.x == 0 ? 1e9 : (box.width / 2) / std::fabs(direction.x);
        double ty = direction.y == 0 ? 1e9 : (boxHeight / 2) / std::fabs(direction.y);
        return box.centre + direction * (std::min(tx, ty) + arrowGap);
    }

    void arrowHead(Point tip, Point direction, const char *colour)
    {
        Point back = tip - direction * 10, side = Point{-direction.y, direction.x} * 4.5;
        include(tip);
        body += "<path d=\"M" + at(tip) + " L" + at(back + side) + " L" + at(back - side) + " Z\" fill=\"" + colour +
                "\"/>\n";
    }

    bool reverseExists(const ChartTransition &transition) const
    {
        return std::any_of(chart.transitions.begin(), chart.transitions.end(), [&](const ChartTransition &other) {
            return other.from == transition.to && other.to == transition.from;
        });
    }

    // A line from one box to another, or a curve when the states have
    // transitions both ways; the number of times it fired beside its middle.
    // The translator refuses a transition from a state to itself.
    void drawTransition(const ChartTransition &transition)
    {
        if (transition.from == noState || transition.to == noState)
            return;
        bool fired = transition.fired != 0;
        const char *colour = fired ? green : grey;
        const Box &from = boxes[transition.from], &to = boxes[transition.to];
        Point along = unit(to.centre - from.centre), normal{-along.y, along.x};
        Point middle = (from.centre + to.centre) * 0.5 + normal * (reverseExists(transition) ? 44 : 0);
        Point start = edge(from, unit(middle - from.centre)), end = edge(to, unit(middle - to.centre));
        Point label = (start + middle * 6 + end) * 0.125 + normal * 11;
        include((start + middle) * 0.5);
        include((end + middle) * 0.5);
        body += "<g class=\"transition " + std::string(fired ? "fired" : "never") + "\">\n";
        title("TRANSITION " + oneLine(transition.element->text) + ": " +
              (fired ? "fired " + timesText(transition.fired) : std::string("never fired")));
        body += "<path d=\"M" + at(start) + " C" + at(middle) + " " + at(middle) + " " + at(end) +
                "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" + (fired ? "2" : "1.3") + "\"" +
                (fired ? "" : " stroke-dasharray=\"5 4\"") + "/>\n";
        arrowHead(end, unit(end - middle), colour);
        if (fired)
            text(label, std::to_string(transition.fired) + "\xc3\x97", 11, "middle", colour, " font-weight=\"700\"");
        body += "</g>\n";
    }

    void drawState(size_t index)
    {
        const ChartState &state = chart.states[index];
        const Box &box = boxes[index];
        bool entered = state.entered != 0;
        std::string name = oneLine(state.element->text);
        Point corner = box.centre - Point{box.width / 2, boxHeight / 2};
        body += "<g class=\"state " + std::string(entered ? "entered" : "never") + "\">\n";
        title("STATE " + name + ": " + (entered ? "entered " + timesText(state.entered) : "never entered"));
        body += "<rect x=\"" + number(corner.x) + "\" y=\"" + number(corner.y) + "\" width=\"" + number(box.width) +
                "\" height=\"" + number(boxHeight) + "\" rx=\"10\" fill=\"" + (entered ? "#e6f4ea" : "#f6f8fa") +
                "\" stroke=\"" + (entered ? green : grey) + "\" stroke-width=\"" + (entered ? "2" : "1.3") + "\"" +
                (entered ? "" : " stroke-dasharray=\"5 4\"") + "/>\n";
        text(box.centre + Point{0, -3}, name, 13, "middle", entered ? "#1f2328" : "#6e7781", " font-weight=\"700\"");
        std::string times = entered ? "entered " + std::to_string(state.entered) + "\xc3\x97" : "never entered";
        text(box.centre + Point{0, 13}, times, 11, "middle", entered ? green : "#6e7781");
        body += "</g>\n";
        if (state.illegal)
            drawNoState(edge(box, turned(box.outward, 10)), turned(box.outward, 10),
                        "illegal " + std::to_string(state.illegal) + "\xc3\x97",
                        "ILLEGAL TRANSITION from state " + name + ": " + timesText(state.illegal));
        if (state.multiple)
            drawNoState(edge(box, turned(box.outward, 50)), turned(box.outward, 50),
                        "multiple " + std::to_string(state.multiple) + "\xc3\x97",
                        "MULTIPLE TRANSITIONS from state " + name + ": " + timesText(state.multiple));
    }

    // A red arrow from start in direction to a crossed circle: the object
    // was left in no state.
    void drawNoState(Point start, Point direction, const std::string &label, const std::string &hint)
    {
        Point mark = start + direction * 52;
        body += "<g class=\"nostate\">\n";
        title(hint);
        body += "<path d=\"M" + at(start) + " L" + at(mark - direction * 9) + "\" stroke=\"" + red +
                "\" stroke-width=\"2\" fill=\"none\"/>\n";
        arrowHead(mark - direction * 8, direction, red);
        Point slash = Point{0.7, -0.7} * 7;
        body += "<circle cx=\"" + number(mark.x) + "\" cy=\"" + number(mark.y) + "\" r=\"7\" fill=\"#fff\" stroke=\"" +
                red + "\" stroke-width=\"2\"/>\n<path d=\"M" + at(mark - slash) + " L" + at(mark + slash) +
                "\" stroke=\"" + red + "\" stroke-width=\"2\"/>\n";
        include(mark - Point{8, 8});
        include(mark + Point{8, 8});
        const char *anchor = direction.x > 0.35 ? "start" : direction.x < -0.35 ? "end" : "middle";
        Point place = mark + direction * 13 + Point{0, direction.y > 0.35 ? 10.0 : direction.y < -0.35 ? -2.0 : 4.0};
        text(place, label, 11, anchor, red, " font-weight=\"700\"");
        body += "</g>\n";
    }

    // Transitions that failed before the first state was known start at a
    // black dot above the chart.
    void drawBeforeAnyState()
    {
        const struct {
            uint64_t count;
            const char *word, *kind;
        } failures[] = {{chart.illegalBefore, "illegal", "ILLEGAL TRANSITION"},
                        {chart.multipleBefore, "multiple", "MULTIPLE TRANSITIONS"}};
        double y = top - 24;
        for (const auto &failure : failures) {
            if (failure.count == 0)
                continue;
            Point dot{left + 8, y};
            body += "<circle cx=\"" + number(dot.x) + "\" cy=\"" + number(dot.y) + "\" r=\"6\" fill=\"#1f2328\"/>\n";
            include(dot - Point{8, 8});
            drawNoState(dot + Point{9, 0}, {1, 0},
                        std::string(failure.word) + " " + std::to_string(failure.count) + "\xc3\x97 before any state",
                        std::string(failure.kind) + " before any state of " + className(*chart.element) + ": " +
                            timesText(failure.count));
            y -= 28;
        }
    }

    const ClassChart &chart;
    std::vector<Box> boxes;
    std::string body;
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
};

} // namespace

std::string stateChartSvg(const ClassChart &chart)
{
    if (chart.states.empty())
        return "";
    return ChartDrawing(chart).draw();
}

} // namespace zepreport
