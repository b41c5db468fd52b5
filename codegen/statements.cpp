// The statements of TEST CASE and PROC bodies, the substitution of actual
// parameters, and the stub functions assembled from each STUB and from every
// CHECK STUB that names it.
#include "codegen/codegen.h"
#include "base/diagnostics.h"
#include "base/memory.h"

#include <cinttypes>
#include <cstring>

namespace {

// What the three passes over a body found.
struct BodyScan {
    bool expectations; // any CHECK STUB or CHECK METHOD
    Node *exception;   // the last CHECK EXCEPTION
};

bool isAncestorOrSelf(const Node *owner, const Node *node)
{
    for (; node != nullptr; node = node->parent) {
        if (node == owner)
            return true;
    }
    return false;
}

// The closing of a condition written after its source #line.
void closeCondition(GenState *gen, const char *close)
{
    writeCode(gen, gen->run->context->noLineDirectives ? " " : "\n", 0);
    writeCode(gen, close, 0);
    writeCode(gen, "\n", 0);
}

// if( condition ) between the #line directives of the element.
void writeCondition(GenState *gen, const Node *element, const char *condition, uint64_t level)
{
    writeCode(gen, "if( ", level);
    sourceLineDirective(gen, element);
    writeCode(gen, condition, 0);
    closeCondition(gen, ")");
    outputLineDirective(gen);
}

// The two branches of a verdict call: success, then failure with the error
// handling of the component.
int writeVerdict(GenState *gen, const char *call, const Node *element, const Node *component, uint64_t block, uint64_t level,
                 const Node *onError)
{
    writeCode(gen, "{\n", level);
    writeLine(gen, level + 1, "%s(1, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", call, element->id, fileIndex(element));
    writeCode(gen, "}\n", level);
    writeCode(gen, "else\n", level);
    writeCode(gen, "{\n", level);
    writeLine(gen, level + 1, "%s(0, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", call, element->id, fileIndex(element));
    if (writeErrorHandling(gen, component, block, level, onError) != 0)
        return -1;
    writeCode(gen, "}\n\n", level);
    return 0;
}

// Inside a stub or a CHECK STUB case no ON ERROR applies.
const Node *onErrorFor(GenState *gen, const Node *component)
{
    if (component->kind == KIND_STUB || component->kind == KIND_CHECK_STUB)
        return nullptr;
    return gen->currentOnError;
}

const char *joinedName(GenState *gen, const NameSegment *segments)
{
    TextBuffer joined;
    if (initTextBuffer(&joined) != 0)
        return nullptr;
    for (; segments != nullptr; segments = segments->next) {
        if (appendText(gen->run, &joined, segments->text) != 0 || (segments->next != nullptr && appendText(gen->run, &joined, ".") != 0))
            return nullptr;
    }
    // The pool keeps an exact copy, not the buffer with its room to grow.
    const char *interned = internCopy(gen->run, joined.text, joined.length);
    freeTextBuffer(&joined);
    return interned;
}

int generateCheck(GenState *gen, Node *check, const Node *component, uint64_t block, uint64_t level)
{
    auto *info = static_cast<CheckInfo *>(check->payload);
    const char *condition = substitute(gen, info->condition, check);
    if (condition == nullptr)
        return -1;
    const char *label = info->label != nullptr ? commentText(gen, info->label) : "";
    if (label == nullptr)
        return -1;
    writeLine(gen, level, "/* Checking EXPRESSION %s%s*/", label, info->label != nullptr ? " " : "");
    writeCondition(gen, check, condition, level);
    return writeVerdict(gen, "_zep_check", check, component, block, level, onErrorFor(gen, component));
}

int generatePropertyCheck(GenState *gen, Node *check, const Node *component, uint64_t block, uint64_t level)
{
    auto *info = static_cast<PropertyCheckInfo *>(check->payload);
    const char *name = joinedName(gen, info->target);
    if (name == nullptr) {
        report(gen->run, MESSAGE_NO_FREE_MEMORY, check->displayPath, check->line);
        return -1;
    }
    writeLine(gen, level, "/* Calling the CHECKing of the PROPERTY %s */", name);
    writeCode(gen, "\n", 0);
    bool pushed = false;
    if (info->resolvedTarget != nullptr &&
        pushBindings(gen, check, info->resolvedTarget, info->arguments, &pushed) != 0)
        return -1;
    const Node *property = info->resolvedTarget;
    if (property == nullptr) {
        report(gen->run, MESSAGE_NULL_RESOLUTION, check->displayPath, check->line);
        return -1;
    }
    writeCode(gen, "\n", 0);
    writeLine(gen, level, "/* Checking PROPERTY %s */", property->name);
    writeCode(gen, "if( ", level);
    bool first = true;
    for (Node *expression = property->firstChild; expression != nullptr; expression = expression->nextSibling) {
        if (isPlainComment(expression->kind))
            continue;
        if (expression->kind != KIND_EXPRESSION)
            return failKind(gen, expression);
        if (!first) {
            writeCode(gen, "\n", 0);
            writeCode(gen, "  &&", level);
        }
        first = false;
        const char *text = substitute(gen, expression->name, expression);
        if (text == nullptr)
            return -1;
        sourceLineDirective(gen, expression);
        writeFormatted(gen, 0, "( %s )", text);
        if (!gen->run->context->noLineDirectives)
            writeCode(gen, "\n", 0);
        outputLineDirective(gen);
    }
    // A PROPERTY without conditions holds, as a conjunction of nothing is
    // true.
    if (first)
        writeCode(gen, "1", 0);
    writeCode(gen, " )\n", 0);
    if (writeVerdict(gen, "_zep_check_property", check, component, block, level, onErrorFor(gen, component)) != 0)
        return -1;
    if (pushed)
        popBindings(gen);
    return 0;
}

int generateCondition(GenState *gen, Node *condition, const Node *proc, uint64_t block, uint64_t level)
{
    const char *text = substitute(gen, condition->name, condition);
    if (text == nullptr)
        return -1;
    writeLine(gen, level, "/* Checking %s */", condition->kind == KIND_REQUIRE ? "REQUIRE" : "ENSURE");
    writeCondition(gen, condition, text, level);
    return writeVerdict(gen, "_zep_check_prepos", condition, proc, block, level, gen->currentOnError);
}

int generatePrint(GenState *gen, Node *print, uint64_t level)
{
    writeCode(gen, "{\n", level);
    writeLine(gen, level, "_zep_print_start(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", print->id, fileIndex(print));
    for (NameEntry *item = static_cast<ListInfo *>(print->payload)->list; item != nullptr; item = item->next) {
        const char *shown = substitute(gen, item->text, print);
        const char *written = escaped(gen, item->text);
        const char *shownInComment = shown != nullptr ? commentText(gen, shown) : nullptr;
        const char *writtenInComment = written != nullptr ? commentText(gen, written) : nullptr;
        if (shownInComment == nullptr || writtenInComment == nullptr)
            return -1;
        writeLine(gen, level, "/* %s => %s */", shownInComment, writtenInComment);
        sourceLineDirective(gen, print);
        outputLineDirective(gen);
        writeLine(gen, level, "_zep_print(%s, (_zep_Car*)\"%s\");", shown, written);
    }
    writeCode(gen, "_zep_print_end();\n", level);
    writeCode(gen, "}\n", level);
    return 0;
}

int generateNative(GenState *gen, Node *native, uint64_t level)
{
    if (native->kind == KIND_JAVA_LINE || native->kind == KIND_JAVA_BLOCK)
        return 0;
    const char *text = substitute(gen, native->name, native);
    if (text == nullptr)
        return -1;
    sourceLineDirective(gen, native);
    writeCode(gen, text, level);
    outputLineDirective(gen);
    writeCode(gen, "\n", 0);
    return 0;
}

int generateComment(GenState *gen, Node *comment, uint64_t level)
{
    if (isPlainComment(comment->kind))
        return 0;
    const char *text = commentText(gen, comment->name);
    if (text == nullptr)
        return -1;
    sourceLineDirective(gen, comment);
    writeLine(gen, level, "/* %s */", text);
    outputLineDirective(gen);
    writeLine(gen, level, "_zep_comment(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", comment->id, fileIndex(comment));
    return 0;
}

Node *stubOf(const Node *stubCheck)
{
    return static_cast<StubCheckInfo *>(stubCheck->payload)->resolvedStub;
}

// Pass 1: what a CHECK STUB or CHECK METHOD compares with afterwards.
int writeSaveLine(GenState *gen, Node *element, uint64_t level)
{
    if (element->kind == KIND_CHECK_METHOD) {
        writeLine(gen, level, "_zep_Ulong Sav_Check_Method_0x%" PRIx64 " = _ZEP_Check_Method_0x%" PRIx64 ";", element->id,
                 element->id);
        writeCode(gen, "\n", level);
        emitInstr(gen, "@MTH@ \n%s\n", element->name);
        writeLocation(gen, element);
        emitInstr(gen, "@CHK@ \n_ZEP_Check_Method_0x%" PRIx64 "\n\n", element->id);
        return 0;
    }
    Node *stub = stubOf(element);
    if (stub == nullptr) {
        report(gen->run, MESSAGE_NULL_RESOLUTION, element->displayPath, element->line);
        return -1;
    }
    writeLine(gen, level, "_zep_Ulong Sav_Check_Stub_0x%" PRIx64 " = _ZEP_Stub_0x%" PRIx64 ";", element->id, stub->id);
    writeLine(gen, level, "_ZEP_Check_Stub_0x%" PRIx64 " = 0x%" PRIx64 ";", stub->id,
             static_cast<StubInfo *>(stub->payload)->caseCounter);
    writeCode(gen, "\n", level);
    return 0;
}

// Pass 3: the verdict of a CHECK STUB or CHECK METHOD.
int writeExpectationVerdict(GenState *gen, Node *element, const Node *component, uint64_t block, uint64_t level)
{
    bool method = element->kind == KIND_CHECK_METHOD;
    if (method)
        writeLine(gen, level, "if(Sav_Check_Method_0x%" PRIx64 " == _ZEP_Check_Method_0x%" PRIx64 ")", element->id,
                 element->id);
    else
        writeLine(gen, level, "if(Sav_Check_Stub_0x%" PRIx64 " == _ZEP_Stub_0x%" PRIx64 ")", element->id, stubOf(element)->id);
    const char *call = method ? "_zep_check_method" : "_zep_check_stub";
    writeCode(gen, "{\n", level);
    writeLine(gen, level + 1, "%s(0, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", call, element->id, fileIndex(element));
    if (writeErrorHandling(gen, component, block, level, gen->currentOnError) != 0)
        return -1;
    writeCode(gen, "}\n", level);
    writeCode(gen, "else\n", level);
    writeCode(gen, "{\n", level);
    writeLine(gen, level + 1, "%s(1, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", call, element->id, fileIndex(element));
    writeCode(gen, "}\n", level);
    writeCode(gen, "\n", level);
    return 0;
}

// The statements of a CHECK STUB case, a stub or a CHECK EXCEPTION handler.
int generateInnerStatement(GenState *gen, Node *statement, const Node *component, uint64_t level, bool checks)
{
    uint32_t kind = statement->kind;
    if (checks && kind == KIND_CHECK)
        return generateCheck(gen, statement, component, 0, level);
    if (isNativeKind(kind) || kind == KIND_PRINT || isAnyComment(kind))
        return generateStatementIn(gen, statement, component, 0, level);
    return failKind(gen, statement);
}

// Pass 2 of a CHECK STUB: its case in the stub's switch, captured into the
// stub's cases part; nothing stands at its own place.
int generateStubCase(GenState *gen, Node *stubCheck)
{
    Node *stub = stubOf(stubCheck);
    auto *info = static_cast<StubInfo *>(stub->payload);
    gen->blockCounter++;
    gen->captureBuffer = &info->cases;
    writeLine(gen, 2, "case 0x%" PRIx64 " : ", info->caseCounter);
    info->caseCounter++;
    for (Node *child = stubCheck->firstChild; child != nullptr; child = child->nextSibling) {
        if (generateInnerStatement(gen, child, stubCheck, 3, true) != 0) {
            gen->captureBuffer = nullptr;
            return -1;
        }
    }
    writeCode(gen, "break;\n\n", 3);
    gen->captureBuffer = nullptr;
    return 0;
}

int generateExceptionHandler(GenState *gen, Node *expected, uint64_t level)
{
    writeCode(gen, "#if KRN_EXCEPTIONS /* entering in EXCEPTION */\n", 0);
    writeCode(gen, "catch (", level);
    sourceLineDirective(gen, expected);
    writeCode(gen, expected->name, 0);
    if (gen->run->context->noLineDirectives)
        writeCode(gen, ")\n", 0);
    else
        writeCode(gen, "\n)\n", 0);
    outputLineDirective(gen);
    writeCode(gen, "{\n", level);
    writeLine(gen, level + 1, "_zep_check_exception(1, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", expected->id,
             fileIndex(expected));
    for (Node *child = expected->firstChild; child != nullptr; child = child->nextSibling) {
        if (generateInnerStatement(gen, child, expected, level + 1, false) != 0)
            return -1;
    }
    writeCode(gen, "}\n", level);
    writeCode(gen, "#endif /* exiting from EXCEPTION */\n\n", 0);
    return 0;
}

// One statement of a TEST CASE or PROC body (pass 2); component is the
// TEST CASE or PROC with its block number.
int generateBodyStatement(GenState *gen, Node *statement, Node *component, uint64_t block, uint64_t level, BodyScan *scan)
{
    switch (statement->kind) {
    case KIND_CALL:
        return generateCall(gen, statement, component, block, level);
    case KIND_CHECK_STUB:
        return generateStubCase(gen, statement);
    case KIND_CHECK_EXCEPTION:
        scan->exception = statement;
        return 0;
    case KIND_CHECK_METHOD:
    case KIND_ON_ERROR:
        return 0;
    case KIND_REQUIRE:
    case KIND_ENSURE:
        if (component->kind != KIND_PROC)
            return failKind(gen, statement);
        return generateCondition(gen, statement, component, block, level);
    default:
        return generateStatementIn(gen, statement, component, block, level);
    }
}

// The three passes over a TEST CASE or PROC body, inside its try frame.
int generateBodyPasses(GenState *gen, Node *component, uint64_t block, uint64_t level)
{
    BodyScan scan{false, nullptr};
    for (Node *child = component->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind == KIND_CHECK_STUB || child->kind == KIND_CHECK_METHOD) {
            scan.expectations = true;
            if (writeSaveLine(gen, child, level) != 0)
                return -1;
        }
    }
    for (Node *child = component->firstChild; child != nullptr; child = child->nextSibling) {
        if (generateBodyStatement(gen, child, component, block, level, &scan) != 0 || gen->failed)
            return -1;
    }
    for (Node *child = component->firstChild; scan.expectations && child != nullptr; child = child->nextSibling) {
        if ((child->kind == KIND_CHECK_STUB || child->kind == KIND_CHECK_METHOD) &&
            writeExpectationVerdict(gen, child, component, block, level) != 0)
            return -1;
    }
    if (scan.exception != nullptr) {
        writeLine(gen, level, "_zep_check_exception(0, 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", scan.exception->id,
                 fileIndex(scan.exception));
        if (writeErrorHandling(gen, component, block, level - 1, gen->currentOnError) != 0)
            return -1;
        writeCode(gen, "_ZEP_TRY_END   /* exiting from TRY */\n\n", level);
        return generateExceptionHandler(gen, scan.exception, level);
    }
    writeCode(gen, "_ZEP_TRY_END   /* exiting from TRY */\n\n", level);
    return 0;
}

