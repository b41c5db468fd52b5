// Insertions applied to a source text, and the atomic writing of copies.
#include "instrumentor/edits.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zepinstr {

std::string applyInsertions(const std::string &text, std::vector<Insertion> insertions)
{
    std::stable_sort(insertions.begin(), insertions.end(),
                     [](const Insertion &a, const Insertion &b) { return a.offset < b.offset; });
    std::vector<Insertion> unique;
    for (const Insertion &insertion : insertions) {
        bool seen = false;
        for (size_t at = unique.size(); !seen && at-- > 0 && unique[at].offset == insertion.offset;)
            seen = unique[at].text == insertion.text;
        if (!seen)
            unique.push_back(insertion);
    }
    std::string out = text;
    // Backwards, and within one offset from the last added to the first,
    // so that the first added ends up first.
    for (size_t at = unique.size(); at-- > 0;)
        out.insert(std::min(unique[at].offset, out.size()), unique[at].text);
    return out;
}

bool readWhole(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

bool writeIfChanged(const std::string &path, const std::string &text)
{
    std::string old;
    if (readWhole(path, old) && old == text)
        return true;
    std::string temporary = path + ".tmp" + std::to_string(getpid());
    FILE *out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fclose(out) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        std::remove(temporary.c_str());
        errno = saved;
        return false;
    }
    return true;
}

std::string escaped(const std::string &text, const char *special)
{
    std::string out;
    for (char c : text) {
        if (c != '\0' && std::strchr(special, c) != nullptr)
            out += '\\';
        out += c;
    }
    return out;
}

std::string quotedText(const std::string &text)
{
    std::string quoted(1, '"');
    quoted += escaped(text, "\\\"");
    return quoted + '"';
}

std::string lineDirective(unsigned long line, const std::string &path)
{
    return "#line " + std::to_string(line) + " " + quotedText(path) + "\n";
}

std::string canonicalPath(const std::string &path)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

} // namespace zepinstr
