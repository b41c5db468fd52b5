// The instrumentation fragments of OTC classes: class heads, wrapped methods
// with their pre- and post-conditions, invariants and the UML state chart.
#include "codegen/codegen.h"
#include "base/diagnostics.h"
#include "base/memory.h"

#include <cctype>
#include <cinttypes>

namespace {

// "prefix( (" condition ") , " with the condition between its #line and
// the instrumentation file's own line.
void writeAssertion(GenState *gen, const Node *condition, const char *call, const char *file)
{
    emitInstr(gen, "%s( (", call);
    sourceLineDirectiveInstr(gen, condition);
    writeInstr(gen, condition->name);
    writeInstr(gen, gen->run->context->noLineDirectives ? ") , " : "\n) , ");
    emitInstr(gen, "0x%" PRIx64 ", %s);\n\n", condition->id, file);
}

void writeClassHead(GenState *gen, const Node *owner)
{
    writeInstr(gen, owner->kind == KIND_SINGLE_CLASS ? "@CSS@ \n" : "@CLS@ \n");
    emitInstr(gen, "%s\n", owner->name);
    writeLocation(gen, owner);
    const FileEntry *entry = entryForFile(gen->run->context, owner->fileNo);
    emitInstr(gen, "@CSU@ \n0x%x 0x%x\n", entry != nullptr ? entry->checksumA : 0, entry != nullptr ? entry->checksumB : 0);
    emitInstr(gen, "@CID@ \n0x%" PRIx64 "\n\n", owner->id);
}

int writeWrap(GenState *gen, const Node *wrap)
{
    emitInstr(gen, "@WRP@  \n%s\n", wrap->name);
    writeLocation(gen, wrap);
    writeInstr(gen, "\n");
    for (const Node *condition = wrap->firstChild; condition != nullptr; condition = condition->nextSibling) {
        if (condition->kind == KIND_REQUIRE) {
            writeInstr(gen, "@PRE@ \n");
            writeAssertion(gen, condition, "_muv_assert_pre_cond", "_MUV_CLASS_FILE_ACM");
        } else if (condition->kind == KIND_ENSURE) {
            writeInstr(gen, "@POS@ \n");
            writeAssertion(gen, condition, "_muv_assert_post_cond", "_MUV_CLASS_FILE_ACM");
        } else {
            return failKind(gen, condition);
        }
    }
    return 0;
}

StateInfo *stateOf(const Node *state)
{
    return static_cast<StateInfo *>(state->payload);
}

// The owner's transitions grouped by the number of their source state, in
// the order written: the transitions of state n are rows[starts[n]] up to
// rows[starts[n + 1]]. One counting pass instead of a walk of every child for
// every state, which made a chart of many states quadratic. False when
// memory runs out.
struct TransitionRows {
    const Node **rows;
    uint64_t *starts;
};

bool groupTransitions(const Node *owner, int64_t stateCount, TransitionRows *grouped)
{
    size_t states = static_cast<size_t>(stateCount);
    grouped->starts = static_cast<uint64_t *>(zepAlloc((states + 1) * sizeof(uint64_t)));
    uint64_t total = 0;
    for (const Node *state = owner->firstChild; grouped->starts != nullptr && state != nullptr;
         state = state->nextSibling) {
        if (state->kind == KIND_UMLSTATE) {
            grouped->starts[stateOf(state)->stateNumber] = total;
            total += stateOf(state)->transitionCount;
        }
    }
    grouped->rows = grouped->starts != nullptr ? static_cast<const Node **>(zepAlloc((total + 1) * sizeof(Node *)))
                                               : nullptr;
    if (grouped->rows == nullptr) {
        zepFree(grouped->starts);
        return false;
    }
    grouped->starts[states] = total;
    // Filled from the back of each group, so the rows stay in order.
    for (const Node *transition = owner->firstChild; transition != nullptr; transition = transition->nextSibling) {
        if (transition->kind == KIND_TRANSITION) {
            int64_t from = stateOf(static_cast<TransitionInfo *>(transition->payload)->resolvedFrom)->stateNumber;
            grouped->rows[grouped->starts[from]++] = transition;
        }
    }
    for (size_t n = states; n > 0; n--)
        grouped->starts[n] = grouped->starts[n - 1];
    grouped->starts[0] = 0;
    return true;
}

bool isIdentifierByte(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    return byte <= 127 && (isalnum(byte) || c == '_');
}

bool isIdentifierText(const char *name)
{
    if (name[0] == '\0' || isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (const char *c = name; *c != '\0'; c++)
        if (!isIdentifierByte(*c))
            return false;
    return true;
}

// The name of a state's transition table: Trans_ and the state's name when
// that is an identifier; else (a+b: names may hold '+') Trans_, the state's
// number, '_' and the name with '+' written p and any other byte that
// cannot stand in an identifier written '_'. An identifier never begins
// with a digit, so the two forms never meet, and the number keeps the
// second form apart from itself.
void writeTableName(GenState *gen, const Node *state)
{
    if (isIdentifierText(state->name)) {
        emitInstr(gen, "Trans_%s", state->name);
        return;
    }
    emitInstr(gen, "Trans_%" PRId64 "_", stateOf(state)->stateNumber);
    char spelled[2] = {0, 0};
    for (const char *c = state->name; *c != '\0'; c++) {
        spelled[0] = isIdentifierByte(*c) ? *c : *c == '+' ? 'p' : '_';
        writeInstr(gen, spelled);
    }
}

// The transition table of every state, then the table of states.
int writeStateTables(GenState *gen, const Node *owner, int64_t stateCount)
{
    TransitionRows grouped;
    if (!groupTransitions(owner, stateCount, &grouped)) {
        report(gen->run, MESSAGE_NO_FREE_MEMORY, owner->displayPath, owner->line);
        return -1;
    }
    writeInstr(gen, "@SCF@ \n");
    for (const Node *state = owner->firstChild; state != nullptr; state = state->nextSibling) {
        if (state->kind != KIND_UMLSTATE)
            continue;
        StateInfo *info = stateOf(state);
        writeInstr(gen, "     _MUV_STATIC_CONST muv_TransDesc ");
        writeTableName(gen, state);
        emitInstr(gen, "[%" PRIu64 "] = { {0x%" PRIx64 ", %" PRId64 "L}", info->transitionCount + 1, state->id,
                  info->stateNumber);
        for (uint64_t row = grouped.starts[info->stateNumber]; row < grouped.starts[info->stateNumber + 1]; row++) {
            const Node *transition = grouped.rows[row];
            auto *path = static_cast<TransitionInfo *>(transition->payload);
            emitInstr(gen, ", {0x%" PRIx64 ", %" PRId64 "L}", transition->id, stateOf(path->resolvedTo)->stateNumber);
        }
        writeInstr(gen, " };\n");
    }
    zepFree(grouped.rows);
    zepFree(grouped.starts);
    emitInstr(gen, "\n     _MUV_STATIC_CONST _muv_StateType _ZEP_NbState = %" PRId64 "L;\n", stateCount);
    emitInstr(gen, "     _MUV_STATIC_CONST muv_StateDesc StateChart[%" PRId64 "L] = {", stateCount);
    bool first = true;
    for (const Node *state = owner->firstChild; state != nullptr; state = state->nextSibling) {
        if (state->kind != KIND_UMLSTATE)
            continue;
        emitInstr(gen, "%s%56s{(_muv_Car*)\"%s\", 0x%" PRIx64 ", %" PRIu64 ", ", first ? "\n" : ",\n", "", state->name,
                  state->id, stateOf(state)->transitionCount + 1);
        writeTableName(gen, state);
        writeInstr(gen, "}");
        first = false;
    }
    emitInstr(gen, "\n%54s};\n\n", "");
    return 0;
}

const char *const STATE_UPDATE_HEAD =
    "@SCB@ \n"
    "     _muv_StateType I;\n"
    "     _muv_StateType FiredTransId=0L;\n"
    "     _muv_StateType NbStateFound=0L;\n"
    "     _muv_StateType OldState = _muv_state;\n"
    "\n"
    "     if(OldState==-1L)\n"
    "     {\n"
    "       for(I=0L; I<_ZEP_NbState; I++)\n"
    "          if(_muv_check_state(I))\n"
    "          {\n"
    "            _muv_state = I;\n"
    "            NbStateFound++;\n"
    "          }\n"
    "     }\n"
    "     else\n"
    "     {\n"
    "       for(I=0L; I<StateChart[OldState].TransNb; I++)\n"
    "          if(_muv_check_state(StateChart[OldState].Trans[I].DestStateNo))\n"
    "          {\n"
    "            _muv_state = StateChart[OldState].Trans[I].DestStateNo;\n"
    "            FiredTransId = StateChart[OldState].Trans[I].Id;\n"
    "            NbStateFound++;\n"
    "          }\n"
    "     }\n"
    "\n"
    "     if(NbStateFound==1L)\n"
    "     {\n"
    "       if(OldState!=-1L && OldState!=_muv_state)\n"
    "         _muv_transition(FiredTransId);\n"
    "#if ZEP_REPORT_REFLEXIVE_STATES\n"
    "       _muv_current_state(StateChart[_muv_state].Id, _MUV_CLASS_FILE_CLS);\n"
    "#else\n"
    "       if(OldState!=_muv_state)\n"
    "         _muv_current_state(StateChart[_muv_state].Id, _MUV_CLASS_FILE_CLS);\n"
    "#endif /* ZEP_REPORT_REFLEXIVE_STATES */\n"
    "     }\n"
    "     else\n"
    "     {\n"
    "       if(NbStateFound==0L)\n"
    "       {\n"
    "         if(OldState==-1L)\n";

// The state-update body; before any state is known the reports carry the
// number of the class's observation state.
void writeStateUpdate(GenState *gen, const Node *owner)
{
    uint64_t observation = owner->id + RECORD_STATE_BASE;
    writeInstr(gen, STATE_UPDATE_HEAD);
    emitInstr(gen, "           _muv_illegal_transition(0x%" PRIx64 ", _MUV_CLASS_FILE_CLS);\n", observation);
    writeInstr(gen, "         else\n"
               "           _muv_illegal_transition(StateChart[OldState].Id, _MUV_CLASS_FILE_CLS);\n"
               "       }\n"
               "       else\n"
               "       {\n"
               "         if(OldState==-1L)\n");
    emitInstr(gen, "           _muv_multiple_transitions(0x%" PRIx64 ", _MUV_CLASS_FILE_CLS);\n", observation);
    writeInstr(gen, "         else\n"
               "           _muv_multiple_transitions(StateChart[OldState].Id, _MUV_CLASS_FILE_CLS);\n"
               "       }\n"
               "\n"
               "       _muv_state = -1L;\n"
               "     }\n"
               "\n");
}

// The state-check body: one case per state testing all its expressions.
int writeStateCheck(GenState *gen, const Node *owner)
{
    writeInstr(gen, "@SCK@ \n     _muv_Boolean Res = _krn_false;\n\n     switch(State)\n     {\n");
    for (const Node *state = owner->firstChild; state != nullptr; state = state->nextSibling) {
        if (state->kind != KIND_UMLSTATE)
            continue;
        emitInstr(gen, "           case %" PRId64 "L : if( ", stateOf(state)->stateNumber);
        bool first = true;
        for (const Node *expression = state->firstChild; expression != nullptr; expression = expression->nextSibling) {
            if (expression->kind != KIND_EXPRESSION)
                return failKind(gen, expression);
            writeInstr(gen, first ? "( " : "\n                       && ( ");
            first = false;
            sourceLineDirectiveInstr(gen, expression);
            writeInstr(gen, expression->name);
            writeInstr(gen, gen->run->context->noLineDirectives ? " )" : "\n)");
        }
        // A state without conditions always holds, as a conjunction of
        // nothing is true.
        if (first)
            writeInstr(gen, "1");
        writeInstr(gen, " )\n                       Res=_krn_true;\n                     break;\n");
    }
    writeInstr(gen, "     }\n     return(Res);\n\n");
    return 0;
}

} // namespace

int generateContracts(GenState *gen, Node *owner)
{
    writeClassHead(gen, owner);
    int64_t states = 0;
    for (Node *child = owner->firstChild; child != nullptr; child = child->nextSibling) {
        switch (child->kind) {
        case KIND_WRAP:
            if (writeWrap(gen, child) != 0)
                return -1;
            break;
        case KIND_INVARIANT:
            writeInstr(gen, "@INV@ \n");
            writeAssertion(gen, child, "_muv_assert_invariant", "_MUV_CLASS_FILE_CLS");
            break;
        case KIND_UMLSTATE:
            stateOf(child)->stateNumber = states++;
            break;
        case KIND_TRANSITION:
            stateOf(static_cast<TransitionInfo *>(child->payload)->resolvedFrom)->transitionCount++;
            break;
        default:
            return failKind(gen, child);
        }
    }
    if (states == 0)
        return 0;
    if (writeStateTables(gen, owner, states) != 0)
        return -1;
    writeStateUpdate(gen, owner);
    return writeStateCheck(gen, owner);
}
