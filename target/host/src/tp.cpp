// Run-time library of the host target package: every call of a generated
// harness becomes one line of the trace file (../TRACE.md), and the run's
// counts become the summary and the exit status.
#include "lib/TP.h"
#include "src/run.h"

#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#ifdef __unix__
#include "src/faults.h"
#endif

namespace {

enum class Kind { Class, Suite, Case, Proc };

const char *const kindWords[] = {"CLASS", "SUITE", "CASE", "PROC"};

struct OpenComponent {
    Kind kind;
    _zep_Id id;
    bool failed;
    std::string name;
};

struct Run {
    FILE *trace = nullptr;
    std::string tracePath;
    bool traceOpened = false;
    bool started = false;
    bool ended = false;
    bool writeFailed = false;
    _zep_Int sourceFiles = 0;
    std::vector<std::pair<_zep_Ulong, _zep_Ulong>> checksums;  // of each FILE, in index order
    unsigned long cases = 0, casesFailed = 0, checks = 0, checksFailed = 0, unexpected = 0;
    std::vector<OpenComponent> open;
    std::vector<std::string> failedCases;
    std::string blockName;  // set just before a TEST CASE is entered
};

// Never destroyed: instrumented code may still run in the destructors of
// the application's static objects after main has returned.
Run &run()
{
    static Run *state = new Run;
    return *state;
}

// One trace line. Each line is flushed: a harness that crashes still leaves
// the events up to the crash, which is what the tester needs to see.
void traceLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
void traceLine(const char *format, ...)
{
    Run &r = run();
    if (!r.trace)
        return;
    va_list arguments;
    va_start(arguments, format);
    int written = std::vfprintf(r.trace, format, arguments);
    va_end(arguments);
    if (written < 0 || std::fputc('\n', r.trace) == EOF || std::fflush(r.trace) == EOF) {
        if (!r.writeFailed)
            std::fprintf(stderr, "zeptp: cannot write the trace file `%s': %s\n", r.tracePath.c_str(),
                         std::strerror(errno));
        r.writeFailed = true;
    }
}

std::string quoted(const char *text)
{
    std::string out = "\"";
    for (const char *c = text ? text : ""; *c; c++) {
        switch (*c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += *c;
        }
    }
    return out + "\"";
}

unsigned long fileIndex(_zep_Int file)
{
    return static_cast<unsigned long>(static_cast<unsigned int>(file));
}

std::string hexName(_zep_Id id)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "0x%lx", id);
    return digits;
}

void enter(Kind kind, _zep_Id id, _zep_Int file, _zep_Id runner, _zep_Int runnerFile)
{
    Run &r = run();
    traceLine("ENTER %s %lx %lx %lx %lx", kindWords[static_cast<int>(kind)], id, fileIndex(file), runner,
              fileIndex(runnerFile));
    OpenComponent component{kind, id, false, std::string()};
    if (kind == Kind::Case) {
        r.cases++;
        component.name = r.blockName.empty() ? hexName(id) : r.blockName;
        r.blockName.clear();
    }
    r.open.push_back(component);
}

void judgeCase(const OpenComponent &testCase)
{
    Run &r = run();
    if (!testCase.failed)
        return;
    r.casesFailed++;
    r.failedCases.push_back(testCase.name);
}

// The innermost open component of that kind ends, with whatever was opened
// inside it and not closed (the nesting of a generated harness is proper,
// so normally that is nothing).
void leave(Kind kind)
{
    Run &r = run();
    traceLine("LEAVE %s", kindWords[static_cast<int>(kind)]);
    for (size_t at = r.open.size(); at-- > 0;) {
        if (r.open[at].kind != kind)
            continue;
        if (kind == Kind::Case)
            judgeCase(r.open[at]);
        r.open.resize(at);
        return;
    }
}

OpenComponent *innermostCase()
{
    Run &r = run();
    for (size_t at = r.open.size(); at-- > 0;)
        if (r.open[at].kind == Kind::Case)
            return &r.open[at];
    return nullptr;
}

void verdict(const char *kind, bool passed, _zep_Id id, _zep_Int file)
{
    Run &r = run();
    traceLine("CHECK %s %s %lx %lx", kind, passed ? "PASS" : "FAIL", id, fileIndex(file));
    r.checks++;
    if (passed)
        return;
    r.checksFailed++;
    if (OpenComponent *testCase = innermostCase())
        testCase->failed = true;
}