// A stub's pre- or post-condition fragment for the instrumentation file.
void writeStubCondition(GenState *gen, const Node *stub, const Node *condition, bool pre)
{
    emitInstr(gen, "%s\n", pre ? "@PRE@ " : "@POS@ ");
    if (pre)
        emitInstr(gen, "_zep_enter_stub(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);\n",
                  stub->id, fileIndex(stub), stub->id, fileIndex(stub));
    if (condition != nullptr) {
        writeInstr(gen, "_zep_check_prepos( (");
        sourceLineDirectiveInstr(gen, condition);
        writeInstr(gen, condition->name);
        writeInstr(gen, gen->run->context->noLineDirectives ? ") , " : "\n) , ");
        emitInstr(gen, "0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);\n", condition->id, fileIndex(condition));
    }
    if (!pre)
        emitInstr(gen, "_zep_exit_stub(_ZEP_FileIdList[0x%x]);\n", fileIndex(stub));
    writeInstr(gen, "\n");
}

// Ends the head of a stub before its switch; what follows goes to the tail.
void endStubHead(GenState *gen, const Node *stub, StubInfo *info)
{
    writeLine(gen, 1, "switch(_ZEP_Check_Stub_0x%" PRIx64 ")", stub->id);
    writeCode(gen, "{\n", 1);
    gen->captureBuffer = &info->tail;
    writeCode(gen, "\n", 0);
    writeCode(gen, "default : break;\n\n", 2);
    writeCode(gen, "}\n", 1);
}

} // namespace

