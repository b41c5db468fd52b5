// The record files of each source file: creating them, their headers and
// trailers, the checksummed line writers and the record line builder.
#include "base/diagnostics.h"
#include "io/files.h"
#include "records/recordline.h"
#include "records/records.h"

#include <cinttypes>
#include <cstring>
#include <ctime>

namespace {

// The fixed records of every .tsf header after its identification.
const char *const TSF_FIXED_LINES[] = {
    "ST 164\n",
    "MS ffffffffh \"ON ERROR (DEFAULT)\"\n",
    "TX fffffffeh \"UNEXPECTED EXCEPTION\"\n",
    "TX fffffffdh \"EXCEPTION THROWN\"\n",
    "TX fffffffch \"ILLEGAL TRANSITION\"\n",
    "TX fffffffbh \"MULTIPLE TRANSITION\"\n",
};

// The run has one thread: a stream needs no lock per record.
int writeText(FILE *stream, const char *text, size_t length)
{
    return fwrite_unlocked(text, 1, length, stream) == length ? 0 : -1;
}

int writeLiteralTsf(FileEntry *entry, const char *text)
{
    return writeTsfLine(entry, text, strlen(text));
}

int writeLiteralOts(FileEntry *entry, const char *text)
{
    return writeOtsLine(entry, text, strlen(text));
}

void writeTsfHeader(Run *run, FileEntry *entry)
{
    writeLiteralTsf(entry, "DB \"Okvar-Tracer\"\n");
    // Both identification lines or neither, when escaping fails.
    RecordLine source, file;
    beginRecord(run, &source, "SO \"");
    beginRecord(run, &file, "IN \"File\" 1h \"");
    addQuoted(&source, {{entry->directory, true}, {entry->fileName, true}}, true);
    addNumber(&source, "\" %" PRIx64 "h \"txt\"\n", static_cast<uint64_t>(entry->modificationTime));
    addQuoted(&file, {{entry->fileName, true}}, true);
    addRaw(&file, "\"\n");
    if (source.failed || file.failed) {
        freeTextBuffer(&source.text);
        freeTextBuffer(&file.text);
    } else {
        endTsfRecord(&source, entry);
        endTsfRecord(&file, entry);
    }
    for (const char *line : TSF_FIXED_LINES)
        writeLiteralTsf(entry, line);
}

// The local date and time in the layout of asctime, whatever the locale,
// without its line feed.
void writeDateLine(FileEntry *entry)
{
    static const char *const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char line[64];
    int length = snprintf(line, sizeof line, "DP %.3s %.3s%3d %.2d:%.2d:%.2d %d\n", DAYS[local.tm_wday % 7],
                          MONTHS[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                          1900 + local.tm_year);
    writeText(entry->otsStream, line, static_cast<size_t>(length));
}

void writeOtsHeader(Run *run, FileEntry *entry)
{
    RecordLine origin;
    if (beginRecord(run, &origin, "OF \"")) {
        addQuoted(&origin, {{entry->directory, false}}, false);
        addRaw(&origin, "\" \"");
        addQuoted(&origin, {{entry->fileName, false}}, false);
        addNumber(&origin, "\" %" PRIx64 "h\n", static_cast<uint64_t>(entry->modificationTime));
        endOtsRecord(&origin, entry);
    }
    writeLiteralOts(entry, "\n");
    RecordLine version;
    if (beginRecord(run, &version, "VO ")) {
        addRaw(&version, RELEASE_TEXT);
        addRaw(&version, "\n");
        endOtsRecord(&version, entry);
    }
    writeDateLine(entry);
}

// The checksum lines: the pair reached before them is the file's final pair.
void writeTrailers(FileEntry *entry)
{
    uint32_t a = entry->checksumA & 0x7fffffff, b = entry->checksumB & 0x7fffffff;
    char line[64];
    writeLiteralOts(entry, "\n");
    snprintf(line, sizeof line, "CK %" PRIx32 "h %" PRIx32 "h\n", a, b);
    writeLiteralOts(entry, line);
    entry->checksumA = a;
    entry->checksumB = b;
    snprintf(line, sizeof line, "ID %" PRIx32 "h %" PRIx32 "h\n", a, b);
    writeLiteralTsf(entry, line);
    writeLiteralTsf(entry, "ED\n");
    entry->checksumA = a;
    entry->checksumB = b;
}

// A record file that was not written or closed completely is not passed
// off as written.
int closeRecordFile(Run *run, FILE *stream, const char *name)
{
    bool failed = ferror(stream) != 0;
    if (closeFile(run, stream) != 0 || failed) {
        report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(name));
        return -1;
    }
    return 0;
}

FILE *createRecordFile(Run *run, const char *name, int code)
{
    FILE *stream = openOutputFile(run, name, code);
    if (stream == nullptr)
        report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(name));
    return stream;
}

} // namespace

static uint32_t byteValue(char c)
{
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
}