bool runFailed()
{
    const Run &r = run();
    return r.casesFailed || r.checksFailed || r.unexpected;
}

void printSummary()
{
    Run &r = run();
    if (r.traceOpened)
        std::fprintf(stderr, "zeptp: test run summary (trace %s)\n", r.tracePath.c_str());
    else
        std::fprintf(stderr, "zeptp: test run summary (no trace written)\n");
    std::fprintf(stderr, "   test cases: %lu run, %lu passed, %lu failed\n", r.cases, r.cases - r.casesFailed,
                 r.casesFailed);
    std::fprintf(stderr, "   checks:     %lu run, %lu passed, %lu failed\n", r.checks, r.checks - r.checksFailed,
                 r.checksFailed);
    if (r.unexpected)
        std::fprintf(stderr, "   unexpected exceptions: %lu\n", r.unexpected);
    if (!r.failedCases.empty()) {
        // One screen: a long list of failures belongs to zepreport.
        const size_t shown = 8;
        std::string names;
        for (size_t at = 0; at < r.failedCases.size() && at < shown; at++)
            names += (at ? ", " : "") + r.failedCases[at];
        if (r.failedCases.size() > shown)
            names += " and " + std::to_string(r.failedCases.size() - shown) + " more";
        std::fprintf(stderr, "   failed test cases: %s\n", names.c_str());
    }
    std::fprintf(stderr, "zeptp: %s\n", runFailed() ? "FAILED" : "PASSED");
}

void printText(const char *expression, const char *value)
{
    traceLine("VALUE %s %s", quoted(expression).c_str(), quoted(value).c_str());
}

#ifdef __unix__
std::string readableType(const char *mangled)
{
    int status = 0;
    char *readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && readable ? readable : mangled;
    std::free(readable);
    return name;
}
#else
// A board keeps its flash for the tests rather than for the C++ library's
// demangler (30 KB): the usual exception types are read here as the host
// writes them (a builtin type, a class in namespaces, pointers and const),
// any other stays mangled.
struct Builtin {
    char code;
    const char *name;
};

const Builtin builtins[] = {{'v', "void"}, {'b', "bool"}, {'c', "char"}, {'a', "signed char"},
                            {'h', "unsigned char"}, {'s', "short"}, {'t', "unsigned short"}, {'i', "int"},
                            {'j', "unsigned int"}, {'l', "long"}, {'m', "unsigned long"}, {'x', "long long"},
                            {'y', "unsigned long long"}, {'f', "float"}, {'d', "double"}};

// One name of a nested name: "St" or a length and that many characters.
bool readSourceName(const char *&at, std::string &out)
{
    if (at[0] == 'S' && at[1] == 't') {
        at += 2;
        out += "std";
        return true;
    }
    char *end = nullptr;
    size_t length = std::strtoul(at, &end, 10);
    if (end == at || std::strlen(end) < length)
        return false;
    out.append(end, length);
    at = end + length;
    return true;
}

bool readMangled(const char *&at, std::string &out)
{
    if (*at == 'P' || *at == 'K') {
        const char *suffix = *at++ == 'P' ? "*" : " const";
        if (!readMangled(at, out))
            return false;
        out += suffix;
        return true;
    }
    for (const Builtin &builtin : builtins) {
        if (*at == builtin.code) {
            at++;
            out += builtin.name;
            return true;
        }
    }
    bool nested = *at == 'N';
    bool standard = !nested && at[0] == 'S' && at[1] == 't';
    at += nested;
    if (!readSourceName(at, out))
        return false;
    if (standard) {
        out += "::";
        return readSourceName(at, out);
    }
    while (nested && *at != 'E')
        if (!readSourceName(at, out.append("::")))
            return false;
    at += nested;
    return true;
}

std::string readableType(const char *mangled)
{
    const char *at = mangled;
    std::string name;
    return readMangled(at, name) && *at == '\0' ? name : mangled;
}
#endif

// The type of the exception being handled, as the tester wrote it.
std::string thrownType()
{
    const std::type_info *type = abi::__cxa_current_exception_type();
    return type ? readableType(type->name()) : "(unknown type)";
}

// What the exception being handled says of itself, if it is a std::exception.
std::string thrownWhat()
{
    try {
        throw;
    } catch (const std::exception &error) {
        return error.what();
    } catch (...) {
        return std::string();
    }
}

