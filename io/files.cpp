// Source classes, paths, display paths, file entries and output files.
#include "io/files.h"
#include "base/diagnostics.h"
#include "base/memory.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

static bool endsWithNoCase(const char *name, const char *suffix)
{
    size_t length = strlen(name), suffixLength = strlen(suffix);
    return length >= suffixLength && strcasecmp(name + length - suffixLength, suffix) == 0;
}

int classifySourceName(const char *name)
{
    if (endsWithNoCase(name, ".otd") || endsWithNoCase(name, ".stb") || endsWithNoCase(name, ".dcl"))
        return SOURCE_OTD;
    if (endsWithNoCase(name, ".otc"))
        return SOURCE_OTC;
    return SOURCE_NONE;
}

// The working directory followed by "/", as a heap block, or null.
static char *workingDirectoryWithSlash()
{
    QByteArray path = QDir::currentPath().toLocal8Bit();
    if (!path.endsWith('/'))
        path += '/';
    return zepCopy(path.constData(), path.size());
}

const char *currentDirectoryPrefix(Run *run, const char *file, uint64_t line)
{
    char *prefix = workingDirectoryWithSlash();
    const char *interned = prefix != nullptr ? intern(run, prefix) : nullptr;
    if (interned == nullptr) {
        zepFree(prefix);
        report(run, MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN, file, line);
    }
    return interned;
}

char *joinPath(const char *base, const char *relative)
{
    size_t baseLength = strlen(base), relativeLength = strlen(relative);
    bool slash = baseLength == 0 || base[baseLength - 1] != '/';
    char *joined = static_cast<char *>(zepAlloc(baseLength + slash + relativeLength + 1));
    if (joined == nullptr)
        return nullptr;
    memcpy(joined, base, baseLength);
    if (slash)
        joined[baseLength] = '/';
    memcpy(joined + baseLength + slash, relative, relativeLength + 1);
    return joined;
}

// The directory of path with a final "/", made absolute against
// baseDirectory when relative; a heap block, or null.
static char *directoryPart(const char *baseDirectory, const char *path)
{
    QByteArray part = QFileInfo(QString::fromLocal8Bit(path)).path().toLocal8Bit();
    part += '/';
    if (!QDir::isRelativePath(QString::fromLocal8Bit(part)))
        return zepCopy(part.constData(), part.size());
    return joinPath(baseDirectory != nullptr ? baseDirectory : "", part.constData());
}

int splitPath(Run *run, const char *baseDirectory, const char *path, const char **directory, const char **fileName)
{
    // Backslashes become "/" before interning: a pooled text never changes.
    char *part = directoryPart(baseDirectory, path);
    if (part != nullptr) {
        for (char *p = part; *p != '\0'; p++) {
            if (*p == '\\')
                *p = '/';
        }
    }
    const char *interned = part != nullptr ? intern(run, part) : nullptr;
    if (interned == nullptr) {
        zepFree(part);
        report(run, MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN, path, 0);
        return -1;
    }
    const char *slash = strrchr(path, '/');
    const char *name = slash != nullptr ? slash + 1 : path;
    char *copy = zepCopyText(name);
    if (copy == nullptr) {
        report(run, MESSAGE_NO_MEMORY_FOR_FILENAME, nullptr, 0, messageArgument(name));
        return -1;
    }
    const char *internedName = intern(run, copy);
    if (internedName == nullptr) {
        zepFree(copy);
        report(run, MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN, path, 0);
        return -1;
    }
    *directory = interned;
    *fileName = internedName;
    return 0;
}

