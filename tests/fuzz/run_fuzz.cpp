// A whole run of the translator in this process, one per input, as the
// program runs it after start-up: the input becomes the script in a scratch
// directory and every stage runs as far as the script lets it. The output
// files go to memory: writing, reading and removing them on the disk cost
// far more than the run.
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

void writeScripts(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
#if ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_OTC
    scratch->write("a.otc", bytes, size);
#elif ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_INCLUDE
    const char *split = static_cast<const char *>(memchr(bytes, '\0', size));
    size_t first = split != nullptr ? static_cast<size_t>(split - bytes) : size;
    scratch->write("a.otd", bytes, first);
    if (split != nullptr)
        scratch->write("b.otd", split + 1, size - first - 1);
#else
    scratch->write("a.otd", bytes, size);
#endif
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    startToolkitFuzzing(*argv);
    return 0;
}

namespace {

// The output files of one run, each a stream into memory while it is open;
// their texts are there once the run has closed them.
struct MemoryFile {
    char *bytes = nullptr;
    size_t length = 0;
};

struct Outputs {
    std::map<std::string, MemoryFile> files;

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

// One run on the input, from an empty scratch directory back to an empty one.
Outcome runOnce(const uint8_t *data, size_t size)
{
    writeScripts(data, size);
#if ZEP_FUZZ_RUN == ZEP_FUZZ_RUN_OTC
    const char *source = "a.otc";
#else
    const char *source = "a.otd";
#endif
    std::vector<const char *> arguments = commandLine(source, size);
    Outputs outputs;
    RunHooks hooks{&outputs, nullptr, nullptr, openInMemory};
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
    scratch->empty();
    return outcome;
}

} // namespace

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
