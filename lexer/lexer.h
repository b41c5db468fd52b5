// The scanner: a pull scanner over one script file held in memory. The caller
// owns the stream with its offset and line and column counters; the scanner
// reads a byte at a time and un-reads by going back to a mark taken before.
#pragma once
#include "form/form.h"

#include <cstdint>
#include <cstdio>

// Results of every scan call.
enum : int { SCAN_TOKEN = 0, SCAN_FAILED = -1, SCAN_END = -99 };

// The end-of-file value that readChar stores.
enum : int { END_OF_FILE = -1 };

using TokenSpan = SpanWords;

// One open source file: all its bytes, the read offset and the counters.
// Lines and columns are 1-based; every byte read adds 1 to column, a line
// feed adds 1 to line and sets column back to 1.
struct ScanStream {
    Run *run; // whose pool takes the tokens and whose messages they cause
    char *bytes;
    uint64_t length;
    uint64_t offset;
    uint64_t line;
    uint64_t column;
    const char *displayPath; // the file named in diagnostics
};

// A place in the stream to come back to.
struct ScanMark {
    uint64_t offset;
    uint64_t line;
    uint64_t column;
};

struct Token {
    const char *text; // interned
    uint32_t code;
    TokenSpan span;
};

// How native code was opened: by `#`, by the word c++ or by the word java.
enum : int { NATIVE_PLAIN = 0, NATIVE_CPP = 1, NATIVE_JAVA = 2 };

// Results of openScanStream besides 0.
enum : int { STREAM_NO_MEMORY = -1, STREAM_READ_FAILED = -2 };

// Reads the whole of file into stream, which then starts at line 1,
// column 1; nothing is reported.
int openScanStream(ScanStream *stream, FILE *file, const char *displayPath);
// The same with a copy of the length bytes at text; STREAM_NO_MEMORY when
// that copy cannot be made.
int openScanText(ScanStream *stream, const char *text, size_t length, const char *displayPath);
void closeScanStream(ScanStream *stream);

inline ScanMark markScan(const ScanStream *stream)
{
    return ScanMark{stream->offset, stream->line, stream->column};
}

inline void restoreScan(ScanStream *stream, ScanMark mark)
{
    stream->offset = mark.offset;
    stream->line = mark.line;
    stream->column = mark.column;
}

// Reads one byte into c: SCAN_TOKEN, or SCAN_END at the end of the file with
// c set to END_OF_FILE. The end of the file moves no counter.
inline int readChar(ScanStream *stream, int *c)
{
    if (stream->offset >= stream->length) {
        *c = END_OF_FILE;
        return SCAN_END;
    }
    *c = static_cast<unsigned char>(stream->bytes[stream->offset++]);
    if (*c == '\n') {
        stream->line++;
        stream->column = 1;
    } else {
        stream->column++;
    }
    return SCAN_TOKEN;
}

// The next token for the parser, with pairs joined and the composite
// captures made.
int nextToken(ScanStream *stream, Token *token);
// The words of a keyword's code as the scanner reads them, in lower case:
// first alone, or first and second of a pair ("test", "case"). False for a
// code that no keyword has.
bool keywordWords(uint32_t code, const char **first, const char **second);
// One word, one punctuation character or one documentation comment.
int scanBasicToken(ScanStream *stream, Token *token);

// After a '/': scans the comment it opens and returns its kind (8003, 8004
// or 8005; only a documentation comment fills the token), or SCAN_FAILED.
int scanSlashComment(ScanStream *stream, Token *token);

// Interns the length bytes at text as the token's text and closes its span at
// the stream's position. Reports messages 4 or 6 and returns SCAN_FAILED when
// memory runs out.
int makeToken(ScanStream *stream, Token *token, const char *text, size_t length, uint32_t code);

// A growing capture text: the scratch buffer of one token.
int openScratch(ScanStream *stream, TextBuffer *scratch);
// The slow path of appendScratch: grows the scratch text, or reports
// message 3 and frees it.
int growScratch(ScanStream *stream, TextBuffer *scratch, char c);
// Captures run a byte at a time, so the common case is inline.
inline int appendScratch(ScanStream *stream, TextBuffer *scratch, char c)
{
    if (scratch->length + 1 >= scratch->capacity)
        return growScratch(stream, scratch, c);
    scratch->text[scratch->length++] = c;
    scratch->text[scratch->length] = '\0';
    return 0;
}
// makeToken from the scratch text, which is freed whatever happens.
int makeScratchToken(ScanStream *stream, Token *token, TextBuffer *scratch, uint32_t code);
// Reports message 10 "`expected' expected instead of `found'." and frees
// the scratch buffer.
int failExpected(ScanStream *stream, TextBuffer *scratch, const char *expected, const char *found);

// Captures started by nextToken once their opening token is read; the
// token's span begins where that opening token began.
int scanNativeCode(ScanStream *stream, Token *token, int mode);
int scanExpression(ScanStream *stream, Token *token);
// The trimmed text of the stretch from start to endOffset, counting lines
// and columns from start on. Only the text and the span's end are handed
// back; the stream stands at the end of the stretch afterwards.
int captureSignature(ScanStream *stream, Token *token, ScanMark start, uint64_t endOffset);
bool isBlankText(const char *text);
