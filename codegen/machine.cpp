// The state machines of test components: a while loop around a switch with
// one case per contained component, the error and bypass logic of ON ERROR,
// the enter and exit calls, labels and try frames.
#include "codegen/codegen.h"
#include "driver/diagnostics.h"

#include <cinttypes>

namespace {

// What a component frame holds in its machine.
enum : int { CONTAINS_RUN, CONTAINS_SUITE_CHILDREN, CONTAINS_PATH };

struct Frame {
    Node *component;   // the TEST CLASS or TEST SUITE
    const Node *runner;
    uint64_t block;
    int contains;
    Node *runComponent;   // for the rest of a dotted path
    NameSegment *segment; // the segment naming the component, or null
};

int generateTestSuite(Node *suite, const Node *runner, uint64_t level);
int generateTestCase(Node *testCase, const Node *runner, uint64_t level);
int generateSegment(Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level);

void openCase(const Node *component, uint64_t level)
{
    writeLine(level, "case 0x%" PRIx64 " : { /* OTL Elem 0x%" PRIx64 " */", 0x100 + gen.stateCounter,
             component->id + 0x100);
    gen.stateCounter++;
    writeLine(level + 1, "_ZEP_NextState=0x%" PRIx64 ";", 0x100 + gen.stateCounter);
    writeCode("_ZEP_CurrentState=_ZEP_St_GoToNextComponent;\n", level + 1);
}

void closeCase(uint64_t level)
{
    writeLine(level + 1, "} break; /* case 0x%" PRIx64 " */\n", 0x100 + gen.stateCounter - 1);
}

bool isOnStack(const Cell *stack, const Node *node)
{
    for (; stack != nullptr; stack = stack->next) {
        if (stack->value == node)
            return true;
    }
    return false;
}

// Pushes node on a stack of open components; -1 after message 50.
int pushOpen(Cell **stack, Node *node)
{
    Cell *cell = appendCell(*stack, node);
    if (cell == nullptr) {
        report(50, node->displayPath, node->line);
        return -1;
    }
    if (*stack == nullptr)
        *stack = cell;
    return 0;
}

void popOpen(Cell **stack)
{
    Cell **last = stack;
    while ((*last)->next != nullptr)
        last = &(*last)->next;
    releaseCells(*last);
    *last = nullptr;
}

// The first PROLOGUE or EPILOGUE of component, with its statements.
int generateFraming(const Node *component, uint32_t kind, uint64_t level)
{
    Node *framing = firstChildOfKind(component, kind);
    if (framing == nullptr)
        return 0;
    const char *word = kind == KIND_PROLOGUE ? "PROLOGUE" : "EPILOGUE";
    writeCode("if(_ZEP_DumpAuthorization!=0) _ZEP_OBSTOOLS_DUMP;\n", level);
    writeCode("else _ZEP_DumpAuthorization=1;\n", level);
    writeLine(level, "_ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car*)\"%s %s\");", framing->name, component->name);
    writeLine(level, "/* entering in %s */", word);
    for (Node *child = framing->firstChild; child != nullptr; child = child->nextSibling) {
        uint32_t childKind = child->kind;
        if (!isNative(childKind) && childKind != KIND_PRINT && !isAnyComment(childKind))
            return failKind(child);
        if (generateStatementIn(child, component, 0, level) != 0)
            return -1;
    }
    writeLine(level, "/* exiting from %s */", word);
    return 0;
}

// The machine's contained components.
int generateContents(const Frame &frame, uint64_t level)
{
    if (frame.contains == CONTAINS_PATH)
        return generateSegment(frame.runComponent, frame.segment->next, frame.segment->next->resolved, level);
    if (frame.contains == CONTAINS_RUN) {
        Node *run = firstChildOfKind(frame.component, KIND_RUN);
        return run != nullptr ? generateRun(run, level) : 0;
    }
    for (Node *child = frame.component->firstChild; child != nullptr; child = child->nextSibling) {
        int result = 0;
        switch (child->kind) {
        case KIND_TEST_CASE:
            result = generateTestCase(child, child, level);
            break;
        case KIND_TEST_SUITE:
            result = generateTestSuite(child, child, level);
            break;
        case KIND_PROPERTY:
        case KIND_ON_ERROR:
        case KIND_PROC:
        case KIND_PROLOGUE:
        case KIND_EPILOGUE:
            break;
        default:
            result = isPlainComment(child->kind) ? 0 : failKind(child);
        }
        if (result != 0)
            return -1;
    }
    return 0;
}

// TEST CLASS and TEST SUITE: a case of the enclosing machine holding a
// machine of their own.
int generateFrameBody(const Frame &frame, uint64_t level)
{
    Node *component = frame.component;
    bool testClass = component->kind == KIND_TEST_CLASS;
    const char *word = testClass ? "TEST CLASS" : "TEST SUITE";
    const char *call = testClass ? "test_class" : "test_suite";
    Node *savedOnError = gen.currentOnError;
    openCase(component, level);
    bool pushed = false;
    if (testClass && frame.segment != nullptr &&
        pushBindings(frame.runComponent, component, frame.segment->arguments, &pushed) != 0)
        return -1;
    writeLine(level + 1, "/* entering in %s %s */", word, component->name);
    writeLine(level + 1, "_zep_enter_%s(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);",
             call, component->id, fileIndex(component), frame.runner->id, fileIndex(frame.runner));
    writeCode("{\n", level + 1);
    Node *onError = firstChildOfKind(component, KIND_ON_ERROR);
    if (onError != nullptr)
        gen.currentOnError = onError;
    writeCode("_ZEP_TRY_BEGIN /* entering in TRY */\n", level + 1);
    if (generateFraming(component, KIND_PROLOGUE, level + 1) != 0)
        return -1;
    uint64_t savedCounter = gen.stateCounter;
    gen.stateCounter = 0;
    openMachine(level + 1);
    if (generateContents(frame, level + 1) != 0)
        return -1;
    writeGoToNextComponent(component, level + 1);
    closeMachine(level + 1);
    gen.stateCounter = savedCounter;
    if (generateFraming(component, KIND_EPILOGUE, level + 1) != 0)
        return -1;
    writeCode("_ZEP_TRY_END   /* exiting from TRY */\n\n", level + 1);
    if (writeCatchBlock(component, frame.block, level + 1) != 0)
        return -1;
    writeCode("}\n", level + 1);
    writeLine(level + 1, "_zep_exit_%s(_ZEP_FileIdList[0x%x], _ZEP_FileIdList[0x%x]);", call, fileIndex(component),
             fileIndex(frame.runner));
    writeLine(level + 1, "/* exiting from %s %s */", word, component->name);
    if (pushed)
        popBindings();
    closeCase(level);
    gen.currentOnError = savedOnError;
    return 0;
}

int generateComponentFrame(const Frame &frame, uint64_t level)
{
    if (openNesting(frame.component) != 0)
        return -1;
    int result = generateFrameBody(frame, level);
    closeNesting();
    return result;
}

int generateTestSuite(Node *suite, const Node *runner, uint64_t level)
{
    uint64_t block = gen.blockCounter++;
    return generateComponentFrame(Frame{suite, runner, block, CONTAINS_SUITE_CHILDREN, nullptr, nullptr}, level);
}

// The TEST CASE block: enter call, label, try frame with the statements,
// verdicts, catch block, end label and exit call.
int generateTestCase(Node *testCase, const Node *runner, uint64_t level)
{
    uint64_t block = gen.blockCounter++;
    Node *savedOnError = gen.currentOnError;
    openCase(testCase, level);
    writeCode("if(_ZEP_DumpAuthorization!=0) _ZEP_OBSTOOLS_DUMP;\n", level + 1);
    writeCode("else _ZEP_DumpAuthorization=1;\n", level + 1);
    writeLine(level + 1, "_ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car*)\"%s\");", testCase->name);
    writeLine(level + 1, "/* entering in TEST CASE %s */", testCase->name);
    writeLine(level + 1, "_zep_enter_test_case(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);",
             testCase->id, fileIndex(testCase), runner->id, fileIndex(runner));
    writeCode("{\n", level + 1);
    const char *label = labelName(testCase->name);
    if (label == nullptr)
        return -1;
    writeLine(level + 1, "_ZEP_BEGIN_TEST_CASE_%s_%" PRIu64 " : {", label, block);
    Node *onError = firstChildOfKind(testCase, KIND_ON_ERROR);
    if (onError != nullptr)
        gen.currentOnError = onError;
    if (generateBody(testCase, block, level) != 0)
        return -1;
    writeCode("}\n", level + 1);
    writeLine(level + 1, "_ZEP_END_TEST_CASE_%s_%" PRIu64 " : {}", label, block);
    if (writeStubCheckResets(testCase, level + 1) != 0)
        return -1;
    writeCode("}\n", level + 1);
    writeLine(level + 1, "_zep_exit_test_case(_ZEP_FileIdList[0x%x], _ZEP_FileIdList[0x%x]);", fileIndex(testCase),
             fileIndex(runner));
    writeLine(level + 1, "/* exiting from TEST CASE %s */", testCase->name);
    closeCase(level);
    gen.currentOnError = savedOnError;
    return 0;
}

// The component a RUN names last: checked against the components open
// through RUN, so that a component never runs itself.
int generateRunTarget(Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level)
{
    Node *target = segment->resolved;
    if (isOnStack(gen.runStack, target)) {
        report(37, runComponent->displayPath, runComponent->line, messageArgument(target->name));
        return -1;
    }
    if (pushOpen(&gen.runStack, target) != 0)
        return -1;
    int result;
    switch (target->kind) {
    case KIND_TEST_SUITE:
        result = generateTestSuite(target, runner, level);
        break;
    case KIND_TEST_CASE:
        result = generateTestCase(target, runner, level);
        break;
    case KIND_TEST_CLASS: {
        uint64_t block = gen.blockCounter++;
        result = generateComponentFrame(Frame{target, runner, block, CONTAINS_RUN, runComponent, segment}, level);
        break;
    }
    default:
        result = failKind(target);
    }
    popOpen(&gen.runStack);
    return result;
}

// One segment of a RUN COMPONENT's path: an outer TEST CLASS holding the
// rest of the path, or the component run.
int generateSegment(Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level)
{
    uint64_t block = gen.blockCounter++;
    Node *savedOnError = gen.currentOnError;
    if (segment->resolved == nullptr) {
        report(49, runComponent->displayPath, runComponent->line);
        return -1;
    }
    int result;
    if (segment->next != nullptr) {
        if (segment->next->resolved == nullptr) {
            report(49, runComponent->displayPath, runComponent->line);
            return -1;
        }
        result = generateComponentFrame(Frame{segment->resolved, runner, block, CONTAINS_PATH, runComponent, segment},
                                        level);
    } else {
        result = generateRunTarget(runComponent, segment, runner, level);
    }
    gen.currentOnError = savedOnError;
    return result;
}

bool hasJump(const Node *component)
{
    return component->kind == KIND_TEST_CASE || component->kind == KIND_PROC;
}

void writeCatchHead(const Node *component, uint64_t level)
{
    writeCode("#if KRN_EXCEPTIONS /* entering in catch */\n", 0);
    writeCode("catch (...)\n", level);
    writeCode("{\n", level);
    writeLine(level, "_zep_unexpected_exception(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", component->id,
             fileIndex(component));
}

void writeCatchEnd(uint64_t level)
{
    writeCode("}\n", level);
    writeCode("#endif /* exiting from catch */\n\n", 0);
}

// The ON ERROR action for component at level.
int writeErrorAction(const Node *component, uint64_t block, uint64_t level, const Node *onError)
{
    auto *info = static_cast<OnErrorInfo *>(onError->payload);
    switch (info->action) {
    case KIND_CONTINUE:
        writeLine(level, "_zep_exit_error(0x%" PRIx64 ");", component->id);
        return 0;
    case KIND_EXIT:
        writeCode("_ZEP_OnErrorEngaged=1;\n", level);
        writeCode("_ZEP_BypassComponent=0x1;\n", level);
        break;
    case KIND_BYPASS: {
        const Node *target = info->resolvedBypass;
        writeCode("_ZEP_OnErrorEngaged=1;\n", level);
        writeLine(level, "_ZEP_BypassComponent=0x%" PRIx64 ";", target != nullptr && target != component ? target->id : 0);
        break;
    }
    default:
        return failKind(onError);
    }
    return hasJump(component) ? writeJump(component, block, level) : 0;
}

} // namespace

