// The classes of the contract scripts as the run used them. The record
// files give each class its states (ST), transitions (TR, "Idle TO Moving")
// and contracts (IV under the class, RQ and EN under a WRAP of it); the
// trace gives the counts.
#include "report/statechart.h"
#include "report/text.h"

#include <map>
#include <string_view>

namespace zepreport {

namespace {

// Where an element's counts go.
struct Slot {
    ClassChart *chart = nullptr;
    size_t index = 0;
    enum { State, Transition, Contract, Observation } kind = State;
};

using SlotMap = std::map<const Element *, Slot>;

size_t stateNamed(const ClassChart &chart, std::string_view name)
{
    for (size_t at = 0; at < chart.states.size(); at++)
        if (chart.states[at].element->text == name)
            return at;
    return noState;
}

void resolveTransitions(ClassChart &chart)
{
    for (ChartTransition &transition : chart.transitions) {
        std::string_view text(transition.element->text);
        size_t to = text.find(" TO ");
        if (to == std::string_view::npos)
            continue;
        transition.from = stateNamed(chart, text.substr(0, to));
        transition.to = stateNamed(chart, text.substr(to + 4));
    }
}

// The classes of one record set with their states, transitions and
// contracts, in script order (identifiers grow with it).
void collectClasses(const RecordSet &records, std::vector<ClassChart> &charts)
{
    std::map<uint64_t, size_t> classes;  // class id -> chart
    for (const auto &[id, element] : records.elements)
        if (element.code == "CL" || element.code == "SL") {
            classes[id] = charts.size();
            charts.push_back({&records, &element, {}, {}, {}, 0, 0});
        }
    auto owner = [&](uint64_t parent) -> ClassChart * {
        auto found = classes.find(parent);
        return found == classes.end() ? nullptr : &charts[found->second];
    };
    for (const auto &[id, element] : records.elements) {
        ClassChart *chart = owner(element.parent);
        const Element *wrap = records.find(element.parent);
        if ((element.code == "RQ" || element.code == "EN") && wrap != nullptr && wrap->code == "WR")
            chart = owner(wrap->parent);
        else if (element.code != "ST" && element.code != "TR" && element.code != "IV")
            chart = nullptr;
        if (chart == nullptr)
            continue;
        if (element.code == "ST")
            chart->states.push_back({&element, 0, 0, 0});
        else if (element.code == "TR")
            chart->transitions.push_back({&element, noState, noState, 0});
        else
            chart->contracts.push_back({&element, 0, 0});
    }
    for (auto &[id, index] : classes)
        resolveTransitions(charts[index]);
}

SlotMap slotsOf(std::vector<ClassChart> &charts)
{
    SlotMap slots;
    for (ClassChart &chart : charts) {
        for (size_t at = 0; at < chart.states.size(); at++)
            slots[chart.states[at].element] = {&chart, at, Slot::State};
        for (size_t at = 0; at < chart.transitions.size(); at++)
            slots[chart.transitions[at].element] = {&chart, at, Slot::Transition};
        for (size_t at = 0; at < chart.contracts.size(); at++)
            slots[chart.contracts[at].element] = {&chart, at, Slot::Contract};
        if (const Element *observation = chart.records->find(chart.element->id + 3000000))
            slots[observation] = {&chart, 0, Slot::Observation};
    }
    return slots;
}

void countEvent(const Event &event, const std::vector<RecordSet> &records, const SlotMap &slots)
{
    if (event.type != EventType::Tally && event.type != EventType::Violation && event.type != EventType::Illegal &&
        event.type != EventType::Multiple)
        return;
    auto found = slots.find(records[event.file].find(event.id));
    if (found == slots.end())
        return;  // a stub's condition, say: it is no contract of a class
    const Slot &slot = found->second;
    ClassChart &chart = *slot.chart;
    bool illegal = event.type == EventType::Illegal;
    switch (slot.kind) {
    case Slot::State:
        if (event.type == EventType::Tally)
            chart.states[slot.index].entered += event.count;
        else
            (illegal ? chart.states[slot.index].illegal : chart.states[slot.index].multiple)++;
        break;
    case Slot::Transition:
        chart.transitions[slot.index].fired += event.count;
        break;
    case Slot::Contract:
        if (event.type == EventType::Tally)
            chart.contracts[slot.index].held += event.count;
        else
            chart.contracts[slot.index].failed++;
        break;
    case Slot::Observation:
        (illegal ? chart.illegalBefore : chart.multipleBefore)++;
        break;
    }
}

std::string plural(uint64_t count, const char *word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

} // namespace

std::vector<ClassChart> buildClassCharts(const Trace &trace, const std::vector<RecordSet> &records)
{
    std::vector<ClassChart> charts;
    for (const RecordSet &set : records)
        collectClasses(set, charts);
    SlotMap slots = slotsOf(charts);
    for (const Event &event : trace.events)
        countEvent(event, records, slots);
    return charts;
}

std::string timesText(uint64_t count)
{
    return plural(count, "time");
}

std::string className(const Element &element)
{
    std::string_view head(element.text);
    for (size_t at = 0; at < head.size(); at++) {
        if (head[at] != ':')
            continue;
        if (at + 1 < head.size() && head[at + 1] == ':') {
            at++;
            continue;
        }
        head = head.substr(0, at);
        break;
    }
    return oneLine(trimmed(head));
}

std::string chartTitle(const ClassChart &chart)
{
    std::string title = RecordSet::kindName(*chart.element) + " " + oneLine(chart.element->text) + " (" +
                        chart.records->where(*chart.element) + ")";
    if (chart.states.empty())
        return title;
    uint64_t entered = 0, fired = 0;
    for (const ChartState &state : chart.states)
        entered += state.entered != 0;
    for (const ChartTransition &transition : chart.transitions)
        fired += transition.fired != 0;
    return title + ": " + std::to_string(entered) + " of " + plural(chart.states.size(), "state") + " entered, " +
           std::to_string(fired) + " of " + plural(chart.transitions.size(), "transition") + " fired";
}

std::vector<std::string> chartLines(const ClassChart &chart)
{
    std::vector<std::string> lines;
    const RecordSet &records = *chart.records;
    auto count = [](uint64_t times, const char *done, const char *never) {
        return times == 0 ? std::string(never) : std::string(done) + " " + timesText(times);
    };
    for (const ChartState &state : chart.states)
        lines.push_back(records.where(*state.element) + ": STATE " + oneLine(state.element->text) + ": " +
                        count(state.entered, "entered", "never entered"));
    for (const ChartTransition &transition : chart.transitions)
        lines.push_back(records.where(*transition.element) + ": TRANSITION " + oneLine(transition.element->text) +
                        ": " + count(transition.fired, "fired", "never fired"));
    std::string where = records.where(*chart.element);
    if (chart.illegalBefore)
        lines.push_back(where + ": ILLEGAL TRANSITION before any state of " + className(*chart.element) + ": " +
                        timesText(chart.illegalBefore));
    if (chart.multipleBefore)
        lines.push_back(where + ": MULTIPLE TRANSITIONS before any state of " + className(*chart.element) + ": " +
                        timesText(chart.multipleBefore));
    for (const ChartState &state : chart.states) {
        std::string from = records.where(*state.element) + ": ";
        if (state.illegal)
            lines.push_back(from + "ILLEGAL TRANSITION from state " + oneLine(state.element->text) + ": " +
                            timesText(state.illegal));
        if (state.multiple)
            lines.push_back(from + "MULTIPLE TRANSITIONS from state " + oneLine(state.element->text) + ": " +
                            timesText(state.multiple));
    }
    for (const ChartContract &contract : chart.contracts) {
        std::string verdicts = "held " + timesText(contract.held);
        if (contract.failed)
            verdicts += ", failed " + timesText(contract.failed);
        if (contract.held == 0 && contract.failed == 0)
            verdicts = "never checked";
        lines.push_back(records.where(*contract.element) + ": " + RecordSet::kindName(*contract.element) + " " +
                        oneLine(contract.element->text) + ": " + verdicts);
    }
    return lines;
}

std::string formatCharts(const std::vector<ClassChart> &charts)
{
    std::string out;
    for (const ClassChart &chart : charts) {
        out += chartTitle(chart) + "\n";
        for (const std::string &line : chartLines(chart))
            out += "  " + line + "\n";
    }
    return out;
}

} // namespace zepreport