int generateStatementIn(GenState *gen, Node *statement, const Node *component, uint64_t block, uint64_t level)
{
    uint32_t kind = statement->kind;
    switch (kind) {
    case KIND_PRINT:
        return generatePrint(gen, statement, level);
    case KIND_CHECK:
        return generateCheck(gen, statement, component, block, level);
    case KIND_CHECK_PROPERTY:
        return generatePropertyCheck(gen, statement, component, block, level);
    default:
        if (isNativeKind(kind))
            return generateNative(gen, statement, level);
        if (isAnyComment(kind))
            return generateComment(gen, statement, level);
        return failKind(gen, statement);
    }
}

int generateBody(GenState *gen, Node *component, uint64_t block, uint64_t level)
{
    writeCode(gen, "_ZEP_TRY_BEGIN /* entering in TRY */\n", level + 1);
    if (generateBodyPasses(gen, component, block, level + 1) != 0)
        return -1;
    return writeCatchBlock(gen, component, block, level + 1);
}

int writeStubCheckResets(GenState *gen, const Node *component, uint64_t level)
{
    bool any = false;
    for (Node *child = component->firstChild; child != nullptr; child = child->nextSibling)
        any = any || child->kind == KIND_CHECK_STUB || child->kind == KIND_CHECK_METHOD;
    for (Node *child = component->firstChild; any && child != nullptr; child = child->nextSibling) {
        if (child->kind != KIND_CHECK_STUB)
            continue;
        writeLine(gen, level, "_ZEP_Check_Stub_0x%" PRIx64 " = 0L;", stubOf(child)->id);
        writeCode(gen, "\n", level);
    }
    return 0;
}

