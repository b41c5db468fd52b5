// Allocation-failure sweep: the whole translation is run once per allocation
// it makes, with that allocation failing. Every such run must end cleanly
// (no crash, no leak, no undefined behaviour under the sanitizers) with a
// counted out-of-memory message and status 255, or, when the failed block
// only cost speed, with exactly the output of an undisturbed run.
#include "driver/run.h"
#include "base/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define ZEP_LEAK_CHECK 1
#endif

namespace fs = std::filesystem;

namespace {

// What one run left behind: its status, its standard error and every file
// it made, with the date line of the record files taken out.
struct Outcome {
    int status = 0;
    std::string errors;
    std::map<std::string, std::string> files;
};

std::string readWhole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The record files carry the time of the run on their "DP " line.
std::string withoutDate(const std::string &text)
{
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("DP ", 0) != 0)
            kept += line + "\n";
    }
    return kept;
}

bool isRecordFile(const std::string &name)
{
    return name.size() > 4 && (name.compare(name.size() - 4, 4, ".tsf") == 0 || name.compare(name.size() - 4, 4, ".ots") == 0);
}

// A scratch working directory holding copies of one folder of scripts; the
// translation runs in it, in this process.
class Workbench {
public:
    explicit Workbench(const fs::path &scripts)
    {
        char pattern[] = "/tmp/zepsweepXXXXXX";
        if (mkdtemp(pattern) == nullptr)
            abort();
        root_ = pattern;
        saved_ = fs::current_path();
        for (const auto &entry : fs::recursive_directory_iterator(scripts)) {
            fs::path relative = fs::relative(entry.path(), scripts);
            if (entry.is_directory()) {
                fs::create_directories(root_ / relative);
            } else {
                fs::copy_file(entry.path(), root_ / relative);
                inputs_.insert(relative.string());
            }
        }
        fs::current_path(root_);
    }

