// Shared by the fuzz targets: a failure report that survives libFuzzer
// silencing standard error, the check that nothing reaches standard output,
// and the scratch directory that whole runs work in.
#pragma once

#include <QCoreApplication>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace fuzz {

// Standard error as it was at start-up: -close_fd_mask=2 sends the
// translator's messages to /dev/null, but a property that fails must still
// be read.
inline int reportFd = 2;
// Where standard output really goes while the targets run.
inline int outputFd = -1;

} // namespace fuzz

[[noreturn]] inline void fuzzFailure(const char *format, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] inline void fuzzFailure(const char *format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    dprintf(fuzz::reportFd, "fuzz property failed: %s\n", text);
    abort();
}

// Called once from LLVMFuzzerInitialize, which runs before libFuzzer touches
// the standard streams.
inline void startFuzzing()
{
    fuzz::reportFd = dup(2);
    if (fuzz::reportFd < 0)
        fuzz::reportFd = 2;
    // Standard output becomes an unnamed file whose size tells whether the
    // translator wrote to it.
    char name[] = "/tmp/zepfuzz-stdoutXXXXXX";
    int file = mkstemp(name);
    if (file < 0 || dup2(file, 1) < 0)
        fuzzFailure("cannot capture standard output");
    unlink(name);
    close(file);
    fuzz::outputFd = 1;
}

inline void checkNoStandardOutput()
{
    fflush(stdout);
    struct stat status {};
    if (fstat(fuzz::outputFd, &status) != 0 || status.st_size != 0)
        fuzzFailure("the translator wrote to standard output");
}

// The directory whole runs start in: made once, emptied after every run and
// removed at exit, so that one input's outputs never reach the next run.
class FuzzScratch {
public:
    FuzzScratch()
    {
        if (getcwd(saved, sizeof saved) == nullptr)
            fuzzFailure("no working directory");
        const char *temporary = getenv("TMPDIR");
        path = std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") + "/zepfuzzXXXXXX";
        if (mkdtemp(path.data()) == nullptr)
            fuzzFailure("cannot make a scratch directory under %s", path.c_str());
    }

    ~FuzzScratch()
    {
        empty();
        rmdir(path.c_str());
    }

    // Relative paths of libFuzzer (corpus, artifacts) stay valid: the run
    // changes directory only for the time of one input.
    void enter() const
    {
        if (chdir(path.c_str()) != 0)
            fuzzFailure("cannot enter %s", path.c_str());
    }

    void leave() const
    {
        if (chdir(saved) != 0)
            fuzzFailure("cannot go back to %s", saved);
    }

    // Writes a file in the scratch directory (which must be the current one).
    void write(const char *name, const char *bytes, size_t length) const
    {
        int file = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (file < 0)
            fuzzFailure("cannot write %s", name);
        for (size_t done = 0; done < length;) {
            ssize_t written = ::write(file, bytes + done, length - done);
            if (written <= 0)
                fuzzFailure("cannot write %s", name);
            done += static_cast<size_t>(written);
        }
        // The record files carry the modification time into the checksum
        // that the generated code repeats: every input dated at the epoch
        // makes two runs on it write the same files.
        const timeval accessAndModification[2] = {};
        futimes(file, accessAndModification);
        close(file);
    }

    void empty() const
    {
        DIR *directory = opendir(path.c_str());
        if (directory == nullptr)
            return;
        while (dirent *entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                unlink((path + "/" + name).c_str());
        }
        closedir(directory);
    }

    std::string path;

private:
    char saved[4096] = {};
};

// The scratch directory of the targets that run the program's code; it is
// removed at exit.
inline FuzzScratch *scratch;

// Start-up of such a target, from LLVMFuzzerInitialize: the code runs inside
// a toolkit application, as the programs do.
inline void startToolkitFuzzing(char **argv)
{
    startFuzzing();
    static int toolkitArgc = 1;
    static QCoreApplication application(toolkitArgc, argv);
    scratch = new FuzzScratch;
    atexit([] {
        delete scratch;
        scratch = nullptr;
    });
}