static int generateCallBody(GenState *gen, Node *call, Node *caller, uint64_t callerBlock, uint64_t level);

int generateCall(GenState *gen, Node *call, Node *caller, uint64_t callerBlock, uint64_t level)
{
    if (openNesting(gen, call) != 0)
        return -1;
    int result = generateCallBody(gen, call, caller, callerBlock, level);
    closeNesting(gen);
    return result;
}

// CALL: the PROC expanded in place, within its own labels and try frame.
static int generateCallBody(GenState *gen, Node *call, Node *caller, uint64_t callerBlock, uint64_t level)
{
    auto *info = static_cast<CallInfo *>(call->payload);
    const char *name = joinedName(gen, info->target);
    if (name == nullptr) {
        report(gen->run, MESSAGE_NO_FREE_MEMORY, call->displayPath, call->line);
        return -1;
    }
    writeLine(gen, level, "/* Calling the running of the PROC %s */", name);
    writeCode(gen, "\n", 0);
    Node *proc = info->resolvedTarget;
    bool pushed = false;
    if (proc != nullptr && pushBindings(gen, call, proc, info->arguments, &pushed) != 0)
        return -1;
    uint64_t block = gen->blockCounter++;
    Node *savedOnError = gen->currentOnError;
    if (proc == nullptr) {
        report(gen->run, MESSAGE_NULL_RESOLUTION, call->displayPath, call->line);
        return -1;
    }
    writeLine(gen, level + 1, "/* entering in PROC %s */", proc->name);
    writeLine(gen, level + 1, "_zep_enter_proc(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);",
             proc->id, fileIndex(proc), call->id, fileIndex(call));
    writeCode(gen, "{\n", level + 1);
    const char *label = labelName(gen, proc->name);
    if (label == nullptr)
        return -1;
    writeLine(gen, level + 1, "_ZEP_BEGIN_PROC_%s_%" PRIu64 " : {", label, block);
    if (isOnStack(gen->procStack, proc)) {
        report(gen->run, MESSAGE_PROC_CYCLE, call->displayPath, call->line, messageArgument(call->name));
        return -1;
    }
    if (pushOpen(gen, &gen->procStack, proc, call) != 0)
        return -1;
    Node *onError = firstChildOfKind(proc, KIND_ON_ERROR);
    if (onError != nullptr)
        gen->currentOnError = onError;
    if (generateBody(gen, proc, block, level) != 0)
        return -1;
    popOpen(&gen->procStack);
    writeCode(gen, "}\n", level + 1);
    writeLine(gen, level + 1, "_ZEP_END_PROC_%s_%" PRIu64 " : {}", label, block);
    writeStubCheckResets(gen, proc, level + 1);
    writeCode(gen, "}\n", level + 1);
    writeLine(gen, level + 1, "_zep_exit_proc(_ZEP_FileIdList[0x%x]);", fileIndex(proc));
    writeLine(gen, level + 1, "/* exiting from PROC %s */", proc->name);
    gen->currentOnError = savedOnError;
    if (pushed)
        popBindings(gen);
    uint64_t inner = level + 1;
    writeCode(gen, "\n", inner);
    writeCode(gen, "/* Testing Proc On Error */\n", inner);
    writeCode(gen, "if(_ZEP_OnErrorEngaged)\n", inner);
    writeCode(gen, "{\n", inner);
    writeCode(gen, "if(!_ZEP_BypassComponent)\n", inner + 1);
    writeCode(gen, "{\n", inner + 1);
    writeCode(gen, "_ZEP_OnErrorEngaged=0;\n", inner + 2);
    writeLine(gen, inner + 2, "_zep_exit_error(0x%" PRIx64 ");", proc->id);
    writeCode(gen, "}\n", inner + 1);
    writeCode(gen, "else\n", inner + 1);
    writeCode(gen, "{\n", inner + 1);
    if (writeJump(gen, caller, callerBlock, inner + 2) != 0)
        return -1;
    writeCode(gen, "}\n", inner + 1);
    writeCode(gen, "}\n", inner);
    writeCode(gen, "\n", inner);
    return 0;
}

