// Reader of the .ots and .tsf record files. Both are read strictly: a file
// that does not have the layout the translator writes is refused with the
// line where it goes wrong, because a report built on a misread record
// would name the wrong script lines.
#include "report/records.h"
#include "report/lines.h"
#include "report/text.h"

#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace zepreport {

namespace {

constexpr uint64_t messageBase = 1000000, textBase = 2000000;
// The messages and texts of the .tsf header, numbered from ffffffffh down.
constexpr uint64_t firstFixedNumber = 0xfffffffb, lastFixedNumber = 0xffffffff;

struct CodeInfo {
    const char *code;
    const char *kind;
    bool escaped;  // the text went through the quote escaping of the writer
};

const CodeInfo codes[] = {
    {"TL", "TEST CLASS", false},     {"TS", "TEST SUITE", false},   {"TC", "TEST CASE", false},
    {"SL", "SINGLE CLASS", true},    {"OS", "OBSERVATION STATE", false},
    {"CX", "CHECK EXCEPTION", true}, {"CY", "CHECK PROPERTY", false}, {"CS", "CHECK STUB", false},
    {"CM", "CHECK METHOD", true},    {"PR", "PRINT", true},          {"CP", "CALL", false},
    {"EN", "ENSURE", true},          {"IV", "INVARIANT", true},      {"PC", "PROC", false},
    {"RQ", "REQUIRE", true},         {"WR", "WRAP", true},           {"RU", "RUN", false},
    {"RC", "RUN COMPONENT", false},  {"CB", "PROLOGUE", false},      {"CE", "EPILOGUE", false},
    {"ST", "UMLSTATE", false},       {"TR", "TRANSITION", false},    {"EX", "EXPRESSION", true},
    {"CO", "COMMENT", true},         {"NC", "NATIVE CODE", true},    {"CH", "CHECK", true},
    {"PY", "PROPERTY", false},       {"SB", "STUB", false},          {"CL", "CLASS", true},
};

const CodeInfo *codeInfo(std::string_view code)
{
    for (const CodeInfo &info : codes)
        if (code == info.code)
            return &info;
    return nullptr;
}

// Undoes the writer's escaping: a backslash before a backslash or a double
// quote. Other backslashes were in the script and stay.
std::string unescapeQuotes(std::string_view text)
{
    std::string out;
    for (size_t at = 0; at < text.size(); at++) {
        if (text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == '\\' || text[at + 1] == '"'))
            at++;
        out += text[at];
    }
    return out;
}

// A number of the record files: lower-case hexadecimal and a final "h".
bool parseHexH(std::string_view text, uint64_t &value)
{
    return text.size() >= 2 && text.back() == 'h' && parseHex(text.substr(0, text.size() - 1), value);
}

bool parsePair(std::string_view text, uint32_t &a, uint32_t &b)
{
    size_t space = text.find(' ');
    uint64_t first = 0, second = 0;
    if (space == std::string_view::npos || !parseHexH(text.substr(0, space), first) ||
        !parseHexH(text.substr(space + 1), second) || first > UINT32_MAX || second > UINT32_MAX)
        return false;
    a = static_cast<uint32_t>(first);
    b = static_cast<uint32_t>(second);
    return true;
}

// Collects the first problem of one file as "path:line: reason".
struct Problem {
    const std::string &path;
    std::string &error;

    bool at(uint64_t line, const std::string &reason)
    {
        error = path + ":" + std::to_string(line) + ": " + reason;
        return false;
    }
};

// The next line, which must exist.
bool needLine(LineReader &lines, std::string &line, Problem &problem, const char *what)
{
    LineReader::Result result = lines.next(line);
    if (result == LineReader::Line)
        return true;
    if (result == LineReader::End)
        return problem.at(lines.number(), std::string("the file ends before ") + what);
    return problem.at(lines.number(), lineProblem(result));
}

