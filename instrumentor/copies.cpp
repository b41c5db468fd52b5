// Writing the copies and the depfile.
#include "instrumentor/copies.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

namespace zepinstr {
namespace {

bool contains(const std::vector<std::string> &list, const std::string &item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

bool writeCopy(const std::string &original, const std::string &path, const std::string &text, std::string &error)
{
    if (canonicalPath(path) == original) {
        error = "refusing to write over " + original + ": the copies must go to a folder of their own";
        return false;
    }
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failure);
    if (failure || !writeIfChanged(path, text)) {
        error = "cannot write " + path + ": " + (failure ? failure.message() : std::strerror(errno));
        return false;
    }
    return true;
}

std::string forwarder(const std::string &original)
{
    return "#include " + quotedText(original) + "\n";
}

// The text of the copy at path copy: whole with its insertions, or a
// forwarder.
bool copyText(const std::string &original, const std::string &copy, const Plan &plan, bool whole,
              std::string &text, std::string &error)
{
    if (!whole) {
        text = forwarder(original);
        return true;
    }
    std::string content;
    if (!readWhole(original, content)) {
        error = "cannot read " + original + ": " + std::strerror(errno);
        return false;
    }
    auto edits = plan.files.find(original);
    if (edits == plan.files.end()) {
        text = copyHead(original, {}, false) + content;
        return true;
    }
    text = placeWovenCode(copyHead(original, edits->second.counters, true) +
                              applyInsertions(content, edits->second.insertions),
                          copy);
    return true;
}

} // namespace

std::string mirrorPath(const CopySet &copies, const std::string &original)
{
    if (original.compare(0, copies.root.size() + 1, copies.root + "/") == 0)
        return copies.out + original.substr(copies.root.size());
    return copies.out + "/_outside" + original;
}

std::vector<std::string> wholeCopies(const Plan &plan, const Includes &includes)
{
    std::vector<std::string> whole;
    for (const auto &[file, edits] : plan.files)
        whole.push_back(file);
    for (bool grown = true; grown;) {
        grown = false;
        for (const auto &[includer, included] : includes) {
            if (contains(whole, included) && !contains(whole, includer)) {
                whole.push_back(includer);
                grown = true;
            }
        }
    }
    return whole;
}

bool writeCopies(const CopySet &copies, const Plan &plan, const Includes &includes, std::string &error)
{
    std::vector<std::string> whole = wholeCopies(plan, includes);
    std::set<std::string> files(copies.sources.begin(), copies.sources.end());
    for (const auto &[includer, included] : includes) {
        files.insert(includer);
        files.insert(included);
    }
    // Only a harness with woven stubs is parsed; its own copy goes apart.
    files.erase(copies.harness);
    std::string text;
    for (const std::string &file : files) {
        std::string copy = mirrorPath(copies, file);
        if (!copyText(file, copy, plan, contains(whole, file), text, error) ||
            !writeCopy(file, copy, text, error))
            return false;
    }
    if (copies.harness.empty())
        return true;
    // Always whole: a forwarder would find the headers beside the
    // original harness before their copies.
    return copyText(copies.harness, std::filesystem::absolute(copies.harnessCopy).lexically_normal().string(), plan, true, text, error) &&
           writeCopy(copies.harness, copies.harnessCopy, text, error);
}

bool writeDepfile(const CopySet &copies, const std::string &oti, const std::string &depfile,
                  const std::string &stamp, const Includes &includes, std::string &error)
{
    std::set<std::string> read(copies.sources.begin(), copies.sources.end());
    for (const auto &[includer, included] : includes)
        read.insert(included);
    read.insert(canonicalPath(oti));
    if (!copies.harness.empty())
        read.insert(copies.harness);
    std::string text = escaped(stamp, " #") + ":";
    for (const std::string &file : read)
        text += " \\\n  " + escaped(file, " #");
    text += "\n";
    if (!writeIfChanged(depfile, text) || !writeIfChanged(stamp, "")) {
        error = "cannot write " + depfile + " or " + stamp + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace zepinstr