void writeCounterDeclarations(GenState *gen, const Node *node)
{
    // A copy made by expansion shares the counter of what it copies.
    if (node->sid != node->id)
        return;
    if (node->kind == KIND_CHECK_METHOD) {
        writeLine(gen, 0, "VELD_U_INT32 _ZEP_Check_Method_0x%" PRIx64 " = 0;", node->id);
        writeCode(gen, "\n", 0);
    } else if (node->kind == KIND_STUB) {
        writeLine(gen, 0, "_zep_Ulong _ZEP_Stub_0x%" PRIx64 " = 0L;", node->id);
        writeLine(gen, 0, "_zep_Ulong _ZEP_Check_Stub_0x%" PRIx64 " = 0L;", node->id);
        writeCode(gen, "\n", 0);
    }
}

int prepareStub(GenState *gen, Node *stub)
{
    auto *info = static_cast<StubInfo *>(stub->payload);
    gen->blockCounter++;
    emitInstr(gen, "@STB@  \n%s\n", info->signature);
    writeLocation(gen, stub);
    writeInstr(gen, "\n");
    gen->captureBuffer = &info->head;
    writeLine(gen, 0, "/* STUB  %s */", stub->name);
    writeCode(gen, "#pragma kesta zep_stub\n", 0);
    sourceLineDirective(gen, stub);
    writeCode(gen, info->signature, 0);
    writeCode(gen, "\n{\n", 0);
    writeLine(gen, 1, "_ZEP_Stub_0x%" PRIx64 "++;", stub->id);
    bool pre = false, post = false, headEnded = false;
    for (Node *child = stub->firstChild; child != nullptr; child = child->nextSibling) {
        uint32_t kind = child->kind;
        int result = 0;
        if (kind == KIND_REQUIRE) {
            writeStubCondition(gen, stub, child, true);
            pre = true;
        } else if (kind == KIND_ENSURE) {
            if (!pre)
                writeStubCondition(gen, stub, nullptr, true);
            writeStubCondition(gen, stub, child, false);
            pre = post = true;
        } else if (kind == KIND_THREE_POINTS && !headEnded) {
            endStubHead(gen, stub, info);
            headEnded = true;
        } else if (kind != KIND_THREE_POINTS) {
            result = generateInnerStatement(gen, child, stub, 1, true);
        }
        if (result != 0) {
            gen->captureBuffer = nullptr;
            return -1;
        }
    }
    if (!headEnded)
        endStubHead(gen, stub, info);
    if (!pre)
        writeStubCondition(gen, stub, nullptr, true);
    if (!post)
        writeStubCondition(gen, stub, nullptr, false);
    writeCode(gen, "}\n", 0);
    gen->captureBuffer = nullptr;
    return 0;
}