const char *makeDisplayPath(Run *run, const char *directory, const char *fileName)
{
    // The translator never changes directory, so the one read when the
    // Context was made still holds; it is asked anew only before that.
    char *asked = nullptr;
    const char *prefix = run->context != nullptr ? run->context->workingDirectory : nullptr;
    if (prefix == nullptr && (prefix = asked = workingDirectoryWithSlash()) == nullptr)
        return nullptr;
    size_t prefixLength = strlen(prefix);
    const char *shown = strncmp(directory, prefix, prefixLength) == 0 ? directory + prefixLength : directory;
    zepFree(asked);
    size_t shownLength = strlen(shown), nameLength = strlen(fileName);
    char *display = static_cast<char *>(zepAlloc(shownLength + nameLength + 1));
    if (display == nullptr)
        return nullptr;
    memcpy(display, shown, shownLength);
    memcpy(display + shownLength, fileName, nameLength + 1);
    const char *interned = intern(run, display);
    if (interned == nullptr)
        zepFree(display);
    return interned;
}

const char *recordFileName(Run *run, const char *fileName, uint32_t fileNo, const char *suffix)
{
    size_t size = strlen(fileName) + strlen(suffix) + 16;
    char *name = static_cast<char *>(zepAlloc(size));
    if (name == nullptr)
        return nullptr;
    snprintf(name, size, "%s%02u%s", fileName, (unsigned)fileNo, suffix);
    const char *interned = intern(run, name);
    if (interned == nullptr)
        zepFree(name);
    return interned;
}

FILE *openSourceFile(const char *directory, const char *fileName)
{
    char *path = static_cast<char *>(zepAlloc(strlen(directory) + strlen(fileName) + 1));
    if (path == nullptr)
        return nullptr;
    strcpy(path, directory);
    strcat(path, fileName);
    FILE *stream = fopen(path, "r");
    zepFree(path);
    return stream;
}

FileStatus fileStatus(FILE *stream)
{
    struct stat status;
    if (fstat(fileno(stream), &status) != 0)
        return FileStatus{0, 0, 0};
    return FileStatus{status.st_mtime, status.st_dev, status.st_ino};
}

bool isSourceFile(Run *run, const char *path)
{
    struct stat status;
    if (stat(path, &status) != 0)
        return false;
    for (const FileEntry *entry = run->context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        if (entry->device == status.st_dev && entry->inode == status.st_ino)
            return true;
    }
    return false;
}

FileEntry *addFileEntry(Run *run, FileEntry *list, uint32_t fileNo, const char *directory, const char *fileName,
                        const FileStatus &status)
{
    FileEntry *entry = static_cast<FileEntry *>(zepAlloc(sizeof(FileEntry)));
    if (entry == nullptr)
        return nullptr;
    const char *tsfName = recordFileName(run, fileName, fileNo, ".tsf");
    const char *otsName = tsfName != nullptr ? recordFileName(run, fileName, fileNo, ".ots") : nullptr;
    if (otsName == nullptr) {
        zepFree(entry);
        return nullptr;
    }
    *entry = {tsfName, nullptr, otsName, nullptr, fileNo, 0, 0, fileName, directory, status.modificationTime,
              status.device, status.inode, nullptr};
    if (list == nullptr)
        return entry;
    FileEntry *last = list;
    while (last->nextEntry != nullptr)
        last = last->nextEntry;
    last->nextEntry = entry;
    return list;
}

static const char *logTag(int code)
{
    switch (code) {
    case OPEN_CODE: return "CPP";
    case OPEN_INSTR: return "OTI";
    case OPEN_OTS: return "OTS";
    case OPEN_TSF: return "TSF";
    }
    return nullptr;
}

// Output files go out in writes of 64 KB instead of the C library's 4 KB: a
// large script makes a hundred megabytes of them, and each system call
// costs. Each buffer has a header that links it to its stream until the
// stream is closed; a stream whose buffer cannot be had keeps the library's.
// The generated code comes in pieces of 64 KB and more already, and needs
// no buffer of the stream's.
struct OutputBuffer {
    FILE *stream;
    OutputBuffer *next;
};
enum : size_t { OUTPUT_BUFFER_SIZE = 1 << 16 };

