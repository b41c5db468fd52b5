// The command line: options, source names and the usage text.
#include "driver/commandline.h"
#include "base/diagnostics.h"
#include "base/memory.h"

#include <QCoreApplication>
#include <strings.h>

enum : uint64_t { LARGEST_MAX_ERRORS = 30000 };

SourceName *appendSourceName(Run *run, SourceName *list, const char *name)
{
    char *copy = zepCopyText(name);
    if (copy == nullptr)
        return nullptr;
    const char *interned = intern(run, copy);
    SourceName *cell = interned != nullptr ? static_cast<SourceName *>(zepAlloc(sizeof(SourceName))) : nullptr;
    if (cell == nullptr) {
        if (interned == nullptr)
            zepFree(copy);
        return nullptr;
    }
    *cell = {interned, nullptr};
    if (list == nullptr)
        return cell;
    SourceName *last = list;
    while (last->next != nullptr)
        last = last->next;
    last->next = cell;
    return list;
}

// The leading decimal digits of text; 0 without digits, and a value above
// the largest limit however long the digits run.
static uint64_t leadingNumber(const char *text)
{
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > LARGEST_MAX_ERRORS)
            return LARGEST_MAX_ERRORS + 1;
    }
    return value;
}

namespace {

struct OptionCounts {
    unsigned sources = 0, language = 0, code = 0, instr = 0, dynamic = 0, benchLog = 0;
};

// Reports a missing or repeated option; -1 when one was reported.
int checkCount(Run *run, unsigned count, const char *option, bool onceOnly)
{
    if (count == 0) {
        report(run, MESSAGE_OPTION_MISSING, nullptr, 0, QString::fromLatin1(option));
        return -1;
    }
    if (onceOnly && count > 1) {
        report(run, MESSAGE_OPTION_REPEATED, nullptr, 0, QString::fromLatin1(option));
        return -1;
    }
    return 0;
}

int checkCounts(Run *run, const OptionCounts &counts)
{
    if (counts.sources == 0) {
        report(run, MESSAGE_NO_SOURCES, nullptr, 0);
        return -1;
    }
    if (checkCount(run, counts.language, "-G", true) != 0 || checkCount(run, counts.code, "-O", true) != 0 ||
        checkCount(run, counts.instr, "-OTI", false) != 0 || checkCount(run, counts.dynamic, "-TDF", false) != 0 ||
        checkCount(run, counts.instr, "-OTI", true) != 0)
        return -1;
    if (counts.benchLog > 1) {
        report(run, MESSAGE_OPTION_REPEATED, nullptr, 0, QStringLiteral("-BENCH_LOG"));
        return -1;
    }
    return 0;
}

bool isOption(const char *argument, const char *option)
{
    return strcasecmp(argument, option) == 0;
}

} // namespace

int parseCommandLine(Run *run, int argc, char **argv)
{
    if (argc <= 1) {
        report(run, MESSAGE_NO_SOURCES, nullptr, 0);
        return -1;
    }
    OptionCounts counts;
    struct PathOption {
        const char *name;
        const char **field;
        unsigned *count;
    };
    const PathOption pathOptions[] = {
        {"-O", &run->context->codePath, &counts.code},
        {"-OTI", &run->context->instrPath, &counts.instr},
        {"-TDF", &run->context->dynamicPath, &counts.dynamic},
        {"-BENCH_LOG", &run->context->benchLogPath, &counts.benchLog},
    };
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        bool takesValue = isOption(argument, "-G") || isOption(argument, "-E");
        for (const PathOption &option : pathOptions)
            takesValue = takesValue || isOption(argument, option.name);
        if (takesValue && i + 1 >= argc) {
            report(run, MESSAGE_OPTION_NEEDS_ARGUMENT, nullptr, 0, QString::fromLocal8Bit(argument));
            return -1;
        }
        if (isOption(argument, "-G")) {
            if (!isOption(argv[i + 1], "C++")) {
                report(run, MESSAGE_BAD_OPTION_VALUE, nullptr, 0, QString::fromLocal8Bit(argv[i + 1]), QString::fromLocal8Bit(argument));
                return -1;
            }
            counts.language++;
            i++;
        } else if (isOption(argument, "-E")) {
            uint64_t value = leadingNumber(argv[i + 1]);
            if (value == 0 || value > LARGEST_MAX_ERRORS) {
                run->maxErrors = DEFAULT_MAX_ERRORS;
                report(run, MESSAGE_MAX_ERRORS_RANGE, nullptr, 0, QString::fromLocal8Bit(argv[i + 1]), QString::fromLocal8Bit(argument));
                return -1;
            }
            run->maxErrors = value;
            i++;
        } else if (isOption(argument, "-NODLINE")) {
            run->context->noLineDirectives = 1;
        } else if (isOption(argument, "-NOPATH")) {
            run->context->noPath = 1;
        } else if (takesValue) {
            for (const PathOption &option : pathOptions) {
                if (isOption(argument, option.name)) {
                    *option.field = argv[i + 1];
                    ++*option.count;
                }
            }
            i++;
        } else {
            SourceName *list = appendSourceName(run, run->context->sourceNames, argument);
            if (list == nullptr) {
                report(run, MESSAGE_NO_MEMORY_FOR_FILENAME, nullptr, 0, QString::fromLocal8Bit(argument));
                return -1;
            }
            run->context->sourceNames = list;
            counts.sources++;
        }
    }
    return checkCounts(run, counts);
}

void printUsage()
{
    //: Do not translate option (ie -NOPATH) nor file extension (ie .otc .cc); %1 is the product name
    QString usage = QCoreApplication::translate(
        "ZEP Prepro Usage",
        "\nUsage : %1 <SourceFiles>\n"
        "                  -G <GeneratedCode>\n"
        "                  -O <GeneratedFile>\n"
        "                  -OTI <InstrumentationFile>\n"
        "                  -TDF <DynamicFile>\n"
        "                  [-E <NumberOfErrors>]\n"
        "                  [-NODLINE]\n"
        "                  [-NOPATH]\n"
        "                  [-BENCH_LOG <BenchLogFile>]\n"
        "\n"
        "  <SourceFiles>         : OTD or OTC source files (.otd, .stb, .dcl or .otc).\n"
        "  <GeneratedCode>       : C++.\n"
        "  <GeneratedFile>       : Name of the generated source file (.cc).\n"
        "  <InstrumentationFile> : Name of the instrumentation file (.oti).\n"
        "  <DynamicFile>         : Name of the dynamic file (.tdf).\n"
        "  <NumberOfErrors>      : Maximum number of errors allowed.\n"
        "  <BenchLogFile>       : Name of the Bench log file (.log).\n"
        "\n");
    writeError(substituteArguments(usage, QStringLiteral("zepprepro")));
}
