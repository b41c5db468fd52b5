// The parser's file entry: classifying, opening and registering each source
// file, INCLUDE, and the top level of OTC scripts.
#include "base/diagnostics.h"
#include "io/files.h"
#include "base/memory.h"
#include "parser/parser.h"

#include <cerrno>
#include <cstring>

namespace {

// A directory followed by a file name, read as one path from its end.
struct PathText {
    const char *directory;
    size_t directoryLength;
    const char *name;
    size_t end; // of what is still to be read, counted over both parts
};

char pathByte(const PathText &path, size_t at)
{
    return at < path.directoryLength ? path.directory[at] : path.name[at - path.directoryLength];
}

bool isDots(const PathText &path, size_t start, size_t length, size_t dots)
{
    if (length != dots)
        return false;
    for (size_t i = 0; i < length; i++) {
        if (pathByte(path, start + i) != '.')
            return false;
    }
    return true;
}

// The last segment of the path not yet read, once "." segments, empty ones
// (doubled "/") and every segment that a later ".." takes back are passed
// over; false at the start. Directories are absolute, so a ".." above the
// root stays at the root.
bool previousSegment(PathText *path, size_t *start, size_t *length)
{
    uint64_t takenBack = 0;
    while (path->end > 0) {
        size_t end = path->end, begin = end;
        while (begin > 0 && pathByte(*path, begin - 1) != '/')
            begin--;
        path->end = begin > 0 ? begin - 1 : 0;
        size_t size = end - begin;
        if (size == 0 || isDots(*path, begin, size, 1))
            continue;
        if (isDots(*path, begin, size, 2)) {
            takenBack++;
            continue;
        }
        if (takenBack > 0) {
            takenBack--;
            continue;
        }
        *start = begin;
        *length = size;
        return true;
    }
    return false;
}

PathText pathText(const char *directory, const char *name)
{
    size_t directoryLength = strlen(directory);
    return PathText{directory, directoryLength, name, directoryLength + strlen(name)};
}

// Whether two directory and name pairs name the same file once ".", ".."
// and doubled "/" are taken out, however the paths were spelt.
bool isSameFile(const char *directory, const char *name, const char *otherDirectory, const char *otherName)
{
    if (directory == otherDirectory && name == otherName)
        return true;
    PathText path = pathText(directory, name), other = pathText(otherDirectory, otherName);
    for (;;) {
        size_t start = 0, length = 0, otherStart = 0, otherLength = 0;
        bool more = previousSegment(&path, &start, &length);
        bool otherMore = previousSegment(&other, &otherStart, &otherLength);
        if (!more || !otherMore)
            return more == otherMore;
        if (length != otherLength)
            return false;
        for (size_t i = 0; i < length; i++) {
            if (pathByte(path, start + i) != pathByte(other, otherStart + i))
                return false;
        }
    }
}

// An earlier top-level element of the same file, or null.
Node *elementOfFile(Node *root, const char *directory, const char *fileName)
{
    for (Node *child = root->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->directory != nullptr && isSameFile(child->directory, child->fileName, directory, fileName))
            return child;
    }
    return nullptr;
}

// An open source file, while its stream is read.
struct OpenSource {
    FILE *file;
};

// The text that the run's caller holds for the file (an editor's unsaved
// document), or false when the file is read from the disk.
bool findDocument(const ParseState *state, const char **bytes, size_t *length)
{
    const RunHooks *hooks = state->run->hooks;
    if (hooks == nullptr || hooks->findDocument == nullptr)
        return false;
    // The path as the disk would be asked for it: directory and name joined.
    size_t directoryLength = strlen(state->directory);
    char *path = static_cast<char *>(zepAlloc(directoryLength + strlen(state->fileName) + 1));
    if (path == nullptr)
        return false;
    memcpy(path, state->directory, directoryLength);
    strcpy(path + directoryLength, state->fileName);
    bool found = hooks->findDocument(hooks->owner, path, bytes, length);
    zepFree(path);
    return found;
}

// Opens the file, gives it the next file number and its FileEntry, and reads
// it into the scanner's stream.
int openSource(ParseState *state, OpenSource *source)
{
    QString name = messageArgument(state->fileName);
    const char *document = nullptr;
    size_t documentLength = 0;
    bool inDocument = findDocument(state, &document, &documentLength);
    source->file = inDocument ? nullptr : openSourceFile(state->directory, state->fileName);
    if (!inDocument && source->file == nullptr) {
        // The full path is made on the heap before the file is opened.
        report(state->run, errno == ENOMEM ? MESSAGE_NO_MEMORY_FOR_FILENAME : MESSAGE_CANNOT_OPEN, nullptr, 0, name);
        return -1;
    }
    Context *context = state->run->context;
    state->fileNo = ++context->fileCount;
    // The file is read before its FileEntry is linked, so that a file that
    // cannot be read leaves no entry behind.
    int read = inDocument ? openScanText(&state->stream, document, documentLength, state->stream.displayPath)
                          : openScanStream(&state->stream, source->file, state->stream.displayPath);
    FileEntry *entries = nullptr;
    if (read == 0) {
        entries = addFileEntry(state->run, context->fileEntries, state->fileNo, state->directory, state->fileName,
                               inDocument ? FileStatus{} : fileStatus(source->file));
        if (entries == nullptr)
            closeScanStream(&state->stream);
    }
    if (entries == nullptr) {
        if (source->file != nullptr)
            fclose(source->file);
        report(state->run, read == STREAM_READ_FAILED ? MESSAGE_CANNOT_OPEN : MESSAGE_NO_MEMORY_FOR_FILENAME, nullptr, 0, name);
        return -1;
    }
    context->fileEntries = entries;
    return 0;
}

