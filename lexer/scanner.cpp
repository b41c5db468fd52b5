// Words, keywords, pairs, punctuation, string literals and comments.
#include "base/diagnostics.h"
#include "base/memory.h"
#include "lexer/lexer.h"

#include <cctype>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

struct Keyword {
    constexpr Keyword(const char *text, uint32_t kind)
        : word(text), length(std::char_traits<char>::length(text)), code(kind)
    {
    }
    const char *word;
    size_t length;
    uint32_t code;
};

constexpr Keyword KEYWORDS[] = {
    {"include", KIND_INCLUDE},
    {"c++", KIND_CPP},
    {"java", KIND_JAVA},
    {"test", KIND_TEST},
    {"single", KIND_SINGLE},
    {"class", KIND_CLASS},
    {"suite", KIND_SUITE},
    {"case", KIND_CASE},
    {"run", KIND_RUN},
    {"check", KIND_CHECK},
    {"exception", KIND_EXCEPTION},
    {"property", KIND_PROPERTY},
    {"state", KIND_UMLSTATE},
    {"stub", KIND_STUB},
    {"method", KIND_METHOD},
    {"transition", KIND_TRANSITION},
    {"to", KIND_TO},
    {"on", KIND_ON},
    {"error", KIND_ERROR},
    {"print", KIND_PRINT},
    {"bypass", KIND_BYPASS},
    {"call", KIND_CALL},
    {"comment", KIND_COMMENT},
    {"continue", KIND_CONTINUE},
    {"ensure", KIND_ENSURE},
    {"epilogue", KIND_EPILOGUE},
    {"exit", KIND_EXIT},
    {"invariant", KIND_INVARIANT},
    {"proc", KIND_PROC},
    {"prologue", KIND_PROLOGUE},
    {"require", KIND_REQUIRE},
    {"wrap", KIND_WRAP},
};

struct Pair {
    uint32_t first, second, pair;
};

const Pair PAIRS[] = {
    {KIND_TEST, KIND_CLASS, KIND_TEST_CLASS},
    {KIND_TEST, KIND_SUITE, KIND_TEST_SUITE},
    {KIND_TEST, KIND_CASE, KIND_TEST_CASE},
    {KIND_CHECK, KIND_EXCEPTION, KIND_CHECK_EXCEPTION},
    {KIND_CHECK, KIND_PROPERTY, KIND_CHECK_PROPERTY},
    {KIND_CHECK, KIND_STUB, KIND_CHECK_STUB},
    {KIND_CHECK, KIND_METHOD, KIND_CHECK_METHOD},
    {KIND_ON, KIND_ERROR, KIND_ON_ERROR},
    {KIND_SINGLE, KIND_CLASS, KIND_SINGLE_CLASS},
};

// Punctuation codes by character; 0 for every other character.
uint32_t punctuationCode(int c)
{
    switch (c) {
    case '{': return KIND_LEFT_BRACE;
    case '}': return KIND_RIGHT_BRACE;
    case '(': return KIND_LEFT_PARENTHESIS;
    case ')': return KIND_RIGHT_PARENTHESIS;
    case ':': return KIND_COLON;
    case ',': return KIND_COMMA;
    case '*': return KIND_STAR;
    case ';': return KIND_SEMICOLON;
    case '#': return KIND_HASH;
    case '.': return KIND_DOT;
    case '"': return KIND_DOUBLE_QUOTE;
    case '[': return KIND_LEFT_BRACKET;
    case ']': return KIND_RIGHT_BRACKET;
    case '<': return KIND_LESS;
    case '>': return KIND_GREATER;
    case '%': return KIND_PERCENT;
    case '?': return KIND_QUESTION;
    case '-': return KIND_MINUS;
    case '^': return KIND_CARET;
    case '&': return KIND_AMPERSAND;
    case '|': return KIND_BAR;
    case '~': return KIND_TILDE;
    case '!': return KIND_EXCLAMATION;
    case '=': return KIND_EQUALS;
    case '\\': return KIND_BACKSLASH;
    case '`': return KIND_BACKQUOTE;
    case '\'': return KIND_APOSTROPHE;
    default: return 0;
    }
}

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The bytes that make words, taken from the locale on first use: isalnum is
// a call per byte, and the locale is set once, before anything is scanned.
struct WordBytes {
    bool in[256];
    WordBytes()
    {
        for (int c = 0; c < 256; c++)
            in[c] = isalnum(c) || c == '_' || c == '+';
    }
};

