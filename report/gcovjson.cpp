// gcov's JSON: the members the report needs are taken from the tree of
// values with their types checked. Members it does not know are skipped,
// so later gcov versions that add some are still read.
#include "report/gcovjson.h"
#include "report/json.h"

namespace zepreport {

namespace {

// The members of gcov's documents, type-checked; a missing or mistyped
// member the report needs makes the document unreadable.
class Reader {
public:
    std::string error;

    bool document(const Json &json, GcovDocument &out)
    {
        const Json *files = want(json, "files", JsonArray);
        if (!files)
            return false;
        std::string directory;
        if (const Json *cwd = json.member("current_working_directory"); cwd && cwd->kind == JsonText)
            directory = cwd->text;
        for (const Json &file : files->items)
            if (!sourceFile(file, directory, out))
                return false;
        return true;
    }

private:
    const Json *want(const Json &json, const char *name, int kind)
    {
        const Json *found = json.kind == JsonObject ? json.member(name) : nullptr;
        if (found && found->kind == kind && (kind != JsonNumber || found->integral))
            return found;
        error = std::string("member \"") + name + "\" is missing or not " +
                (kind == JsonNumber ? "a count" : kind == JsonText ? "a string" : "a list");
        return nullptr;
    }

    bool sourceFile(const Json &json, const std::string &directory, GcovDocument &out)
    {
        const Json *path = want(json, "file", JsonText);
        const Json *lines = path ? want(json, "lines", JsonArray) : nullptr;
        const Json *functions = lines ? want(json, "functions", JsonArray) : nullptr;
        if (!functions)
            return false;
        GcovFile file;
        file.path = path->text;
        if (!file.path.empty() && file.path[0] != '/' && !directory.empty())
            file.path = directory + "/" + file.path;
        for (const Json &line : lines->items)
            if (!sourceLine(line, file))
                return false;
        for (const Json &function : functions->items)
            if (!sourceFunction(function, file))
                return false;
        out.files.push_back(std::move(file));
        return true;
    }

    bool sourceLine(const Json &json, GcovFile &file)
    {
        const Json *number = want(json, "line_number", JsonNumber);
        const Json *count = number ? want(json, "count", JsonNumber) : nullptr;
        const Json *branches = count ? want(json, "branches", JsonArray) : nullptr;
        if (!branches)
            return false;
        GcovLine line{number->number, count->number, {}};
        for (const Json &branch : branches->items) {
            const Json *taken = want(branch, "count", JsonNumber);
            if (!taken)
                return false;
            line.branches.push_back(taken->number);
        }
        file.lines.push_back(std::move(line));
        return true;
    }

    bool sourceFunction(const Json &json, GcovFile &file)
    {
        const Json *name = want(json, "name", JsonText);
        const Json *start = name ? want(json, "start_line", JsonNumber) : nullptr;
        const Json *count = start ? want(json, "execution_count", JsonNumber) : nullptr;
        if (!count)
            return false;
        const Json *demangled = json.member("demangled_name");
        file.functions.push_back(
            {demangled && demangled->kind == JsonText ? demangled->text : name->text, start->number, count->number});
        return true;
    }
};

} // namespace

bool parseGcovJson(std::string_view text, std::vector<GcovDocument> &documents, std::string &error)
{
    std::vector<Json> values;
    if (!parseJsonValues(text, values, error)) {
        error = "gcov's JSON: " + error;
        return false;
    }
    for (const Json &json : values) {
        Reader reader;
        documents.emplace_back();
        if (!reader.document(json, documents.back())) {
            error = "gcov's JSON, document " + std::to_string(documents.size()) + ": " + reader.error;
            return false;
        }
    }
    return true;
}

} // namespace zepreport
