// Output files written by a second thread.
//
// A large script makes a hundred megabytes of output and more, and the
// kernel's part of writing it (copying into the page cache, finding and
// zeroing its pages) took a fifth of a run. The streams are the C
// library's as before, but what a stream hands to its file is gathered in
// blocks, and once a block is full a writer thread puts it in the file,
// in the order given, while the run goes on. Closing a stream waits for its
// blocks and tells whether every byte reached the file: a failed write is
// told at the close, as it always was with a buffered stream.
//
// A small run fills no block and starts no thread: each file writes its
// block itself when it is closed. A file writes for itself as well when it
// is no regular file, when there is no thread, when too many files are
// open, or, from then on, when no block can be had for it; a stream is a
// plain one of the C library when its own record cannot be had.
#include "driver/outputs.h"
#include "form/memory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file that goes through the queue fills one block at a time, and at most
// QUEUE_USERS of them are open at once: once BLOCK_COUNT blocks are made,
// two are always free, queued or being written, so a file that wants one
// gets it soon. Files opened beyond that write for themselves.
enum : size_t { BLOCK_SIZE = 1 << 19, BLOCK_COUNT = 8, QUEUE_USERS = BLOCK_COUNT - 2 };

struct OutputFile {
    int descriptor;
    bool queued;          // gathers its bytes in blocks
    bool failed;          // a write failed; set by whoever wrote
    unsigned queuedCount; // blocks of this file the writer has yet to write
    char *block;          // the block being filled, or null
    size_t filled;
};

struct QueuedBlock {
    OutputFile *file;
    char *bytes;
    size_t length;
};

// Blocks go round: free, filled by one stream, queued, written, free again.
// The lock guards the free list, the queue and the files' queued counts;
// the rest belongs to the thread of the run.
pthread_mutex_t queueLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t queueChanged = PTHREAD_COND_INITIALIZER;
char *blocks[BLOCK_COUNT];
size_t blocksMade;
char *freeBlocks[BLOCK_COUNT];
size_t freeCount;
QueuedBlock queue[BLOCK_COUNT];
size_t queueFirst, queueCount;
bool writerRunning, writerStopping, writerRefused;
pthread_t writerThread;
unsigned openFiles, queueUsers;

