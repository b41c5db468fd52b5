// The run sequence after the toolkit is set up: the Context and the tree,
// the command line, then the stages in order, each only while no message
// has been counted.
#include "driver/run.h"
#include "codegen/codegen.h"
#include "driver/commandline.h"
#include "base/diagnostics.h"
#include "io/files.h"
#include "base/memory.h"
#include "form/form.h"
#include "parser/parser.h"
#include "records/records.h"
#include "semantic/semantic.h"

#include <QCoreApplication>
#include <cstdlib>

// Record files that a failed creation of a later one left open keep what
// was written to them; it reaches them when they are closed.
static void closeLeftRecordFiles(Run *run)
{
    for (FileEntry *entry = run->context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        for (FILE **stream : {&entry->tsfStream, &entry->otsStream}) {
            if (*stream != nullptr)
                closeFile(run, *stream);
            *stream = nullptr;
        }
    }
}

// Releases what set-up made, in the end-of-run order.
static void releaseRun(Run *run)
{
    if (run->context != nullptr)
        closeLeftRecordFiles(run);
    releaseContext(run->context);
    run->context = nullptr;
    // Expansion looks names up too: a run it ends leaves its index behind.
    clearScopes(run);
    releaseTree(run, run->root);
    run->root = nullptr;
    releaseSegments(run);
    releaseParameters(run);
    releaseStringPool(run);
}

// A generated file or a workbench log that was not written completely (a
// full disk, say) must not pass for a good one.
static void closeOutput(Run *run, FILE **stream, const char *path)
{
    if (*stream == nullptr)
        return;
    bool failed = ferror(*stream) != 0;
    if (closeFile(run, *stream) != 0 || failed)
        report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(path));
    *stream = nullptr;
}

// An output path that names a script of the run would overwrite it (the
// workbench log would get lines appended): it is refused once the scripts
// are known, before any file is written.
static void refuseOutputsOverSources(Run *run)
{
    for (const char *path : {run->context->codePath, run->context->instrPath, run->context->benchLogPath}) {
        if (path != nullptr && isSourceFile(run, path))
            report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, messageArgument(path));
    }
}

// Parsing reads every file; each later stage runs only while nothing has
// been counted.
static void translate(Run *run)
{
    Node *root = run->root;
    Context *context = run->context;
    for (SourceName *source = context->sourceNames; source != nullptr; source = source->next)
        parseSourceFile(run, source->name, root, 0, nullptr);
    refuseOutputsOverSources(run);
    if (run->errorCount != 0)
        return;
    resolve(run, root);
    if (run->errorCount != 0)
        return;
    writeRecordFiles(run, root);
    if (run->errorCount != 0)
        return;
    expand(run, root);
    if (run->errorCount != 0)
        return;
    resolve(run, root);
    if (run->errorCount != 0)
        return;
    generate(run, root);
    closeOutput(run, &context->codeStream, context->codePath);
    closeOutput(run, &context->instrStream, context->instrPath);
}

static void printSummary(const char *toolTitle, uint64_t errorCount)
{
    writeError(QStringLiteral("\n----------------------------------\n"));
    writeError(substituteArguments(
        QCoreApplication::translate("ZEP Error", "%1 message : %2 Error(s) detected\n"),
        QCoreApplication::translate("VELDIdent", toolTitle), QString::number(errorCount)));
    writeError(QStringLiteral("----------------------------------\n\n"));
}

// The Context's directories: the target directory from KRNTGT, and the
// working directory that relative paths start from. A target directory that
// is set but cannot be copied fails the run rather than being silently
// dropped from the generated code.
static bool findDirectories(Run *run)
{
    const char *target = getenv("KRNTGT");
    run->context->targetDirectory = copyEnvironment(run, "KRNTGT");
    if (target != nullptr && *target != '\0' && run->context->targetDirectory == nullptr)
        return false;
    run->context->workingDirectory = currentDirectoryPrefix(run, nullptr, 0);
    return run->context->workingDirectory != nullptr;
}

// Sets up a fresh run: its counters, the Context with the caller's hooks,
// and the root. False after message 45, with whatever was made released.
static bool beginRun(Run *run, const RunHooks *hooks)
{
    *run = Run{};
    run->maxErrors = DEFAULT_MAX_ERRORS;
    run->nextId = 2;
    run->context = createContext();
    if (run->context == nullptr || !findDirectories(run)) {
        report(run, MESSAGE_CANNOT_INITIALIZE, nullptr, 0);
        releaseRun(run);
        return false;
    }
    run->hooks = hooks;
    run->root = createRoot();
    if (run->root == nullptr) {
        report(run, MESSAGE_CANNOT_INITIALIZE, nullptr, 0);
        releaseRun(run);
        return false;
    }
    return true;
}

Run *startCheck(const char *path, const RunHooks *hooks, int lastStage)
{
    Run *run = static_cast<Run *>(zepAlloc(sizeof(Run)));
    if (run == nullptr) {
        Diagnostics alone{0, DEFAULT_MAX_ERRORS, nullptr, 0};
        report(&alone, MESSAGE_CANNOT_INITIALIZE, nullptr, 0);
        return nullptr;
    }
    if (!beginRun(run, hooks)) {
        zepFree(run);
        return nullptr;
    }
    Node *root = run->root;
    parseSourceFile(run, path, root, 0, nullptr);
    if (run->errorCount != 0 || lastStage == CHECK_PARSE)
        return run;
    resolve(run, root);
    if (run->errorCount != 0 || lastStage == CHECK_RESOLVE)
        return run;
    expand(run, root);
    if (run->errorCount == 0)
        resolve(run, root);
    return run;
}

void finishCheck(Run *run)
{
    if (run == nullptr)
        return;
    releaseRun(run);
    zepFree(run);
}

int runTranslator(int argc, char **argv, const RunHooks *hooks)
{
    Run state;
    Run *run = &state;
    if (!beginRun(run, hooks))
        return 255;
    Context *context = run->context;
    if (parseCommandLine(run, argc, argv) != 0) {
        printUsage();
        releaseRun(run);
        return 255;
    }
    if (context->benchLogPath != nullptr) {
        context->benchLog = openOutputFile(run, context->benchLogPath, OPEN_BENCH_LOG);
        if (context->benchLog == nullptr) {
            report(run, MESSAGE_CANNOT_CREATE, nullptr, 0, QString::fromLocal8Bit(context->benchLogPath));
            releaseRun(run);
            return 255;
        }
    }
    translate(run);
    closeOutput(run, &context->benchLog, context->benchLogPath);
    const char *toolTitle = context->toolTitle;
    releaseRun(run);
    if (run->errorCount == 0)
        return 0;
    printSummary(toolTitle, run->errorCount);
    return 255;
}
