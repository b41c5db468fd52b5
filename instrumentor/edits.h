// Instrumented copies: the text of a source with insertions at byte
// offsets, written beside the build's other outputs and never over a
// user's file.
#pragma once

#include <string>
#include <vector>

namespace zepinstr {

struct Insertion {
    size_t offset;
    std::string text;
};

// The text with every insertion made, applied once from the end backwards
// so that no offset moves before it is used; insertions at one offset keep
// the order in which they were added. Duplicates (the same text at the same
// offset, as a header read by two sources gives) are made once.
std::string applyInsertions(const std::string &text, std::vector<Insertion> insertions);

// Writes the file through a temporary file renamed over it, so that an
// interrupted run never leaves half a copy; an unchanged file is left as it
// is, so that the build does not compile it again. False with errno set on
// failure.
bool writeIfChanged(const std::string &path, const std::string &text);

// The whole file; false when it cannot be read.
bool readWhole(const std::string &path, std::string &text);

// The path made absolute and free of "." and "..", links resolved.
std::string canonicalPath(const std::string &path);

// The text with a backslash before each of the special characters.
std::string escaped(const std::string &text, const char *special);

// A C string literal of the text.
std::string quotedText(const std::string &text);

// The directive that makes the next line line `line` of `path`.
std::string lineDirective(unsigned long line, const std::string &path);

} // namespace zepinstr
