// Every problem found in any stage is reported here, by message code.
#pragma once
#include <QString>
#include <cstdint>

class QCoreApplication;

enum : unsigned { MESSAGE_COUNT = 63, MESSAGE_TOO_MANY_ERRORS = 53, MESSAGE_UNEXPECTED = 62 };

// How many messages a run prints before "Too many errors.", unless its
// command line says otherwise.
enum : uint64_t { DEFAULT_MAX_ERRORS = 30 };

struct ReportedMessage;

// What a run takes from its caller besides the command line: where its
// messages go and the texts that stand in for files on disk. A run without
// hooks prints its messages and reads every file from the disk.
struct RunHooks {
    void *owner;
    void (*deliver)(void *owner, const ReportedMessage &message);
    // The text standing for the file at path (directory and name joined),
    // or false when the file is read from the disk.
    bool (*findDocument)(void *owner, const char *path, const char **bytes, size_t *length);
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
