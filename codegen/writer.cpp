// The two writers, the #line directives, the file head, the harness frame
// with main, and the order of the whole generation.
#include "codegen/codegen.h"
#include "driver/diagnostics.h"
#include "driver/files.h"
#include "form/memory.h"

#include <cinttypes>
#include <cstdarg>
#include <cstring>

GenState gen;

namespace {

void failWrite()
{
    if (!gen.failed)
        report(50, nullptr, 0);
    gen.failed = true;
}

// The generated file comes in many short pieces. They are formatted
// straight into one buffer, handed to the stream whenever it holds
// CODE_BLOCK bytes or more, which costs far less than a call of the C
// library per piece; while a capture buffer is set they go there instead.
enum : size_t { CODE_BLOCK = 1 << 16 };
TextBuffer codeText;
// The lines of the generated file are counted only when a #line directive
// names one, and then over all the text since the last count at once.
size_t codeCounted;

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

void countCodeLines()
{
    gen.outputLine += countLines(codeText.text + codeCounted, codeText.length - codeCounted);
    codeCounted = codeText.length;
}

void flushCode()
{
    countCodeLines();
    if (codeText.length > 0)
        fwrite_unlocked(codeText.text, 1, codeText.length, context->codeStream);
    codeText.length = 0;
    codeCounted = 0;
}

// Where the next piece goes; null once a capture has failed, as a capture
// short of a piece is of no use.
TextBuffer *output()
{
    TextBuffer *capture = context->captureBuffer;
    if (capture == nullptr)
        return &codeText;
    return gen.failed ? nullptr : capture;
}

bool makeRoom(TextBuffer *out, size_t length)
{
    if (out->length + length < out->capacity || reserveText(out, length) == 0)
        return true;
    failWrite();
    return false;
}

bool put(TextBuffer *out, const char *text, size_t length)
{
    if (appendBytes(out, text, length) == 0)
        return true;
    failWrite();
    return false;
}

// The indentation of the usual depths is one move of a fixed size, made
// inline, which may write spaces into the room after it: what follows
// writes over them.
bool indent(TextBuffer *out, uint64_t level)
{
    static const char SPACES[] = "                                                ";
    constexpr size_t MOVED = sizeof SPACES - 1;
    size_t spaces = level * 3;
    if (!makeRoom(out, spaces > MOVED ? spaces : MOVED))
        return false;
    if (spaces <= MOVED)
        memcpy(out->text + out->length, SPACES, MOVED);
    else
        memset(out->text + out->length, ' ', spaces);
    out->length += spaces;
    return true;
}

// A capture stays terminated; the code goes out in blocks.
void endPiece(TextBuffer *out)
{
    if (out != &codeText)
        out->text[out->length] = '\0';
    else if (codeText.length >= CODE_BLOCK)
        flushCode();
}

void writeIndented(const char *text, size_t length, uint64_t level)
{
    TextBuffer *out = output();
    if (out == nullptr)
        return;
    if (out == &codeText && length > CODE_BLOCK) {
        // A long text goes to the stream as it is, not through the buffer.
        if (!indent(out, level))
            return;
        flushCode();
        gen.outputLine += countLines(text, length);
        fwrite_unlocked(text, 1, length, context->codeStream);
        return;
    }
    size_t mark = out->length;
    if (!indent(out, level) || !put(out, text, length)) {
        out->length = mark;
        return;
    }
    endPiece(out);
}

enum { QUICK_MADE, QUICK_UNKNOWN, QUICK_FAILED };

// A pattern cut once into its pieces, each a literal run and the conversion
// after it (0 at the end), kept by the pattern's address: every pattern is
// a literal (see writeLine), so an address names one text for the run and
// beyond.
struct PatternPiece {
    uint32_t start, length;
    char conversion; // '%', 's', 'd', 'u' or 'x'
    uint8_t longs;
};
enum : size_t { PLAN_PIECES = 8, PLAN_SLOTS = 512 };
struct PatternPlan {
    const char *pattern;
    bool quick; // every conversion one that formatQuickly makes
    PatternPiece pieces[PLAN_PIECES];
};
PatternPlan plans[PLAN_SLOTS];

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
int formatQuickly(TextBuffer *out, const char *pattern, va_list arguments)
{
    PatternPlan *plan = &plans[(reinterpret_cast<uintptr_t>(pattern) >> 3) % PLAN_SLOTS];
    if (plan->pattern != pattern)
        makePlan(plan, pattern);
    if (!plan->quick)
        return QUICK_UNKNOWN;
    for (const PatternPiece &piece : plan->pieces) {
        if (!put(out, pattern + piece.start, piece.length))
            return QUICK_FAILED;
        char conversion = piece.conversion;
        if (conversion == 0)
            return QUICK_MADE;
        if (conversion == '%' || conversion == 's') {
            const char *text = conversion == '%' ? "%" : va_arg(arguments, const char *);
            if (text == nullptr)
                text = "(null)";
            if (!put(out, text, strlen(text)))
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
        if (!put(out, start, static_cast<size_t>(end - start)))
            return QUICK_FAILED;
    }
    return QUICK_MADE;
}

// Appends the formatted text to out; false, with out as it was, after
// message 50 or a conversion the C library refused.
bool formatInto(TextBuffer *out, const char *pattern, va_list arguments)
{
    size_t mark = out->length;
    va_list copy;
    va_copy(copy, arguments);
    int quick = formatQuickly(out, pattern, copy);
    va_end(copy);
    if (quick == QUICK_MADE)
        return true;
    out->length = mark;
    if (quick == QUICK_FAILED)
        return false;
    va_copy(copy, arguments);
    int length = vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    if (length < 0 || !makeRoom(out, static_cast<size_t>(length)))
        return false;
    vsnprintf(out->text + out->length, out->capacity - out->length, pattern, arguments);
    out->length += static_cast<size_t>(length);
    return true;
}

// The formatted text in the scratch buffer, or null after a failure.
const char *format(const char *pattern, va_list arguments)
{
    gen.scratch.length = 0;
    if (!formatInto(&gen.scratch, pattern, arguments))
        return nullptr;
    gen.scratch.text[gen.scratch.length] = '\0';
    return gen.scratch.text;
}

// An indented formatted text, written whole or not at all.
void writeIndentedFormat(uint64_t level, const char *pattern, va_list arguments, bool newline)
{
    TextBuffer *out = output();
    if (out == nullptr)
        return;
    size_t mark = out->length;
    if (!indent(out, level) || !formatInto(out, pattern, arguments) || (newline && !put(out, "\n", 1))) {
        out->length = mark;
        return;
    }
    endPiece(out);
}

void writeFileHead()
{
    gen.outputLine = 1;
    writeCode("\n#define _ZEP_GENERATED_FILE       (1)\n#define USE_ZEP                   (1)\n\n"
              "#pragma kesta zep_generated\n\n",
              0);
    const char *label = context->featureLabel;
    const char *target = context->targetDirectory;
    if (context->noPath)
        writeLine(0, "#include \"%s\" /* %s Target Package */", "TP.h", label);
    else if (target != nullptr && target[strlen(target) - 1] == '/')
        writeLine(0, "#include \"%s%s\" /* %s Target Package */", target, "lib/TP.h", label);
    else if (target != nullptr)
        writeLine(0, "#include \"%s/%s\" /* %s Target Package */", target, "lib/TP.h", label);
    else
        writeLine(0, "#include \"%s\" /* %s Target Package */", "lib/TP.h", label);
    writeCode("\n#define _ZEP_St_Begin              (0L)\n#define _ZEP_St_OnError            (1L)\n"
              "#define _ZEP_St_GoToNextComponent  (2L)\n#define _ZEP_St_End                (3L)\n\n",
              0);
    writeLine(0, "_zep_Int _ZEP_FileIdList[%u];", context->fileCount);
    writeCode("\n\n", 0);
}

void writeHarnessHead()
{
    writeCode("\n\n", 0);
    writeCode("class _ZEP_TestClass\n{\n", 0);
    writeCode("private: _zep_Int  argc;\n", 1);
    writeCode("         _zep_Car **argv;\n", 1);
    writeCode("\n", 0);
    writeCode("public : _ZEP_TestClass(_zep_Int p_argc, _zep_Car *p_argv[]) {this->argc = p_argc; this->argv = p_argv;}\n",
              1);
    writeCode("         _zep_Int _ZEP_Run();\n", 1);
    writeCode("};\n", 0);
    writeCode("\n\n", 0);
    writeCode("_zep_Int _ZEP_TestClass::_ZEP_Run()\n{\n", 0);
    writeCode("_zep_Int _ZEP_OnErrorEngaged = 0;\n", 1);
    writeCode("_zep_Id _ZEP_BypassComponent = 0L;\n", 1);
    writeCode("_zep_Int _ZEP_DumpAuthorization = 0;\n", 1);
    writeCode("\n\n", 0);
}

void writeMain()
{
    writeCode("\n\n", 0);
    writeCode("   _ZEP_OBSTOOLS_DUMP;\n   return(0);\n}\n", 0);
    writeCode("\n\n", 0);
    writeCode("#ifndef VELD_MAIN_HEADER\n_zep_Int main(_zep_Int argc, _zep_Car *argv[])\n{\n#else\nVELD_MAIN_HEADER\n"
              "#endif\n\n",
              0);
    writeCode("_ZEP_TestClass _ZEP_TCL(argc, argv);\n", 1);
    writeCode("\n", 0);
    const char *dynamicPath = escaped(context->dynamicPath);
    if (dynamicPath != nullptr)
        writeLine(1, "_zep_init((_zep_Car*)\"%s\", 0x%lx, 0x%lx, 0x%lx);", dynamicPath, 0ul, 1000000ul, 2000000ul);
    for (const FileEntry *entry = context->fileEntries; entry != nullptr; entry = entry->nextEntry)
        writeLine(1, "_ZEP_FileIdList[0x%x] = _zep_add_source_file(0x%x, 0x%x);", entry->fileNo - 1, entry->checksumA,
                 entry->checksumB);
    writeCode("\n#pragma kesta testing_tool_call_place\n\n", 0);
    writeCode("_ZEP_TCL._ZEP_Run();\n", 1);
    writeCode("\n", 0);
    writeCode("_zep_term();\n\n", 1);
    writeCode("#ifdef VELD_MAIN_RETURN\n", 0);
    writeCode("VELD_MAIN_RETURN\n", 1);
    writeCode("#else\n", 0);
    writeCode("return(0);\n", 1);
    writeCode("#endif\n\n}\n", 0);
    writeCode("\n\n", 0);
}

// The class, its run method holding the machine of the top-level RUN, and
// main with the initialisation of the run-time library.
int writeHarness(Node *run)
{
    writeHarnessHead();
    uint64_t savedCounter = gen.stateCounter;
    gen.stateCounter = 0;
    gen.currentOnError = firstChildOfKind(run->parent, KIND_ON_ERROR);
    openMachine(1);
    if (generateRun(run, 1) != 0)
        return -1;
    writeGoToNextComponent(run->parent, 1);
    closeMachine(1);
    gen.stateCounter = savedCounter;
    writeMain();
    gen.currentOnError = nullptr;
    return 0;
}

// Counters of every stub and CHECK METHOD, in tree order.
void declareCounters(const Node *node)
{
    for (; node != nullptr; node = node->nextSibling) {
        writeCounterDeclarations(node);
        declareCounters(node->firstChild);
    }
}

int generateTopLevel(Node *root)
{
    for (Node *element = root->firstChild; element != nullptr; element = element->nextSibling) {
        uint32_t kind = element->kind;
        int result = 0;
        if (kind == KIND_RUN)
            result = writeHarness(element);
        else if (kind == KIND_SINGLE_CLASS || kind == KIND_CLASS)
            result = generateContracts(element);
        else if (isNative(kind))
            result = generateStatementIn(element, nullptr, 0, 0);
        else if (kind != KIND_INCLUDE && kind != KIND_TEST_CLASS && kind != KIND_TEST_SUITE && kind != KIND_ON_ERROR &&
                 kind != KIND_STUB && !isPlainComment(kind))
            result = failKind(element);
        if (result != 0 || gen.failed)
            return -1;
    }
    return 0;
}

void resetState()
{
    freeTextBuffer(&gen.scratch);
    freeSubstitutionScratch(&gen.substitution);
    gen = GenState{};
    gen.blockCounter = 1;
    codeCounted = 0;
}

int generateFiles(Node *root)
{
    if (!context->noLineDirectives)
        writeInstr("@DLI@ \n\n");
    writeFileHead();
    declareCounters(root->firstChild);
    bool stubs = false;
    for (Node *element = root->firstChild; element != nullptr; element = element->nextSibling) {
        if (element->kind == KIND_STUB) {
            stubs = true;
            if (prepareStub(element) != 0 || gen.failed) {
                context->captureBuffer = nullptr;
                return -1;
            }
        }
    }
    if (generateTopLevel(root) != 0)
        return -1;
    for (Node *element = root->firstChild; stubs && element != nullptr; element = element->nextSibling) {
        if (element->kind == KIND_STUB)
            writeStubTrailer(element);
    }
    return gen.failed ? -1 : 0;
}

} // namespace

void writeText(const char *text, size_t length, uint64_t level)
{
    writeIndented(text, length, level);
}

void writeFormattedLiteral(uint64_t level, const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    writeIndentedFormat(level, pattern, arguments, false);
    va_end(arguments);
}

void writeLineLiteral(uint64_t level, const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    // The line and its end go out as one piece.
    writeIndentedFormat(level, pattern, arguments, true);
    va_end(arguments);
}

void writeInstr(const char *text)
{
    fputs_unlocked(text, context->instrStream);
}

void emitInstrLiteral(const char *pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    const char *text = format(pattern, arguments);
    va_end(arguments);
    if (text != nullptr)
        fwrite_unlocked(text, 1, gen.scratch.length, context->instrStream);
}

const char *escaped(const char *text)
{
    // Written at once, so a text with nothing to escape goes out as it is,
    // without a trip through the pool.
    if (text != nullptr && !needsQuoteEscapes(text))
        return text;
    const char *result = escapeQuotes(text);
    if (result == nullptr)
        failWrite();
    return result;
}

static const char *replaced(const char *text, const char *what, const char *instead)
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
    const char *result = failed == 0 ? internCopy(out.text, out.length) : nullptr;
    freeTextBuffer(&out);
    if (result == nullptr)
        failWrite();
    return result;
}

