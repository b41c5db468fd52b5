// TEST CLASS, TEST SUITE and TEST CASE blocks.
#include "base/diagnostics.h"
#include "parser/parser.h"

namespace {

// Components that TEST CLASS and TEST SUITE bodies share.
bool containerComponent(ParseState *state, uint64_t depth, Node *parent)
{
    switch (state->token.code) {
    case KIND_TEST_SUITE:
        parseTestSuite(state, depth, parent);
        return true;
    case KIND_TEST_CASE:
        parseTestCase(state, depth, parent);
        return true;
    case KIND_PROC:
        parseProc(state, depth, parent);
        return true;
    case KIND_PROPERTY:
        parsePropertyDefinition(state, depth, parent);
        return true;
    case KIND_PROLOGUE:
        parsePrologue(state, depth, parent);
        return true;
    case KIND_EPILOGUE:
        parseEpilogue(state, depth, parent);
        return true;
    case KIND_ON_ERROR:
        parseOnError(state, depth, parent);
        return true;
    default:
        return false;
    }
}

bool testClassComponent(ParseState *state, uint64_t depth, Node *parent)
{
    switch (state->token.code) {
    case KIND_TEST_CLASS:
        parseTestClass(state, depth, parent);
        return true;
    case KIND_RUN:
        parseRun(state, depth, parent);
        return true;
    default:
        return containerComponent(state, depth, parent);
    }
}

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
                    const char *blockPhrase, ComponentRoutine component)
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
    if (parseBody(state, node, depth + 1, blockPhrase, component) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

} // namespace

bool testCaseComponent(ParseState *state, uint64_t depth, Node *parent)
{
    uint32_t code = state->token.code;
    switch (code) {
    case KIND_ON_ERROR:
        parseOnError(state, depth, parent);
        return true;
    case KIND_PRINT:
        parsePrint(state, depth, parent);
        return true;
    case KIND_CALL:
        parseCall(state, depth, parent);
        return true;
    case KIND_CHECK:
        parseCheck(state, depth, parent);
        return true;
    case KIND_CHECK_PROPERTY:
        parseCheckProperty(state, depth, parent);
        return true;
    case KIND_CHECK_EXCEPTION:
        parseCheckException(state, depth, parent);
        return true;
    case KIND_CHECK_STUB:
        parseCheckStub(state, depth, parent);
        return true;
    case KIND_CHECK_METHOD:
        parseCheckMethod(state, depth, parent);
        return true;
    default:
        if (isNativeKind(code))
            buildNative(state, depth, parent);
        else if (isCommentText(code))
            buildComment(state, depth, parent);
        else
            return false;
        return true;
    }
}

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
    if (parseBody(state, node, depth + 1, PHRASE_TEST_CLASS, testClassComponent) != 0)
        return -1;
    closeConstruct(state, node, opening);
    return 0;
}

// TEST SUITE name { body }
int parseTestSuite(ParseState *state, uint64_t depth, Node *parent)
{
    return parseNamedBlock(state, depth, parent, KIND_TEST_SUITE, "TEST SUITE", PHRASE_TEST_SUITE,
                           containerComponent);
}

// TEST CASE name { body }
int parseTestCase(ParseState *state, uint64_t depth, Node *parent)
{
    return parseNamedBlock(state, depth, parent, KIND_TEST_CASE, "TEST CASE", PHRASE_TEST_CASE, testCaseComponent);
}
