// zepinstr: weaves the instrumentation file of a translation (contracts of
// OTC scripts, CHECK METHOD counters, stub conditions) into copies of the
// sources under test and of the harness. It never writes a user's file.
#include "instrumentor/copies.h"
#include "instrumentor/resolve.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace zepinstr;

namespace {

const char *const usage =
    "usage: zepinstr --oti FILE --root DIR --out DIR [--exclude DIR]... [--harness FILE --harness-copy FILE]\n"
    "                [--depfile FILE --stamp FILE] [SOURCE]... [-- COMPILE-ARGUMENT...]\n";

struct Options {
    std::string oti, root, out, harness, harnessCopy, depfile, stamp;
    std::vector<std::string> excluded, sources, arguments;
};

bool readOptions(int argc, char *argv[], Options &options)
{
    for (int at = 1; at < argc; at++) {
        std::string word = argv[at];
        if (word == "--") {
            options.arguments.assign(argv + at + 1, argv + argc);
            break;
        }
        std::string *value = word == "--oti"            ? &options.oti
                             : word == "--root"         ? &options.root
                             : word == "--out"          ? &options.out
                             : word == "--harness"      ? &options.harness
                             : word == "--harness-copy" ? &options.harnessCopy
                             : word == "--depfile"      ? &options.depfile
                             : word == "--stamp"        ? &options.stamp
                                                        : nullptr;
        if (word == "--exclude" && at + 1 < argc) {
            options.excluded.push_back(canonicalPath(argv[++at]));
        } else if (value != nullptr && at + 1 < argc) {
            *value = argv[++at];
        } else if (word.rfind("--", 0) == 0) {
            return false;
        } else {
            options.sources.push_back(canonicalPath(word));
        }
    }
    return !options.oti.empty() && !options.root.empty() && !options.out.empty() &&
           options.harness.empty() == options.harnessCopy.empty() && options.depfile.empty() == options.stamp.empty();
}

// Parses every source and the harness (whose project headers may hold
// classes no source includes) when anything of the file is to be found in
// them; the harness's own functions are kept apart for its stubs.
bool parseAll(const Options &options, const Instrumentation &instrumentation, ProjectFiles project,
              ParsedSource &sources, std::vector<FunctionSite> &stubs)
{
    // The build may name the copies' folders among the include folders;
    // the originals are what is parsed.
    std::vector<std::string> arguments = {"-x", "c++"};
    std::string out = canonicalPath(options.out);
    for (const std::string &argument : options.arguments)
        if (argument.rfind("-I", 0) != 0 || !ProjectFiles{out, {}, {}}.contains(canonicalPath(argument.substr(2))))
            arguments.push_back(argument);
    bool inSources = !instrumentation.classes.empty() || !instrumentation.methods.empty();
    std::vector<std::string> parsed = inSources ? options.sources : std::vector<std::string>();
    if ((inSources || !instrumentation.stubs.empty()) && !options.harness.empty()) {
        project.also = canonicalPath(options.harness);
        parsed.push_back(project.also);
    }
    bool compiles = true;
    std::string error;
    for (const std::string &source : parsed) {
        if (!parseSource(source, arguments, project, sources, error)) {
            std::fprintf(stderr, "%szepinstr: %s does not compile; nothing was instrumented\n", error.c_str(),
                         source.c_str());
            compiles = false;
        }
    }
    std::vector<FunctionSite> all = std::move(sources.functions);
    sources.functions.clear();
    for (FunctionSite &site : all)
        (site.body.file == project.also ? stubs : sources.functions).push_back(std::move(site));
    return compiles;
}

int instrument(const Options &options)
{
    std::string text, error;
    if (!readWhole(options.oti, text)) {
        std::fprintf(stderr, "zepinstr: cannot read the instrumentation file `%s': %s\n", options.oti.c_str(),
                     std::strerror(errno));
        return 2;
    }
    Instrumentation instrumentation;
    if (!readInstrumentation(text, options.oti, instrumentation, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    ProjectFiles project{canonicalPath(options.root), options.excluded, {}};
    std::string out = canonicalPath(options.out);
    project.excluded.push_back(out);
    ParsedSource sources;
    std::vector<FunctionSite> stubs;
    if (!parseAll(options, instrumentation, project, sources, stubs))
        return 1;
    Plan plan = planWeaving(instrumentation, distinctSites(sources.functions), sources.classes, distinctSites(stubs));
    if (!plan.messages.empty()) {
        std::fprintf(stderr, "%szepinstr: nothing was instrumented\n", plan.messages.c_str());
        return 1;
    }
    CopySet copies{project.root, out, options.sources, canonicalPath(options.harness), options.harnessCopy};
    if (!writeCopies(copies, plan, sources.includes, error) ||
        (!options.depfile.empty() &&
         !writeDepfile(copies, options.oti, options.depfile, options.stamp, sources.includes, error))) {
        std::fprintf(stderr, "zepinstr: %s\n", error.c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (!readOptions(argc, argv, options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    // A failed run must not leave the stamp of an earlier one: the build
    // would take the old copies for this run's.
    if (!options.stamp.empty())
        std::remove(options.stamp.c_str());
    return instrument(options);
}
