// Statements: ON ERROR, PROLOGUE and EPILOGUE. Each builds its node first,
// so that the node stands even when the rest of the statement is faulty.
#include "base/diagnostics.h"
#include "parser/parser.h"

namespace {

bool isErrorAction(uint32_t code)
{
    return code == KIND_BYPASS || code == KIND_EXIT || code == KIND_CONTINUE;
}

// The action after an ON ERROR and its optional body, up to the ';'.
int parseErrorAction(ParseState *state, Node *node, const Opening &opening, bool hasBody)
{
    int result = readToken(state);
    if (result == SCAN_FAILED)
        return -1;
    if (result == SCAN_END || !isErrorAction(state->token.code)) {
        QString found = result == SCAN_END ? QStringLiteral("EOF") : messageArgument(state->token.text);
        if (hasBody)
            reportAt(state, MESSAGE_EXPECTED_THREE, QStringLiteral("CONTINUE"), QStringLiteral("EXIT"), QStringLiteral("BYPASS"), found);
        else
            reportAt(state, MESSAGE_EXPECTED_FOUR, QStringLiteral("{"), QStringLiteral("CONTINUE"), QStringLiteral("EXIT"),
                     QStringLiteral("BYPASS"), found);
        return -1;
    }
    auto *info = static_cast<OnErrorInfo *>(node->payload);
    info->action = state->token.code;
    if (info->action == KIND_BYPASS && lookAhead(state, KIND_IDENTIFIER))
        info->bypassTarget = state->token.text;
    if (expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

// prologue { body } and epilogue { body }
int parseFrameBlock(ParseState *state, uint64_t depth, Node *parent, uint32_t kind)
{
    Opening opening = openConstruct(state);
    bool prologue = kind == KIND_PROLOGUE;
    Node *node = createPlainNode(state->run, parent, kind, opening.text, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, prologue ? "PROLOGUE" : "EPILOGUE", opening.text);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, node, depth + 1, prologue ? PHRASE_PROLOGUE : PHRASE_EPILOGUE, &PLAIN_STATEMENT_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

} // namespace

// ON ERROR [ { body } ] ( bypass [ name ] | exit | continue ) ;
int parseOnError(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    Node *node = createOnErrorNode(state->run, parent, opening.text, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, "ON ERROR", opening.text);
        return -1;
    }
    ScanMark before = markScan(&state->stream);
    int result = readToken(state);
    if (result == SCAN_FAILED)
        return -1;
    bool hasBody = result == SCAN_TOKEN && state->token.code == KIND_LEFT_BRACE;
    if (!hasBody)
        restoreScan(&state->stream, before);
    else if (parseBody(state, node, depth + 1, PHRASE_ON_ERROR, &PLAIN_STATEMENT_COMPONENTS) != 0)
        return -1;
    return parseErrorAction(state, node, opening, hasBody);
}

int parsePrologue(ParseState *state, uint64_t depth, Node *parent)
{
    return parseFrameBlock(state, depth, parent, KIND_PROLOGUE);
}

int parseEpilogue(ParseState *state, uint64_t depth, Node *parent)
{
    return parseFrameBlock(state, depth, parent, KIND_EPILOGUE);
}
