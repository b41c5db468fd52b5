// The steps every construct routine shares: reading expected tokens, looking
// ahead, placing and closing nodes, and reading bodies.
#include "base/diagnostics.h"
#include "parser/parser.h"

#include <cctype>
#include <cstring>

// The components that a block accepts are named by these phrases in message
// 23 and some others.
const char *const PHRASE_OTD_SCRIPT = QT_TRANSLATE_NOOP("ZEP Error Parameter", "an `OTD script'");
const char *const PHRASE_OTC_SCRIPT = QT_TRANSLATE_NOOP("ZEP Error Parameter", "an `OTC script'");
//: STUB is a keyword; do not translate
const char *const PHRASE_STUB = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `STUB'");
//: TEST CLASS is keyword, do not translate
const char *const PHRASE_TEST_CLASS = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `TEST CLASS'");
//: TEST SUITE is keyword please do not translate
const char *const PHRASE_TEST_SUITE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `TEST SUITE'");
//: TEST CASE is keyword please do not translate
const char *const PHRASE_TEST_CASE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `TEST CASE'");
//: PROC is a keyword; do not translate
const char *const PHRASE_PROC = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `PROC'");
const char *const PHRASE_PARAMETERS = QT_TRANSLATE_NOOP("ZEP Error Parameter", "(actual parameters list)");
const char *const PHRASE_EXCEPTION_SIGNATURE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "( Exception Signature )");
//: CHECK EXCEPTION is keyword; do not translate
const char *const PHRASE_CHECK_EXCEPTION = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `CHECK EXCEPTION'");
//: CHECKSTUB is keyword; do not translate
const char *const PHRASE_CHECK_STUB = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `CHECK STUB'");
//: ON ERROR is a keyword; do not translate
const char *const PHRASE_ON_ERROR = QT_TRANSLATE_NOOP("ZEP Error Parameter", "an `ON ERROR'");
//: PROLOGUE is keyword; do not translate
const char *const PHRASE_PROLOGUE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `PROLOGUE'");
//: EPILOGUE is keyword; do not translate
const char *const PHRASE_EPILOGUE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "an `EPILOGUE'");
//: RUN is a keyword; do not translate
const char *const PHRASE_RUN = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `RUN'");
//: PROPERTY is a keyword ; do not translate
const char *const PHRASE_PROPERTY = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `PROPERTY'");
//: CLASS is a keyword; do not translate
const char *const PHRASE_CLASS = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `CLASS'");
//: UML STATE is a keyword; do not translate
const char *const PHRASE_UML_STATE = QT_TRANSLATE_NOOP("ZEP Error Parameter", "a `UML STATE'");

Opening openConstruct(const ParseState *state)
{
    return Opening{state->token.span.beginLine, state->token.span.beginColumn, state->token.text};
}

int readToken(ParseState *state)
{
    return nextToken(&state->stream, &state->token);
}

void reportAt(const ParseState *state, unsigned message, const QString &a1, const QString &a2, const QString &a3,
              const QString &a4, const QString &a5)
{
    // The token read last is the one the message names, when it lies on the
    // line the message is located at.
    const TokenSpan &span = state->token.span;
    uint64_t column = span.endLine == state->stream.line ? span.beginColumn : 0;
    reportAtColumn(state->run, message, state->stream.displayPath, state->stream.line, column, a1, a2, a3, a4, a5);
}

int expectToken(ParseState *state, uint32_t code, unsigned message, const QString &w1, const QString &w2,
                const QString &w3, const QString &w4)
{
    int result = readToken(state);
    if (result == SCAN_FAILED)
        return -1;
    if (result == SCAN_TOKEN && state->token.code == code)
        return 0;
    // The text found follows the expected words.
    QString arguments[5] = {w1, w2, w3, w4, QString()};
    int used = 0;
    while (used < 4 && !arguments[used].isNull())
        used++;
    arguments[used] = result == SCAN_END ? QStringLiteral("EOF") : messageArgument(state->token.text);
    reportAt(state, message, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4]);
    return -1;
}

bool lookAhead(ParseState *state, uint32_t code)
{
    ScanMark before = markScan(&state->stream);
    if (readToken(state) == SCAN_TOKEN && state->token.code == code)
        return true;
    restoreScan(&state->stream, before);
    return false;
}

NodePlace placeHere(const ParseState *state, uint64_t depth)
{
    return NodePlace{state->directory, state->fileName, state->stream.displayPath, state->fileNo, state->stream.line,
                     state->token.span, depth};
}

void closeConstruct(const ParseState *state, Node *node, const Opening &opening)
{
    node->beginLine = opening.line;
    node->beginColumn = opening.column;
    node->endLine = state->stream.line;
    node->endColumn = state->stream.column - 1;
}