int writeJump(const Node *component, uint64_t block, uint64_t level)
{
    if (component->kind != KIND_TEST_CASE && component->kind != KIND_PROC)
        return failKind(component);
    const char *label = labelName(component->name);
    if (label == nullptr)
        return -1;
    writeLine(level, "goto _ZEP_END_%s%s_%" PRIu64 ";", component->kind == KIND_PROC ? "PROC_" : "TEST_CASE_", label,
             block);
    return 0;
}

int openNesting(const Node *element)
{
    if (gen.depth >= NESTING_LIMIT) {
        report(0, element->displayPath, element->line,
               QStringLiteral("generated blocks nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    gen.depth++;
    return 0;
}

void closeNesting()
{
    gen.depth--;
}

Node *firstChildOfKind(const Node *node, uint32_t kind)
{
    for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind == kind)
            return child;
    }
    return nullptr;
}

void openMachine(uint64_t level)
{
    writeCode("{\n", level);
    writeCode("_zep_Int _ZEP_Finish=0;\n", level);
    writeCode("_zep_Ulong _ZEP_NextState=_ZEP_St_Begin;\n", level);
    writeCode("_zep_Ulong _ZEP_CurrentState=_ZEP_NextState;\n", level);
    writeCode("while(!_ZEP_Finish)\n", level);
    writeCode("{\n", level);
    writeCode("switch(_ZEP_CurrentState)\n", level);
    writeCode("{\n", level);
    writeCode("case _ZEP_St_Begin : { /* BEGIN */\n", level);
    writeLine(level + 1, "_ZEP_NextState=0x%x;", 0x100);
    writeCode("_ZEP_CurrentState=_ZEP_NextState;\n", level + 1);
    writeCode("} break; /* BEGIN */\n\n", level + 1);
}

void writeGoToNextComponent(const Node *owner, uint64_t level)
{
    bool root = owner->kind == KIND_SCRIPT;
    writeCode("case _ZEP_St_GoToNextComponent : {\n", level);
    writeCode("if(_ZEP_OnErrorEngaged)\n", level + 1);
    writeCode("{\n", level + 1);
    writeCode("if(!_ZEP_BypassComponent)\n", level + 2);
    writeCode("{\n", level + 2);
    writeCode("_ZEP_OnErrorEngaged=0;\n", level + 3);
    writeLine(level + 3, "_zep_exit_error(0x%" PRIx64 ");", root ? 0 : owner->id);
    writeCode("}\n", level + 2);
    writeCode("else\n", level + 2);
    writeCode("{\n", level + 2);
    writeLine(level + 3, "if(_ZEP_BypassComponent==0x%" PRIx64 ")", owner->id);
    writeCode("{\n", level + 3);
    if (root) {
        writeCode("_ZEP_OnErrorEngaged=0;\n", level + 4);
        writeCode("_zep_exit_error(0x0);\n", level + 4);
    } else {
        writeCode("_ZEP_BypassComponent=0x0;\n", level + 4);
    }
    writeCode("_ZEP_NextState = _ZEP_St_End;\n", level + 4);
    writeCode("}\n", level + 3);
    writeCode("else\n", level + 3);
    writeCode("{\n", level + 3);
    writeCode("_ZEP_NextState = _ZEP_St_End;\n", level + 4);
    writeCode("}\n", level + 3);
    writeCode("}\n", level + 2);
    writeCode("}\n", level + 1);
    writeCode("_ZEP_CurrentState = _ZEP_NextState;\n", level + 1);
    writeCode("} break;\n\n", level + 1);
}

void closeMachine(uint64_t level)
{
    writeLine(level, "case 0x%" PRIx64 " : {", 0x100 + gen.stateCounter);
    writeCode("_ZEP_NextState=_ZEP_St_End;\n", level + 1);
    writeCode("_ZEP_CurrentState=_ZEP_NextState;\n", level + 1);
    writeCode("} break;\n\n", level + 1);
    writeCode("case _ZEP_St_End : { /* END */\n", level);
    writeCode("_ZEP_Finish=1;\n", level + 1);
    writeCode("} break; /* END */\n", level + 1);
    writeCode("} /* end of switch */\n", level);
    writeCode("} /* end of while*/\n", level);
    writeCode("} /* end of bloc */\n\n", level);
}

int generateRun(Node *run, uint64_t level)
{
    for (Node *child = run->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind != KIND_RUN_COMPONENT)
            return failKind(child);
        NameSegment *first = static_cast<RunInfo *>(child->payload)->component;
        if (first == nullptr)
            return failKind(child);
        if (generateSegment(child, first, child, level) != 0)
            return -1;
    }
    return 0;
}

