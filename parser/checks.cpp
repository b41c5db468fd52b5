// Statements: CHECK, CHECK PROPERTY, CHECK EXCEPTION, CHECK STUB, CALL and
// PRINT.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <iterator>

namespace {

// The optional label of a check: its text, or null; the text span of the
// check then starts at the label.
const char *parseLabel(ParseState *state, SpanWords *span)
{
    if (!lookAhead(state, KIND_STRING))
        return nullptr;
    span->beginLine = state->token.span.beginLine;
    span->beginColumn = state->token.span.beginColumn;
    return state->token.text;
}

// Starts the text span at the token read last unless a label started it.
void beginTextSpan(const ParseState *state, const char *label, SpanWords *span)
{
    if (label == nullptr) {
        span->beginLine = state->token.span.beginLine;
        span->beginColumn = state->token.span.beginColumn;
    }
}

void endTextSpan(const ParseState *state, SpanWords *span)
{
    span->endLine = state->token.span.endLine;
    span->endColumn = state->token.span.endColumn;
}

int expectSemicolon(ParseState *state)
{
    return expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";"));
}

// The one-segment name that a CALL or CHECK PROPERTY refers to.
NameSegment *targetOf(const ParseState *state, const char *name, NameEntry *arguments)
{
    NameSegment *target = appendSegment(state->run, nullptr, name, arguments);
    if (target == nullptr)
        reportAt(state, MESSAGE_SYNTAX_NO_MEMORY_FOR_TOKEN);
    return target;
}

// CHECK EXCEPTION and CHECK STUB once their head is read: ';' or { body }.
int parseExpectationBody(ParseState *state, uint64_t depth, Node *parent, const Opening &opening, uint32_t kind)
{
    const char *name = state->token.text;
    bool shortForm = lookAhead(state, KIND_SEMICOLON);
    NodePlace place = placeHere(state, depth);
    bool exception = kind == KIND_CHECK_EXCEPTION;
    Node *node = exception ? createPlainNode(state->run, parent, kind, name, place) : createStubCheckNode(state->run, parent, name, place);
    if (node == nullptr) {
        failNode(state, exception ? "CHECK EXCEPTION" : "CHECK STUB", name);
        return -1;
    }
    if (shortForm)
        return 0;
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED_TWO, QStringLiteral(";"), QStringLiteral("{")) != 0)
        return -1;
    const char *blockPhrase = exception ? PHRASE_CHECK_EXCEPTION : PHRASE_CHECK_STUB;
    if (parseBody(state, node, depth + 1, blockPhrase, exception ? &PLAIN_STATEMENT_COMPONENTS : &CHECK_STUB_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

// A CHECK STUB body: checks of the stub's arguments besides the plain
// statements.
constexpr Component CHECK_STUB_KEYWORDS[] = {{KIND_CHECK, parseCheck}};

} // namespace

const ComponentTable CHECK_STUB_COMPONENTS{CHECK_STUB_KEYWORDS, std::size(CHECK_STUB_KEYWORDS), 0,
                                           &PLAIN_STATEMENT_COMPONENTS};

// check [ string ] ( condition ) ;
int parseCheck(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    SpanWords span{};
    const char *label = parseLabel(state, &span);
    if (expectToken(state, KIND_EXPRESSION, MESSAGE_EXPRESSION_EXPECTED, QStringLiteral("CHECK")) != 0)
        return -1;
    const char *condition = state->token.text;
    beginTextSpan(state, label, &span);
    endTextSpan(state, &span);
    if (expectSemicolon(state) != 0)
        return -1;
    Node *node = createCheckNode(state->run, parent, placeHere(state, depth), label, condition, span);
    if (node == nullptr) {
        failNode(state, "CHECK", condition);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}

// CHECK PROPERTY [ string ] name [ ( parameters ) ] ;
int parseCheckProperty(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    SpanWords span{};
    const char *label = parseLabel(state, &span);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("PROPERTY")) != 0)
        return -1;
    const char *name = state->token.text;
    beginTextSpan(state, label, &span);
    endTextSpan(state, &span);
    NameEntry *arguments;
    if (parseOptionalList(state, buildParameterList, &arguments) != 0)
        return -1;
    if (arguments != nullptr)
        endTextSpan(state, &span);
    NameSegment *target = targetOf(state, name, arguments);
    if (target == nullptr || expectSemicolon(state) != 0)
        return -1;
    Node *node = createPropertyCheckNode(state->run, parent, name, placeHere(state, depth), label, target, arguments, span);
    if (node == nullptr) {
        failNode(state, "CHECK PROPERTY", name);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}

// CHECK EXCEPTION ( signature ) ; or CHECK EXCEPTION ( signature ) { body }
int parseCheckException(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_EXPRESSION, MESSAGE_EXPECTED, phrase(PHRASE_EXCEPTION_SIGNATURE)) != 0)
        return -1;
    return parseExpectationBody(state, depth, parent, opening, KIND_CHECK_EXCEPTION);
}

// CHECK STUB name ; or CHECK STUB name { body }
int parseCheckStub(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("STUB")) != 0)
        return -1;
    return parseExpectationBody(state, depth, parent, opening, KIND_CHECK_STUB);
}

// call name [ ( parameters ) ] ;
int parseCall(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("PROC")) != 0)
        return -1;
    const char *name = state->token.text;
    NameEntry *arguments;
    if (parseOptionalList(state, buildParameterList, &arguments) != 0)
        return -1;
    NameSegment *target = targetOf(state, name, arguments);
    if (target == nullptr || expectSemicolon(state) != 0)
        return -1;
    Node *node = createCallNode(state->run, parent, name, placeHere(state, depth), target, arguments);
    if (node == nullptr) {
        failNode(state, "CALL", name);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}

// print ( items ) ;
int parsePrint(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_EXPRESSION, MESSAGE_EXPECTED, phrase(PHRASE_PARAMETERS)) != 0)
        return -1;
    NameEntry *items = buildParameterList(state->run, state->token.text);
    if (items == nullptr) {
        failList(state, state->token.text);
        return -1;
    }
    if (expectSemicolon(state) != 0)
        return -1;
    Node *node = createListNode(state->run, parent, KIND_PRINT, opening.text, placeHere(state, depth), items);
    if (node == nullptr) {
        failNode(state, "PRINT", opening.text);
        return -1;
    }
    closeConstruct(state, node, opening);
    return 0;
}