static void bufferOutput(Run *run, FILE *stream)
{
    auto *buffer = static_cast<OutputBuffer *>(zepAlloc(sizeof(OutputBuffer) + OUTPUT_BUFFER_SIZE));
    if (buffer == nullptr)
        return;
    if (setvbuf(stream, reinterpret_cast<char *>(buffer + 1), _IOFBF, OUTPUT_BUFFER_SIZE) != 0) {
        zepFree(buffer);
        return;
    }
    *buffer = {stream, run->outputBuffers};
    run->outputBuffers = buffer;
}

// The buffer of a stream about to be closed, taken off the list; it is freed
// once the close has written what it holds. Null for an unbuffered stream.
static OutputBuffer *takeOutputBuffer(Run *run, FILE *stream)
{
    for (OutputBuffer **link = &run->outputBuffers; *link != nullptr; link = &(*link)->next) {
        OutputBuffer *buffer = *link;
        if (buffer->stream == stream) {
            *link = buffer->next;
            return buffer;
        }
    }
    return nullptr;
}

FILE *openOutputFile(Run *run, const char *path, int code)
{
    if (code == OPEN_BENCH_LOG)
        return fopen(path, "a");
    // A stream of the caller's keeps the buffering it was made with.
    const RunHooks *hooks = run->hooks;
    bool ours = hooks == nullptr || hooks->openOutput == nullptr;
    FILE *stream = ours ? fopen(path, "w") : hooks->openOutput(hooks->owner, path);
    if (stream != nullptr && ours && code == OPEN_CODE)
        setvbuf(stream, nullptr, _IONBF, 0);
    else if (stream != nullptr && ours)
        bufferOutput(run, stream);
    const char *tag = logTag(code);
    if (stream != nullptr && tag != nullptr && run->context != nullptr && run->context->benchLog != nullptr) {
        fprintf(run->context->benchLog, "%s %s\n", tag, path);
        fflush(run->context->benchLog);
    }
    return stream;
}

int closeFile(Run *run, FILE *stream)
{
    OutputBuffer *buffer = takeOutputBuffer(run, stream);
    int result = fclose(stream) == 0 ? 0 : -1;
    zepFree(buffer);
    return result;
}

// A copy of text with extra room for every byte doubled, for the
// conversions below; null for a null text or when memory runs out.
static char *scratchFor(const char *text)
{
    return text != nullptr ? static_cast<char *>(zepAlloc(2 * strlen(text) + 1)) : nullptr;
}

static const char *internScratch(Run *run, char *scratch)
{
    const char *interned = intern(run, scratch);
    if (interned == nullptr)
        zepFree(scratch);
    return interned;
}

bool needsQuoteEscapes(const char *text)
{
    return text[strcspn(text, "\\\"")] != '\0';
}

const char *escapeQuotes(Run *run, const char *text)
{
    // Most texts hold nothing to escape and are pooled already.
    if (text != nullptr && !needsQuoteEscapes(text))
        return internText(run, text);
    char *copy = scratchFor(text);
    if (copy == nullptr)
        return nullptr;
    char *out = copy;
    for (const char *p = text; *p != '\0'; p++) {
        if (*p == '\\' || *p == '"')
            *out++ = '\\';
        *out++ = *p;
    }
    *out = '\0';
    // The pool keeps an exact copy, not the scratch block of twice the size.
    const char *interned = internCopy(run, copy, static_cast<size_t>(out - copy));
    zepFree(copy);
    return interned;
}

const char *unescapeText(Run *run, const char *text)
{
    char *copy = scratchFor(text);
    if (copy == nullptr)
        return nullptr;
    char *out = copy;
    for (const char *p = text; *p != '\0'; p++) {
        if (*p == '\\') {
            p++;
            if (*p == '\0')
                break;
        }
        *out++ = *p;
    }
    *out = '\0';
    return internScratch(run, copy);
}

const char *copyEnvironment(Run *run, const char *name)
{
    const char *value = getenv(name);
    if (value == nullptr || *value == '\0')
        return nullptr;
    return internText(run, value);
}
