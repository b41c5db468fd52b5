// The state machines of test components: a while loop around a switch with
// one case per contained component, the error and bypass logic of ON ERROR,
// the enter and exit calls, labels and try frames.
#include "codegen/codegen.h"
#include "base/diagnostics.h"

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

int generateTestSuite(GenState *gen, Node *suite, const Node *runner, uint64_t level);
int generateTestCase(GenState *gen, Node *testCase, const Node *runner, uint64_t level);
int generateSegment(GenState *gen, Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level);

void openCase(GenState *gen, const Node *component, uint64_t level)
{
    writeLine(gen, level, "case 0x%" PRIx64 " : { /* OTL Elem 0x%" PRIx64 " */", 0x100 + gen->stateCounter,
             component->id + 0x100);
    gen->stateCounter++;
    writeLine(gen, level + 1, "_ZEP_NextState=0x%" PRIx64 ";", 0x100 + gen->stateCounter);
    writeCode(gen, "_ZEP_CurrentState=_ZEP_St_GoToNextComponent;\n", level + 1);
}

void closeCase(GenState *gen, uint64_t level)
{
    writeLine(gen, level + 1, "} break; /* case 0x%" PRIx64 " */\n", 0x100 + gen->stateCounter - 1);
}

// The first PROLOGUE or EPILOGUE of component, with its statements.
int generateFraming(GenState *gen, const Node *component, uint32_t kind, uint64_t level)
{
    Node *framing = firstChildOfKind(component, kind);
    if (framing == nullptr)
        return 0;
    const char *word = kind == KIND_PROLOGUE ? "PROLOGUE" : "EPILOGUE";
    writeCode(gen, "if(_ZEP_DumpAuthorization!=0) _ZEP_OBSTOOLS_DUMP;\n", level);
    writeCode(gen, "else _ZEP_DumpAuthorization=1;\n", level);
    writeLine(gen, level, "_ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car*)\"%s %s\");", framing->name, component->name);
    writeLine(gen, level, "/* entering in %s */", word);
    for (Node *child = framing->firstChild; child != nullptr; child = child->nextSibling) {
        uint32_t childKind = child->kind;
        if (!isNativeKind(childKind) && childKind != KIND_PRINT && !isAnyComment(childKind))
            return failKind(gen, child);
        if (generateStatementIn(gen, child, component, 0, level) != 0)
            return -1;
    }
    writeLine(gen, level, "/* exiting from %s */", word);
    return 0;
}

// The machine's contained components.
int generateContents(GenState *gen, const Frame &frame, uint64_t level)
{
    if (frame.contains == CONTAINS_PATH)
        return generateSegment(gen, frame.runComponent, frame.segment->next, frame.segment->next->resolved, level);
    if (frame.contains == CONTAINS_RUN) {
        Node *runNode = firstChildOfKind(frame.component, KIND_RUN);
        return runNode != nullptr ? generateRun(gen, runNode, level) : 0;
    }
    for (Node *child = frame.component->firstChild; child != nullptr; child = child->nextSibling) {
        int result = 0;
        switch (child->kind) {
        case KIND_TEST_CASE:
            result = generateTestCase(gen, child, child, level);
            break;
        case KIND_TEST_SUITE:
            result = generateTestSuite(gen, child, child, level);
            break;
        case KIND_PROPERTY:
        case KIND_ON_ERROR:
        case KIND_PROC:
        case KIND_PROLOGUE:
        case KIND_EPILOGUE:
            break;
        default:
            result = isPlainComment(child->kind) ? 0 : failKind(gen, child);
        }
        if (result != 0)
            return -1;
    }
    return 0;
}

