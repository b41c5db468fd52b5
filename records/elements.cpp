// The records of each element: its lines in the .tsf file (source line,
// instance, message and text records), then its element record in the .ots
// file, all through the checksummed writers of its own source file.
#include "base/diagnostics.h"
#include "records/recordline.h"
#include "records/records.h"

#include <cinttypes>

namespace {

// One element's records under way: a writer stops at its first failure.
struct Writer {
    Run *run;
    Node *node;
    FileEntry *entry;
    bool failed;
};

uint64_t parentId(const Node *node)
{
    return node->parent != nullptr ? node->parent->id : 0;
}

void finishTsf(Writer *writer, RecordLine *line)
{
    if (endTsfRecord(line, writer->entry) != 0)
        writer->failed = true;
}

void writeLineRecord(Writer *writer, uint64_t line)
{
    RecordLine record;
    if (writer->failed || !beginRecord(writer->run, &record, "LK ")) {
        writer->failed = true;
        return;
    }
    addNumber(&record, "%" PRIu64 "\n", line);
    finishTsf(writer, &record);
}

void writeLk(Writer *writer)
{
    writeLineRecord(writer, writer->node->beginLine);
}

void writeSi(Writer *writer)
{
    RecordLine record;
    if (writer->failed || !beginRecord(writer->run, &record, "SI ")) {
        writer->failed = true;
        return;
    }
    addNumber(&record, "%" PRIx64 "h\n", parentId(writer->node));
    finishTsf(writer, &record);
}

// IN "word" id "text"
void writeIn(Writer *writer, const char *word, const char *text, bool escaped)
{
    RecordLine record;
    if (writer->failed || !beginRecord(writer->run, &record, "IN \"")) {
        writer->failed = true;
        return;
    }
    addRaw(&record, word);
    addNumber(&record, "\" %" PRIx64 "h \"", writer->node->id);
    addQuoted(&record, {{text, escaped}}, true);
    addRaw(&record, "\"\n");
    finishTsf(writer, &record);
}

// MS or TX with the node's number above the base, and a quoted text.
void writeNumbered(Writer *writer, const char *head, uint64_t base, std::initializer_list<Piece> pieces)
{
    RecordLine record;
    if (writer->failed || !beginRecord(writer->run, &record, head)) {
        writer->failed = true;
        return;
    }
    addNumber(&record, "%" PRIx64 "h \"", writer->node->id + base);
    addQuoted(&record, pieces, true);
    addRaw(&record, "\"\n");
    finishTsf(writer, &record);
}

void writeMessage(Writer *writer, std::initializer_list<Piece> pieces)
{
    writeNumbered(writer, "MS ", RECORD_MESSAGE_BASE, pieces);
}

void writeText(Writer *writer, std::initializer_list<Piece> pieces)
{
    writeNumbered(writer, "TX ", RECORD_TEXT_BASE, pieces);
}

// CODE id "text" line=n dad=id; with an optional extra field before the ';'.
void writeElement(Writer *writer, const char *code, uint64_t id, std::initializer_list<Piece> pieces,
                  uint64_t parent, const char *extra = nullptr, uint64_t extraValue = 0)
{
    RecordLine record;
    if (writer->failed || !beginRecord(writer->run, &record, code)) {
        writer->failed = true;
        return;
    }
    addNumber(&record, " %" PRIx64 "h \"", id);
    addQuoted(&record, pieces, false);
    addNumber(&record, "\" line=%" PRIu64, writer->node->beginLine);
    addNumber(&record, " dad=%" PRIx64 "h", parent);
    if (extra != nullptr)
        addNumber(&record, extra, extraValue);
    addRaw(&record, ";\n");
    if (endOtsRecord(&record, writer->entry) != 0)
        writer->failed = true;
}

void writeOwnElement(Writer *writer, const char *code, std::initializer_list<Piece> pieces)
{
    writeElement(writer, code, writer->node->id, pieces, parentId(writer->node));
}

// A contract class is followed by its observation state.
void writeObservationState(Writer *writer)
{
    writeElement(writer, "OS", writer->node->id + RECORD_STATE_BASE, {{writer->node->name, false}, {" Observation State", false}},
                 writer->node->id);
}

// TEST CLASS, TEST SUITE and TEST CASE.
void writeTestComponent(Writer *writer, const char *word, const char *code)
{
    const char *name = writer->node->name;
    writeLk(writer);
    writeSi(writer);
    writeIn(writer, word, name, false);
    writeLk(writer);
    writeMessage(writer, {{"`", false}, {name, false}, {"'", false}});
    writeOwnElement(writer, code, {{name, false}});
}

// LK and a TX of the name between a back-quote and a quote, then the element.
void writeQuotedText(Writer *writer, bool escaped, const char *code)
{
    const char *name = writer->node->name;
    writeLk(writer);
    writeText(writer, {{"`", false}, {name, escaped}, {"'", false}});
    writeOwnElement(writer, code, {{name, escaped}});
}

// LK and a TX of "(name)", then the element with the same text.
void writeParenthesised(Writer *writer, const char *code)
{
    const char *name = writer->node->name;
    writeLk(writer);
    writeText(writer, {{"(", false}, {name, true}, {")", false}});
    writeOwnElement(writer, code, {{"(", false}, {name, true}, {")", false}});
}

void writeContractClass(Writer *writer, const char *word, const char *code)
{
    const char *name = writer->node->name;
    writeLk(writer);
    writeSi(writer);
    writeIn(writer, word, name, true);
    writeOwnElement(writer, code, {{name, true}});
    writeObservationState(writer);
}

void writeCheck(Writer *writer)
{
    auto *info = static_cast<CheckInfo *>(writer->node->payload);
    writeLk(writer);
    if (info->label != nullptr) {
        writeText(writer, {{"`", false}, {info->label, false}, {"' / (", false}, {info->condition, true}, {")", false}});
        writeOwnElement(writer, "CH",
                        {{"`", false}, {info->label, false}, {"' / (", false}, {info->condition, true}, {")", false}});
    } else {
        writeText(writer, {{"(", false}, {info->condition, true}, {")", false}});
        writeOwnElement(writer, "CH", {{"(", false}, {info->condition, true}, {")", false}});
    }
}

void writePropertyCheck(Writer *writer)
{
    auto *info = static_cast<PropertyCheckInfo *>(writer->node->payload);
    const char *name = writer->node->name;
    // The line is that of the PROPERTY checked; the element keeps its own.
    writeLineRecord(writer, info->resolvedTarget != nullptr ? info->resolvedTarget->beginLine : 0);
    if (info->label != nullptr) {
        writeText(writer, {{"`", false}, {info->label, false}, {"' / ", false}, {name, false}});
        writeOwnElement(writer, "CY", {{"`", false}, {info->label, false}, {"' / ", false}, {name, false}});
    } else {
        writeText(writer, {{name, false}});
        writeOwnElement(writer, "CY", {{name, false}});
    }
}

void writeStubCheck(Writer *writer)
{
    const char *name = writer->node->name;
    Node *stub = static_cast<StubCheckInfo *>(writer->node->payload)->resolvedStub;
    writeLk(writer);
    writeMessage(writer, {{"check stub `", false}, {name, false}, {"'", false}});
    writeLk(writer);
    writeText(writer, {{"`", false}, {name, false}, {"'", false}});
    writeElement(writer, "CS", writer->node->id, {{name, false}}, parentId(writer->node), " stb=%" PRIx64 "h",
                 stub != nullptr ? stub->id : 0);
}

void writePrint(Writer *writer)
{
    // The parentheses and the items are escaped as one text.
    RecordLine whole;
    beginRecord(writer->run, &whole, "(");
    for (const NameEntry *item = static_cast<ListInfo *>(writer->node->payload)->list; item != nullptr;
         item = item->next) {
        addRaw(&whole, item->text);
        addRaw(&whole, item->next != nullptr ? "," : "");
    }
    addRaw(&whole, ")");
    if (!whole.failed)
        writeOwnElement(writer, "PR", {{whole.text.text, true}});
    freeTextBuffer(&whole.text);
}

void writeRunComponent(Writer *writer)
{
    RecordLine path;
    beginRecord(writer->run, &path, "");
    for (const NameSegment *segment = static_cast<RunInfo *>(writer->node->payload)->component; segment != nullptr;
         segment = segment->next) {
        addRaw(&path, segment->text);
        addRaw(&path, segment->next != nullptr ? "." : "");
    }
    if (!path.failed) {
        writeLk(writer);
        writeMessage(writer, {{"run `", false}, {path.text.text, false}, {"'", false}});
        writeOwnElement(writer, "RC", {{path.text.text, false}});
    }
    freeTextBuffer(&path.text);
}

void writeTransition(Writer *writer)
{
    auto *info = static_cast<TransitionInfo *>(writer->node->payload);
    writeOwnElement(writer, "TR", {{info->fromState, false}, {" TO ", false}, {info->toState, false}});
}

// The records of one element; false for a kind that has none to write.
bool writeNodeRecords(Writer *writer)
{
    Node *node = writer->node;
    const char *name = node->name;
    switch (node->kind) {
    case KIND_TEST_CLASS:
        writeTestComponent(writer, "TestClass", "TL");
        return true;
    case KIND_TEST_SUITE:
        writeTestComponent(writer, "TestSuite", "TS");
        return true;
    case KIND_TEST_CASE:
        writeTestComponent(writer, "TestCase", "TC");
        return true;
    case KIND_PROC:
        writeLk(writer);
        writeSi(writer);
        writeIn(writer, "Proc", name, false);
        writeOwnElement(writer, "PC", {{name, false}});
        return true;
    case KIND_STUB:
        writeLk(writer);
        writeSi(writer);
        writeIn(writer, "Stub", name, false);
        writeLk(writer);
        writeMessage(writer, {{"`", false}, {static_cast<StubInfo *>(node->payload)->signature, true}, {"'", false}});
        writeOwnElement(writer, "SB", {{name, false}});
        return true;
    case KIND_SINGLE_CLASS:
        writeContractClass(writer, "ZEPSingleClass", "SL");
        return true;
    case KIND_CLASS:
        writeContractClass(writer, "ZEPClass", "CL");
        return true;
    case KIND_CHECK_STUB:
        writeStubCheck(writer);
        return true;
    case KIND_ON_ERROR: {
        RecordLine fixed;
        if (beginRecord(writer->run, &fixed, "ST 164\n"))
            finishTsf(writer, &fixed);
        writeLk(writer);
        writeMessage(writer, {{"call `", false}, {name, false}, {"'", false}});
        return true;
    }
    case KIND_CALL:
        writeLk(writer);
        writeMessage(writer, {{"call `", false}, {name, false}, {"'", false}});
        writeOwnElement(writer, "CP", {{name, false}});
        return true;
    case KIND_RUN_COMPONENT:
        writeRunComponent(writer);
        return true;
    case KIND_UMLSTATE:
        writeQuotedText(writer, false, "ST");
        return true;
    case KIND_CHECK_METHOD:
        writeQuotedText(writer, true, "CM");
        return true;
    case KIND_INVARIANT:
        writeLk(writer);
        writeText(writer, {{"`", false}, {name, true}, {"'", false}});
        writeOwnElement(writer, "IV", {{"(", false}, {name, true}, {")", false}});
        return true;
    case KIND_WRAP:
        writeQuotedText(writer, true, "WR");
        return true;
    case KIND_CHECK_EXCEPTION:
        writeLk(writer);
        writeText(writer, {{"(", false}, {name, true}, {")", false}});
        writeOwnElement(writer, "CX", {{name, true}});
        return true;
    case KIND_ENSURE:
        writeParenthesised(writer, "EN");
        return true;
    case KIND_REQUIRE:
        writeParenthesised(writer, "RQ");
        return true;
    case KIND_COMMENT_LINE:
    case KIND_COMMENT_BLOCK:
        writeLk(writer);
        writeText(writer, {{name, true}});
        writeOwnElement(writer, "CO", {{name, true}});
        return true;
    case KIND_CHECK_PROPERTY:
        writePropertyCheck(writer);
        return true;
    case KIND_CHECK:
        writeCheck(writer);
        return true;
    case KIND_PRINT:
        writePrint(writer);
        return true;
    case KIND_RUN:
        writeOwnElement(writer, "RU", {{name, false}});
        return true;
    case KIND_PROLOGUE:
        writeOwnElement(writer, "CB", {{name, false}});
        return true;
    case KIND_EPILOGUE:
        writeOwnElement(writer, "CE", {{name, false}});
        return true;
    case KIND_TRANSITION:
        writeTransition(writer);
        return true;
    case KIND_EXPRESSION:
        writeOwnElement(writer, "EX", {{"(", false}, {name, true}, {")", false}});
        return true;
    case KIND_PROPERTY:
        writeOwnElement(writer, "PY", {{name, false}});
        return true;
    default:
        if (isNativeKind(node->kind)) {
            writeOwnElement(writer, "NC", {{name, true}});
            return true;
        }
        return false;
    }
}

bool isSilentKind(uint32_t kind)
{
    return kind == KIND_SCRIPT || kind == KIND_INCLUDE || kind == KIND_THREE_POINTS || kind == KIND_LINE_COMMENT ||
           kind == KIND_BLOCK_COMMENT;
}

} // namespace

int writeElementRecords(Run *run, Node *node)
{
    // Siblings in a loop, children by recursion: the depth is that of the tree.
    for (; node != nullptr; node = node->nextSibling) {
        if (!isSilentKind(node->kind)) {
            Writer writer{run, node, entryForFile(run->context, node->fileNo), false};
            if (writer.entry == nullptr || !writeNodeRecords(&writer))
                report(run, MESSAGE_UNKNOWN_TOKEN, node->displayPath, node->line, messageArgument(node->name));
        }
        if (node->firstChild != nullptr)
            writeElementRecords(run, node->firstChild);
    }
    return 0;
}
