// TEST CLASS, TEST SUITE and TEST CASE blocks.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <iterator>

namespace {

// Components that TEST CLASS and TEST SUITE bodies share.
constexpr Component CONTAINER_KEYWORDS[] = {
    {KIND_TEST_SUITE, parseTestSuite},
    {KIND_TEST_CASE, parseTestCase},
    {KIND_PROC, parseProc},
    {KIND_PROPERTY, parsePropertyDefinition},
    {KIND_PROLOGUE, parsePrologue},
    {KIND_EPILOGUE, parseEpilogue},
    {KIND_ON_ERROR, parseOnError},
};
constexpr Component TEST_CLASS_KEYWORDS[] = {{KIND_TEST_CLASS, parseTestClass}, {KIND_RUN, parseRun}};
constexpr Component STATEMENT_KEYWORDS[] = {
    {KIND_ON_ERROR, parseOnError},
    {KIND_PRINT, parsePrint},
    {KIND_CALL, parseCall},
    {KIND_CHECK, parseCheck},
    {KIND_CHECK_PROPERTY, parseCheckProperty},
    {KIND_CHECK_EXCEPTION, parseCheckException},
    {KIND_CHECK_STUB, parseCheckStub},
    {KIND_CHECK_METHOD, parseCheckMethod},
};

// [ : base [ ( arguments ) ] ] of a TEST CLASS: 0 with the base (or null).
int parseBase(ParseState *state, NameSegment **base)
{
    *base = nullptr;
    if (!lookAhead(state, KIND_COLON))
        return 0;
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("TEST CLASS")) != 0)
        return -1;
    const char *name = state->token.text;
    NameEntry *arguments;
    if (parseOptionalList(state, buildParameterList, &arguments) != 0)
        return -1;
    *base = appendSegment(state->run, nullptr, name, arguments);
    if (*base != nullptr)
        return 0;
    reportAt(state, MESSAGE_SYNTAX_NO_MEMORY_FOR_TOKEN);
    return -1;
}

// TEST SUITE and TEST CASE: name { body }, the node built before the body.
int parseNamedBlock(ParseState *state, uint64_t depth, Node *parent, uint32_t kind, const char *words,
                    const char *blockPhrase, const ComponentTable *components)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QString::fromLatin1(words)) != 0)
        return -1;
    const char *name = state->token.text;
    Node *node = createPlainNode(state->run, parent, kind, name, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, words, name);
        return -1;
    }
    if (expectToken(state, KIND_LEFT_BRACE, MESSAGE_EXPECTED, QStringLiteral("{")) != 0)
        return -1;
    if (parseBody(state, node, depth + 1, blockPhrase, components) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

} // namespace

const ComponentTable TEST_SUITE_COMPONENTS{CONTAINER_KEYWORDS, std::size(CONTAINER_KEYWORDS), 0, nullptr};
const ComponentTable TEST_CLASS_COMPONENTS{TEST_CLASS_KEYWORDS, std::size(TEST_CLASS_KEYWORDS), 0,
                                           &TEST_SUITE_COMPONENTS};
const ComponentTable STATEMENT_COMPONENTS{STATEMENT_KEYWORDS, std::size(STATEMENT_KEYWORDS),
                                          TAKES_NATIVE | TAKES_COMMENT, nullptr};

// TEST CLASS name [ ( parameters ) ] [ : base [ ( arguments ) ] ] [ { body } ]
int parseTestClass(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_IDENTIFIER, MESSAGE_NAME_EXPECTED, QStringLiteral("TEST CLASS")) != 0)
        return -1;
    const char *name = state->token.text;
    NameEntry *parameters;
    NameSegment *base;
    if (parseOptionalList(state, buildNameList, &parameters) != 0 || parseBase(state, &base) != 0)
        return -1;
    Node *node = createClassNode(state->run, parent, name, placeHere(state, depth), parameters, base);
    if (node == nullptr) {
        failNode(state, "TEST CLASS", name);
        return -1;
    }
    if (!lookAhead(state, KIND_LEFT_BRACE))
        return 0;
    if (parseBody(state, node, depth + 1, PHRASE_TEST_CLASS, &TEST_CLASS_COMPONENTS) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

// TEST SUITE name { body }
int parseTestSuite(ParseState *state, uint64_t depth, Node *parent)
{
    return parseNamedBlock(state, depth, parent, KIND_TEST_SUITE, "TEST SUITE", PHRASE_TEST_SUITE,
                           &TEST_SUITE_COMPONENTS);
}

// TEST CASE name { body }
int parseTestCase(ParseState *state, uint64_t depth, Node *parent)
{
    return parseNamedBlock(state, depth, parent, KIND_TEST_CASE, "TEST CASE", PHRASE_TEST_CASE, &STATEMENT_COMPONENTS);
}