// TEST CLASS and TEST SUITE: a case of the enclosing machine holding a
// machine of their own.
int generateFrameBody(GenState *gen, const Frame &frame, uint64_t level)
{
    Node *component = frame.component;
    bool testClass = component->kind == KIND_TEST_CLASS;
    const char *word = testClass ? "TEST CLASS" : "TEST SUITE";
    const char *call = testClass ? "test_class" : "test_suite";
    Node *savedOnError = gen->currentOnError;
    openCase(gen, component, level);
    bool pushed = false;
    if (testClass && frame.segment != nullptr &&
        pushBindings(gen, frame.runComponent, component, frame.segment->arguments, &pushed) != 0)
        return -1;
    writeLine(gen, level + 1, "/* entering in %s %s */", word, component->name);
    writeLine(gen, level + 1, "_zep_enter_%s(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);",
             call, component->id, fileIndex(component), frame.runner->id, fileIndex(frame.runner));
    writeCode(gen, "{\n", level + 1);
    Node *onError = firstChildOfKind(component, KIND_ON_ERROR);
    if (onError != nullptr)
        gen->currentOnError = onError;
    writeCode(gen, "_ZEP_TRY_BEGIN /* entering in TRY */\n", level + 1);
    if (generateFraming(gen, component, KIND_PROLOGUE, level + 1) != 0)
        return -1;
    uint64_t savedCounter = gen->stateCounter;
    gen->stateCounter = 0;
    openMachine(gen, level + 1);
    if (generateContents(gen, frame, level + 1) != 0)
        return -1;
    writeGoToNextComponent(gen, component, level + 1);
    closeMachine(gen, level + 1);
    gen->stateCounter = savedCounter;
    if (generateFraming(gen, component, KIND_EPILOGUE, level + 1) != 0)
        return -1;
    writeCode(gen, "_ZEP_TRY_END   /* exiting from TRY */\n\n", level + 1);
    if (writeCatchBlock(gen, component, frame.block, level + 1) != 0)
        return -1;
    writeCode(gen, "}\n", level + 1);
    writeLine(gen, level + 1, "_zep_exit_%s(_ZEP_FileIdList[0x%x], _ZEP_FileIdList[0x%x]);", call, fileIndex(component),
             fileIndex(frame.runner));
    writeLine(gen, level + 1, "/* exiting from %s %s */", word, component->name);
    if (pushed)
        popBindings(gen);
    closeCase(gen, level);
    gen->currentOnError = savedOnError;
    return 0;
}

int generateComponentFrame(GenState *gen, const Frame &frame, uint64_t level)
{
    if (openNesting(gen, frame.component) != 0)
        return -1;
    int result = generateFrameBody(gen, frame, level);
    closeNesting(gen);
    return result;
}

int generateTestSuite(GenState *gen, Node *suite, const Node *runner, uint64_t level)
{
    uint64_t block = gen->blockCounter++;
    return generateComponentFrame(gen, Frame{suite, runner, block, CONTAINS_SUITE_CHILDREN, nullptr, nullptr}, level);
}

// The TEST CASE block: enter call, label, try frame with the statements,
// verdicts, catch block, end label and exit call.
int generateTestCase(GenState *gen, Node *testCase, const Node *runner, uint64_t level)
{
    uint64_t block = gen->blockCounter++;
    Node *savedOnError = gen->currentOnError;
    openCase(gen, testCase, level);
    writeCode(gen, "if(_ZEP_DumpAuthorization!=0) _ZEP_OBSTOOLS_DUMP;\n", level + 1);
    writeCode(gen, "else _ZEP_DumpAuthorization=1;\n", level + 1);
    writeLine(gen, level + 1, "_ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car*)\"%s\");", testCase->name);
    writeLine(gen, level + 1, "/* entering in TEST CASE %s */", testCase->name);
    writeLine(gen, level + 1, "_zep_enter_test_case(0x%" PRIx64 ", _ZEP_FileIdList[0x%x], 0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);",
             testCase->id, fileIndex(testCase), runner->id, fileIndex(runner));
    writeCode(gen, "{\n", level + 1);
    const char *label = labelName(gen, testCase->name);
    if (label == nullptr)
        return -1;
    writeLine(gen, level + 1, "_ZEP_BEGIN_TEST_CASE_%s_%" PRIu64 " : {", label, block);
    Node *onError = firstChildOfKind(testCase, KIND_ON_ERROR);
    if (onError != nullptr)
        gen->currentOnError = onError;
    if (generateBody(gen, testCase, block, level) != 0)
        return -1;
    writeCode(gen, "}\n", level + 1);
    writeLine(gen, level + 1, "_ZEP_END_TEST_CASE_%s_%" PRIu64 " : {}", label, block);
    if (writeStubCheckResets(gen, testCase, level + 1) != 0)
        return -1;
    writeCode(gen, "}\n", level + 1);
    writeLine(gen, level + 1, "_zep_exit_test_case(_ZEP_FileIdList[0x%x], _ZEP_FileIdList[0x%x]);", fileIndex(testCase),
             fileIndex(runner));
    writeLine(gen, level + 1, "/* exiting from TEST CASE %s */", testCase->name);
    closeCase(gen, level);
    gen->currentOnError = savedOnError;
    return 0;
}