const char *commentText(const char *text)
{
    // "*/" first: the space it puts in may part a "/*" that follows it.
    const char *closed = replaced(text, "*/", "* /");
    return closed != nullptr ? replaced(closed, "/*", "/ *") : nullptr;
}

const char *labelName(const char *name)
{
    return replaced(name, "+", "_P_");
}

// The paths of the #line directives, pooled or fixed for the run, come
// again and again: the escaped forms of the last few are kept by address.
static const char *escapedPath(const char *path)
{
    for (const PathEscape &kept : gen.paths) {
        if (kept.path == path && path != nullptr)
            return kept.text;
    }
    const char *result = escaped(path);
    if (result != nullptr) {
        gen.paths[gen.nextPath] = PathEscape{path, result};
        gen.nextPath = (gen.nextPath + 1) % PATHS_KEPT;
    }
    return result;
}

void sourceLineDirective(const Node *node)
{
    if (context->noLineDirectives)
        return;
    const char *directory = escapedPath(node->directory), *name = escapedPath(node->fileName);
    if (directory != nullptr && name != nullptr)
        writeFormatted(0, "\n#line %" PRIu64 " \"%s%s\"\n", node->beginLine, directory, name);
}

void sourceLineDirectiveInstr(const Node *node)
{
    if (context->noLineDirectives)
        return;
    const char *directory = escapedPath(node->directory), *name = escapedPath(node->fileName);
    if (directory != nullptr && name != nullptr)
        emitInstr("\n#line %" PRIu64 " \"%s%s\"\n", node->beginLine, directory, name);
}