    ~Workbench()
    {
        fs::current_path(saved_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void add(const std::string &name, const std::string &text)
    {
        std::ofstream(root_ / name, std::ios::binary) << text;
        inputs_.insert(name);
    }

    // Runs the translator with the given arguments; outputs of an earlier
    // run are removed first (the workbench log is appended to otherwise).
    Outcome run(const std::vector<std::string> &arguments)
    {
        removeOutputs();
        std::vector<char *> argv;
        std::string program = "zepprepro";
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string &argument : copies)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        Outcome outcome;
        fflush(stderr);
        FILE *capture = tmpfile();
        int saved = dup(fileno(stderr));
        dup2(fileno(capture), fileno(stderr));
        outcome.status = runTranslator(static_cast<int>(argv.size() - 1), argv.data());
        fflush(stderr);
        dup2(saved, fileno(stderr));
        close(saved);
        rewind(capture);
        for (int c; (c = fgetc(capture)) != EOF;)
            outcome.errors.push_back(static_cast<char>(c));
        fclose(capture);

        for (const auto &entry : fs::recursive_directory_iterator(root_)) {
            std::string relative = fs::relative(entry.path(), root_).string();
            if (entry.is_regular_file() && inputs_.count(relative) == 0)
                outcome.files[relative] = isRecordFile(relative) ? withoutDate(readWhole(entry.path()))
                                                                 : readWhole(entry.path());
        }
        return outcome;
    }

private:
    void removeOutputs()
    {
        std::vector<fs::path> made;
        for (const auto &entry : fs::recursive_directory_iterator(root_)) {
            if (entry.is_regular_file() && inputs_.count(fs::relative(entry.path(), root_).string()) == 0)
                made.push_back(entry.path());
        }
        for (const fs::path &path : made)
            fs::remove(path);
    }

    fs::path root_;
    fs::path saved_;
    std::set<std::string> inputs_;
};

// The messages a stage gives when memory runs out, with their class words:
// each text is a fixed head, an argument, and a fixed tail.
struct MemoryMessage {
    const char *classWord;
    const char *head;
    const char *tail;
};

const MemoryMessage memoryMessages[] = {
    {"lexical error:", "Not enough memory to allocate another token.", ""},
    {"lexical error:", "Not enough memory to reallocate the token `", "'."},
    {"lexical error:", "Not enough memory to create the token `", "'."},
    {"lexical error:", "Not enough memory to create the hash token `", "'."},
    {"lexical error:", "Not enough memory to reallocate the buffer `", "'."},
    {"syntax error:", "Not enough memory to allocate another token.", ""},
    {"syntax error:", "Cannot create list of parameters `(", ")'."},
    {"error:", "Cannot initialize internal form.", ""},
    {"error:", "Error while building ", "' node."},
    {"error:", "Not enough memory to allocate filename `", "'."},
    {"error:", "Not enough free memory available.", ""},
};

bool hasShape(const std::string &text, const MemoryMessage &message)
{
    std::string head = message.head, tail = message.tail;
    if (tail.empty())
        return text == head;
    return text.size() >= head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether a message line (after the program prefix) is a memory message:
// the class word, then a location of one of the forms "name: " and
// "name:line: " or none, then the text.
bool isMemoryMessage(const std::string &line)
{
    for (const MemoryMessage &message : memoryMessages) {
        std::string word = std::string(message.classWord) + " ";
        if (line.compare(0, word.size(), word) != 0)
            continue;
        std::string rest = line.substr(word.size());
        if (hasShape(rest, message))
            return true;
        for (size_t colon = rest.find(": "); colon != std::string::npos; colon = rest.find(": ", colon + 1)) {
            if (hasShape(rest.substr(colon + 2), message))
                return true;
        }
    }
    return false;
}

// Empty when the standard error of a failed run is what an exhausted memory
// must give: the first message is one of the memory messages under its own
// class word, and the summary counts every message printed.
std::string judgeFailure(const std::string &errors)
{
    const std::string prefix = "zepprepro - ";
    std::istringstream lines(errors);
    unsigned long printed = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        if (++printed == 1 && !isMemoryMessage(line.substr(prefix.size())))
            return "first message is not an out-of-memory message: " + line;
    }
    if (printed == 0)
        return "no message";
    // Set-up ends without a summary: a Context or root that cannot be made
    // gives "Cannot initialize internal form.", a command line that cannot
    // be stored the usage text.
    bool setUp = errors.find("\nUsage : zepprepro <SourceFiles>\n") != std::string::npos ||
                 errors.find("zepprepro - error: Cannot initialize internal form.\n") != std::string::npos;
    if (setUp)
        return errors.find(" Error(s) detected\n") == std::string::npos ? "" : "a summary after a set-up failure";
    const std::string summary = "V++ Oved Izodazir message : ";
    size_t at = errors.find(summary);
    if (at == std::string::npos || errors.find(" Error(s) detected\n", at) == std::string::npos)
        return "no error summary";
    unsigned long counted = strtoul(errors.c_str() + at + summary.size(), nullptr, 10);
    // The default limit prints 30 messages and then "Too many errors.".
    if (counted <= 30 ? counted != printed : printed != 31)
        return "summary counts " + std::to_string(counted) + " messages, " + std::to_string(printed) + " printed";
    return "";
}

// The allocations to fail: all of them for a small run; for a large one the
// first and last few hundred, where set-up and the end of the run happen,
// and an even spread between.
std::vector<unsigned long> allocationsToFail(unsigned long made, unsigned long budget)
{
    std::vector<unsigned long> chosen;
    if (made <= budget) {
        for (unsigned long n = 1; n <= made; n++)
            chosen.push_back(n);
        return chosen;
    }
    unsigned long edge = budget / 4;
    unsigned long stride = (made - 2 * edge) / (budget - 2 * edge) + 1;
    for (unsigned long n = 1; n <= made; n++) {
        if (n <= edge || n > made - edge || (n - edge) % stride == 0)
            chosen.push_back(n);
    }
    return chosen;
}

// The files of a run that differ from those of the undisturbed run.
std::string differences(const Outcome &clean, const Outcome &outcome)
{
    std::string names;
    for (const auto &[name, text] : clean.files) {
        auto found = outcome.files.find(name);
        if (found == outcome.files.end())
            names += " " + name + " (missing)";
        else if (found->second != text)
            names += " " + name;
    }
    for (const auto &[name, text] : outcome.files) {
        if (clean.files.count(name) == 0)
            names += " " + name + " (extra)";
    }
    return names;
}

// A leak check walks the whole heap, which costs far more than a run; a
// leak stays found until the end, so checking after a batch of runs loses
// nothing but the exact run, which the leak report's stacks give anyway.
const unsigned long LEAK_CHECK_EVERY = 100;

bool leaked()
{
#ifdef ZEP_LEAK_CHECK
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

struct SweepFigures {
    unsigned long allocations = 0;
    unsigned long runs = 0;
    unsigned long failed = 0;
    unsigned long absorbed = 0;
};

// The sweep of one translation. Every fault is reported with the allocation
// that caused it, so that it can be replayed alone.
SweepFigures sweep(Workbench &bench, const std::vector<std::string> &arguments, unsigned long budget)
{
    SweepFigures figures;
    failAllocation(0);
    Outcome clean = bench.run(arguments);
    figures.allocations = failAllocation(0);
    EXPECT_EQ(clean.status, 0) << clean.errors;
    EXPECT_EQ(clean.errors, "");
    if (clean.status != 0)
        return figures;

    std::vector<unsigned long> chosen = allocationsToFail(figures.allocations, budget);
    unsigned long last = chosen.empty() ? 0 : chosen.back();
    for (unsigned long n : chosen) {
        failAllocation(n);
        Outcome outcome = bench.run(arguments);
        failAllocation(0);
        figures.runs++;
        std::string fault;
        if (outcome.status == 0) {
            if (outcome.errors != "")
                fault = "status 0 with messages";
            else if (outcome.files != clean.files)
                fault = "status 0 but the output differs from an undisturbed run: " + differences(clean, outcome);
            else
                figures.absorbed++;
        } else if (outcome.status != 255) {
            fault = "status " + std::to_string(outcome.status);
        } else {
            fault = judgeFailure(outcome.errors);
        }
        if (fault.empty() && (figures.runs % LEAK_CHECK_EVERY == 0 || n == last) && leaked())
            fault = "memory leaked by one of the last " + std::to_string(LEAK_CHECK_EVERY) +
                    " runs (see the leak report above)";
        if (!fault.empty()) {
            figures.failed++;
            ADD_FAILURE() << "allocation " << n << " of " << figures.allocations << ": " << fault << "\n"
                          << outcome.errors;
            if (figures.failed >= 40)
                break;
        }
    }

    // A failed run must not leave state behind that changes the next one.
    Outcome again = bench.run(arguments);
    EXPECT_EQ(again.status, 0) << again.errors;
    EXPECT_TRUE(again.files == clean.files) << "an undisturbed run after the sweep gives other output";
    return figures;
}

void recordFigures(const char *name, const SweepFigures &figures)
{
    testing::Test::RecordProperty("allocations", static_cast<int>(figures.allocations));
    testing::Test::RecordProperty("runs", static_cast<int>(figures.runs));
    printf("[ sweep    ] %s: %lu allocations, %lu runs, %lu failed, %lu absorbed without effect\n", name,
           figures.allocations, figures.runs, figures.failed, figures.absorbed);
}

fs::path scripts(const char *folder)
{
    return fs::path(ZEP_RELIABILITY_SCRIPTS) / folder;
}

const std::vector<std::string> outputOptions = {"-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf"};

std::vector<std::string> withOutputs(std::vector<std::string> sources, std::vector<std::string> more = {})
{
    std::vector<std::string> arguments = outputOptions;
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.insert(arguments.end(), sources.begin(), sources.end());
    return arguments;
}

// OTD: includes two deep, a stub with its checks, parameterised
// inheritance, procedures, properties, every ON ERROR form, RUN; record
// files of three sources; the harness, the stub bodies, the workbench log.
TEST(AllocationSweep, TestHarnessWithIncludesStubsAndInheritance)
{
    Workbench bench(scripts("harness"));
    SweepFigures figures = sweep(bench, withOutputs({"main.otd"}, {"-BENCH_LOG", "bench.log"}), 6000);
    recordFigures("harness", figures);
}

// OTC: wrapped methods with conditions, invariants, states and transitions,
// single classes; the contract fragments of the instrumentation file.
TEST(AllocationSweep, ContractsWithStates)
{
    Workbench bench(scripts("contracts"));
    SweepFigures figures = sweep(bench, withOutputs({"lift.otc"}), 6000);
    recordFigures("contracts", figures);
}

// An OTD script and an OTC script in one run, without #line directives and
// with the target header taken without its directory.
TEST(AllocationSweep, ScriptAndContractTogether)
{
    Workbench bench(scripts("mixed"));
    SweepFigures figures = sweep(bench, withOutputs({"a.otd", "door.otc"}, {"-NODLINE", "-NOPATH"}), 6000);
    recordFigures("mixed", figures);
}

// A script large enough that its buffers, lists and pool grow many times;
// only a sample of its allocations is failed.
TEST(AllocationSweep, LargeScriptSampled)
{
    Workbench bench(scripts("harness"));
    std::string big = "INCLUDE \"stubs.stb\";\n";
    for (int c = 0; c < 30; c++) {
        big += "TEST CLASS K" + std::to_string(c) + " (p, q)\n{\n";
        big += "   PROC step (x) REQUIRE (x > p) { CHECK \"step\" (x != q); } ENSURE (x < 100)\n";
        for (int t = 0; t < 5; t++) {
            big += "   TEST CASE T" + std::to_string(t) + " { CALL step (" + std::to_string(t) +
                   "); PRINT (\"long text " + std::string(40, 'x') + "\", p); CHECK (q == " + std::to_string(t) +
                   "); }\n";
        }
        big += "   RUN { T0; T1; T2; T3; T4; }\n}\n";
        if (c > 0)
            big += "TEST CLASS D" + std::to_string(c) + " : K" + std::to_string(c - 1) + " (1, 2) { RUN { T0; } }\n";
    }
    big += "RUN { Shared;";
    for (int c = 0; c < 30; c++)
        big += " K" + std::to_string(c) + " (" + std::to_string(c) + ", q);";
    for (int c = 1; c < 30; c++)
        big += " D" + std::to_string(c) + ";";
    big += " }\n";
    bench.add("big.otd", big);
    SweepFigures figures = sweep(bench, withOutputs({"big.otd"}), 1500);
    recordFigures("large", figures);
}

} // namespace