// The component a RUN names last: checked against the components open
// through RUN, so that a component never runs itself.
int generateRunTarget(GenState *gen, Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level)
{
    Node *target = segment->resolved;
    if (isOnStack(gen->runStack, target)) {
        report(gen->run, MESSAGE_RUN_CYCLE, runComponent->displayPath, runComponent->line, messageArgument(target->name));
        return -1;
    }
    if (pushOpen(gen, &gen->runStack, target, target) != 0)
        return -1;
    int result;
    switch (target->kind) {
    case KIND_TEST_SUITE:
        result = generateTestSuite(gen, target, runner, level);
        break;
    case KIND_TEST_CASE:
        result = generateTestCase(gen, target, runner, level);
        break;
    case KIND_TEST_CLASS: {
        uint64_t block = gen->blockCounter++;
        result = generateComponentFrame(gen, Frame{target, runner, block, CONTAINS_RUN, runComponent, segment}, level);
        break;
    }
    default:
        result = failKind(gen, target);
    }
    popOpen(&gen->runStack);
    return result;
}

// One segment of a RUN COMPONENT's path: an outer TEST CLASS holding the
// rest of the path, or the component run.
int generateSegment(GenState *gen, Node *runComponent, NameSegment *segment, const Node *runner, uint64_t level)
{
    uint64_t block = gen->blockCounter++;
    Node *savedOnError = gen->currentOnError;
    if (segment->resolved == nullptr) {
        report(gen->run, MESSAGE_NULL_RESOLUTION, runComponent->displayPath, runComponent->line);
        return -1;
    }
    int result;
    if (segment->next != nullptr) {
        if (segment->next->resolved == nullptr) {
            report(gen->run, MESSAGE_NULL_RESOLUTION, runComponent->displayPath, runComponent->line);
            return -1;
        }
        result = generateComponentFrame(gen, Frame{segment->resolved, runner, block, CONTAINS_PATH, runComponent, segment},
                                        level);
    } else {
        result = generateRunTarget(gen, runComponent, segment, runner, level);
    }
    gen->currentOnError = savedOnError;
    return result;
}

bool hasJump(const Node *component)
{
    return component->kind == KIND_TEST_CASE || component->kind == KIND_PROC;
}

void writeCatchHead(GenState *gen, const Node *component, uint64_t level)
{
    writeCode(gen, "#if KRN_EXCEPTIONS /* entering in catch */\n", 0);
    writeCode(gen, "catch (...)\n", level);
    writeCode(gen, "{\n", level);
    writeLine(gen, level, "_zep_unexpected_exception(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", component->id,
             fileIndex(component));
}

void writeCatchEnd(GenState *gen, uint64_t level)
{
    writeCode(gen, "}\n", level);
    writeCode(gen, "#endif /* exiting from catch */\n\n", 0);
}

// The ON ERROR action for component at level.
int writeErrorAction(GenState *gen, const Node *component, uint64_t block, uint64_t level, const Node *onError)
{
    auto *info = static_cast<OnErrorInfo *>(onError->payload);
    switch (info->action) {
    case KIND_CONTINUE:
        writeLine(gen, level, "_zep_exit_error(0x%" PRIx64 ");", component->id);
        return 0;
    case KIND_EXIT:
        writeCode(gen, "_ZEP_OnErrorEngaged=1;\n", level);
        writeCode(gen, "_ZEP_BypassComponent=0x1;\n", level);
        break;
    case KIND_BYPASS: {
        const Node *target = info->resolvedBypass;
        writeCode(gen, "_ZEP_OnErrorEngaged=1;\n", level);
        writeLine(gen, level, "_ZEP_BypassComponent=0x%" PRIx64 ";", target != nullptr && target != component ? target->id : 0);
        break;
    }
    default:
        return failKind(gen, onError);
    }
    return hasJump(component) ? writeJump(gen, component, block, level) : 0;
}

} // namespace

