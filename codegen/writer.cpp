// The two writers, the #line directives, the file head, the harness frame
// with main, and the order of the whole generation.
#include "codegen/codegen.h"
#include "base/diagnostics.h"
#include "io/files.h"
#include "base/memory.h"

#include <cinttypes>
#include <cstdarg>
#include <cstring>

namespace {

void failWrite(GenState *gen)
{
    if (!gen->failed)
        report(gen->run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
    gen->failed = true;
}

// The generated file comes in many short pieces. They are formatted
// straight into one buffer, handed to the stream whenever it holds
// CODE_BLOCK bytes or more, which costs far less than a call of the C
// library per piece; while a capture buffer is set they go there instead.
enum : size_t { CODE_BLOCK = 1 << 16 };

// A byte-wide count cannot overflow within a run of 255 bytes, which lets
// the compiler compare and add many bytes an instruction.
uint64_t countLines(const char *text, size_t length)
{
    uint64_t lines = 0;
    while (length > 0) {
        size_t run = length < 255 ? length : 255;
        unsigned char inRun = 0;
        for (size_t i = 0; i < run; i++)
            inRun = static_cast<unsigned char>(inRun + (text[i] == '\n'));
        lines += inRun;
        text += run;
        length -= run;
    }
    return lines;
}

void countCodeLines(GenState *gen)
{
    gen->outputLine += countLines(gen->codeText.text + gen->codeCounted, gen->codeText.length - gen->codeCounted);
    gen->codeCounted = gen->codeText.length;
}

void flushCode(GenState *gen)
{
    countCodeLines(gen);
    if (gen->codeText.length > 0)
        fwrite_unlocked(gen->codeText.text, 1, gen->codeText.length, gen->run->context->codeStream);
    gen->codeText.length = 0;
    gen->codeCounted = 0;
}

// Where the next piece goes; null once a capture has failed, as a capture
// short of a piece is of no use.
TextBuffer *output(GenState *gen)
{
    TextBuffer *capture = gen->captureBuffer;
    if (capture == nullptr)
        return &gen->codeText;
    return gen->failed ? nullptr : capture;
}

bool makeRoom(GenState *gen, TextBuffer *out, size_t length)
{
    if (out->length + length < out->capacity || reserveText(out, length) == 0)
        return true;
    failWrite(gen);
    return false;
}

bool put(GenState *gen, TextBuffer *out, const char *text, size_t length)
{
    if (appendBytes(out, text, length) == 0)
        return true;
    failWrite(gen);
    return false;
}

// The indentation of the usual depths is one move of a fixed size, made
// inline, which may write spaces into the room after it: what follows
// writes over them.
bool indent(GenState *gen, TextBuffer *out, uint64_t level)
{
    static const char SPACES[] = "                                                ";
    constexpr size_t MOVED = sizeof SPACES - 1;
    size_t spaces = level * 3;
    if (!makeRoom(gen, out, spaces > MOVED ? spaces : MOVED))
        return false;
    if (spaces <= MOVED)
        memcpy(out->text + out->length, SPACES, MOVED);
    else
        memset(out->text + out->length, ' ', spaces);
    out->length += spaces;
    return true;
}

// A capture stays terminated; the code goes out in blocks.
void endPiece(GenState *gen, TextBuffer *out)
{
    if (out != &gen->codeText)
        out->text[out->length] = '\0';
    else if (gen->codeText.length >= CODE_BLOCK)
        flushCode(gen);
}

void writeIndented(GenState *gen, const char *text, size_t length, uint64_t level)
{
    TextBuffer *out = output(gen);
    if (out == nullptr)
        return;
    if (out == &gen->codeText && length > CODE_BLOCK) {
        // A long text goes to the stream as it is, not through the buffer.
        if (!indent(gen, out, level))
            return;
        flushCode(gen);
        gen->outputLine += countLines(text, length);
        fwrite_unlocked(text, 1, length, gen->run->context->codeStream);
        return;
    }
    size_t mark = out->length;
    if (!indent(gen, out, level) || !put(gen, out, text, length)) {
        out->length = mark;
        return;
    }
    endPiece(gen, out);
}

enum { QUICK_MADE, QUICK_UNKNOWN, QUICK_FAILED };


void makePlan(PatternPlan *plan, const char *pattern)
{
    plan->pattern = pattern;
    plan->quick = false;
    const char *p = pattern;
    for (PatternPiece &piece : plan->pieces) {
        const char *percent = strchrnul(p, '%');
        piece.start = static_cast<uint32_t>(p - pattern);
        piece.length = static_cast<uint32_t>(percent - p);
        piece.longs = 0;
        if (*percent == '\0') {
            piece.conversion = 0;
            plan->quick = true;
            return;
        }
        p = percent + 1;
        for (; *p == 'l'; p++)
            piece.longs++;
        piece.conversion = *p++;
        bool number = piece.conversion == 'd' || piece.conversion == 'u' || piece.conversion == 'x';
        bool text = piece.conversion == '%' || piece.conversion == 's';
        if ((text && piece.longs > 0) || (!text && (!number || piece.longs > 2)))
            return;
    }
}

// The conversions that nearly every generated line uses (%s, %%, and d, u or
// x with no length or an l or ll length, without flags, width or precision)
// made without the general machinery of the C library, which most of the
// generation's time went to: the same text, appended to out. QUICK_UNKNOWN
// for any other pattern, QUICK_FAILED after message 50.
int formatQuickly(GenState *gen, TextBuffer *out, const char *pattern, va_list arguments)
{
    PatternPlan *plan = &gen->plans[(reinterpret_cast<uintptr_t>(pattern) >> 3) % PLAN_SLOTS];
    if (plan->pattern != pattern)
        makePlan(plan, pattern);
    if (!plan->quick)
        return QUICK_UNKNOWN;
    for (const PatternPiece &piece : plan->pieces) {
        if (!put(gen, out, pattern + piece.start, piece.length))
            return QUICK_FAILED;
        char conversion = piece.conversion;
        if (conversion == 0)
            return QUICK_MADE;
        if (conversion == '%' || conversion == 's') {
            const char *text = conversion == '%' ? "%" : va_arg(arguments, const char *);
            if (text == nullptr)
                text = "(null)";
            if (!put(gen, out, text, strlen(text)))
                return QUICK_FAILED;
            continue;
        }
        int longs = piece.longs;
        uint64_t value;
        bool negative = false;
        if (conversion == 'd') {
            int64_t number = longs == 0 ? va_arg(arguments, int) : longs == 1 ? va_arg(arguments, long)
                                                                               : va_arg(arguments, long long);
            negative = number < 0;
            value = negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
        } else {
            value = longs == 0 ? va_arg(arguments, unsigned) : longs == 1 ? va_arg(arguments, unsigned long)
                                                                           : va_arg(arguments, unsigned long long);
        }
        char digits[DIGITS_ROOM];
        char *end = digits + sizeof digits;
        char *start = writeDigits(end, value, conversion == 'x' ? 16 : 10);
        if (negative)
            *--start = '-';
        if (!put(gen, out, start, static_cast<size_t>(end - start)))
            return QUICK_FAILED;
    }
    return QUICK_MADE;
}

// Appends the formatted text to out; false, with out as it was, after
// message 50 or a conversion the C library refused.
bool formatInto(GenState *gen, TextBuffer *out, const char *pattern, va_list arguments)
{
    size_t mark = out->length;
    va_list copy;
    va_copy(copy, arguments);
    int quick = formatQuickly(gen, out, pattern, copy);
    va_end(copy);
    if (quick == QUICK_MADE)
        return true;
    out->length = mark;
    if (quick == QUICK_FAILED)
        return false;
    va_copy(copy, arguments);
    int length = vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    if (length < 0 || !makeRoom(gen, out, static_cast<size_t>(length)))
        return false;
    vsnprintf(out->text + out->length, out->capacity - out->length, pattern, arguments);
    out->length += static_cast<size_t>(length);
    return true;
}

// The formatted text in the scratch buffer, or null after a failure.
const char *format(GenState *gen, const char *pattern, va_list arguments)
{
    gen->scratch.length = 0;
    if (!formatInto(gen, &gen->scratch, pattern, arguments))
        return nullptr;
    gen->scratch.text[gen->scratch.length] = '\0';
    return gen->scratch.text;
}

// An indented formatted text, written whole or not at all.
void writeIndentedFormat(GenState *gen, uint64_t level, const char *pattern, va_list arguments, bool newline)
{
    TextBuffer *out = output(gen);
    if (out == nullptr)
        return;
    size_t mark = out->length;
    if (!indent(gen, out, level) || !formatInto(gen, out, pattern, arguments) || (newline && !put(gen, out, "\n", 1))) {
        out->length = mark;
        return;
    }
    endPiece(gen, out);
}

void writeFileHead(GenState *gen)
{
    gen->outputLine = 1;
    writeCode(gen, "\n#define _ZEP_GENERATED_FILE       (1)\n#define USE_ZEP                   (1)\n\n"
              "#pragma kesta zep_generated\n\n",
              0);
    const char *label = gen->run->context->featureLabel;
    const char *target = gen->run->context->targetDirectory;
    if (gen->run->context->noPath)
        writeLine(gen, 0, "#include \"%s\" /* %s Target Package */", "TP.h", label);
    else if (target != nullptr && target[strlen(target) - 1] == '/')
        writeLine(gen, 0, "#include \"%s%s\" /* %s Target Package */", target, "lib/TP.h", label);
    else if (target != nullptr)
        writeLine(gen, 0, "#include \"%s/%s\" /* %s Target Package */", target, "lib/TP.h", label);
    else
        writeLine(gen, 0, "#include \"%s\" /* %s Target Package */", "lib/TP.h", label);
    writeCode(gen, "\n#define _ZEP_St_Begin              (0L)\n#define _ZEP_St_OnError            (1L)\n"
              "#define _ZEP_St_GoToNextComponent  (2L)\n#define _ZEP_St_End                (3L)\n\n",
              0);
    writeLine(gen, 0, "_zep_Int _ZEP_FileIdList[%u];", gen->run->context->fileCount);
    writeCode(gen, "\n\n", 0);
}

void writeHarnessHead(GenState *gen)
{
    writeCode(gen, "\n\n", 0);
    writeCode(gen, "class _ZEP_TestClass\n{\n", 0);
    writeCode(gen, "private: _zep_Int  argc;\n", 1);
    writeCode(gen, "         _zep_Car **argv;\n", 1);
    writeCode(gen, "\n", 0);
    writeCode(gen, "public : _ZEP_TestClass(_zep_Int p_argc, _zep_Car *p_argv[]) {this->argc = p_argc; this->argv = p_argv;}\n",
              1);
    writeCode(gen, "         _zep_Int _ZEP_Run();\n", 1);
    writeCode(gen, "};\n", 0);
    writeCode(gen, "\n\n", 0);
    writeCode(gen, "_zep_Int _ZEP_TestClass::_ZEP_Run()\n{\n", 0);
    writeCode(gen, "_zep_Int _ZEP_OnErrorEngaged = 0;\n", 1);
    writeCode(gen, "_zep_Id _ZEP_BypassComponent = 0L;\n", 1);
    writeCode(gen, "_zep_Int _ZEP_DumpAuthorization = 0;\n", 1);
    writeCode(gen, "\n\n", 0);
}

void writeMain(GenState *gen)
{
    writeCode(gen, "\n\n", 0);
    writeCode(gen, "   _ZEP_OBSTOOLS_DUMP;\n   return(0);\n}\n", 0);
    writeCode(gen, "\n\n", 0);
    writeCode(gen, "#ifndef VELD_MAIN_HEADER\n_zep_Int main(_zep_Int argc, _zep_Car *argv[])\n{\n#else\nVELD_MAIN_HEADER\n"
              "#endif\n\n",
              0);
    writeCode(gen, "_ZEP_TestClass _ZEP_TCL(argc, argv);\n", 1);
    writeCode(gen, "\n", 0);
    const char *dynamicPath = escaped(gen, gen->run->context->dynamicPath);
    if (dynamicPath != nullptr)
        writeLine(gen, 1, "_zep_init((_zep_Car*)\"%s\", 0x%lx, 0x%lx, 0x%lx);", dynamicPath, 0ul,
                  static_cast<unsigned long>(RECORD_MESSAGE_BASE), static_cast<unsigned long>(RECORD_TEXT_BASE));
    for (const FileEntry *entry = gen->run->context->fileEntries; entry != nullptr; entry = entry->nextEntry)
        writeLine(gen, 1, "_ZEP_FileIdList[0x%x] = _zep_add_source_file(0x%x, 0x%x);", entry->fileNo - 1, entry->checksumA,
                 entry->checksumB);
    writeCode(gen, "\n#pragma kesta testing_tool_call_place\n\n", 0);
    writeCode(gen, "_ZEP_TCL._ZEP_Run();\n", 1);
    writeCode(gen, "\n", 0);
    writeCode(gen, "_zep_term();\n\n", 1);
    writeCode(gen, "#ifdef VELD_MAIN_RETURN\n", 0);
    writeCode(gen, "VELD_MAIN_RETURN\n", 1);
    writeCode(gen, "#else\n", 0);
    writeCode(gen, "return(0);\n", 1);
    writeCode(gen, "#endif\n\n}\n", 0);
    writeCode(gen, "\n\n", 0);
}

// The class, its run method holding the machine of the top-level RUN, and
// main with the initialisation of the run-time library.
int writeHarness(GenState *gen, Node *runNode)
{
    writeHarnessHead(gen);
    uint64_t savedCounter = gen->stateCounter;
    gen->stateCounter = 0;
    gen->currentOnError = firstChildOfKind(runNode->parent, KIND_ON_ERROR);
    openMachine(gen, 1);
    if (generateRun(gen, runNode, 1) != 0)
        return -1;
    writeGoToNextComponent(gen, runNode->parent, 1);
    closeMachine(gen, 1);
    gen->stateCounter = savedCounter;
    writeMain(gen);
    gen->currentOnError = nullptr;
    return 0;
}

// Counters of every stub and CHECK METHOD, in tree order.
void declareCounters(GenState *gen, const Node *node)
{
    for (; node != nullptr; node = node->nextSibling) {
        writeCounterDeclarations(gen, node);
        declareCounters(gen, node->firstChild);
    }
}

int generateTopLevel(GenState *gen, Node *root)
{
    for (Node *element = root->firstChild; element != nullptr; element = element->nextSibling) {
        uint32_t kind = element->kind;
        int result = 0;
        if (kind == KIND_RUN)
            result = writeHarness(gen, element);
        else if (kind == KIND_SINGLE_CLASS || kind == KIND_CLASS)
            result = generateContracts(gen, element);
        else if (isNativeKind(kind))
            result = generateStatementIn(gen, element, nullptr, 0, 0);
        else if (kind != KIND_INCLUDE && kind != KIND_TEST_CLASS && kind != KIND_TEST_SUITE && kind != KIND_ON_ERROR &&
                 kind != KIND_STUB && !isPlainComment(kind))
            result = failKind(gen, element);
        if (result != 0 || gen->failed)
            return -1;
    }
    return 0;
}

int generateFiles(GenState *gen, Node *root)
{
    if (!gen->run->context->noLineDirectives)
        writeInstr(gen, "@DLI@ \n\n");
    writeFileHead(gen);
    declareCounters(gen, root->firstChild);
    bool stubs = false;
    for (Node *element = root->firstChild; element != nullptr; element = element->nextSibling) {
        if (element->kind == KIND_STUB) {
            stubs = true;
            if (prepareStub(gen, element) != 0 || gen->failed) {
                gen->captureBuffer = nullptr;
                return -1;
            }
        }
    }
    if (generateTopLevel(gen, root) != 0)
        return -1;
    for (Node *element = root->firstChild; stubs && element != nullptr; element = element->nextSibling) {
        if (element->kind == KIND_STUB)
            writeStubTrailer(gen, element);
    }
    return gen->failed ? -1 : 0;
}

} // namespace

void writeText(GenState *gen, const char *text, size_t length, uint64_t level)
{
    writeIndented(gen, text, length, level);
}

void writeFormattedLiteral(GenState *gen, uint64_t level, const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    writeIndentedFormat(gen, level, pattern, arguments, false);
    va_end(arguments);
}

void writeLineLiteral(GenState *gen, uint64_t level, const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    // The line and its end go out as one piece.
    writeIndentedFormat(gen, level, pattern, arguments, true);
    va_end(arguments);
}

void writeInstr(GenState *gen, const char *text)
{
    fputs_unlocked(text, gen->run->context->instrStream);
}

void emitInstrLiteral(GenState *gen, const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    const char *text = format(gen, pattern, arguments);
    va_end(arguments);
    if (text != nullptr)
        fwrite_unlocked(text, 1, gen->scratch.length, gen->run->context->instrStream);
}

const char *escaped(GenState *gen, const char *text)
{
    // Written at once, so a text with nothing to escape goes out as it is,
    // without a trip through the pool.
    if (text != nullptr && !needsQuoteEscapes(text))
        return text;
    const char *result = escapeQuotes(gen->run, text);
    if (result == nullptr)
        failWrite(gen);
    return result;
}

static const char *replaced(GenState *gen, const char *text, const char *what, const char *instead)
{
    const char *found = strstr(text, what);
    if (found == nullptr)
        return text;
    TextBuffer out{};
    size_t whatLength = strlen(what), insteadLength = strlen(instead);
    int failed = initTextBuffer(&out);
    const char *rest = text;
    for (; failed == 0 && found != nullptr; rest = found + whatLength, found = strstr(rest, what)) {
        failed |= appendBytes(&out, rest, static_cast<size_t>(found - rest));
        failed |= appendBytes(&out, instead, insteadLength);
    }
    if (failed == 0)
        failed = appendBytes(&out, rest, strlen(rest));
    const char *result = failed == 0 ? internCopy(gen->run, out.text, out.length) : nullptr;
    freeTextBuffer(&out);
    if (result == nullptr)
        failWrite(gen);
    return result;
}

const char *commentText(GenState *gen, const char *text)
{
    // "*/" first: the space it puts in may part a "/*" that follows it.
    const char *closed = replaced(gen, text, "*/", "* /");
    return closed != nullptr ? replaced(gen, closed, "/*", "/ *") : nullptr;
}

const char *labelName(GenState *gen, const char *name)
{
    return replaced(gen, name, "+", "_P_");
}

// The paths of the #line directives, pooled or fixed for the run, come
// again and again: the escaped forms of the last few are kept by address.
static const char *escapedPath(GenState *gen, const char *path)
{
    for (const PathEscape &kept : gen->paths) {
        if (kept.path == path && path != nullptr)
            return kept.text;
    }
    const char *result = escaped(gen, path);
    if (result != nullptr) {
        gen->paths[gen->nextPath] = PathEscape{path, result};
        gen->nextPath = (gen->nextPath + 1) % PATHS_KEPT;
    }
    return result;
}

void sourceLineDirective(GenState *gen, const Node *node)
{
    if (gen->run->context->noLineDirectives)
        return;
    const char *directory = escapedPath(gen, node->directory), *name = escapedPath(gen, node->fileName);
    if (directory != nullptr && name != nullptr)
        writeFormatted(gen, 0, "\n#line %" PRIu64 " \"%s%s\"\n", node->beginLine, directory, name);
}

void sourceLineDirectiveInstr(GenState *gen, const Node *node)
{
    if (gen->run->context->noLineDirectives)
        return;
    const char *directory = escapedPath(gen, node->directory), *name = escapedPath(gen, node->fileName);
    if (directory != nullptr && name != nullptr)
        emitInstr(gen, "\n#line %" PRIu64 " \"%s%s\"\n", node->beginLine, directory, name);
}

void outputLineDirective(GenState *gen)
{
    if (gen->run->context->noLineDirectives || gen->captureBuffer != nullptr)
        return;
    // The directive names the line that follows it: its leading newline
    // ends the current line and the directive takes the next.
    countCodeLines(gen);
    uint64_t line = gen->outputLine + 2;
    const char *path = escapedPath(gen, gen->run->context->codePath);
    if (path == nullptr)
        return;
    if (path[0] == '/') {
        writeFormatted(gen, 0, "\n#line %" PRIu64 " \"%s\"\n", line, path);
        return;
    }
    const char *directory = escapedPath(gen, gen->run->context->workingDirectory);
    if (directory != nullptr)
        writeFormatted(gen, 0, "\n#line %" PRIu64 " \"%s%s\"\n", line, directory, path);
}

void writeLocation(GenState *gen, const Node *node)
{
    emitInstr(gen, "@SLI@ \n%s:%" PRIu64 "\n", node->fileName, node->beginLine);
}

int failKind(GenState *gen, const Node *node)
{
    report(gen->run, MESSAGE_UNKNOWN_TOKEN, node->displayPath, node->line, messageArgument(node->name));
    return -1;
}

unsigned fileIndex(const Node *node)
{
    return node->fileNo - 1;
}

bool isPlainComment(uint32_t kind)
{
    return kind == KIND_LINE_COMMENT || kind == KIND_BLOCK_COMMENT;
}

bool isAnyComment(uint32_t kind)
{
    return kind >= KIND_COMMENT_LINE && kind <= KIND_BLOCK_COMMENT;
}

int generate(Run *run, Node *root)
{
    Context *context = run->context;
    context->codeStream = openOutputFile(run, context->codePath, OPEN_CODE);
    if (context->codeStream == nullptr) {
        report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(context->codePath));
        return -1;
    }
    context->instrStream = openOutputFile(run, context->instrPath, OPEN_INSTR);
    if (context->instrStream == nullptr) {
        report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(context->instrPath));
        return -1;
    }
    GenState state{};
    GenState *gen = &state;
    gen->run = run;
    gen->blockCounter = 1;
    int result = initTextBuffer(&gen->scratch) == 0 && initTextBuffer(&gen->codeText) == 0 ? generateFiles(gen, root)
                                                                                         : (failWrite(gen), -1);
    if (gen->codeText.text != nullptr)
        flushCode(gen);
    freeTextBuffer(&gen->codeText);
    while (gen->bindingStack != nullptr)
        popBindings(gen);
    releaseCells(gen->runStack);
    releaseCells(gen->procStack);
    freeTextBuffer(&gen->scratch);
    freeSubstitutionScratch(&gen->substitution);
    return result;
}
