// OTC contract scripts: CLASS and SINGLE CLASS with their WRAP, INVARIANT,
// state and transition clauses; and CHECK METHOD, which names a method by
// its raw signature as WRAP does.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <iterator>

namespace {

// The raw text from the current offset to the first candidate that begins
// one of the rule's tokens; messages for the end of the file are the
// caller's. Returns SCAN_TOKEN with the text, or the scan's result.
int parseRawText(ParseState *state, const RawEnd &rule, const char **text)
{
    ScanMark start = markScan(&state->stream), end;
    int result = scanRawText(state, rule, &end);
    if (result != SCAN_TOKEN)
        return result;
    return captureRawText(state, start, end, text) == 0 ? SCAN_TOKEN : SCAN_FAILED;
}

// wrap signature [ require ( expression ) ] [ ensure ( expression ) ]
int parseWrap(ParseState *state, uint64_t depth, Node *owner)
{
    Opening opening = openConstruct(state);
    const char *signature;
    int result = parseRawText(state, RawEnd{"RrEe", false, KIND_REQUIRE, KIND_ENSURE}, &signature);
    if (result == SCAN_END)
        reportAt(state, MESSAGE_EXPECTED_TWO, QStringLiteral("REQUIRE"), QStringLiteral("ENSURE"), QStringLiteral("EOF"));
    if (result != SCAN_TOKEN)
        return -1;
    Node *wrap = createPlainNode(state->run, owner, KIND_WRAP, signature, placeHere(state, depth));
    if (wrap == nullptr) {
        failNode(state, "WRAP", signature);
        return -1;
    }
    if (lookAhead(state, KIND_REQUIRE) && parseCondition(state, depth + 1, wrap, KIND_REQUIRE) != 0)
        return -1;
    if (lookAhead(state, KIND_ENSURE) && parseCondition(state, depth + 1, wrap, KIND_ENSURE) != 0)
        return -1;
    closeConstruct(state, wrap, opening);
    return 0;
}

// invariant ( expression ) ;
int parseInvariant(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_EXPRESSION, MESSAGE_EXPRESSION_EXPECTED, QStringLiteral("INVARIANT")) != 0)
        return -1;
    const char *expression = state->token.text;
    SpanWords span = state->token.span;
    if (expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return -1;
    Node *node = createInvariantNode(state->run, parent, expression, placeHere(state, depth), span);
    if (node == nullptr) {
        failNode(state, "INVARIANT", expression);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}

// An expression of a state body.
int buildStateExpression(ParseState *state, uint64_t depth, Node *parent)
{
    return buildTokenNode(state, depth, parent, "UML STATE EXPRESSION");
}

constexpr Component UML_STATE_KEYWORDS[] = {{KIND_EXPRESSION, buildStateExpression}};

// state name { ( expression ) ... }
int parseUmlState(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("UML STATE")) != 0)
        return -1;
    const char *name = state->token.text;
    Node *node = createStateNode(state->run, parent, name, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, "UML STATE", name);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, node, depth + 1, PHRASE_UML_STATE, &UML_STATE_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

// transition name to name ;
int parseTransition(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("SOURCE STATE")) != 0)
        return -1;
    const char *from = state->token.text;
    if (expectToken(state, KIND_TO, MESSAGE_EXPECTED, QStringLiteral("TO")) != 0 ||
        expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("DESTINATION STATE")) != 0)
        return -1;
    const char *to = state->token.text;
    if (expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return -1;
    Node *node = createTransitionNode(state->run, parent, opening.text, placeHere(state, depth), from, to);
    if (node == nullptr) {
        failNode(state, "TRANSITION", opening.text);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}

constexpr Component CLASS_KEYWORDS[] = {
    {KIND_WRAP, parseWrap},
    {KIND_UMLSTATE, parseUmlState},
    {KIND_TRANSITION, parseTransition},
    {KIND_INVARIANT, parseInvariant},
};

// class head { clauses } or SINGLE CLASS head { clauses }
int parseOtcClass(ParseState *state, uint64_t depth, Node *root)
{
    uint32_t kind = state->token.code;
    Opening opening = openConstruct(state);
    const char *head;
    int result = parseRawText(state, RawEnd{"{", false, KIND_LEFT_BRACE, KIND_LEFT_BRACE}, &head);
    if (result == SCAN_END)
        reportAt(state, MESSAGE_EXPECTED, QStringLiteral("{"), QStringLiteral("EOF"));
    if (result != SCAN_TOKEN)
        return -1;
    Node *node = createPlainNode(state->run, root, kind, head, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, kind == KIND_SINGLE_CLASS ? "SINGLE CLASS" : "CLASS", head);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, node, depth + 1, PHRASE_CLASS, &CLASS_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

constexpr Component OTC_SCRIPT_KEYWORDS[] = {{KIND_CLASS, parseOtcClass}, {KIND_SINGLE_CLASS, parseOtcClass}};

} // namespace

const ComponentTable UML_STATE_COMPONENTS{UML_STATE_KEYWORDS, std::size(UML_STATE_KEYWORDS), 0, nullptr};
const ComponentTable CLASS_COMPONENTS{CLASS_KEYWORDS, std::size(CLASS_KEYWORDS), 0, nullptr};
const ComponentTable OTC_SCRIPT_COMPONENTS{OTC_SCRIPT_KEYWORDS, std::size(OTC_SCRIPT_KEYWORDS), 0, nullptr};

// CHECK METHOD signature ;
int parseCheckMethod(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    const char *signature;
    int result = parseRawText(state, RawEnd{";", false, KIND_SEMICOLON, KIND_SEMICOLON}, &signature);
    if (result == SCAN_END)
        reportAt(state, MESSAGE_EXPECTED, QStringLiteral(";"), QStringLiteral("EOF"));
    if (result != SCAN_TOKEN || expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return -1;
    Node *node = createPlainNode(state->run, parent, KIND_CHECK_METHOD, signature, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, "CHECK METHOD", signature);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}
