// The run sequence after the toolkit is set up: the Context and the tree,
// the command line, then the stages in order, each only while no message
// has been counted.
#include "driver/run.h"
#include "codegen/codegen.h"
#include "driver/commandline.h"
#include "driver/diagnostics.h"
#include "driver/files.h"
#include "form/form.h"
#include "parser/parser.h"
#include "records/records.h"
#include "semantic/semantic.h"

#include <QCoreApplication>

// Record files that a failed creation of a later one left open keep what
// was written to them; it reaches them when they are closed.
static void closeLeftRecordFiles()
{
    for (FileEntry *entry = context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        for (FILE **stream : {&entry->tsfStream, &entry->otsStream}) {
            if (*stream != nullptr)
                closeFile(*stream);
            *stream = nullptr;
        }
    }
}

// Releases what set-up made, in the end-of-run order.
static void releaseRun(Node *root)
{
    if (context != nullptr)
        closeLeftRecordFiles();
    releaseContext(context);
    context = nullptr;
    releaseTree(root);
    releaseSegments();
    releaseParameters();
    releaseStringPool();
}

// A generated file or a workbench log that was not written completely (a
// full disk, say) must not pass for a good one.
static void closeOutput(FILE **stream, const char *path)
{
    if (*stream == nullptr)
        return;
    bool failed = ferror(*stream) != 0;
    if (closeFile(*stream) != 0 || failed)
        report(43, nullptr, 0, messageArgument(path));
    *stream = nullptr;
}

// An output path that names a script of the run would overwrite it (the
// workbench log would get lines appended): it is refused once the scripts
// are known, before any file is written.
static void refuseOutputsOverSources()
{
    for (const char *path : {context->codePath, context->instrPath, context->benchLogPath}) {
        if (path != nullptr && isSourceFile(path))
            report(43, nullptr, 0, messageArgument(path));
    }
}

// Parsing reads every file; each later stage runs only while nothing has
// been counted.
static void translate(Node *root)
{
    for (SourceName *source = context->sourceNames; source != nullptr; source = source->next)
        parseSourceFile(source->name, root, 0, nullptr);
    refuseOutputsOverSources();
    if (errorCount != 0)
        return;
    resolve(root);
    if (errorCount != 0)
        return;
    writeRecordFiles(root);
    if (errorCount != 0)
        return;
    expand(root);
    if (errorCount != 0)
        return;
    resolve(root);
    if (errorCount != 0)
        return;
    generate(root);
    closeOutput(&context->codeStream, context->codePath);
    closeOutput(&context->instrStream, context->instrPath);
}

static void printSummary(const char *toolTitle)
{
    writeError(QStringLiteral("\n----------------------------------\n"));
    writeError(substituteArguments(
        QCoreApplication::translate("ZEP Error", "%1 message : %2 Error(s) detected\n"),
        QCoreApplication::translate("VELDIdent", toolTitle), QString::number(errorCount)));
    writeError(QStringLiteral("----------------------------------\n\n"));
}

// Sets up a run from nothing left by an earlier one: the run-wide scalars,
// the pool, the Context with the caller's hooks, the registries and the
// root. Null after message 45, with whatever was made released.
static Node *beginRun(const RunHooks *hooks)
{
    errorCount = 0;
    otdFileCount = 0;
    nextId = 2;
    currentFileNo = 1;
    clearStringPool();
    context = createContext();
    if (context == nullptr) {
        report(45, nullptr, 0);
        releaseStringPool();
        return nullptr;
    }
    context->hooks = hooks;
    clearRegistries();
    Node *root = createRoot();
    if (root == nullptr) {
        report(45, nullptr, 0);
        releaseRun(nullptr);
    }
    return root;
}

Node *startCheck(const char *path, const RunHooks *hooks, int lastStage)
{
    Node *root = beginRun(hooks);
    if (root == nullptr)
        return nullptr;
    parseSourceFile(path, root, 0, nullptr);
    if (errorCount != 0 || lastStage == CHECK_PARSE)
        return root;
    resolve(root);
    if (errorCount != 0 || lastStage == CHECK_RESOLVE)
        return root;
    expand(root);
    if (errorCount == 0)
        resolve(root);
    return root;
}

void finishCheck(Node *root)
{
    if (root != nullptr)
        releaseRun(root);
}

int runTranslator(int argc, char **argv)
{
    Node *root = beginRun(nullptr);
    if (root == nullptr)
        return 255;
    if (parseCommandLine(argc, argv) != 0) {
        printUsage();
        releaseRun(root);
        return 255;
    }
    if (context->benchLogPath != nullptr) {
        context->benchLog = openOutputFile(context->benchLogPath, OPEN_BENCH_LOG);
        if (context->benchLog == nullptr) {
            report(43, nullptr, 0, QString::fromLocal8Bit(context->benchLogPath));
            releaseRun(root);
            return 255;
        }
    }
    translate(root);
    closeOutput(&context->benchLog, context->benchLogPath);
    const char *toolTitle = context->toolTitle;
    releaseRun(root);
    if (errorCount == 0)
        return 0;
    printSummary(toolTitle);
    return 255;
}