// "XX 1ah \"text\" line=12 dad=3h;" (CS adds " stb=5h"). Returns 1 for a
// whole record, 0 when the record may go on on the next line (a text with
// a line break), -1 with reason set when it cannot be an element record.
int parseElementRecord(std::string_view record, Element &element, std::string &reason)
{
    size_t idEnd = record.find(' ', 3);
    if (record.size() < 6 || record[2] != ' ' || idEnd == std::string_view::npos || idEnd + 1 >= record.size() ||
        record[idEnd + 1] != '"') {
        reason = "not an element record: " + quoted(record.substr(0, record.find('\n')), 60);
        return -1;
    }
    const CodeInfo *info = codeInfo(record.substr(0, 2));
    if (info == nullptr) {
        reason = "unknown element record code " + quoted(record.substr(0, 2));
        return -1;
    }
    uint64_t id = 0;
    if (!parseHexH(record.substr(3, idEnd - 3), id)) {
        reason = "bad element number " + quoted(record.substr(3, idEnd - 3), 40);
        return -1;
    }
    size_t textBegin = idEnd + 2;
    size_t tail = record.rfind("\" line=");
    if (tail == std::string_view::npos || tail < textBegin || record.back() != ';')
        return 0;
    std::string_view fields = record.substr(tail + 7, record.size() - tail - 8);
    size_t dad = fields.find(" dad=");
    if (dad == std::string_view::npos)
        return 0;
    std::string_view parentText = fields.substr(dad + 5);
    std::string_view stubText;
    size_t stub = parentText.find(" stb=");
    if (stub != std::string_view::npos) {
        stubText = parentText.substr(stub + 5);
        parentText = parentText.substr(0, stub);
    }
    uint64_t line = 0, parent = 0, stubId = 0;
    if (!parseDecimal(fields.substr(0, dad), line) || !parseHexH(parentText, parent) ||
        (stub != std::string_view::npos && !parseHexH(stubText, stubId)))
        return 0;
    if ((std::strcmp(info->code, "CS") == 0) != (stub != std::string_view::npos)) {
        reason = std::string(info->code) + " record " + (stub == std::string_view::npos ? "without" : "with") +
                 " a stb= field";
        return -1;
    }
    std::string_view text = record.substr(textBegin, tail - textBegin);
    element.id = id;
    element.code = info->code;
    element.text = info->escaped ? unescapeQuotes(text) : std::string(text);
    element.line = line;
    element.parent = parent;
    return 1;
}

bool parseOts(std::istream &in, const std::string &path, RecordSet &records, std::string &error)
{
    Problem problem{path, error};
    LineReader lines(in);
    std::string line;
    if (!needLine(lines, line, problem, "its OF record"))
        return false;
    // OF "directory" "name" timeh: the texts are written as stored, so only
    // the name's end and the time can be found for sure.
    size_t timeAt = line.rfind("\" ");
    size_t nameAt = timeAt == std::string::npos ? std::string::npos : line.rfind("\" \"", timeAt);
    uint64_t time = 0;
    if (line.compare(0, 4, "OF \"") != 0 || nameAt == std::string::npos || nameAt < 4 ||
        !parseHexH(std::string_view(line).substr(timeAt + 2), time))
        return problem.at(1, "not an .ots record file (the first line is not an OF record)");
    std::string directory = line.substr(4, nameAt - 4);
    records.fileName = line.substr(nameAt + 3, timeAt - nameAt - 3);
    if (records.source.empty())
        records.source = tidyPath(directory + records.fileName);
    if (!needLine(lines, line, problem, "its VO record"))
        return false;
    if (!line.empty())
        return problem.at(2, "an empty line must follow the OF record");
    if (!needLine(lines, line, problem, "its VO record"))
        return false;
    if (line.compare(0, 3, "VO ") != 0)
        return problem.at(3, "a VO record must follow the OF record");
    if (!needLine(lines, line, problem, "its DP record"))
        return false;
    if (line.compare(0, 3, "DP ") != 0)
        return problem.at(4, "a DP record must follow the VO record");

    std::string record;
    uint64_t recordLine = 0;
    for (;;) {
        if (!needLine(lines, line, problem, record.empty() ? "its CK record" : "the end of the element record"))
            return record.empty() ? false : problem.at(recordLine, "the element record does not end");
        if (record.empty() && line.empty())
            break;
        if (record.empty())
            recordLine = lines.number();
        else
            record += '\n';
        if (record.size() + line.size() > lineLimit)
            return problem.at(recordLine, "the element record is longer than " + std::to_string(lineLimit >> 20) +
                                              " MiB");
        record += line;
        Element element;
        std::string reason;
        int parsed = parseElementRecord(record, element, reason);
        if (parsed < 0)
            return problem.at(recordLine, reason);
        if (parsed == 0)
            continue;
        if (!records.elements.emplace(element.id, element).second)
            return problem.at(recordLine, "element " + hexText(element.id) + " is recorded twice");
        record.clear();
    }
    if (!needLine(lines, line, problem, "its CK record"))
        return false;
    if (line.compare(0, 3, "CK ") != 0 || !parsePair(std::string_view(line).substr(3), records.checksumA,
                                                     records.checksumB))
        return problem.at(lines.number(), "a CK record with two checksum words must end the file");
    LineReader::Result result = lines.next(line);
    if (result != LineReader::End)
        return problem.at(lines.number(), result == LineReader::Line ? "text after the CK record" : lineProblem(result));
    return true;
}