bool isWordChar(int c)
{
    static const WordBytes WORD_BYTES;
    return c != END_OF_FILE && WORD_BYTES.in[c];
}

// The keywords by length, so that a word is compared with the few of its
// length only.
struct KeywordsByLength {
    enum : size_t { LONGEST = 10, MOST = 8 };
    const Keyword *of[LONGEST + 1][MOST];
    size_t count[LONGEST + 1] = {};
    constexpr KeywordsByLength() : of{}
    {
        for (const Keyword &keyword : KEYWORDS)
            of[keyword.length][count[keyword.length]++] = &keyword;
    }
};

uint32_t keywordCode(const char *word, size_t length)
{
    static constexpr KeywordsByLength KEYWORD_LENGTHS;
    if (length > KeywordsByLength::LONGEST)
        return KIND_IDENTIFIER;
    // Most words are names: the first letter turns nearly all of them away
    // before a whole comparison. The keywords are written in lower case.
    int first = tolower(static_cast<unsigned char>(word[0]));
    for (size_t i = 0; i < KEYWORD_LENGTHS.count[length]; i++) {
        const Keyword &keyword = *KEYWORD_LENGTHS.of[length][i];
        if (keyword.word[0] == first && strncasecmp(keyword.word, word, length) == 0)
            return keyword.code;
    }
    return KIND_IDENTIFIER;
}

// The pair that first and second make, or 0.
uint32_t pairCode(uint32_t first, uint32_t second)
{
    for (const Pair &pair : PAIRS) {
        if (pair.first == first && pair.second == second)
            return pair.pair;
    }
    return 0;
}

bool startsPair(uint32_t code)
{
    return code == KIND_TEST || code == KIND_CHECK || code == KIND_ON || code == KIND_SINGLE;
}

// Keywords that mean something only as part of a pair stand alone as names.
bool isPairOnlyWord(uint32_t code)
{
    switch (code) {
    case KIND_TEST:
    case KIND_SUITE:
    case KIND_CASE:
    case KIND_EXCEPTION:
    case KIND_METHOD:
    case KIND_ON:
    case KIND_ERROR:
    case KIND_SINGLE:
        return true;
    default:
        return false;
    }
}

// A character as a message argument; a NUL byte shows as nothing.
QString characterArgument(int c)
{
    char text[2] = {static_cast<char>(c), '\0'};
    return messageArgument(text);
}

void beginSpan(const ScanStream *stream, Token *token)
{
    token->span.beginLine = stream->line;
    token->span.beginColumn = stream->column - 1;
}

// The pooled copy of a text, or null after message 4 or 6.
const char *internToken(const ScanStream *stream, const char *text, size_t length)
{
    const char *found = findInterned(stream->run, text, length);
    if (found != nullptr)
        return found;
    char *copy = zepCopy(text, length);
    if (copy == nullptr) {
        report(stream->run, MESSAGE_NO_MEMORY_TO_MAKE_TOKEN, stream->displayPath, stream->line, QString::fromLocal8Bit(text, static_cast<qsizetype>(length)));
        return nullptr;
    }
    const char *interned = intern(stream->run, copy);
    if (interned == nullptr) {
        report(stream->run, MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN, stream->displayPath, stream->line, messageArgument(copy));
        zepFree(copy);
    }
    return interned;
}

void closeSpan(const ScanStream *stream, Token *token, uint32_t code)
{
    token->code = code;
    token->span.endLine = stream->line;
    token->span.endColumn = stream->column - 1;
}