// Writes all of bytes or marks the file failed.
void writeAll(OutputFile *file, const char *bytes, size_t length)
{
    while (length > 0 && !file->failed) {
        ssize_t written = write(file->descriptor, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            file->failed = true;
            return;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
}

void *runWriter(void *)
{
    pthread_mutex_lock(&queueLock);
    for (;;) {
        while (queueCount == 0 && !writerStopping)
            pthread_cond_wait(&queueChanged, &queueLock);
        if (queueCount == 0)
            break;
        QueuedBlock block = queue[queueFirst];
        queueFirst = (queueFirst + 1) % BLOCK_COUNT;
        queueCount--;
        pthread_mutex_unlock(&queueLock);
        writeAll(block.file, block.bytes, block.length);
        pthread_mutex_lock(&queueLock);
        freeBlocks[freeCount++] = block.bytes;
        block.file->queuedCount--;
        pthread_cond_broadcast(&queueChanged);
    }
    pthread_mutex_unlock(&queueLock);
    return nullptr;
}

// The thread, when the first block is full; false when it cannot be had,
// for the rest of the files open now.
bool startWriter()
{
    if (!writerRunning && !writerRefused) {
        queueFirst = queueCount = 0;
        writerStopping = false;
        writerRunning = pthread_create(&writerThread, nullptr, runWriter, nullptr) == 0;
        writerRefused = !writerRunning;
    }
    return writerRunning;
}

// When the last file is closed.
void stopWriter()
{
    if (writerRunning) {
        pthread_mutex_lock(&queueLock);
        writerStopping = true;
        pthread_cond_broadcast(&queueChanged);
        pthread_mutex_unlock(&queueLock);
        pthread_join(writerThread, nullptr);
        writerRunning = false;
    }
    writerRefused = false;
    for (size_t i = 0; i < blocksMade; i++)
        zepFree(blocks[i]);
    blocksMade = freeCount = 0;
}

void waitForQueued(OutputFile *file)
{
    pthread_mutex_lock(&queueLock);
    while (file->queuedCount > 0)
        pthread_cond_wait(&queueChanged, &queueLock);
    pthread_mutex_unlock(&queueLock);
}

// A new block while fewer than BLOCK_COUNT are made, then one given back
// by the writer; null when a new one cannot be had. All are made before any
// is used again, so that the allocations of a run do not depend on how fast
// the writer is.
char *takeBlock()
{
    pthread_mutex_lock(&queueLock);
    bool make = blocksMade < BLOCK_COUNT;
    while (!make && freeCount == 0)
        pthread_cond_wait(&queueChanged, &queueLock);
    char *block = make ? nullptr : freeBlocks[--freeCount];
    pthread_mutex_unlock(&queueLock);
    if (make && (block = static_cast<char *>(zepAlloc(BLOCK_SIZE))) != nullptr)
        blocks[blocksMade++] = block;
    return block;
}

void giveBack(char *block)
{
    pthread_mutex_lock(&queueLock);
    freeBlocks[freeCount++] = block;
    pthread_mutex_unlock(&queueLock);
}

// Hands the file's block to the writer, or writes it here when there is no
// writer and keeps it for the next bytes.
void handOver(OutputFile *file)
{
    if (!startWriter()) {
        writeAll(file, file->block, file->filled);
        file->filled = 0;
        return;
    }
    pthread_mutex_lock(&queueLock);
    queue[(queueFirst + queueCount) % BLOCK_COUNT] = {file, file->block, file->filled};
    queueCount++;
    file->queuedCount++;
    pthread_cond_broadcast(&queueChanged);
    pthread_mutex_unlock(&queueLock);
    file->block = nullptr;
    file->filled = 0;
}

// The file writes for itself from now on, after its queued blocks.
void leaveQueue(OutputFile *file)
{
    file->queued = false;
    queueUsers--;
    waitForQueued(file);
}

ssize_t writeQueued(void *cookie, const char *bytes, size_t length)
{
    auto *file = static_cast<OutputFile *>(cookie);
    size_t left = length;
    while (left > 0 && file->queued) {
        if (file->block == nullptr && (file->block = takeBlock()) == nullptr) {
            leaveQueue(file);
            break;
        }
        size_t piece = BLOCK_SIZE - file->filled < left ? BLOCK_SIZE - file->filled : left;
        memcpy(file->block + file->filled, bytes, piece);
        file->filled += piece;
        bytes += piece;
        left -= piece;
        if (file->filled == BLOCK_SIZE)
            handOver(file);
    }
    writeAll(file, bytes, left);
    // All taken, even when a write failed: the close tells of the failure.
    // A -1 would set the stream's error at once, but the C library's path
    // for large writes miscounts it and reads past the caller's bytes.
    return static_cast<ssize_t>(length);
}

int closeQueued(void *cookie)
{
    auto *file = static_cast<OutputFile *>(cookie);
    if (file->queued) {
        if (writerRunning && file->filled > 0)
            handOver(file);
        else
            writeAll(file, file->block, file->filled);
        if (file->block != nullptr)
            giveBack(file->block);
        leaveQueue(file);
    }
    bool failed = file->failed;
    if (close(file->descriptor) != 0)
        failed = true;
    zepFree(file);
    if (--openFiles == 0)
        stopWriter();
    return failed ? -1 : 0;
}

} // namespace

FILE *openQueuedOutput(const char *path)
{
    auto *file = static_cast<OutputFile *>(zepAlloc(sizeof(OutputFile)));
    if (file == nullptr)
        return fopen(path, "w");
    *file = {open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666), false, false, 0, nullptr, 0};
    if (file->descriptor < 0) {
        zepFree(file);
        return nullptr;
    }
    // A terminal, a pipe or a device takes its bytes in the order of the
    // run, between the messages: only a regular file is written later.
    struct stat status;
    bool regular = fstat(file->descriptor, &status) == 0 && S_ISREG(status.st_mode);
    FILE *stream = fopencookie(file, "w", cookie_io_functions_t{nullptr, writeQueued, nullptr, closeQueued});
    if (stream == nullptr) {
        close(file->descriptor);
        zepFree(file);
        return fopen(path, "w");
    }
    openFiles++;
    file->queued = regular && queueUsers < QUEUE_USERS;
    if (file->queued)
        queueUsers++;
    return stream;
}
