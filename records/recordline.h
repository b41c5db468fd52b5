// One record line being formatted: its text grows as needed, and a failure
// (no memory for the text or for an escaping, reported once) stops the
// record and the rest of its writer.
#pragma once
#include "form/form.h"

#include <cstring>
#include <initializer_list>

struct RecordLine {
    Run *run; // which takes the message of a failure
    TextBuffer text;
    bool failed;
};

// A piece of a quoted text: escaped pieces go through escapeQuotes.
struct Piece {
    const char *text;
    bool escaped;
};

bool beginRecord(Run *run, RecordLine *line, const char *head);
// length bytes of text, kept terminated.
void addBytes(RecordLine *line, const char *text, size_t length);
// Inline so that the length of a literal is known where it is written.
inline void addRaw(RecordLine *line, const char *text)
{
    addBytes(line, text, strlen(text));
}
// value in the given base, and the format with value in the place of its
// one conversion through snprintf.
void addDigits(RecordLine *line, uint64_t value, unsigned base);
void addFormattedNumber(RecordLine *line, const char *format, uint64_t value);
// The format with value in the place of its one conversion. The %lu and %lx
// that the records use are written without snprintf, whose general
// machinery took a good part of the writing of the records; inline, so that
// the conversion of a literal format is found where it is written.
inline void addNumber(RecordLine *line, const char *format, uint64_t value)
{
    const char *percent = strchr(format, '%');
    if (percent == nullptr || percent[1] != 'l' || (percent[2] != 'u' && percent[2] != 'x') ||
        strchr(percent + 3, '%') != nullptr) {
        addFormattedNumber(line, format, value);
        return;
    }
    addBytes(line, format, static_cast<size_t>(percent - format));
    addDigits(line, value, percent[2] == 'x' ? 16 : 10);
    addRaw(line, percent + 3);
}
// The pieces between double quotes; converted to UTF-8 for a .tsf record.
void addQuoted(RecordLine *line, std::initializer_list<Piece> pieces, bool utf8);
// Write the record to its file, or nothing after a failure; -1 then.
int endTsfRecord(RecordLine *line, FileEntry *entry);
int endOtsRecord(RecordLine *line, FileEntry *entry);
