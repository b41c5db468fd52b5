// The scanner alone: nextToken over the whole input, as the parser calls it,
// with the properties every token stream must have checked on the way.
#include "fuzz_support.h"
#include "lexer/lexer.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

// The codes the parser may receive; the others are internal to the scanner
// (openers of captures, skipped comments, words that stand only in pairs).
bool isDeliveredCode(uint32_t code)
{
    switch (code) {
    case KIND_TEST_CLASS: case KIND_TEST_SUITE: case KIND_TEST_CASE: case KIND_SINGLE_CLASS:
    case KIND_CHECK_EXCEPTION: case KIND_CHECK_PROPERTY: case KIND_CHECK_STUB: case KIND_CHECK_METHOD:
    case KIND_ON_ERROR:
    case KIND_PRINT: case KIND_BYPASS: case KIND_CALL: case KIND_CONTINUE: case KIND_ENSURE: case KIND_EXIT:
    case KIND_INVARIANT: case KIND_PROC: case KIND_REQUIRE: case KIND_WRAP: case KIND_RUN: case KIND_INCLUDE:
    case KIND_PROLOGUE: case KIND_EPILOGUE: case KIND_UMLSTATE: case KIND_TRANSITION: case KIND_TO:
    case KIND_LEFT_BRACE: case KIND_RIGHT_BRACE: case KIND_RIGHT_PARENTHESIS: case KIND_COLON: case KIND_COMMA:
    case KIND_STAR: case KIND_SEMICOLON: case KIND_DOT: case KIND_LEFT_BRACKET: case KIND_RIGHT_BRACKET:
    case KIND_LESS: case KIND_GREATER: case KIND_PERCENT: case KIND_QUESTION: case KIND_MINUS: case KIND_CARET:
    case KIND_AMPERSAND: case KIND_BAR: case KIND_TILDE: case KIND_EXCLAMATION: case KIND_EQUALS:
    case KIND_BACKSLASH: case KIND_BACKQUOTE: case KIND_APOSTROPHE: case KIND_DOUBLE_COLON:
    case KIND_THREE_POINTS:
    case KIND_STRING: case KIND_EXPRESSION: case KIND_COMMENT_LINE: case KIND_COMMENT_BLOCK:
    case KIND_NATIVE_LINE: case KIND_NATIVE_BLOCK: case KIND_CPP_LINE: case KIND_CPP_BLOCK:
    case KIND_JAVA_LINE: case KIND_JAVA_BLOCK:
    case KIND_CHECK: case KIND_PROPERTY: case KIND_STUB: case KIND_IDENTIFIER: case KIND_CLASS:
        return true;
    default:
        return false;
    }
}

uint64_t lineFeedsBefore(const char *bytes, uint64_t end)
{
    uint64_t count = 0;
    for (uint64_t i = 0; i < end; i++)
        count += bytes[i] == '\n';
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A block of exactly the input's size, so that a read past the end is
    // caught.
    char *bytes = static_cast<char *>(malloc(size == 0 ? 1 : size));
    if (size != 0)
        memcpy(bytes, data, size);
    Run run{};
    run.maxErrors = DEFAULT_MAX_ERRORS;
    ScanStream stream{&run, bytes, size, 0, 1, 1, "./f.otd"};
    // Equal texts must come back as the same pooled pointer.
    std::unordered_map<std::string, const char *> seen;
    for (;;) {
        uint64_t before = stream.offset;
        Token token{};
        int result = nextToken(&stream, &token);
        if (result == SCAN_END)
            break;
        if (result != SCAN_TOKEN && result != SCAN_FAILED)
            fuzzFailure("scan result %d", result);
        // The parser calls again after a failure: a call that reads nothing
        // would make it loop for ever.
        if (stream.offset <= before)
            fuzzFailure("no progress at offset %llu (result %d)", static_cast<unsigned long long>(before), result);
        if (stream.offset > stream.length)
            fuzzFailure("offset past the end");
        if (result == SCAN_FAILED)
            continue;
        if (!isDeliveredCode(token.code))
            fuzzFailure("code %u delivered", token.code);
        if (token.text == nullptr)
            fuzzFailure("token %u without text", token.code);
        auto [place, added] = seen.emplace(token.text, token.text);
        if (!added && place->second != token.text)
            fuzzFailure("text \"%s\" pooled twice", token.text);
        const TokenSpan &span = token.span;
        if (span.beginLine == 0 || span.beginColumn == 0 || span.beginLine > span.endLine ||
            span.endLine > stream.line)
            fuzzFailure("span %llu,%llu-%llu,%llu of token %u at line %llu",
                        static_cast<unsigned long long>(span.beginLine),
                        static_cast<unsigned long long>(span.beginColumn),
                        static_cast<unsigned long long>(span.endLine), static_cast<unsigned long long>(span.endColumn),
                        token.code, static_cast<unsigned long long>(stream.line));
    }
    if (stream.offset != stream.length)
        fuzzFailure("end of file reported at offset %llu of %llu", static_cast<unsigned long long>(stream.offset),
                    static_cast<unsigned long long>(stream.length));
    if (stream.line != 1 + lineFeedsBefore(bytes, stream.length))
        fuzzFailure("line %llu at the end", static_cast<unsigned long long>(stream.line));
    releaseStringPool(&run);
    free(bytes);
    checkNoStandardOutput();
    return 0;
}