int closeSource(ParseState *state, OpenSource *source)
{
    closeScanStream(&state->stream);
    if (source->file != nullptr && closeFile(state->run, source->file) != 0) {
        report(state->run, MESSAGE_CANNOT_CLOSE, nullptr, 0, messageArgument(state->fileName));
        return -1;
    }
    return 0;
}

// OTC script: CLASS and SINGLE CLASS declarations only.
int parseOtcScript(ParseState *state, Node *root)
{
    OpenSource source;
    if (openSource(state, &source) != 0)
        return -1;
    for (;;) {
        int result = readToken(state);
        if (result == SCAN_END)
            break;
        if (result == SCAN_FAILED)
            continue;
        if (!parseComponent(state, 0, root, &OTC_SCRIPT_COMPONENTS))
            reportAt(state, MESSAGE_NOT_A_COMPONENT, messageArgument(state->token.text), phrase(PHRASE_OTC_SCRIPT));
    }
    return closeSource(state, &source);
}

// A file named on the command line or included: where it is, whether it
// was read already, what kind of script it is.
int parseNamedFile(Run *run, const char *path, Node *root, int included, const char *baseDirectory)
{
    if (baseDirectory == nullptr)
        baseDirectory = run->context->workingDirectory;
    ParseState state{};
    state.run = run;
    state.stream.run = run;
    if (splitPath(run, baseDirectory, path, &state.directory, &state.fileName) != 0)
        return -1;
    QString name = messageArgument(state.fileName);
    if (included) {
        Node *earlier = elementOfFile(root, state.directory, state.fileName);
        if (earlier != nullptr) {
            report(run, MESSAGE_ALREADY_INCLUDED, earlier->displayPath, earlier->line, name);
            return -1;
        }
    }
    state.stream.displayPath = makeDisplayPath(run, state.directory, state.fileName);
    if (state.stream.displayPath == nullptr) {
        report(run, MESSAGE_NO_MEMORY_FOR_FILENAME, nullptr, 0, name);
        return -1;
    }
    int kind = classifySourceName(state.fileName);
    if (kind == SOURCE_NONE) {
        report(run, MESSAGE_NOT_A_SOURCE, nullptr, 0, name);
        return -1;
    }
    if (kind == SOURCE_OTC)
        return parseOtcScript(&state, root);
    if (!included && ++run->otdFileCount > 1) {
        report(run, MESSAGE_ONE_OTD_ONLY, nullptr, 0, name);
        return -1;
    }
    OpenSource source;
    if (openSource(&state, &source) != 0)
        return -1;
    parseOtdScript(&state, root);
    return closeSource(&state, &source);
}

} // namespace

int parseSourceFile(Run *run, const char *path, Node *root, int included, const char *baseDirectory)
{
    if (run->context->includeDepth > NESTING_LIMIT) {
        report(run, MESSAGE_INTERNAL_ERROR, nullptr, 0, QStringLiteral("INCLUDE nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    run->context->includeDepth += included;
    int result = parseNamedFile(run, path, root, included, baseDirectory);
    run->context->includeDepth -= included;
    return result;
}

// include "name" ;
int parseInclude(ParseState *state, uint64_t depth, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_STRING, MESSAGE_EXPECTED, QStringLiteral("\" ... \"")) != 0)
        return -1;
    const char *written = state->token.text;
    const char *name = unescapeText(state->run, written);
    if (name == nullptr) {
        reportAt(state, MESSAGE_NO_MEMORY_FOR_FILENAME, messageArgument(written));
        return -1;
    }
    if (expectToken(state, KIND_SEMICOLON, MESSAGE_EXPECTED, QStringLiteral(";")) != 0)
        return -1;
    Node *node = createPlainNode(state->run, parent, KIND_INCLUDE, name, placeHere(state, depth));
    if (node == nullptr) {
        failNode(state, "INCLUDE", name);
        return -1;
    }
    closeConstruct(state, node, opening);
    return parseSourceFile(state->run, name, parent, 1, state->directory);
}