void writeStubTrailer(GenState *gen, Node *stub)
{
    auto *info = static_cast<StubInfo *>(stub->payload);
    for (const TextBuffer *part : {&info->head, &info->cases, &info->tail}) {
        outputLineDirective(gen);
        if (part->length > 0)
            writeCode(gen, part->text, 0);
    }
    outputLineDirective(gen);
}

const char *substitute(GenState *gen, const char *text, const Node *node)
{
    // The innermost frame first: the stack lists the outermost first.
    const BindingFrame *frames[NESTING_LIMIT * 2];
    size_t count = 0;
    for (const BindingFrame *frame = gen->bindingStack; frame != nullptr && count < NESTING_LIMIT * 2;
         frame = frame->next)
        frames[count++] = frame;
    while (count > 0) {
        const BindingFrame *frame = frames[--count];
        if (!isAncestorOrSelf(frame->owner, node))
            continue;
        text = substituteScratch(gen->run, text, frame->bindings, &gen->substitution);
        if (text == nullptr)
            return nullptr;
    }
    return text;
}

int pushBindings(GenState *gen, const Node *referring, const Node *owner, const NameEntry *actuals, bool *pushed)
{
    *pushed = false;
    if (actuals == nullptr)
        return 0;
    auto *frame = static_cast<BindingFrame *>(zepAlloc(sizeof(BindingFrame)));
    if (frame == nullptr) {
        report(gen->run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
        return -1;
    }
    *frame = BindingFrame{owner, nullptr, nullptr};
    Binding **tail = &frame->bindings;
    for (; actuals != nullptr; actuals = actuals->next) {
        // Kept while the frame is, so a changed text is pooled.
        const char *actual = keepSubstitution(gen->run, actuals->text, substitute(gen, actuals->text, referring));
        auto *binding = actual != nullptr ? static_cast<Binding *>(zepAlloc(sizeof(Binding))) : nullptr;
        if (binding == nullptr) {
            if (actual != nullptr)
                report(gen->run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
            for (Binding *made = frame->bindings; made != nullptr;) {
                Binding *next = made->next;
                zepFree(made);
                made = next;
            }
            zepFree(frame);
            return -1;
        }
        *binding = Binding{actuals->formal, actual, 0, nullptr};
        *tail = binding;
        tail = &binding->next;
    }
    BindingFrame **last = &gen->bindingStack;
    while (*last != nullptr)
        last = &(*last)->next;
    *last = frame;
    *pushed = true;
    return 0;
}

void popBindings(GenState *gen)
{
    BindingFrame **last = &gen->bindingStack;
    while ((*last)->next != nullptr)
        last = &(*last)->next;
    for (Binding *binding = (*last)->bindings; binding != nullptr;) {
        Binding *next = binding->next;
        zepFree(binding);
        binding = next;
    }
    zepFree(*last);
    *last = nullptr;
}