bool parseComponent(ParseState *state, uint64_t depth, Node *parent, const ComponentTable *table)
{
    uint32_t code = state->token.code;
    for (; table != nullptr; table = table->more) {
        for (size_t i = 0; i < table->count; i++) {
            if (table->components[i].code == code) {
                table->components[i].parse(state, depth, parent);
                return true;
            }
        }
        if ((table->takes & TAKES_NATIVE) != 0 && isNativeKind(code)) {
            buildNative(state, depth, parent);
            return true;
        }
        if ((table->takes & TAKES_COMMENT) != 0 && isCommentText(code)) {
            buildComment(state, depth, parent);
            return true;
        }
    }
    return false;
}

const ComponentTable *componentsOf(uint32_t blockKind, bool contracts)
{
    switch (blockKind) {
    case 0:
        return contracts ? &OTC_SCRIPT_COMPONENTS : &OTD_SCRIPT_COMPONENTS;
    case KIND_STUB:
        return &STUB_COMPONENTS;
    case KIND_TEST_CLASS:
        return &TEST_CLASS_COMPONENTS;
    case KIND_TEST_SUITE:
        return &TEST_SUITE_COMPONENTS;
    case KIND_TEST_CASE:
    case KIND_PROC:
        return &STATEMENT_COMPONENTS;
    case KIND_ON_ERROR:
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
    case KIND_CHECK_EXCEPTION:
        return &PLAIN_STATEMENT_COMPONENTS;
    case KIND_CHECK_STUB:
        return &CHECK_STUB_COMPONENTS;
    case KIND_PROPERTY:
        return &PROPERTY_COMPONENTS;
    case KIND_CLASS:
    case KIND_SINGLE_CLASS:
        return &CLASS_COMPONENTS;
    case KIND_UMLSTATE:
        return &UML_STATE_COMPONENTS;
    default:
        return nullptr;
    }
}

int parseBody(ParseState *state, Node *node, uint64_t depth, const char *blockPhrase, const ComponentTable *components)
{
    if (depth > NESTING_LIMIT) {
        reportAt(state, MESSAGE_INTERNAL_ERROR, QStringLiteral("blocks nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    for (;;) {
        int result = readToken(state);
        if (result == SCAN_FAILED)
            return 0;
        if (result == SCAN_END) {
            reportAt(state, MESSAGE_EXPECTED, QStringLiteral("}"), QStringLiteral("EOF"));
            return -1;
        }
        if (state->token.code == KIND_RIGHT_BRACE)
            return 0;
        if (!parseComponent(state, depth, node, components))
            reportAt(state, MESSAGE_NOT_A_COMPONENT, messageArgument(state->token.text), phrase(blockPhrase));
    }
}

int parseOptionalList(ParseState *state, NameEntry *(*build)(Run *, const char *), NameEntry **list)
{
    *list = nullptr;
    if (!lookAhead(state, KIND_EXPRESSION))
        return 0;
    *list = build(state->run, state->token.text);
    if (*list != nullptr)
        return 0;
    failList(state, state->token.text);
    return -1;
}

static bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether the character just read from before.offset may end a raw text.
static bool isCandidate(const ScanStream *stream, const RawEnd &rule, ScanMark before, int c)
{
    if (c == 0 || strchr(rule.candidates, c) == nullptr)
        return false;
    if (!rule.afterBlank || !isalpha(c))
        return true;
    return before.offset > 0 && isBlankByte(stream->bytes[before.offset - 1]);
}

int scanRawText(ParseState *state, const RawEnd &rule, ScanMark *end)
{
    ScanStream *stream = &state->stream;
    for (;;) {
        ScanMark before = markScan(stream);
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return SCAN_END;
        if (c == '/') {
            ScanMark afterSlash = markScan(stream);
            int next;
            readChar(stream, &next);
            restoreScan(stream, afterSlash);
            Token comment;
            if ((next == '/' || next == '*') && scanSlashComment(stream, &comment) == SCAN_FAILED)
                return SCAN_FAILED;
            continue;
        }
        if (!isCandidate(stream, rule, before, c))
            continue;
        // The token is read from the candidate on, inside a word too; when it
        // is not the end, scanning goes on after it.
        restoreScan(stream, before);
        if (readToken(state) == SCAN_TOKEN && (state->token.code == rule.code || state->token.code == rule.otherCode)) {
            *end = before;
            return SCAN_TOKEN;
        }
    }
}

int captureRawText(ParseState *state, ScanMark start, ScanMark end, const char **text)
{
    if (captureSignature(&state->stream, &state->token, start, end.offset) != SCAN_TOKEN)
        return -1;
    *text = state->token.text;
    restoreScan(&state->stream, end);
    return 0;
}


void failNode(const ParseState *state, const char *words, const char *name)
{
    reportAt(state, MESSAGE_NODE_NOT_BUILT, QString::fromLatin1(words), messageArgument(name));
}

void failList(const ParseState *state, const char *text)
{
    reportAt(state, MESSAGE_NO_PARAMETER_LIST, messageArgument(text));
}

bool isCommentText(uint32_t code)
{
    return code == KIND_COMMENT_LINE || code == KIND_COMMENT_BLOCK;
}
