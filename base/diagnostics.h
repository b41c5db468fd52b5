// Every problem found in any stage is reported here, by message code.
#pragma once
#include <QString>
#include <cstdint>
#include <cstdio>

class QCoreApplication;

// The message codes: each names its entry of the message table
// (diagnostics.cpp), whose order the build checks.
enum MessageCode : unsigned {
    MESSAGE_INTERNAL_ERROR = 0,
    MESSAGE_OUT_OF_MEMORY = 1,
    MESSAGE_NO_MEMORY_FOR_TOKEN = 2,
    MESSAGE_NO_MEMORY_TO_GROW_TOKEN = 3,
    MESSAGE_NO_MEMORY_TO_MAKE_TOKEN = 4,
    MESSAGE_NO_MEMORY_TO_MAKE_TOKEN_PAIR = 5,
    MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN = 6,
    MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN_PAIR = 7,
    MESSAGE_LEXICAL_SEEK_FAILED = 8,
    MESSAGE_USE_NOT_ALLOWED = 9,
    MESSAGE_LEXICAL_EXPECTED = 10,
    MESSAGE_LEXICAL_EXPECTED_TWO = 11,
    MESSAGE_LEXICAL_EXPECTED_THREE = 12,
    MESSAGE_NATIVE_EXPRESSION_EXPECTED = 13,
    MESSAGE_EXPECTED = 14,
    MESSAGE_EXPECTED_TWO = 15,
    MESSAGE_EXPECTED_THREE = 16,
    MESSAGE_EXPECTED_FOUR = 17,
    MESSAGE_NAME_EXPECTED = 18,
    MESSAGE_NAME_EXPECTED_TWO = 19,
    MESSAGE_NAME_EXPECTED_THREE = 20,
    MESSAGE_EXPRESSION_EXPECTED = 21,
    MESSAGE_SYNTAX_SEEK_FAILED = 22,
    MESSAGE_NOT_A_COMPONENT = 23,
    MESSAGE_SYNTAX_NO_MEMORY_FOR_TOKEN = 24,
    MESSAGE_NOT_EXPECTED = 25,
    MESSAGE_NO_PARAMETER_LIST = 26,
    MESSAGE_NOT_EXPECTED_NOW = 27,
    MESSAGE_COMPONENT_DEFINED = 28,
    MESSAGE_NAMED_COMPONENT_DEFINED = 29,
    MESSAGE_UNRESOLVED = 30,
    MESSAGE_SELF_INHERITANCE = 31,
    MESSAGE_COMPONENT_NOT_FOUND = 32,
    MESSAGE_PARAMETER_COUNT = 33,
    MESSAGE_MUST_BE_BROTHER = 34,
    MESSAGE_ALREADY_INCLUDED = 35,
    MESSAGE_INHERITANCE_CYCLE = 36,
    MESSAGE_RUN_CYCLE = 37,
    MESSAGE_PROC_CYCLE = 38,
    MESSAGE_REFLEXIVE_TRANSITION = 39,
    MESSAGE_VACANT = 40,
    MESSAGE_NO_MEMORY_TO_GROW_BUFFER = 41,
    MESSAGE_CANNOT_OPEN = 42,
    MESSAGE_CANNOT_CREATE = 43,
    MESSAGE_CANNOT_CLOSE = 44,
    MESSAGE_CANNOT_INITIALIZE = 45,
    MESSAGE_NODE_NOT_BUILT = 46,
    MESSAGE_NO_MEMORY_FOR_FILENAME = 47,
    MESSAGE_UNKNOWN_TOKEN = 48,
    MESSAGE_NULL_RESOLUTION = 49,
    MESSAGE_NO_FREE_MEMORY = 50,
    MESSAGE_LABEL_NOT_FOUND = 51,
    MESSAGE_TOO_MANY_FILES = 52,
    MESSAGE_TOO_MANY_ERRORS = 53,
    MESSAGE_NOT_A_SOURCE = 54,
    MESSAGE_ONE_OTD_ONLY = 55,
    MESSAGE_BAD_OPTION_VALUE = 56,
    MESSAGE_OPTION_NEEDS_ARGUMENT = 57,
    MESSAGE_MAX_ERRORS_RANGE = 58,
    MESSAGE_NO_SOURCES = 59,
    MESSAGE_OPTION_MISSING = 60,
    MESSAGE_OPTION_REPEATED = 61,
    MESSAGE_UNEXPECTED = 62,
    MESSAGE_COUNT = 63,
};

// How many messages a run prints before "Too many errors.", unless its
// command line says otherwise.
enum : uint64_t { DEFAULT_MAX_ERRORS = 30 };

struct ReportedMessage;

// What a run takes from its caller besides the command line: where its
// messages go, the texts that stand in for files on disk and where its
// output files go. A run without hooks prints its messages, reads every file
// from the disk and writes every file to it; a null hook does the same.
struct RunHooks {
    void *owner;
    void (*deliver)(void *owner, const ReportedMessage &message);
    // The text standing for the file at path (directory and name joined),
    // or false when the file is read from the disk.
    bool (*findDocument)(void *owner, const char *path, const char **bytes, size_t *length);
    // The stream that takes the output file named path (the generated
    // code, the instrumentation file, a record file) instead of the disk;
    // null when it cannot be made. The run closes it.
    FILE *(*openOutput)(void *owner, const char *path);
};

// The messages of one run: how many were counted, how many are printed
// before "Too many errors.", where they go, and the column of the one being
// reported (for a caller that collects them).
struct Diagnostics {
    uint64_t errorCount;
    uint64_t maxErrors;
    const RunHooks *hooks;
    uint64_t column;
};

// One message as a run reports it: its place and the text that follows the
// place on the printed line (translated, arguments substituted).
struct ReportedMessage {
    unsigned code;
    const char *file; // null: no place
    uint64_t line;    // 0: no line
    uint64_t column;  // 0: none; the printed line never shows it
    QString text;
};

// A message argument made from an 8-bit text: absent (null) for a null text.
QString messageArgument(const char *text);

// Fills the placeholders of text in one pass: each present argument, in order,
// takes the lowest-numbered placeholder left in the text; an argument's own
// text is never scanned again. Placeholders without an argument stay.
QString substituteArguments(const QString &text, const QString *const *arguments, int count);
QString substituteArguments(const QString &text, const QString &a1, const QString &a2 = QString());

void report(Diagnostics *diagnostics, unsigned code, const char *file, uint64_t line, const QString &a1 = QString(),
            const QString &a2 = QString(), const QString &a3 = QString(), const QString &a4 = QString(),
            const QString &a5 = QString());
// report with the column where the message's token begins, for a caller
// that collects messages (see RunHooks); the printed line is the same.
void reportAtColumn(Diagnostics *diagnostics, unsigned code, const char *file, uint64_t line, uint64_t column, const QString &a1 = QString(),
                    const QString &a2 = QString(), const QString &a3 = QString(), const QString &a4 = QString(),
                    const QString &a5 = QString());

// Writes a toolkit string to standard error in the local 8-bit encoding.
void writeError(const QString &text);

// A phrase inserted into messages, translated in context "ZEP Error Parameter".
QString phrase(const char *text);

// The message catalogues of the current locale from directory, installed in
// application.
void installTranslations(QCoreApplication *application, const QString &directory);