// What the .tsf tells about one element.
struct TsfEntry {
    bool hasMessage = false, hasText = false, onError = false;
    std::string message, text;
    uint64_t messageLine = 0;
};

// "CODE 1ah \"text\"": the number and the text between the first double
// quote after it and the last character, which must be a double quote.
bool parseNumberedText(std::string_view rest, uint64_t &number, std::string &text)
{
    size_t space = rest.find(' ');
    if (space == std::string_view::npos || !parseHexH(rest.substr(0, space), number) || rest.size() < space + 3 ||
        rest[space + 1] != '"' || rest.back() != '"')
        return false;
    text = unescapeQuotes(rest.substr(space + 2, rest.size() - space - 3));
    return true;
}

bool parseTsf(std::istream &in, const std::string &path, RecordSet &records, uint32_t &a, uint32_t &b,
              std::map<uint64_t, TsfEntry> &entries, std::string &error)
{
    Problem problem{path, error};
    LineReader lines(in);
    std::string line;
    if (!needLine(lines, line, problem, "its DB record"))
        return false;
    if (line != "DB \"Okvar-Tracer\"")
        return problem.at(1, "not a .tsf record file (the first line is not DB \"Okvar-Tracer\")");
    uint64_t lastLink = 0;
    bool afterState = false;  // an ST 164 came, then only LK lines: an ON ERROR's message follows
    for (;;) {
        if (!needLine(lines, line, problem, "its ID record"))
            return false;
        std::string_view view(line);
        std::string_view code = view.substr(0, 3), rest = view.substr(std::min<size_t>(3, view.size()));
        uint64_t number = 0;
        std::string text;
        bool wasAfterState = afterState;
        afterState = false;
        if (line == "ST 164") {
            afterState = true;
        } else if (code == "LK ") {
            if (!parseDecimal(rest, lastLink))
                return problem.at(lines.number(), "bad LK record: " + quoted(view, 60));
            afterState = wasAfterState;
        } else if (code == "SI ") {
            if (!parseHexH(rest, number))
                return problem.at(lines.number(), "bad SI record: " + quoted(view, 60));
        } else if (code == "IN ") {
            size_t wordEnd = rest.find('"', 1);
            if (rest.empty() || rest[0] != '"' || wordEnd == std::string_view::npos ||
                !parseNumberedText(rest.substr(std::min(wordEnd + 2, rest.size())), number, text))
                return problem.at(lines.number(), "bad IN record: " + quoted(view, 60));
        } else if (code == "SO ") {
            // SO "path" timeh "txt"
            const std::string_view ending = " \"txt\"";
            std::string_view body = rest;
            bool ended = body.size() > ending.size() && body.substr(body.size() - ending.size()) == ending;
            if (ended)
                body.remove_suffix(ending.size());
            size_t pathEnd = body.rfind("\" ");
            uint64_t time = 0;
            if (!ended || body.empty() || body[0] != '"' || pathEnd == std::string_view::npos || pathEnd == 0 ||
                !parseHexH(body.substr(pathEnd + 2), time))
                return problem.at(lines.number(), "bad SO record: " + quoted(view, 60));
            records.source = tidyPath(unescapeQuotes(body.substr(1, pathEnd - 1)));
        } else if (code == "MS " || code == "TX ") {
            if (!parseNumberedText(rest, number, text))
                return problem.at(lines.number(), "bad " + std::string(view.substr(0, 2)) + " record: " + quoted(view, 60));
            bool message = code == "MS ";
            uint64_t base = message ? messageBase : textBase;
            if (number >= firstFixedNumber && number <= lastFixedNumber)
                continue;
            if (number < base || number >= base + messageBase)
                return problem.at(lines.number(), std::string(message ? "message" : "text") + " number " +
                                                      hexText(number) + " is out of range");
            TsfEntry &entry = entries[number - base];
            if (message) {
                entry.hasMessage = true;
                entry.message = text;
                entry.messageLine = lastLink;
                entry.onError = wasAfterState;
            } else {
                entry.hasText = true;
                entry.text = text;
            }
        } else if (code == "ID ") {
            if (!parsePair(rest, a, b))
                return problem.at(lines.number(), "bad ID record: " + quoted(view, 60));
            break;
        } else {
            return problem.at(lines.number(), "unknown record " + quoted(view, 40));
        }
    }
    if (!needLine(lines, line, problem, "its ED record"))
        return false;
    if (line != "ED")
        return problem.at(lines.number(), "an ED record must follow the ID record");
    LineReader::Result result = lines.next(line);
    if (result != LineReader::End)
        return problem.at(lines.number(), result == LineReader::Line ? "text after the ED record" : lineProblem(result));
    return true;
}

} // namespace

