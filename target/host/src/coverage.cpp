// Coverage of the code under test, per test case. Only harnesses built for
// coverage use this object: they are linked with --wrap of the calls below,
// so that the harness's calls come here first; a harness built without
// coverage never refers to it and links the library as before.
//
// The sources are compiled with -fprofile-info-section=zep_gcov_info, which
// puts a pointer to each object's counters into that section instead of
// registering them with libgcov. At each test case's start and end, and at
// the end of the run, every object's counters are written as the bytes of
// its .gcda file (by libgcov's __gcov_info_to_gcda) into the coverage file
// beside the trace; zepreport subtracts consecutive snapshots to know what
// each test case reached. The counters are never reset, so a crash loses
// only the test case in progress. The format is in ../COVERAGE.md.
#include "lib/TP.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <gcov.h>

// Filled by the linker from the objects built for coverage.
extern const gcov_info *const __start_zep_gcov_info[] __attribute__((weak));
extern const gcov_info *const __stop_zep_gcov_info[] __attribute__((weak));

void __real__zep_init(const _zep_Car *, _zep_Id, _zep_Id, _zep_Id) noexcept;
_zep_Int __real__zep_add_source_file(_zep_Ulong, _zep_Ulong) noexcept;
void __real__zep_term(void) noexcept;
_zep_Int __real__zep_exit_status(void) noexcept;
void __real__zep_enter_test_case(_zep_Id, _zep_Int, _zep_Id, _zep_Int) noexcept;
void __real__zep_exit_test_case(_zep_Int, _zep_Int) noexcept;
}

namespace {

struct Coverage {
    FILE *out = nullptr;
    unsigned long cases = 0;  // test cases entered so far
    bool ended = false;
    std::string name;   // of the object being written
    std::string bytes;  // its .gcda file
};

// Never destroyed, like the run's state: the snapshot at the end may come
// after static destruction has begun.
Coverage &coverage()
{
    static Coverage *state = new Coverage;
    return *state;
}

void takeName(const char *name, void *)
{
    coverage().name = name;
}

void takeBytes(const void *data, unsigned length, void *)
{
    coverage().bytes.append(static_cast<const char *>(data), length);
}

// Only value-profiling counters, which coverage builds do not make, need
// this; what they get lives as long as the run.
void *allocate(unsigned length, void *)
{
    return std::malloc(length);
}

// One snapshot of every object's counters, closed by DONE so that a reader
// can tell it from one cut off by a crash.
void snapshot(char point)
{
    Coverage &c = coverage();
    if (!c.out)
        return;
    std::fprintf(c.out, "SNAP %c %lu\n", point, c.cases);
    for (const gcov_info *const *info = __start_zep_gcov_info; info < __stop_zep_gcov_info; info++) {
        c.bytes.clear();
        c.name.clear();
        __gcov_info_to_gcda(*info, takeName, takeBytes, allocate, nullptr);
        std::fprintf(c.out, "GCDA %lu %s\n", static_cast<unsigned long>(c.bytes.size()), c.name.c_str());
        std::fwrite(c.bytes.data(), 1, c.bytes.size(), c.out);
        std::fputc('\n', c.out);
    }
    std::fputs("DONE\n", c.out);
    std::fflush(c.out);
}

void endCoverage()
{
    Coverage &c = coverage();
    if (c.ended)
        return;
    c.ended = true;
    snapshot('E');
    if (c.out)
        std::fclose(c.out);
    c.out = nullptr;
}

} // namespace

extern "C" {

void __wrap__zep_init(const _zep_Car *traceFile, _zep_Id elementBase, _zep_Id messageBase, _zep_Id textBase) noexcept
{
    __real__zep_init(traceFile, elementBase, messageBase, textBase);
    Coverage &c = coverage();
    if (c.out || c.ended)
        return;
    std::string path = std::string(traceFile ? traceFile : "") + ".cov";
    c.out = std::fopen(path.c_str(), "wb");
    if (!c.out) {
        std::fprintf(stderr, "zeptp: cannot create the coverage file `%s'\n", path.c_str());
        return;
    }
    std::fputs("ZEPCOV 1\n", c.out);
}

_zep_Int __wrap__zep_add_source_file(_zep_Ulong checksumA, _zep_Ulong checksumB) noexcept
{
    _zep_Int index = __real__zep_add_source_file(checksumA, checksumB);
    if (FILE *out = coverage().out)
        std::fprintf(out, "FILE %x %lx %lx\n", static_cast<unsigned>(index), checksumA, checksumB);
    return index;
}

void __wrap__zep_enter_test_case(_zep_Id id, _zep_Int file, _zep_Id runner, _zep_Int runnerFile) noexcept
{
    Coverage &c = coverage();
    c.cases++;
    snapshot('B');
    __real__zep_enter_test_case(id, file, runner, runnerFile);
}

void __wrap__zep_exit_test_case(_zep_Int file, _zep_Int runnerFile) noexcept
{
    __real__zep_exit_test_case(file, runnerFile);
    snapshot('A');
}

void __wrap__zep_term(void) noexcept
{
    endCoverage();
    __real__zep_term();
}

_zep_Int __wrap__zep_exit_status(void) noexcept
{
    endCoverage();
    return __real__zep_exit_status();
}

} // extern "C"