// THROWN follows UNEXPECTED when it is called from a handler, which is
// where a generated harness calls it.
void traceThrown()
{
    if (!std::current_exception())
        return;
    traceLine("THROWN %s %s", quoted(thrownType().c_str()).c_str(), quoted(thrownWhat().c_str()).c_str());
}

} // namespace

namespace zeptp {

void traceEvent(const char *format, ...)
{
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    traceLine("%s", line);
}

std::string quotedText(const char *text) { return quoted(text); }

void contractFailed()
{
    Run &r = run();
    r.checks++;
    r.checksFailed++;
    if (OpenComponent *testCase = innermostCase())
        testCase->failed = true;
}

int fileWithChecksums(unsigned long checksumA, unsigned long checksumB)
{
    const Run &r = run();
    for (size_t at = 0; at < r.checksums.size(); at++)
        if (r.checksums[at].first == checksumA && r.checksums[at].second == checksumB)
            return static_cast<int>(at);
    return -1;
}

} // namespace zeptp

extern "C" {

void _zep_init(const _zep_Car *traceFile, _zep_Id elementBase, _zep_Id messageBase, _zep_Id textBase) noexcept
{
    Run &r = run();
    if (r.started)
        return;
    r.started = true;
    r.tracePath = traceFile ? traceFile : "";
    r.trace = std::fopen(r.tracePath.c_str(), "w");
    if (!r.trace) {
        std::fprintf(stderr, "zeptp: cannot create the trace file `%s': %s\n", r.tracePath.c_str(),
                     std::strerror(errno));
        return;
    }
    r.traceOpened = true;
#ifdef __unix__
    zeptpWatchFaults(fileno(r.trace));
#endif
    traceLine("ZEPTRACE 1");
    traceLine("INIT %lx %lx %lx", elementBase, messageBase, textBase);
}

_zep_Int _zep_add_source_file(_zep_Ulong checksumA, _zep_Ulong checksumB) noexcept
{
    Run &r = run();
    traceLine("FILE %lx %lx %lx", fileIndex(r.sourceFiles), checksumA, checksumB);
    r.checksums.emplace_back(checksumA, checksumB);
    return r.sourceFiles++;
}

void _zep_term(void) noexcept
{
    Run &r = run();
    if (r.ended)
        return;
    r.ended = true;
    // A test case left open (the harness ran into _zep_term from inside
    // one) is judged by what it did so far.
    for (const OpenComponent &open : r.open)
        if (open.kind == Kind::Case)
            judgeCase(open);
    r.open.clear();
    zeptp::writeTallies();
    traceLine("END %lu %lu %lu %lu", r.cases, r.casesFailed, r.checks, r.checksFailed);
#ifdef __unix__
    zeptpWatchFaults(-1);
#endif
    if (r.trace && std::fclose(r.trace) == EOF && !r.writeFailed)
        std::fprintf(stderr, "zeptp: cannot write the trace file `%s': %s\n", r.tracePath.c_str(),
                     std::strerror(errno));
    r.trace = nullptr;
    printSummary();
}

_zep_Int _zep_exit_status(void) noexcept
{
    _zep_term();
    return runFailed() ? 1 : 0;
}

void _zep_enter_test_class(_zep_Id id, _zep_Int file, _zep_Id runner, _zep_Int runnerFile) noexcept
{
    enter(Kind::Class, id, file, runner, runnerFile);
}

void _zep_exit_test_class(_zep_Int, _zep_Int) noexcept { leave(Kind::Class); }

void _zep_enter_test_suite(_zep_Id id, _zep_Int file, _zep_Id runner, _zep_Int runnerFile) noexcept
{
    enter(Kind::Suite, id, file, runner, runnerFile);
}

void _zep_exit_test_suite(_zep_Int, _zep_Int) noexcept { leave(Kind::Suite); }

void _zep_enter_test_case(_zep_Id id, _zep_Int file, _zep_Id runner, _zep_Int runnerFile) noexcept
{
    enter(Kind::Case, id, file, runner, runnerFile);
}

void _zep_exit_test_case(_zep_Int, _zep_Int) noexcept { leave(Kind::Case); }

void _zep_enter_proc(_zep_Id id, _zep_Int file, _zep_Id caller, _zep_Int callerFile) noexcept
{
    enter(Kind::Proc, id, file, caller, callerFile);
}

void _zep_exit_proc(_zep_Int) noexcept { leave(Kind::Proc); }

void _zep_check(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept { verdict("EXPRESSION", passed, id, file); }

void _zep_check_property(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept { verdict("PROPERTY", passed, id, file); }

void _zep_check_prepos(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept { verdict("CONDITION", passed, id, file); }

void _zep_check_exception(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept
{
    verdict("EXCEPTION", passed, id, file);
}

void _zep_check_method(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept { verdict("METHOD", passed, id, file); }

void _zep_check_stub(_zep_Verdict passed, _zep_Id id, _zep_Int file) noexcept { verdict("STUB", passed, id, file); }

void _zep_enter_error(_zep_Id onError, _zep_Int file) noexcept { traceLine("ERROR %lx %lx", onError, fileIndex(file)); }

void _zep_exit_error(_zep_Id component) noexcept { traceLine("RECOVER %lx", component); }

void _zep_unexpected_exception(_zep_Id component, _zep_Int file) noexcept
{
    Run &r = run();
    traceLine("UNEXPECTED %lx %lx", component, fileIndex(file));
    r.unexpected++;
    // Whichever handler caught it, the test case it escaped from failed.
    if (OpenComponent *testCase = innermostCase())
        testCase->failed = true;
    traceThrown();
}

void _zep_print_start(_zep_Id id, _zep_Int file) noexcept { traceLine("PRINT %lx %lx", id, fileIndex(file)); }

void _zep_print_value(const _zep_Car *expression, const _zep_Car *value) noexcept { printText(expression, value); }

void _zep_print_end(void) noexcept { traceLine("PRINTED"); }

void _zep_comment(_zep_Id id, _zep_Int file) noexcept { traceLine("COMMENT %lx %lx", id, fileIndex(file)); }

void _zep_enter_stub(_zep_Id id, _zep_Int file, _zep_Id, _zep_Int) noexcept { traceLine("STUB %lx %lx", id, fileIndex(file)); }

void _zep_exit_stub(_zep_Int file) noexcept { traceLine("RETURN %lx", fileIndex(file)); }

void _zep_obstools_dump(void) noexcept
{
    // Lines are flushed as they are written; nothing else is observed here.
}

void _zep_set_block_name(const _zep_Car *name) noexcept { run().blockName = name ? name : ""; }

// Called from a fault handler: nothing is freed or closed, as the state of
// the heap is unknown; each trace line is on the host's disk already.
void _zep_end_by_fault(const _zep_Car *kind) noexcept
{
    Run &r = run();
    if (r.ended)
        return;
    r.ended = true;
    traceLine("FAULT %s", kind);
    r.trace = nullptr;
    std::fprintf(stderr, "zeptp: the run was ended by a fault (%s)\n", kind);
}

void _zep_print_signed(const _zep_Car *expression, long long value) noexcept
{
    printText(expression, std::to_string(value).c_str());
}

void _zep_print_unsigned(const _zep_Car *expression, unsigned long long value) noexcept
{
    printText(expression, std::to_string(value).c_str());
}

// The shortest text that reads back as the same value, so that 0.1 prints
// as 0.1 and not as 0.10000000000000001; a float keeps its own precision.
void _zep_print_floating(const _zep_Car *expression, double value) noexcept
{
    char digits[64];
    std::to_chars_result result = std::to_chars(digits, digits + sizeof digits - 1, value);
    *result.ptr = '\0';
    printText(expression, digits);
}

void _zep_print_float(const _zep_Car *expression, float value) noexcept
{
    char digits[64];
    std::to_chars_result result = std::to_chars(digits, digits + sizeof digits - 1, value);
    *result.ptr = '\0';
    printText(expression, digits);
}

void _zep_print_character(const _zep_Car *expression, int value) noexcept
{
    char text[2] = {static_cast<char>(value), '\0'};
    printText(expression, text);
}

void _zep_print_pointer(const _zep_Car *expression, const void *value) noexcept
{
    char text[32];
    if (value)
        std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(value)));
    else
        std::snprintf(text, sizeof text, "(null)");
    printText(expression, text);
}

} // extern "C"

void _zep_print_streamed(const _zep_Car *expression, void (*write)(std::ostream &, const void *), const void *value)
{
    std::ostringstream text;
    write(text, value);
    printText(expression, text.str().c_str());
}