const Element *RecordSet::find(uint64_t id) const
{
    auto found = elements.find(id);
    return found == elements.end() ? nullptr : &found->second;
}

std::string RecordSet::where(const Element &element) const
{
    return fileName + ":" + std::to_string(element.line);
}

std::string RecordSet::kindName(const Element &element)
{
    if (element.onError)
        return "ON ERROR";
    const CodeInfo *info = codeInfo(element.code);
    return info ? info->kind : element.code;
}

bool parseRecordSet(std::istream &ots, const std::string &otsPath, std::istream &tsf, const std::string &tsfPath,
                    RecordSet &records, std::string &error)
{
    records = RecordSet();
    records.otsPath = otsPath;
    records.tsfPath = tsfPath;
    std::map<uint64_t, TsfEntry> entries;
    uint32_t a = 0, b = 0;
    if (!parseTsf(tsf, tsfPath, records, a, b, entries, error) || !parseOts(ots, otsPath, records, error))
        return false;
    if (a != records.checksumA || b != records.checksumB) {
        error = tsfPath + ": its checksum pair " + checksumText(a, b) + " is not the pair " +
                checksumText(records.checksumA, records.checksumB) + " of " + otsPath;
        return false;
    }
    for (auto &[id, entry] : entries) {
        auto found = records.elements.find(id);
        if (found == records.elements.end()) {
            if (!entry.onError)
                continue;
            // ON ERROR writes only ST 164, LK and "MS ... \"call `name'\"".
            Element element;
            element.id = id;
            element.onError = true;
            element.line = entry.messageLine;
            std::string_view name(entry.message);
            if (name.substr(0, 6) == "call `" && name.size() > 6 && name.back() == '\'')
                name = name.substr(6, name.size() - 7);
            element.text = std::string(name);
            found = records.elements.emplace(id, element).first;
        }
        Element &element = found->second;
        element.hasMessage = entry.hasMessage;
        element.message = entry.message;
        element.hasTextRecord = entry.hasText;
        element.textRecord = entry.text;
    }
    return true;
}

bool readRecordSet(const std::string &otsPath, const std::string &tsfPath, RecordSet &records, std::string &error)
{
    std::ifstream ots(otsPath, std::ios::binary), tsf(tsfPath, std::ios::binary);
    if (!ots) {
        error = otsPath + ": cannot open the record file";
        return false;
    }
    if (!tsf) {
        error = tsfPath + ": cannot open the record file";
        return false;
    }
    return parseRecordSet(ots, otsPath, tsf, tsfPath, records, error);
}

bool readChecksumPair(const std::string &path, bool ots, uint32_t &a, uint32_t &b)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // The trailer is a line or two: the end of the file is enough, however
    // large the file is.
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0)
        return false;
    std::streamoff tail = std::min<std::streamoff>(size, 128);
    in.seekg(size - tail);
    std::string end(static_cast<size_t>(tail), '\0');
    if (!in.read(end.data(), tail))
        return false;
    std::string_view text(end);
    const std::string_view suffix = ots ? "\n" : "\nED\n";
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix)
        return false;
    text.remove_suffix(suffix.size());
    size_t begin = text.rfind('\n');
    if (begin == std::string_view::npos)
        return false;
    std::string_view last = text.substr(begin + 1);
    std::string_view code = ots ? "CK " : "ID ";
    return last.substr(0, 3) == code && parsePair(last.substr(3), a, b);
}

} // namespace zepreport