void outputLineDirective()
{
    if (context->noLineDirectives || context->captureBuffer != nullptr)
        return;
    // The directive names the line that follows it: its leading newline
    // ends the current line and the directive takes the next.
    countCodeLines();
    uint64_t line = gen.outputLine + 2;
    const char *path = escapedPath(context->codePath);
    if (path == nullptr)
        return;
    if (path[0] == '/') {
        writeFormatted(0, "\n#line %" PRIu64 " \"%s\"\n", line, path);
        return;
    }
    const char *directory = escapedPath(context->workingDirectory);
    if (directory != nullptr)
        writeFormatted(0, "\n#line %" PRIu64 " \"%s%s\"\n", line, directory, path);
}

void writeLocation(const Node *node)
{
    emitInstr("@SLI@ \n%s:%" PRIu64 "\n", node->fileName, node->beginLine);
}

int failKind(const Node *node)
{
    report(48, node->displayPath, node->line, messageArgument(node->name));
    return -1;
}

unsigned fileIndex(const Node *node)
{
    return node->fileNo - 1;
}

bool isNative(uint32_t kind)
{
    return kind >= KIND_NATIVE_LINE && kind <= KIND_JAVA_BLOCK;
}

bool isPlainComment(uint32_t kind)
{
    return kind == KIND_LINE_COMMENT || kind == KIND_BLOCK_COMMENT;
}

bool isAnyComment(uint32_t kind)
{
    return kind >= KIND_COMMENT_LINE && kind <= KIND_BLOCK_COMMENT;
}

int generate(Node *root)
{
    context->codeStream = openOutputFile(context->codePath, OPEN_CODE);
    if (context->codeStream == nullptr) {
        report(43, nullptr, 0, messageArgument(context->codePath));
        return -1;
    }
    context->instrStream = openOutputFile(context->instrPath, OPEN_INSTR);
    if (context->instrStream == nullptr) {
        report(43, nullptr, 0, messageArgument(context->instrPath));
        return -1;
    }
    resetState();
    int result = initTextBuffer(&gen.scratch) == 0 && initTextBuffer(&codeText) == 0 ? generateFiles(root)
                                                                                     : (failWrite(), -1);
    if (codeText.text != nullptr)
        flushCode();
    freeTextBuffer(&codeText);
    while (gen.bindingStack != nullptr)
        popBindings();
    releaseCells(gen.runStack);
    releaseCells(gen.procStack);
    freeTextBuffer(&gen.scratch);
    freeSubstitutionScratch(&gen.substitution);
    return result;
}