int writeJump(GenState *gen, const Node *component, uint64_t block, uint64_t level)
{
    if (component->kind != KIND_TEST_CASE && component->kind != KIND_PROC)
        return failKind(gen, component);
    const char *label = labelName(gen, component->name);
    if (label == nullptr)
        return -1;
    writeLine(gen, level, "goto _ZEP_END_%s%s_%" PRIu64 ";", component->kind == KIND_PROC ? "PROC_" : "TEST_CASE_", label,
             block);
    return 0;
}

bool isOnStack(const Cell *stack, const Node *node)
{
    for (; stack != nullptr; stack = stack->next) {
        if (stack->value == node)
            return true;
    }
    return false;
}

int pushOpen(GenState *gen, Cell **stack, Node *node, const Node *place)
{
    Cell *cell = appendCell(*stack, node);
    if (cell == nullptr) {
        report(gen->run, MESSAGE_NO_FREE_MEMORY, place->displayPath, place->line);
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

int openNesting(GenState *gen, const Node *element)
{
    if (gen->depth >= NESTING_LIMIT) {
        report(gen->run, MESSAGE_INTERNAL_ERROR, element->displayPath, element->line,
               QStringLiteral("generated blocks nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    gen->depth++;
    return 0;
}

void closeNesting(GenState *gen)
{
    gen->depth--;
}

Node *firstChildOfKind(const Node *node, uint32_t kind)
{
    for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind == kind)
            return child;
    }
    return nullptr;
}

void openMachine(GenState *gen, uint64_t level)
{
    writeCode(gen, "{\n", level);
    writeCode(gen, "_zep_Int _ZEP_Finish=0;\n", level);
    writeCode(gen, "_zep_Ulong _ZEP_NextState=_ZEP_St_Begin;\n", level);
    writeCode(gen, "_zep_Ulong _ZEP_CurrentState=_ZEP_NextState;\n", level);
    writeCode(gen, "while(!_ZEP_Finish)\n", level);
    writeCode(gen, "{\n", level);
    writeCode(gen, "switch(_ZEP_CurrentState)\n", level);
    writeCode(gen, "{\n", level);
    writeCode(gen, "case _ZEP_St_Begin : { /* BEGIN */\n", level);
    writeLine(gen, level + 1, "_ZEP_NextState=0x%x;", 0x100);
    writeCode(gen, "_ZEP_CurrentState=_ZEP_NextState;\n", level + 1);
    writeCode(gen, "} break; /* BEGIN */\n\n", level + 1);
}

void writeGoToNextComponent(GenState *gen, const Node *owner, uint64_t level)
{
    bool root = owner->kind == KIND_SCRIPT;
    writeCode(gen, "case _ZEP_St_GoToNextComponent : {\n", level);
    writeCode(gen, "if(_ZEP_OnErrorEngaged)\n", level + 1);
    writeCode(gen, "{\n", level + 1);
    writeCode(gen, "if(!_ZEP_BypassComponent)\n", level + 2);
    writeCode(gen, "{\n", level + 2);
    writeCode(gen, "_ZEP_OnErrorEngaged=0;\n", level + 3);
    writeLine(gen, level + 3, "_zep_exit_error(0x%" PRIx64 ");", root ? 0 : owner->id);
    writeCode(gen, "}\n", level + 2);
    writeCode(gen, "else\n", level + 2);
    writeCode(gen, "{\n", level + 2);
    writeLine(gen, level + 3, "if(_ZEP_BypassComponent==0x%" PRIx64 ")", owner->id);
    writeCode(gen, "{\n", level + 3);
    if (root) {
        writeCode(gen, "_ZEP_OnErrorEngaged=0;\n", level + 4);
        writeCode(gen, "_zep_exit_error(0x0);\n", level + 4);
    } else {
        writeCode(gen, "_ZEP_BypassComponent=0x0;\n", level + 4);
    }
    writeCode(gen, "_ZEP_NextState = _ZEP_St_End;\n", level + 4);
    writeCode(gen, "}\n", level + 3);
    writeCode(gen, "else\n", level + 3);
    writeCode(gen, "{\n", level + 3);
    writeCode(gen, "_ZEP_NextState = _ZEP_St_End;\n", level + 4);
    writeCode(gen, "}\n", level + 3);
    writeCode(gen, "}\n", level + 2);
    writeCode(gen, "}\n", level + 1);
    writeCode(gen, "_ZEP_CurrentState = _ZEP_NextState;\n", level + 1);
    writeCode(gen, "} break;\n\n", level + 1);
}

void closeMachine(GenState *gen, uint64_t level)
{
    writeLine(gen, level, "case 0x%" PRIx64 " : {", 0x100 + gen->stateCounter);
    writeCode(gen, "_ZEP_NextState=_ZEP_St_End;\n", level + 1);
    writeCode(gen, "_ZEP_CurrentState=_ZEP_NextState;\n", level + 1);
    writeCode(gen, "} break;\n\n", level + 1);
    writeCode(gen, "case _ZEP_St_End : { /* END */\n", level);
    writeCode(gen, "_ZEP_Finish=1;\n", level + 1);
    writeCode(gen, "} break; /* END */\n", level + 1);
    writeCode(gen, "} /* end of switch */\n", level);
    writeCode(gen, "} /* end of while*/\n", level);
    writeCode(gen, "} /* end of bloc */\n\n", level);
}

int generateRun(GenState *gen, Node *runNode, uint64_t level)
{
    for (Node *child = runNode->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind != KIND_RUN_COMPONENT)
            return failKind(gen, child);
        NameSegment *first = static_cast<RunInfo *>(child->payload)->component;
        if (first == nullptr)
            return failKind(gen, child);
        if (generateSegment(gen, child, first, child, level) != 0)
            return -1;
    }
    return 0;
}

int writeErrorHandling(GenState *gen, const Node *component, uint64_t block, uint64_t level, const Node *onError)
{
    if (onError == nullptr) {
        writeLine(gen, level + 1, "_zep_enter_error(0x0, _ZEP_FileIdList[0x%x]);", fileIndex(component));
        writeLine(gen, level + 1, "_zep_exit_error(0x%" PRIx64 ");", component->id);
        return 0;
    }
    writeCode(gen, "_ZEP_TRY_BEGIN /* entering in TRY for ON ERROR */\n", level + 1);
    writeLine(gen, level + 1, "_zep_enter_error(0x%" PRIx64 ", _ZEP_FileIdList[0x%x]);", onError->id, fileIndex(onError));
    for (Node *child = onError->firstChild; child != nullptr; child = child->nextSibling) {
        uint32_t kind = child->kind;
        if (!isNativeKind(kind) && kind != KIND_PRINT && !isAnyComment(kind))
            return failKind(gen, child);
        if (generateStatementIn(gen, child, component, block, level + 1) != 0)
            return -1;
    }
    if (writeErrorAction(gen, component, block, level + 1, onError) != 0)
        return -1;
    writeCode(gen, "_ZEP_TRY_END   /* exiting from TRY for ON ERROR */\n\n", level + 1);
    writeCatchHead(gen, component, level + 1);
    writeCode(gen, "_ZEP_OnErrorEngaged=1;\n", level + 1);
    writeCode(gen, "_ZEP_BypassComponent=0x1;\n", level + 1);
    if (hasJump(component) && writeJump(gen, component, block, level + 1) != 0)
        return -1;
    writeCatchEnd(gen, level + 1);
    return 0;
}

int writeCatchBlock(GenState *gen, const Node *component, uint64_t block, uint64_t level)
{
    writeCatchHead(gen, component, level);
    if (writeErrorHandling(gen, component, block, level, gen->currentOnError) != 0)
        return -1;
    writeCatchEnd(gen, level);
    return 0;
}
