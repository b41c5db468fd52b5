// Raw captures: native code, parenthesised expressions and signatures. Their
// texts are kept as written, but for the line-end handling of each form.
#include "base/diagnostics.h"
#include "lexer/lexer.h"

namespace {

bool isBlankOrLineEnd(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The word that opened native code, as the messages name it.
const char *nativeOpening(int mode)
{
    return mode == NATIVE_CPP ? "c++#" : mode == NATIVE_JAVA ? "java#" : "#";
}

int failNativeOpening(ScanStream *stream, TextBuffer *scratch, int mode, const QString &found)
{
    QString opening = QString::fromLatin1(nativeOpening(mode));
    report(stream->run, MESSAGE_LEXICAL_EXPECTED_TWO, stream->displayPath, stream->line, opening, opening + QLatin1Char('{'), found);
    freeTextBuffer(scratch);
    return SCAN_FAILED;
}

// A native line runs to the line feed, which is left for the next token.
int scanNativeLine(ScanStream *stream, Token *token, TextBuffer *scratch, uint32_t code)
{
    for (;;) {
        ScanMark before = markScan(stream);
        int c;
        if (readChar(stream, &c) == SCAN_END)
            break;
        if (c == '\n') {
            restoreScan(stream, before);
            break;
        }
        if (appendScratch(stream, scratch, c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
    return makeScratchToken(stream, token, scratch, code);
}

// A native block runs to the first "}#", line feeds kept.
int scanNativeBlock(ScanStream *stream, Token *token, TextBuffer *scratch, uint32_t code)
{
    for (;;) {
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return failExpected(stream, scratch, "}#", "EOF");
        if (c == '#' && scratch->length > 0 && scratch->text[scratch->length - 1] == '}') {
            scratch->text[--scratch->length] = '\0';
            return makeScratchToken(stream, token, scratch, code);
        }
        if (appendScratch(stream, scratch, c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
}

} // namespace

int scanNativeCode(ScanStream *stream, Token *token, int mode)
{
    TextBuffer scratch;
    if (openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    uint32_t lineCode = KIND_NATIVE_LINE + 2 * static_cast<uint32_t>(mode);
    ScanMark before = markScan(stream);
    int c;
    if (readChar(stream, &c) == SCAN_END && mode == NATIVE_PLAIN)
        return failNativeOpening(stream, &scratch, mode, QStringLiteral("EOF"));
    if (mode != NATIVE_PLAIN) {
        // The word must be followed at once by '#'.
        if (c == END_OF_FILE)
            return failNativeOpening(stream, &scratch, mode, QStringLiteral("EOF"));
        if (c == '\n') {
            restoreScan(stream, before);
            return failNativeOpening(stream, &scratch, mode, QStringLiteral("RETURN"));
        }
        if (c != '#') {
            char text[2] = {static_cast<char>(c), '\0'};
            return failNativeOpening(stream, &scratch, mode, messageArgument(text));
        }
        before = markScan(stream);
        readChar(stream, &c);
    }
    if (c == '{')
        return scanNativeBlock(stream, token, &scratch, lineCode + 1);
    if (c == '\n' || c == END_OF_FILE)
        restoreScan(stream, before);
    else if (appendScratch(stream, &scratch, c == '\r' ? ' ' : static_cast<char>(c)) != 0)
        return SCAN_FAILED;
    return scanNativeLine(stream, token, &scratch, lineCode);
}

int scanExpression(ScanStream *stream, Token *token)
{
    TextBuffer scratch;
    if (openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    uint64_t opened = 1, closed = 0, doubleQuotes = 0, singleQuotes = 0;
    bool escaped = false;
    for (;;) {
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return failExpected(stream, &scratch, ")", "EOF");
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"' && singleQuotes % 2 == 0) {
            doubleQuotes++;
        } else if (c == '\'' && doubleQuotes % 2 == 0) {
            singleQuotes++;
        } else if (doubleQuotes % 2 == 0 && singleQuotes % 2 == 0) {
            if (c == '(')
                opened++;
            else if (c == ')' && ++closed == opened)
                break;
        }
        if (appendScratch(stream, &scratch, c == '\n' || c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
    // A blank expression is an error, but the token still stands in the tree.
    if (isBlankText(scratch.text))
        report(stream->run, MESSAGE_NATIVE_EXPRESSION_EXPECTED, stream->displayPath, stream->line);
    return makeScratchToken(stream, token, &scratch, KIND_EXPRESSION);
}

int captureSignature(ScanStream *stream, Token *token, ScanMark start, uint64_t endOffset)
{
    if (start.offset > stream->length) {
        report(stream->run, MESSAGE_LEXICAL_SEEK_FAILED, stream->displayPath, stream->line, QStringLiteral("Signature"));
        return SCAN_FAILED;
    }
    restoreScan(stream, start);
    TextBuffer scratch;
    if (openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    for (uint64_t count = start.offset; count < endOffset; count++) {
        int c;
        if (readChar(stream, &c) == SCAN_END)
            break;
        if (scratch.length == 0 && isBlankOrLineEnd(static_cast<char>(c)))
            continue;
        if (appendScratch(stream, &scratch, c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
    while (scratch.length > 0 && isBlankOrLineEnd(scratch.text[scratch.length - 1]))
        scratch.text[--scratch.length] = '\0';
    uint64_t beginLine = token->span.beginLine, beginColumn = token->span.beginColumn;
    int result = makeScratchToken(stream, token, &scratch, KIND_SIGNATURE);
    token->span.beginLine = beginLine;
    token->span.beginColumn = beginColumn;
    return result;
}

bool isBlankText(const char *text)
{
    for (; *text != '\0'; text++) {
        if (!isBlankOrLineEnd(*text))
            return false;
    }
    return true;
}