void foldChecksum(uint32_t *a, uint32_t *b, const char *text, size_t length)
{
    uint32_t first = *a, second = *b;
    size_t i = 0;
    // Four bytes at a time: the four values of first differ from the one
    // before the block by sums of the bytes alone, which the processor forms
    // side by side instead of waiting for each step.
    for (; i + 4 <= length; i += 4) {
        uint32_t t1 = 2 * byteValue(text[i]);
        uint32_t t2 = 2 * (t1 + byteValue(text[i + 1]));
        uint32_t t3 = 2 * (t2 + byteValue(text[i + 2]));
        uint32_t t4 = 2 * (t3 + byteValue(text[i + 3]));
        uint32_t f1 = (first << 1) + t1, f2 = (first << 2) + t2, f3 = (first << 3) + t3, f4 = (first << 4) + t4;
        second ^= f1 ^ f2 ^ f3 ^ f4;
        first = f4;
    }
    for (; i < length; i++) {
        first = (first + byteValue(text[i])) * 2;
        second ^= first;
    }
    *a = first;
    *b = second;
}

int writeOtsLine(FileEntry *entry, const char *text, size_t length)
{
    foldChecksum(&entry->checksumA, &entry->checksumB, text, length);
    writeText(entry->otsStream, text, length);
    return 0;
}

int writeTsfLine(FileEntry *entry, const char *text, size_t length)
{
    // Line breaks inside a record become spaces; its own last one stays.
    // Nearly every record holds none, which two quick searches tell.
    size_t start = 0, inner = length > 0 ? length - 1 : 0;
    bool plain = memchr(text, '\n', inner) == nullptr && memchr(text, '\r', inner) == nullptr;
    for (size_t i = 0; !plain && i + 1 < length; i++) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        foldChecksum(&entry->checksumA, &entry->checksumB, text + start, i - start);
        writeText(entry->tsfStream, text + start, i - start);
        foldChecksum(&entry->checksumA, &entry->checksumB, " ", 1);
        writeText(entry->tsfStream, " ", 1);
        start = i + 1;
    }
    foldChecksum(&entry->checksumA, &entry->checksumB, text + start, length - start);
    writeText(entry->tsfStream, text + start, length - start);
    return 0;
}

int writeRecordFiles(Run *run, Node *root)
{
    for (FileEntry *entry = run->context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        entry->tsfStream = createRecordFile(run, entry->tsfName, 204);
        if (entry->tsfStream == nullptr)
            return -1;
        entry->otsStream = createRecordFile(run, entry->otsName, 203);
        if (entry->otsStream == nullptr)
            return -1;
        writeTsfHeader(run, entry);
        writeOtsHeader(run, entry);
    }
    writeElementRecords(run, root);
    int result = 0;
    for (FileEntry *entry = run->context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        writeTrailers(entry);
        if (closeRecordFile(run, entry->otsStream, entry->otsName) != 0)
            result = -1;
        if (closeRecordFile(run, entry->tsfStream, entry->tsfName) != 0)
            result = -1;
        entry->otsStream = nullptr;
        entry->tsfStream = nullptr;
    }
    return result;
}

bool beginRecord(Run *run, RecordLine *line, const char *head)
{
    line->run = run;
    line->failed = initTextBuffer(&line->text) != 0;
    if (line->failed) {
        report(run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
        return false;
    }
    addRaw(line, head);
    return !line->failed;
}

static void failRecord(RecordLine *line)
{
    if (!line->failed)
        report(line->run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
    line->failed = true;
}

void addBytes(RecordLine *line, const char *text, size_t length)
{
    if (!line->failed && appendBytes(&line->text, text, length) != 0)
        failRecord(line);
}

void addDigits(RecordLine *line, uint64_t value, unsigned base)
{
    char digits[DIGITS_ROOM];
    char *end = digits + sizeof digits;
    const char *start = writeDigits(end, value, base);
    addBytes(line, start, static_cast<size_t>(end - start));
}

void addFormattedNumber(RecordLine *line, const char *format, uint64_t value)
{
    char number[64];
    snprintf(number, sizeof number, format, value);
    addRaw(line, number);
}

void addQuoted(RecordLine *line, std::initializer_list<Piece> pieces, bool utf8)
{
    for (const Piece &piece : pieces) {
        if (line->failed)
            return;
        // Most texts hold nothing to escape and are added as they are.
        bool plain = !piece.escaped || (piece.text != nullptr && !needsQuoteEscapes(piece.text));
        const char *text = plain ? piece.text : escapeQuotes(line->run, piece.text);
        if (text == nullptr) {
            // A record left out without a message would pass for a whole file:
            // its checksum, repeated in the generated code, would agree.
            failRecord(line);
            return;
        }
        if (!utf8)
            addRaw(line, text);
        else if (appendUtf8(&line->text, text) != 0)
            failRecord(line);
    }
}

int endTsfRecord(RecordLine *line, FileEntry *entry)
{
    bool failed = line->failed;
    if (!failed)
        writeTsfLine(entry, line->text.text, line->text.length);
    freeTextBuffer(&line->text);
    return failed ? -1 : 0;
}

int endOtsRecord(RecordLine *line, FileEntry *entry)
{
    bool failed = line->failed;
    if (!failed)
        writeOtsLine(entry, line->text.text, line->text.length);
    freeTextBuffer(&line->text);
    return failed ? -1 : 0;
}
