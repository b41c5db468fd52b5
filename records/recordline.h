// One record line being formatted: its text grows as needed, and a failure
// (no memory for the text or for an escaping, reported once) stops the
// record and the rest of its writer.
#pragma once
#include "form/form.h"

#include <cstring>
#include <initializer_list>

struct RecordLine {
    TextBuffer text;
    bool failed;
};

// A piece of a quoted text: escaped pieces go through escapeQuotes.
struct Piece {
    const char *text;
    bool escaped;
};

bool beginRecord(RecordLine *line, const char *head);
// length bytes of text, kept terminated.
void addBytes(RecordLine *line, const char *text, size_t length);
// Inline so that the length of a literal is known where it is written.
inline void addRaw(RecordLine *line, const char *text)
{
    addBytes(line, text, strlen(text));
}
void addNumber(RecordLine *line, const char *format, uint64_t value);
// The pieces between double quotes; converted to UTF-8 for a .tsf record.
void addQuoted(RecordLine *line, std::initializer_list<Piece> pieces, bool utf8);
// Write the record to its file, or nothing after a failure; -1 then.
int endTsfRecord(RecordLine *line, FileEntry *entry);
int endOtsRecord(RecordLine *line, FileEntry *entry);
