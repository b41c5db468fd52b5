// The top level of an OTD script and STUB definitions.
#include "base/diagnostics.h"
#include "parser/parser.h"

namespace {

// The components of a STUB body.
bool stubComponent(ParseState *state, uint64_t depth, Node *parent)
{
    uint32_t code = state->token.code;
    if (isNativeKind(code))
        buildNative(state, depth, parent);
    else if (code == KIND_CHECK)
        parseCheck(state, depth, parent);
    else if (code >= KIND_COMMENT_LINE && code <= KIND_BLOCK_COMMENT)
        buildComment(state, depth, parent);
    else if (code == KIND_PRINT)
        parsePrint(state, depth, parent);
    else if (code == KIND_THREE_POINTS) {
        if (createPlainNode(state->run, parent, KIND_THREE_POINTS, state->token.text, placeHere(state, depth)) == nullptr)
            failNode(state, "THREE POINTS", "...");
    } else
        return false;
    return true;
}

// The signature runs from after the ':' to the '{' or REQUIRE that follows.
int parseSignature(ParseState *state, const char **signature)
{
    ScanMark start = markScan(&state->stream), end;
    int result = scanRawText(state, RawEnd{"{Rr", true, KIND_LEFT_BRACE, KIND_REQUIRE}, &end);
    if (result == SCAN_END)
        reportAt(state, MESSAGE_EXPECTED_TWO, QStringLiteral("REQUIRE"), QStringLiteral("{"), QStringLiteral("EOF"));
    if (result != SCAN_TOKEN)
        return -1;
    return captureRawText(state, start, end, signature);
}

// STUB name : signature [ REQUIRE ( expression ) ] { body } [ ENSURE ( expression ) ]
void parseStub(ParseState *state, Node *root)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("STUB")) != 0)
        return;
    const char *name = state->token.text;
    const char *signature;
    if (expectToken(state, KIND_COLON, MESSAGE_EXPECTED, QStringLiteral(":")) != 0 || parseSignature(state, &signature) != 0)
        return;
    Node *stub = createStubNode(state->run, root, name, placeHere(state, 0), signature);
    if (stub == nullptr) {
        failNode(state, "STUB", name);
        return;
    }
    if (lookAhead(state, KIND_REQUIRE) && parseCondition(state, 1, stub, KIND_REQUIRE) != 0)
        return;
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return;
    if (parseBody(state, stub, 1, PHRASE_STUB, stubComponent) != 0)
        return;
    if (lookAhead(state, KIND_ENSURE) && parseCondition(state, 1, stub, KIND_ENSURE) != 0)
        return;
    closeConstruct(state, stub, opening);
}

// The elements an OTD script holds at its top level.
void parseTopLevelElement(ParseState *state, Node *root)
{
    switch (state->token.code) {
    case KIND_INCLUDE:
        parseInclude(state, root);
        return;
    case KIND_STUB:
        parseStub(state, root);
        return;
    case KIND_TEST_SUITE:
        parseTestSuite(state, 0, root);
        return;
    case KIND_TEST_CLASS:
        parseTestClass(state, 0, root);
        return;
    case KIND_ON_ERROR:
        parseOnError(state, 0, root);
        return;
    case KIND_RUN:
        parseRun(state, 0, root);
        return;
    default:
        if (isNativeKind(state->token.code))
            buildNative(state, 0, root);
        else
            reportAt(state, MESSAGE_NOT_A_COMPONENT, messageArgument(state->token.text), phrase(PHRASE_OTD_SCRIPT));
    }
}

} // namespace

int parseOtdScript(ParseState *state, Node *root)
{
    for (;;) {
        int result = readToken(state);
        if (result == SCAN_END)
            return 0;
        if (result == SCAN_TOKEN)
            parseTopLevelElement(state, root);
    }
}