int writeErrorHandling(const Node *component, uint64_t block, uint64_t level, const Node *onError)
{
    if (onError == nullptr) {
        writeLine(level + 1, "_zep_enter_error(0x0, _ZEP_FileIdList[0x%x]);", fileIndex(component));
        writeLine(level + 1, "_zep_exit_error(0x%" PRIx64 ");", component->id);
        return 0;
    }
    writeCode("_ZEP_TRY_BEGIN /* entering in TRY for ON ERROR */\n", level + 1);
    writeLine(level + 1, "_zep_enter_error(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", onError->id, fileIndex(onError));
    for (Node *child = onError->firstChild; child != nullptr; child = child->nextSibling) {
        uint32_t kind = child->kind;
        if (!isNative(kind) && kind != KIND_PRINT && !isAnyComment(kind))
            return failKind(child);
        if (generateStatementIn(child, component, block, level + 1) != 0)
            return -1;
    }
    if (writeErrorAction(component, block, level + 1, onError) != 0)
        return -1;
    writeCode("_ZEP_TRY_END   /* exiting from TRY for ON ERROR */\n\n", level + 1);
    writeCatchHead(component, level + 1);
    writeCode("_ZEP_OnErrorEngaged=1;\n", level + 1);
    writeCode("_ZEP_BypassComponent=0x1;\n", level + 1);
    if (hasJump(component) && writeJump(component, block, level + 1) != 0)
        return -1;
    writeCatchEnd(level + 1);
    return 0;
}

int writeCatchBlock(const Node *component, uint64_t block, uint64_t level)
{
    writeCatchHead(component, level);
    if (writeErrorHandling(component, block, level, gen.currentOnError) != 0)
        return -1;
    writeCatchEnd(level);
    return 0;
}