// makePairToken: the two words as spelt, joined by one blank.
int makePairToken(ScanStream *stream, Token *token, const char *first, const char *second, uint32_t code)
{
    size_t firstLength = strlen(first), secondLength = strlen(second);
    size_t length = firstLength + 1 + secondLength;
    char *joined = static_cast<char *>(zepAlloc(length + 1));
    if (joined == nullptr) {
        report(stream->run, MESSAGE_NO_MEMORY_TO_MAKE_TOKEN_PAIR, stream->displayPath, stream->line, messageArgument(first), messageArgument(second));
        return SCAN_FAILED;
    }
    memcpy(joined, first, firstLength);
    joined[firstLength] = ' ';
    memcpy(joined + firstLength + 1, second, secondLength + 1);
    const char *interned = intern(stream->run, joined);
    if (interned == nullptr) {
        report(stream->run, MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN_PAIR, stream->displayPath, stream->line, messageArgument(first), messageArgument(second));
        zepFree(joined);
        return SCAN_FAILED;
    }
    token->text = interned;
    closeSpan(stream, token, code);
    return SCAN_TOKEN;
}

// Reads one character more and un-reads it unless it is wanted.
bool acceptChar(ScanStream *stream, int wanted)
{
    ScanMark before = markScan(stream);
    int c;
    if (readChar(stream, &c) == SCAN_TOKEN && c == wanted)
        return true;
    restoreScan(stream, before);
    return false;
}

// The slash-comment kinds are told by the characters after the '/'.
int failSlash(ScanStream *stream, const QString &found)
{
    report(stream->run, MESSAGE_LEXICAL_EXPECTED_THREE, stream->displayPath, stream->line, QStringLiteral("//"), QStringLiteral("/*"),
           QStringLiteral("/**"), found);
    return SCAN_FAILED;
}

// A "//" comment runs to the line feed, which is left for the next token.
int skipLineComment(ScanStream *stream)
{
    const char *end = static_cast<const char *>(
        memchr(stream->bytes + stream->offset, '\n', stream->length - stream->offset));
    uint64_t stop = end != nullptr ? static_cast<uint64_t>(end - stream->bytes) : stream->length;
    stream->column += stop - stream->offset;
    stream->offset = stop;
    return KIND_LINE_COMMENT;
}

