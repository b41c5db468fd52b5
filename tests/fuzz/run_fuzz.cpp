// A whole run of the translator in this process, one per input, as the
// program runs it after start-up: the input becomes the script and every
// stage runs as far as the script lets it. Nothing reaches the disk: the
// scripts are read from memory through the run's findDocument hook (as
// zepls hands an editor's text), the output files go to memory through its
// openOutput hook. Writing, reading and removing files cost far more than
// the run. The run still starts in a scratch directory of its own, so that
// a path the input names finds nothing else.
//
// ZEP_FUZZ_RUN chooses what the input is:
//   ZEP_FUZZ_RUN_OTD      a.otd
//   ZEP_FUZZ_RUN_OTC      a.otc
//   ZEP_FUZZ_RUN_INCLUDE  a.otd up to the first NUL byte, b.otd after it, so
//                         that an include of "b.otd" reads a second file
#include "driver/run.h"
#include "form/form.h"
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#define ZEP_FUZZ_RUN_OTD 1
#define ZEP_FUZZ_RUN_OTC 2
#define ZEP_FUZZ_RUN_INCLUDE 3

#ifndef ZEP_FUZZ_RUN
#error "ZEP_FUZZ_RUN must be set"
#endif

namespace {

// The switches that change only the generated text would otherwise never be
// reached; taking them from the input's length keeps a saved input
// reproducible on its own.
std::vector<const char *> commandLine(const char *source, size_t size)
{
    std::vector<const char *> arguments = {"zepprepro", "-G", "C++", "-O", "out.cc", "-OTI", "out.oti",
                                           "-TDF", "run.tdf"};
    if (size & 1)
        arguments.push_back("-NODLINE");
    if (size & 2)
        arguments.push_back("-NOPATH");
    arguments.push_back(source);
    arguments.push_back(nullptr);
    return arguments;
}

// The scripts of one run, as the files of the scratch directory would hold
// them (dated at the epoch as the files written for a run once were).
struct Script {
    const char *name;
    const char *bytes;
    size_t length;
};

struct Scripts {
    Script files[2];
    int count = 0;
};

Scripts scriptsOf(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
#if ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_OTC
    return Scripts{{{"a.otc", bytes, size}}, 1};
#elif ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_INCLUDE
    const char *split = static_cast<const char *>(memchr(bytes, '\0', size));
    if (split == nullptr)
        return Scripts{{{"a.otd", bytes, size}}, 1};
    size_t first = static_cast<size_t>(split - bytes);
    return Scripts{{{"a.otd", bytes, first}, {"b.otd", split + 1, size - first - 1}}, 2};
#else
    return Scripts{{{"a.otd", bytes, size}}, 1};
#endif
}

// The output files of one run, each a stream into memory while it is open;
// their texts are there once the run has closed them.
struct MemoryFile {
    char *bytes = nullptr;
    size_t length = 0;
};

struct Outputs {
    std::map<std::string, MemoryFile> files;
    Scripts scripts;

    std::string read(const char *name) const
    {
        auto found = files.find(name);
        return found == files.end() ? "(absent)" : std::string(found->second.bytes, found->second.length);
    }

    bool exists(const std::string &name) const { return files.count(name) != 0; }

    void clear()
    {
        for (auto &file : files)
            free(file.second.bytes);
        files.clear();
    }
};

// The scratch directory without the links that TMPDIR may hold, as the
// run's working directory spells it.
std::string scratchDirectory;

// A script of the input at path when its directory is the scratch directory
// (however the path spells it); otherwise the disk answers, and finds nothing.
bool findScript(void *owner, const char *path, const char **bytes, size_t *length)
{
    const char *slash = strrchr(path, '/');
    char *directory = slash != nullptr ? realpath(std::string(path, slash).c_str(), nullptr) : nullptr;
    bool inScratch = directory != nullptr && directory == scratchDirectory;
    free(directory);
    const Scripts &scripts = static_cast<Outputs *>(owner)->scripts;
    for (int i = 0; inScratch && i < scripts.count; i++) {
        if (strcmp(slash + 1, scripts.files[i].name) == 0) {
            *bytes = scripts.files[i].bytes;
            *length = scripts.files[i].length;
            return true;
        }
    }
    return false;
}

FILE *openInMemory(void *owner, const char *path)
{
    auto *outputs = static_cast<Outputs *>(owner);
    MemoryFile &file = outputs->files[path];
    free(file.bytes);
    file = MemoryFile{};
    return open_memstream(&file.bytes, &file.length);
}

struct Outcome {
    int status;
    std::string code;
    std::string instrumentation;
};

// One run on the input.
Outcome runOnce(const uint8_t *data, size_t size)
{
#if ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_OTC
    const char *source = "a.otc";
#else
    const char *source = "a.otd";
#endif
    std::vector<const char *> arguments = commandLine(source, size);
    Outputs outputs;
    outputs.scripts = scriptsOf(data, size);
    RunHooks hooks{&outputs, nullptr, findScript, openInMemory};
    int status =
        runTranslator(static_cast<int>(arguments.size() - 1), const_cast<char **>(arguments.data()), &hooks);
    if (status != 0 && status != 255)
        fuzzFailure("exit status %d", status);
    checkNoStandardOutput();
    // A clean run has written the harness, the instrumentation file and the
    // record files of the script named.
    std::string records = std::string(source) + "01";
    if (status == 0 && (!outputs.exists("out.cc") || !outputs.exists("out.oti") || !outputs.exists(records + ".tsf") ||
                        !outputs.exists(records + ".ots")))
        fuzzFailure("a clean run without all its output files");
    Outcome outcome{status, outputs.read("out.cc"), outputs.read("out.oti")};
    outputs.clear();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startToolkitFuzzing(*argv);
    // Found here: a block that the first input alone makes and keeps would
    // have libFuzzer run that input again in search of a leak.
    char *real = realpath(scratch->path.c_str(), nullptr);
    if (real == nullptr)
        fuzzFailure("cannot resolve %s", scratch->path.c_str());
    scratchDirectory = real;
    free(real);
    // Messages that libFuzzer sends to /dev/null (-close_fd_mask=2 or 3)
    // gather in a buffer instead of costing a write each; shown, each is
    // written when made.
    static char messages[1 << 16];
    for (int i = 1; i < *argc; i++) {
        if (strncmp((*argv)[i], "-close_fd_mask=", 15) == 0 && (atoi((*argv)[i] + 15) & 2) != 0)
            setvbuf(stderr, messages, _IOFBF, sizeof messages);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    scratch->enter();
    Outcome first = runOnce(data, size);
    // Whatever one run leaves behind in the translator's own state shows as
    // a difference in the next run on the same input. Only clean runs get
    // the second one: they are the ones that reach generation.
    if (first.status == 0) {
        Outcome second = runOnce(data, size);
        if (second.status != first.status)
            fuzzFailure("the same input gave status %d, then %d", first.status, second.status);
        if (second.code != first.code)
            fuzzFailure("the same input gave two different harnesses");
        if (second.instrumentation != first.instrumentation)
            fuzzFailure("the same input gave two different instrumentation files");
    }
    scratch->leave();
    return 0;
}
