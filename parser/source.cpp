// The parser's file entry: classifying, opening and registering each source
// file, INCLUDE, and the top level of OTC scripts.
#include "driver/diagnostics.h"
#include "driver/files.h"
#include "form/memory.h"
#include "parser/parser.h"

#include <cerrno>
#include <cstring>

namespace {

// The next path segment of directory followed by name, from *at on, with
// "." segments and empty ones (doubled "/") passed over; false at the end.
bool nextSegment(const char *directory, const char *name, size_t *at, const char **segment, size_t *length)
{
    size_t directoryLength = strlen(directory);
    for (;;) {
        bool inName = *at >= directoryLength;
        const char *text = inName ? name : directory;
        size_t start = inName ? *at - directoryLength : *at;
        if (text[start] == '\0') {
            if (inName)
                return false;
            *at = directoryLength;
            continue;
        }
        size_t end = start;
        while (text[end] != '\0' && text[end] != '/')
            end++;
        *at += end - start + (text[end] == '/' ? 1 : 0);
        size_t segmentLength = end - start;
        if (segmentLength == 0 || (segmentLength == 1 && text[start] == '.'))
            continue;
        *segment = text + start;
        *length = segmentLength;
        return true;
    }
}

// Whether two directory and name pairs name the same file once "." segments
// and doubled "/" are taken out, however the paths were formed.
bool isSameFile(const char *directory, const char *name, const char *otherDirectory, const char *otherName)
{
    if (directory == otherDirectory && name == otherName)
        return true;
    size_t at = 0, otherAt = 0;
    for (;;) {
        const char *segment = nullptr, *otherSegment = nullptr;
        size_t length = 0, otherLength = 0;
        bool more = nextSegment(directory, name, &at, &segment, &length);
        bool otherMore = nextSegment(otherDirectory, otherName, &otherAt, &otherSegment, &otherLength);
        if (!more || !otherMore)
            return more == otherMore;
        if (length != otherLength || memcmp(segment, otherSegment, length) != 0)
            return false;
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

// An open source file: its stream while it is read and the file number to
// go back to afterwards.
struct OpenSource {
    FILE *file;
    uint32_t previousFileNo;
};

// The text that the run's caller holds for the file (an editor's unsaved
// document), or false when the file is read from the disk.
bool findDocument(const ParseState *state, const char **bytes, size_t *length)
{
    const RunHooks *hooks = context->hooks;
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
        report(errno == ENOMEM ? 47 : 42, nullptr, 0, name);
        return -1;
    }
    source->previousFileNo = currentFileNo;
    currentFileNo = ++context->fileCount;
    // The file is read before its FileEntry is linked, so that a file that
    // cannot be read leaves no entry behind.
    int read = inDocument ? openScanText(&state->stream, document, documentLength, state->stream.displayPath)
                          : openScanStream(&state->stream, source->file, state->stream.displayPath);
    FileEntry *entries = nullptr;
    if (read == 0) {
        entries = addFileEntry(context->fileEntries, currentFileNo, state->directory, state->fileName,
                               inDocument ? 0 : fileModificationTime(source->file));
        if (entries == nullptr)
            closeScanStream(&state->stream);
    }
    if (entries == nullptr) {
        currentFileNo = source->previousFileNo;
        if (source->file != nullptr)
            fclose(source->file);
        report(read == STREAM_READ_FAILED ? 42 : 47, nullptr, 0, name);
        return -1;
    }
    context->fileEntries = entries;
    return 0;
}

int closeSource(ParseState *state, OpenSource *source)
{
    closeScanStream(&state->stream);
    currentFileNo = source->previousFileNo;
    if (source->file != nullptr && closeFile(source->file) != 0) {
        report(44, nullptr, 0, messageArgument(state->fileName));
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
        if (state->token.code == KIND_CLASS || state->token.code == KIND_SINGLE_CLASS)
            parseOtcClass(state, root, state->token.code);
        else
            reportAt(state, 23, messageArgument(state->token.text), phrase(PHRASE_OTC_SCRIPT));
    }
    return closeSource(state, &source);
}

// A file named on the command line or included: where it is, whether it
// was read already, what kind of script it is.
int parseNamedFile(const char *path, Node *root, int included, const char *baseDirectory)
{
    if (baseDirectory == nullptr)
        baseDirectory = context->workingDirectory;
    ParseState state{};
    if (splitPath(baseDirectory, path, &state.directory, &state.fileName) != 0)
        return -1;
    QString name = messageArgument(state.fileName);
    if (included) {
        Node *earlier = elementOfFile(root, state.directory, state.fileName);
        if (earlier != nullptr) {
            report(35, earlier->displayPath, earlier->line, name);
            return -1;
        }
    }
    state.stream.displayPath = makeDisplayPath(state.directory, state.fileName);
    if (state.stream.displayPath == nullptr) {
        report(47, nullptr, 0, name);
        return -1;
    }
    int kind = classifySourceName(state.fileName);
    if (kind == SOURCE_NONE) {
        report(54, nullptr, 0, name);
        return -1;
    }
    if (kind == SOURCE_OTC)
        return parseOtcScript(&state, root);
    if (!included && ++otdFileCount > 1) {
        report(55, nullptr, 0, name);
        return -1;
    }
    OpenSource source;
    if (openSource(&state, &source) != 0)
        return -1;
    parseOtdScript(&state, root);
    return closeSource(&state, &source);
}

} // namespace

int parseSourceFile(const char *path, Node *root, int included, const char *baseDirectory)
{
    if (context->includeDepth > NESTING_LIMIT) {
        report(0, nullptr, 0, QStringLiteral("INCLUDE nested more than %1 deep").arg(NESTING_LIMIT));
        return -1;
    }
    context->includeDepth += included;
    int result = parseNamedFile(path, root, included, baseDirectory);
    context->includeDepth -= included;
    return result;
}

// include "name" ;
int parseInclude(ParseState *state, Node *parent)
{
    Opening opening = openConstruct(state);
    if (expectToken(state, KIND_STRING, 14, QStringLiteral("\" ... \"")) != 0)
        return -1;
    const char *written = state->token.text;
    const char *name = unescapeText(written);
    if (name == nullptr) {
        reportAt(state, 47, messageArgument(written));
        return -1;
    }
    if (expectToken(state, KIND_SEMICOLON, 14, QStringLiteral(";")) != 0)
        return -1;
    Node *node = createPlainNode(parent, KIND_INCLUDE, name, placeHere(state, 0));
    if (node == nullptr) {
        failNode(state, "INCLUDE", name);
        return -1;
    }
    closeConstruct(state, node, opening);
    return parseSourceFile(name, parent, 1, state->directory);
}
