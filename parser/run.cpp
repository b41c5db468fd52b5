// Statements: RUN with its elements, native code, comments and PROPERTY
// definitions.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <iterator>

namespace {

int expectElementName(ParseState *state)
{
    return expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED_THREE, QStringLiteral("TEST CLASS"), QStringLiteral("TEST SUITE"),
                       QStringLiteral("TEST CASE"));
}

// One name of a dotted path with its optional parameters, appended to path
// after its last segment last (kept, so that a long path is not walked for
// every name); where the name stands goes to opening.
int parsePathSegment(ParseState *state, NameSegment **path, NameSegment **last, const char **name, Opening *opening)
{
    if (expectElementName(state) != 0)
        return -1;
    *opening = openConstruct(state);
    *name = state->token.text;
    NameEntry *arguments;
    if (parseOptionalList(state, buildParameterList, &arguments) != 0)
        return -1;
    NameSegment *segments = appendSegment(state->run, *last, *name, arguments);
    if (segments == nullptr) {
        reportAt(state, MESSAGE_SYNTAX_NO_MEMORY_FOR_TOKEN);
        return -1;
    }
    if (*path == nullptr)
        *path = segments;
    *last = *last != nullptr ? (*last)->next : segments;
    return 0;
}

// element = name [ ( parameters ) ] { . name [ ( parameters ) ] } ;
void parseRunElement(ParseState *state, uint64_t depth, Node *run)
{
    NameSegment *path = nullptr, *last = nullptr;
    const char *name;
    Opening opening, later;
    if (parsePathSegment(state, &path, &last, &name, &opening) != 0)
        return;
    while (lookAhead(state, KIND_DOT)) {
        if (parsePathSegment(state, &path, &last, &name, &later) != 0)
            return;
    }
    if (expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return;
    Node *node = createRunNode(state->run, run, name, placeHere(state, depth), path);
    if (node == nullptr) {
        failNode(state, "RUN ELEMENT", name);
        return;
    }
    closeConstruct(state, node, opening);
}

// An expression of a PROPERTY body.
int buildPropertyExpression(ParseState *state, uint64_t depth, Node *parent)
{
    return buildTokenNode(state, depth, parent, "PROPERTY EXPRESSION");
}

constexpr Component PROPERTY_KEYWORDS[] = {{KIND_EXPRESSION, buildPropertyExpression}};
constexpr Component PLAIN_STATEMENT_KEYWORDS[] = {{KIND_PRINT, parsePrint}};

} // namespace

int buildTokenNode(ParseState *state, uint64_t depth, Node *parent, const char *words)
{
    if (createPlainNode(state->run, parent, state->token.code, state->token.text, placeHere(state, depth)) != nullptr)
        return 0;
    failNode(state, words, state->token.text);
    return -1;
}

// run { element ... }
int parseRun(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    Node *run = createPlainNode(state->run, parent, KIND_RUN, opening.text, placeHere(state, depth));
    if (run == nullptr) {
        failNode(state, "RUN", opening.text);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    for (;;) {
        ScanMark start = markScan(&state->stream);
        int result = readToken(state);
        if (result == SCAN_END) {
            reportAt(state, MESSAGE_EXPECTED, QStringLiteral("}"), QStringLiteral("EOF"));
            return -1;
        }
        if (result == SCAN_FAILED || state->token.code == KIND_RIGHT_BRACE)
            break;
        if (state->token.code == KIND_IDENTIFIER) {
            restoreScan(&state->stream, start);
            parseRunElement(state, depth + 1, run);
        } else {
            reportAt(state, MESSAGE_NOT_A_COMPONENT, messageArgument(state->token.text), phrase(PHRASE_RUN));
        }
    }
    closeConstruct(state, run, opening);
    return 0;
}

int buildNative(ParseState *state, uint64_t depth, Node *parent)
{
    return buildTokenNode(state, depth, parent, "NATIVE");
}

int buildComment(ParseState *state, uint64_t depth, Node *parent)
{
    return buildTokenNode(state, depth, parent, "COMMENT");
}

// property name [ ( formal names ) ] { ( expression ) ... }
int parsePropertyDefinition(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("PROPERTY")) != 0)
        return -1;
    const char *name = state->token.text;
    NameEntry *formals;
    if (parseOptionalList(state, buildNameList, &formals) != 0)
        return -1;
    Node *property = createListNode(state->run, parent, KIND_PROPERTY, name, placeHere(state, depth), formals);
    if (property == nullptr) {
        failNode(state, "PROPERTY", name);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, property, depth + 1, PHRASE_PROPERTY, &PROPERTY_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, property, opening);
    return 0;
}

const ComponentTable PROPERTY_COMPONENTS{PROPERTY_KEYWORDS, std::size(PROPERTY_KEYWORDS), 0, nullptr};
const ComponentTable PLAIN_STATEMENT_COMPONENTS{PLAIN_STATEMENT_KEYWORDS, std::size(PLAIN_STATEMENT_KEYWORDS),
                                                TAKES_NATIVE | TAKES_COMMENT, nullptr};
