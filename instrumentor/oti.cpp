// Reader of the instrumentation file: a sequence of fragments, each a
// marker line ("@" three capitals "@" and one or two blanks) and its text.
#include "instrumentor/oti.h"

#include <cstdlib>

namespace zepinstr {
namespace {

enum Holder { HoldsNothing, HoldsClass, HoldsWrap, HoldsStub, HoldsMethod };

struct Reader {
    const std::string &path;
    Instrumentation &out;
    std::string &error;
    Holder holder = HoldsNothing;
};

bool isMarker(const std::string &line)
{
    return (line.size() == 6 || line.size() == 7) && line[0] == '@' && line[4] == '@' && line[5] == ' ' &&
           (line.size() == 6 || line[6] == ' ') && line[1] >= 'A' && line[1] <= 'Z' && line[2] >= 'A' &&
           line[2] <= 'Z' && line[3] >= 'A' && line[3] <= 'Z';
}

bool fail(Reader &reader, unsigned long line, const std::string &message)
{
    reader.error = reader.path;
    if (line != 0)
        reader.error += ':' + std::to_string(line);
    reader.error += ": " + message;
    return false;
}

std::string firstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

// "file:line"; the file name may itself hold colons.
bool readPlace(const std::string &text, ScriptPlace &place)
{
    std::string line = firstLine(text);
    size_t colon = line.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == line.size())
        return false;
    char *end = nullptr;
    place.line = std::strtoul(line.c_str() + colon + 1, &end, 10);
    place.file = line.substr(0, colon);
    return *end == '\0' && line[colon + 1] >= '0' && line[colon + 1] <= '9';
}

bool readHex(const char *text, unsigned long &value, const char **rest)
{
    if (text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    char *end = nullptr;
    value = std::strtoul(text + 2, &end, 16);
    *rest = end;
    return end != text + 2;
}

ScriptPlace *placeHeld(Reader &reader)
{
    Instrumentation &out = reader.out;
    switch (reader.holder) {
    case HoldsClass: return &out.classes.back().place;
    case HoldsWrap: return &out.classes.back().wraps.back().place;
    case HoldsStub: return &out.stubs.back().place;
    case HoldsMethod: return &out.methods.back().place;
    default: return nullptr;
    }
}

bool classFragment(Reader &reader, const std::string &marker, const std::string &text, unsigned long line)
{
    if (reader.holder != HoldsClass && reader.holder != HoldsWrap)
        return fail(reader, line, marker + " outside a class");
    ContractClass &owner = reader.out.classes.back();
    const char *rest = nullptr;
    if (marker == "@CSU@") {
        std::string pair = firstLine(text);
        if (!readHex(pair.c_str(), owner.checksumA, &rest) || *rest != ' ' || !readHex(rest + 1, owner.checksumB, &rest) ||
            *rest != '\0')
            return fail(reader, line, "malformed checksum pair: " + pair);
    } else if (marker == "@CID@") {
        std::string id = firstLine(text);
        if (!readHex(id.c_str(), owner.id, &rest) || *rest != '\0')
            return fail(reader, line, "malformed class identifier: " + id);
    } else if (marker == "@INV@") {
        owner.invariants.push_back(text);
    } else if (marker == "@SCF@") {
        owner.tables = text;
    } else if (marker == "@SCB@") {
        owner.update = text;
    } else {
        owner.check = text;
    }
    return true;
}

bool conditionFragment(Reader &reader, const std::string &marker, const std::string &text, unsigned long line)
{
    bool entry = marker == "@PRE@";
    if (reader.holder == HoldsWrap) {
        Wrap &wrap = reader.out.classes.back().wraps.back();
        (entry ? wrap.require : wrap.ensure) = text;
    } else if (reader.holder == HoldsStub) {
        Stub &stub = reader.out.stubs.back();
        (entry ? stub.entry : stub.exit) = text;
    } else {
        return fail(reader, line, marker + " outside a WRAP or a STUB");
    }
    return true;
}

// A CHECK METHOD inherited by several test classes comes once per class,
// always with the same counter.
void addMethod(Reader &reader, const std::string &signature)
{
    reader.out.methods.push_back(MethodCheck{signature, {}, {}});
    reader.holder = HoldsMethod;
}

bool methodCounter(Reader &reader, const std::string &text, unsigned long line)
{
    if (reader.holder != HoldsMethod)
        return fail(reader, line, "@CHK@ outside a CHECK METHOD");
    std::vector<MethodCheck> &methods = reader.out.methods;
    methods.back().counter = firstLine(text);
    if (methods.back().counter.empty())
        return fail(reader, line, "@CHK@ without a counter");
    for (size_t at = 0; at + 1 < methods.size(); at++) {
        if (methods[at].counter == methods.back().counter) {
            methods.pop_back();
            break;
        }
    }
    reader.holder = HoldsNothing;
    return true;
}

bool fragment(Reader &reader, const std::string &marker, const std::string &text, unsigned long line)
{
    Instrumentation &out = reader.out;
    if (marker == "@DLI@")
        return true;
    if (marker == "@CSS@" || marker == "@CLS@") {
        out.classes.push_back(ContractClass{});
        out.classes.back().single = marker == "@CSS@";
        out.classes.back().head = firstLine(text);
        reader.holder = HoldsClass;
    } else if (marker == "@WRP@") {
        if (reader.holder != HoldsClass && reader.holder != HoldsWrap)
            return fail(reader, line, "@WRP@ outside a class");
        out.classes.back().wraps.push_back(Wrap{firstLine(text), {}, {}, {}});
        reader.holder = HoldsWrap;
    } else if (marker == "@STB@") {
        out.stubs.push_back(Stub{firstLine(text), {}, {}, {}});
        reader.holder = HoldsStub;
    } else if (marker == "@MTH@") {
        addMethod(reader, firstLine(text));
    } else if (marker == "@CHK@") {
        return methodCounter(reader, text, line);
    } else if (marker == "@SLI@") {
        ScriptPlace *place = placeHeld(reader);
        if (place == nullptr)
            return fail(reader, line, "@SLI@ outside an element");
        if (!readPlace(text, *place))
            return fail(reader, line, "malformed script place: " + firstLine(text));
    } else if (marker == "@PRE@" || marker == "@POS@") {
        return conditionFragment(reader, marker, text, line);
    } else if (marker == "@CSU@" || marker == "@CID@" || marker == "@INV@" || marker == "@SCF@" || marker == "@SCB@" ||
               marker == "@SCK@") {
        if (marker == "@INV@" && reader.holder == HoldsWrap)
            reader.holder = HoldsClass;
        return classFragment(reader, marker, text, line);
    } else {
        return fail(reader, line, "unknown fragment " + marker);
    }
    if (marker != "@WRP@" && marker != "@CSS@" && marker != "@CLS@" && marker != "@STB@" && marker != "@MTH@")
        return true;
    if (firstLine(text).empty())
        return fail(reader, line, marker + " without a name");
    return true;
}

bool complete(Reader &reader)
{
    for (const ContractClass &owner : reader.out.classes)
        if (owner.place.line == 0 || owner.id == 0)
            return fail(reader, 0, "class " + owner.head + " without its place or identifier");
    for (const MethodCheck &method : reader.out.methods)
        if (method.counter.empty())
            return fail(reader, 0, "CHECK METHOD " + method.signature + " without a counter");
    return true;
}

} // namespace

bool readInstrumentation(const std::string &text, const std::string &path, Instrumentation &out, std::string &error)
{
    Reader reader{path, out, error};
    std::string marker, body;
    unsigned long markerLine = 0, lineNo = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        lineNo++;
        if (!isMarker(line)) {
            if (marker.empty() && !line.empty())
                return fail(reader, lineNo, "text before the first fragment");
            body += line + "\n";
            continue;
        }
        if (!marker.empty() && !fragment(reader, marker, body, markerLine))
            return false;
        marker = line.substr(0, 5);
        markerLine = lineNo;
        body.clear();
    }
    if (!marker.empty() && !fragment(reader, marker, body, markerLine))
        return false;
    return complete(reader);
}

} // namespace zepinstr