// A "/*" or "/**" comment after its opening characters, up to "*/". The text
// is kept for a documentation comment only, with line ends as blanks.
int scanBlockComment(ScanStream *stream, Token *token, bool documentation)
{
    TextBuffer scratch{};
    if (documentation && openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    int previous = END_OF_FILE;
    for (;;) {
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return failExpected(stream, &scratch, "*/", "EOF");
        if (c == '/' && previous == '*')
            break;
        previous = c;
        if (documentation && appendScratch(stream, &scratch, c == '\n' || c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
    if (!documentation)
        return KIND_BLOCK_COMMENT;
    scratch.text[--scratch.length] = '\0'; // the '*' of the closing "*/"
    if (makeScratchToken(stream, token, &scratch, KIND_COMMENT_BLOCK) != SCAN_TOKEN)
        return SCAN_FAILED;
    return KIND_COMMENT_BLOCK;
}

// A word from its first character on, looked up as a keyword.
int scanWord(ScanStream *stream, Token *token)
{
    uint64_t start = stream->offset - 1;
    uint64_t end = stream->offset;
    while (end < stream->length && isWordChar(static_cast<unsigned char>(stream->bytes[end])))
        end++;
    stream->column += end - stream->offset;
    stream->offset = end;
    const char *text = stream->bytes + start;
    return makeToken(stream, token, text, end - start, keywordCode(text, end - start));
}

// The pair that token begins, or the token alone with the stream put back.
int scanPair(ScanStream *stream, Token *token)
{
    ScanMark afterFirst = markScan(stream);
    Token second;
    int result = scanBasicToken(stream, &second);
    if (result != SCAN_TOKEN)
        return SCAN_TOKEN;
    uint32_t code = pairCode(token->code, second.code);
    if (code == 0) {
        restoreScan(stream, afterFirst);
        return SCAN_TOKEN;
    }
    return makePairToken(stream, token, token->text, second.text, code);
}

// After the opening quote: the text up to the closing one, escapes as written.
int scanString(ScanStream *stream, Token *token)
{
    TextBuffer scratch;
    if (openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    bool escaped = false;
    for (;;) {
        ScanMark before = markScan(stream);
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return failExpected(stream, &scratch, "\"", "EOF");
        if (c == '\n') {
            restoreScan(stream, before);
            return failExpected(stream, &scratch, "\"", "RETURN");
        }
        if (c == '"' && !escaped)
            break;
        escaped = c == '\\' && !escaped;
        if (appendScratch(stream, &scratch, c == '\r' ? ' ' : static_cast<char>(c)) != 0)
            return SCAN_FAILED;
    }
    return makeScratchToken(stream, token, &scratch, KIND_STRING);
}

// After a '.': three dots in a row, or the one dot.
int scanThreePoints(ScanStream *stream, Token *token)
{
    ScanMark afterFirst = markScan(stream);
    if (acceptChar(stream, '.') && acceptChar(stream, '.'))
        return makeToken(stream, token, "...", 3, KIND_THREE_POINTS);
    restoreScan(stream, afterFirst);
    return SCAN_TOKEN;
}

// After the word comment: the rest of the line, or a brace block.
int scanCommentText(ScanStream *stream, Token *token)
{
    TextBuffer scratch;
    if (openScratch(stream, &scratch) != 0)
        return SCAN_FAILED;
    ScanMark before;
    int c;
    do {
        before = markScan(stream);
        readChar(stream, &c);
    } while (isBlank(c));
    if (c == '{') {
        for (;;) {
            if (readChar(stream, &c) == SCAN_END)
                return failExpected(stream, &scratch, "}", "EOF");
            if (c == '}')
                return makeScratchToken(stream, token, &scratch, KIND_COMMENT_BLOCK);
            if (c == '\n' && appendScratch(stream, &scratch, '\\') != 0)
                return SCAN_FAILED;
            if (c != '\r' && appendScratch(stream, &scratch, c == '\n' ? 'n' : static_cast<char>(c)) != 0)
                return SCAN_FAILED;
        }
    }
    while (c != END_OF_FILE && c != '\n') {
        if (c != '\r' && appendScratch(stream, &scratch, static_cast<char>(c)) != 0)
            return SCAN_FAILED;
        before = markScan(stream);
        readChar(stream, &c);
    }
    restoreScan(stream, before);
    return makeScratchToken(stream, token, &scratch, KIND_COMMENT_LINE);
}

const char *keywordWord(uint32_t code)
{
    for (const Keyword &keyword : KEYWORDS) {
        if (keyword.code == code)
            return keyword.word;
    }
    return nullptr;
}

} // namespace

bool keywordWords(uint32_t code, const char **first, const char **second)
{
    *first = keywordWord(code);
    *second = nullptr;
    for (const Pair &pair : PAIRS) {
        if (pair.pair == code) {
            *first = keywordWord(pair.first);
            *second = keywordWord(pair.second);
        }
    }
    return *first != nullptr;
}

int scanSlashComment(ScanStream *stream, Token *token)
{
    ScanMark before = markScan(stream);
    int c;
    if (readChar(stream, &c) == SCAN_END)
        return failSlash(stream, QStringLiteral("EOF"));
    if (c == '\n') {
        restoreScan(stream, before);
        return failSlash(stream, QStringLiteral("RETURN"));
    }
    if (c == '/')
        return skipLineComment(stream);
    if (c != '*')
        return failSlash(stream, characterArgument(c));
    // "/**/" opens a documentation comment: its '*' cannot also close it.
    return scanBlockComment(stream, token, acceptChar(stream, '*'));
}

int openScanStream(ScanStream *stream, FILE *file, const char *displayPath)
{
    *stream = ScanStream{stream->run, nullptr, 0, 0, 1, 1, displayPath};
    size_t capacity = 0;
    for (;;) {
        if (stream->length == capacity) {
            capacity = capacity == 0 ? 65536 : capacity * 2;
            char *grown = static_cast<char *>(zepRealloc(stream->bytes, capacity));
            if (grown == nullptr) {
                closeScanStream(stream);
                return STREAM_NO_MEMORY;
            }
            stream->bytes = grown;
        }
        size_t got = fread(stream->bytes + stream->length, 1, capacity - stream->length, file);
        stream->length += got;
        if (got == 0)
            break;
    }
    if (ferror(file)) {
        closeScanStream(stream);
        return STREAM_READ_FAILED;
    }
    return 0;
}

int openScanText(ScanStream *stream, const char *text, size_t length, const char *displayPath)
{
    *stream = ScanStream{stream->run, zepCopy(text, length), length, 0, 1, 1, displayPath};
    if (stream->bytes == nullptr) {
        stream->length = 0;
        return STREAM_NO_MEMORY;
    }
    return 0;
}

void closeScanStream(ScanStream *stream)
{
    zepFree(stream->bytes);
    stream->bytes = nullptr;
    stream->length = 0;
    stream->offset = 0;
}

int makeToken(ScanStream *stream, Token *token, const char *text, size_t length, uint32_t code)
{
    // A NUL byte ends a text, as everywhere else in the internal form.
    const char *interned = internToken(stream, text, strnlen(text, length));
    if (interned == nullptr)
        return SCAN_FAILED;
    token->text = interned;
    closeSpan(stream, token, code);
    return SCAN_TOKEN;
}

int openScratch(ScanStream *stream, TextBuffer *scratch)
{
    if (initTextBuffer(scratch) == 0)
        return 0;
    report(stream->run, MESSAGE_NO_MEMORY_FOR_TOKEN, stream->displayPath, stream->line);
    return -1;
}

int growScratch(ScanStream *stream, TextBuffer *scratch, char c)
{
    if (reserveText(scratch, 1) != 0) {
        report(stream->run, MESSAGE_NO_MEMORY_TO_GROW_TOKEN, stream->displayPath, stream->line, messageArgument(scratch->text));
        freeTextBuffer(scratch);
        return -1;
    }
    scratch->text[scratch->length++] = c;
    scratch->text[scratch->length] = '\0';
    return 0;
}

int makeScratchToken(ScanStream *stream, Token *token, TextBuffer *scratch, uint32_t code)
{
    int result = makeToken(stream, token, scratch->text, scratch->length, code);
    freeTextBuffer(scratch);
    return result;
}

int failExpected(ScanStream *stream, TextBuffer *scratch, const char *expected, const char *found)
{
    report(stream->run, MESSAGE_LEXICAL_EXPECTED, stream->displayPath, stream->line, QString::fromLatin1(expected), QString::fromLatin1(found));
    freeTextBuffer(scratch);
    return SCAN_FAILED;
}

int scanBasicToken(ScanStream *stream, Token *token)
{
    for (;;) {
        int c;
        if (readChar(stream, &c) == SCAN_END)
            return SCAN_END;
        if (c == '\n' || isBlank(c))
            continue;
        beginSpan(stream, token);
        if (isWordChar(c))
            return scanWord(stream, token);
        uint32_t code = punctuationCode(c);
        if (code != 0) {
            char text = static_cast<char>(c);
            return makeToken(stream, token, &text, 1, code);
        }
        if (c != '/') {
            report(stream->run, MESSAGE_USE_NOT_ALLOWED, stream->displayPath, stream->line, characterArgument(c));
            return SCAN_FAILED;
        }
        int kind = scanSlashComment(stream, token);
        if (kind == SCAN_FAILED)
            return SCAN_FAILED;
        if (kind == KIND_COMMENT_BLOCK)
            return SCAN_TOKEN;
    }
}

int nextToken(ScanStream *stream, Token *token)
{
    int result = scanBasicToken(stream, token);
    if (result != SCAN_TOKEN)
        return result;
    if (startsPair(token->code)) {
        if (scanPair(stream, token) != SCAN_TOKEN)
            return SCAN_FAILED;
    }
    if (isPairOnlyWord(token->code))
        token->code = KIND_IDENTIFIER;
    switch (token->code) {
    case KIND_DOUBLE_QUOTE:
        return scanString(stream, token);
    case KIND_DOT:
        return scanThreePoints(stream, token);
    case KIND_COLON:
        if (acceptChar(stream, ':'))
            return makeToken(stream, token, "::", 2, KIND_DOUBLE_COLON);
        return SCAN_TOKEN;
    case KIND_LEFT_PARENTHESIS:
        return scanExpression(stream, token);
    case KIND_COMMENT:
        return scanCommentText(stream, token);
    case KIND_HASH:
        return scanNativeCode(stream, token, NATIVE_PLAIN);
    case KIND_CPP:
        return scanNativeCode(stream, token, NATIVE_CPP);
    case KIND_JAVA:
        return scanNativeCode(stream, token, NATIVE_JAVA);
    default:
        return SCAN_TOKEN;
    }
}
