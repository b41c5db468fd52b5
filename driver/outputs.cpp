// Output files written by a second thread.
//
// A large script makes a hundred megabytes of output and more, and the
// kernel's part of writing it (copying into the page cache, finding and
// zeroing its pages) took a fifth of a run. The streams are the C
// library's as before, but what a stream hands to its file is gathered in
// blocks, and a writer thread puts full blocks in the files, in the order
// given, while the run goes on. Closing a stream waits for its blocks and
// tells whether every byte reached the file: a failed write is told at the
// close, as it always was with a buffered stream. A stream writes its file
// itself when there is no thread or too many files are open, and is a
// plain one when its own record cannot be had.
#include "driver/outputs.h"
#include "form/memory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// A file that goes through the queue fills one block at a time, and at most
// QUEUE_USERS of them are open at once: two blocks are always free, queued
// or being written, so a file that wants one gets it soon. Files opened
// beyond that write for themselves.
enum : size_t { BLOCK_SIZE = 1 << 19, BLOCK_COUNT = 8, QUEUE_USERS = BLOCK_COUNT - 2 };

struct OutputFile {
    int descriptor;
    bool queued;          // goes through the queue
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
// The lock guards the free list, the queue and the files' queued counts.
pthread_mutex_t queueLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t queueChanged = PTHREAD_COND_INITIALIZER;
char *blockSpace;
char *freeBlocks[BLOCK_COUNT];
size_t freeCount;
QueuedBlock queue[BLOCK_COUNT];
size_t queueFirst, queueCount;
bool writerRunning, writerStopping;
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

// The blocks and the thread, when the first file opens; neither when one
// of them cannot be had.
void startWriter()
{
    blockSpace = static_cast<char *>(zepAlloc(BLOCK_SIZE * BLOCK_COUNT));
    if (blockSpace == nullptr)
        return;
    for (freeCount = 0; freeCount < BLOCK_COUNT; freeCount++)
        freeBlocks[freeCount] = blockSpace + freeCount * BLOCK_SIZE;
    queueFirst = queueCount = 0;
    writerStopping = false;
    writerRunning = pthread_create(&writerThread, nullptr, runWriter, nullptr) == 0;
    if (!writerRunning) {
        zepFree(blockSpace);
        blockSpace = nullptr;
    }
}

void stopWriter()
{
    pthread_mutex_lock(&queueLock);
    writerStopping = true;
    pthread_cond_broadcast(&queueChanged);
    pthread_mutex_unlock(&queueLock);
    pthread_join(writerThread, nullptr);
    writerRunning = false;
    zepFree(blockSpace);
    blockSpace = nullptr;
}

void queueBlock(OutputFile *file)
{
    pthread_mutex_lock(&queueLock);
    queue[(queueFirst + queueCount) % BLOCK_COUNT] = {file, file->block, file->filled};
    queueCount++;
    file->queuedCount++;
    pthread_cond_broadcast(&queueChanged);
    pthread_mutex_unlock(&queueLock);
    file->block = nullptr;
    file->filled = 0;
}

char *takeBlock()
{
    pthread_mutex_lock(&queueLock);
    while (freeCount == 0)
        pthread_cond_wait(&queueChanged, &queueLock);
    char *block = freeBlocks[--freeCount];
    pthread_mutex_unlock(&queueLock);
    return block;
}

ssize_t writeOutput(void *cookie, const char *bytes, size_t length)
{
    auto *file = static_cast<OutputFile *>(cookie);
    if (!file->queued) {
        writeAll(file, bytes, length);
        return static_cast<ssize_t>(length);
    }
    for (size_t left = length; left > 0;) {
        if (file->block == nullptr)
            file->block = takeBlock();
        size_t piece = BLOCK_SIZE - file->filled < left ? BLOCK_SIZE - file->filled : left;
        memcpy(file->block + file->filled, bytes, piece);
        file->filled += piece;
        bytes += piece;
        left -= piece;
        if (file->filled == BLOCK_SIZE)
            queueBlock(file);
    }
    return static_cast<ssize_t>(length);
}

int closeOutput(void *cookie)
{
    auto *file = static_cast<OutputFile *>(cookie);
    if (file->queued) {
        if (file->filled > 0)
            queueBlock(file);
        pthread_mutex_lock(&queueLock);
        if (file->block != nullptr)
            freeBlocks[freeCount++] = file->block;
        while (file->queuedCount > 0)
            pthread_cond_wait(&queueChanged, &queueLock);
        pthread_mutex_unlock(&queueLock);
        queueUsers--;
    }
    bool failed = file->failed;
    if (close(file->descriptor) != 0)
        failed = true;
    zepFree(file);
    if (--openFiles == 0 && writerRunning)
        stopWriter();
    return failed ? -1 : 0;
}

} // namespace

FILE *openQueuedOutput(const char *path)
{
    auto *file = static_cast<OutputFile *>(zepAlloc(sizeof(OutputFile)));
    if (file == nullptr)
        return fopen(path, "w");
    *file = {open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), false, false, 0, nullptr, 0};
    if (file->descriptor < 0) {
        zepFree(file);
        return nullptr;
    }
    FILE *stream = fopencookie(file, "w", cookie_io_functions_t{nullptr, writeOutput, nullptr, closeOutput});
    if (stream == nullptr) {
        close(file->descriptor);
        zepFree(file);
        return fopen(path, "w");
    }
    if (openFiles++ == 0)
        startWriter();
    file->queued = writerRunning && queueUsers < QUEUE_USERS;
    if (file->queued)
        queueUsers++;
    return stream;
}
