// The top level of an OTD script and STUB definitions.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <iterator>

namespace {

// The "..." of a STUB body.
int buildThreePoints(ParseState *state, uint64_t depth, Node *parent)
{
    return buildTokenNode(state, depth, parent, "THREE POINTS");
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
int parseStub(ParseState *state, uint64_t depth, Node *root)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("STUB")) != 0)
        return -1;
    const char *name = state->token.text;
    const char *signature;
    if (expectToken(state, KIND_COLON, MESSAGE_EXPECTED, QStringLiteral(":")) != 0 || parseSignature(state, &signature) != 0)
        return -1;
    Node *stub = createStubNode(state->run, root, name, placeHere(state, depth), signature);
    if (stub == nullptr) {
        failNode(state, "STUB", name);
        return -1;
    }
    if (lookAhead(state, KIND_REQUIRE) && parseCondition(state, depth + 1, stub, KIND_REQUIRE) != 0)
        return -1;
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, stub, depth + 1, PHRASE_STUB, &STUB_COMPONENTS) != 0)
        return -1;
    if (lookAhead(state, KIND_ENSURE) && parseCondition(state, depth + 1, stub, KIND_ENSURE) != 0)
        return -1;
    closeConstruct(state, stub, opening);
    return 0;
}

// The elements an OTD script holds at its top level.
constexpr Component OTD_SCRIPT_KEYWORDS[] = {
    {KIND_INCLUDE, parseInclude},
    {KIND_STUB, parseStub},
    {KIND_TEST_SUITE, parseTestSuite},
    {KIND_TEST_CLASS, parseTestClass},
    {KIND_ON_ERROR, parseOnError},
    {KIND_RUN, parseRun},
};
constexpr Component STUB_KEYWORDS[] = {
    {KIND_CHECK, parseCheck},
    {KIND_PRINT, parsePrint},
    {KIND_THREE_POINTS, buildThreePoints},
};

} // namespace

const ComponentTable OTD_SCRIPT_COMPONENTS{OTD_SCRIPT_KEYWORDS, std::size(OTD_SCRIPT_KEYWORDS), TAKES_NATIVE, nullptr};
const ComponentTable STUB_COMPONENTS{STUB_KEYWORDS, std::size(STUB_KEYWORDS), TAKES_NATIVE | TAKES_COMMENT, nullptr};

int parseOtdScript(ParseState *state, Node *root)
{
    for (;;) {
        int result = readToken(state);
        if (result == SCAN_END)
            return 0;
        if (result == SCAN_TOKEN && !parseComponent(state, 0, root, &OTD_SCRIPT_COMPONENTS))
            reportAt(state, MESSAGE_NOT_A_COMPONENT, messageArgument(state->token.text), phrase(PHRASE_OTD_SCRIPT));
    }
}
