// A contract failure names the element of its script: the REQUIRE, ENSURE
// or INVARIANT that failed, or the state that an illegal or multiple
// transition left (the class's observation state before any state was
// known, whose record stands at the class's line).
#include "report/contracts.h"
#include "report/text.h"

namespace zepreport {

namespace {

const char *const whenWords[] = {"in", "after", "before"};

} // namespace

std::string contractKindText(const Item &item)
{
    switch (item.event->type) {
    case EventType::Violation: return contractName(item.event->contract);
    case EventType::Illegal: return "ILLEGAL TRANSITION";
    default: return "MULTIPLE TRANSITIONS";
    }
}

std::string contractDetail(const Item &item)
{
    const Event &event = *item.event;
    const Element &element = *item.element;
    if (event.type == EventType::Violation)
        return oneLine(element.text) + " " + whenWords[static_cast<int>(event.when)] + " " + oneLine(event.function);
    if (element.code == "ST")
        return "from state " + oneLine(element.text);
    const Element *owner = item.records->find(element.parent);
    return "before any state of " + (owner ? className(*owner) : oneLine(element.text));
}

std::string contractText(const Item &item)
{
    return item.records->where(*item.element) + ": " + contractKindText(item) +
           (item.event->type == EventType::Violation ? " failed: " : " ") + contractDetail(item);
}

std::string stubConditionSuffix(const Item &item)
{
    if (item.type != ItemType::Check || item.check != CheckKind::Condition)
        return "";
    const Element *stub = item.records->find(item.element->parent);
    if (stub == nullptr || stub->code != "SB")
        return "";
    return " in STUB " + oneLine(stub->text);
}

} // namespace zepreport
