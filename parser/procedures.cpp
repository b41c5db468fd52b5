// PROC definitions and the REQUIRE and ENSURE conditions they carry.
#include "base/diagnostics.h"
#include "parser/parser.h"

int parseCondition(ParseState *state, uint64_t depth, Node *parent, uint32_t kind)
{
    Opening opening = openConstruct(state);
    const char *words = kind == KIND_REQUIRE ? "REQUIRE" : "ENSURE";
    if (expectToken(state, KIND_EXPRESSION, MESSAGE_EXPRESSION_EXPECTED, QString::fromLatin1(words)) != 0)
        return -1;
    // The node spans keyword and expression; its payload keeps the
    // expression's own span.
    NodePlace place = placeHere(state, depth);
    place.span.beginLine = opening.line;
    place.span.beginColumn = opening.column;
    if (createConditionNode(state->run, parent, kind, state->token.text, place, state->token.span) == nullptr)
        failNode(state, kind == KIND_REQUIRE ? "REQUIRE EXPRESSION" : "ENSURE EXPRESSION", state->token.text);
    return 0;
}

// PROC name [ ( parameters ) ] [ REQUIRE ( expression ) ] { body } [ ENSURE ( expression ) ]
int parseProc(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("PROC")) != 0)
        return -1;
    const char *name = state->token.text;
    NameEntry *parameters;
    if (parseOptionalList(state, buildNameList, &parameters) != 0)
        return -1;
    Node *proc = createListNode(state->run, parent, KIND_PROC, name, placeHere(state, depth), parameters);
    if (proc == nullptr) {
        failNode(state, "PROC", name);
        return -1;
    }
    if (lookAhead(state, KIND_REQUIRE) && parseCondition(state, depth + 1, proc, KIND_REQUIRE) != 0)
        return -1;
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, proc, depth + 1, PHRASE_PROC, &STATEMENT_COMPONENTS) != 0)
        return -1;
    if (lookAhead(state, KIND_ENSURE) && parseCondition(state, depth + 1, proc, KIND_ENSURE) != 0)
        return -1;
    closeConstruct(state, proc, opening);
    return 0;
}
