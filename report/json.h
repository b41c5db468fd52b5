// A small JSON reader for the output of the coverage tools (gcov, llvm-cov):
// the text is parsed into a tree of values with the nesting bounded, so
// that hostile input cannot exhaust the stack. Numbers keep their value
// only when they are counts (digits only, fitting 64 bits).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zepreport {

enum JsonKind { JsonNull, JsonBool, JsonNumber, JsonText, JsonArray, JsonObject };

struct Json {
    int kind = JsonNull;
    bool flag = false;
    bool integral = false;  // a number without sign, fraction or exponent
    uint64_t number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json *member(const char *name) const;
};

// Reads the values of text one after the other (gcov writes one document
// per data file); false with a message naming the byte where it failed.
bool parseJsonValues(std::string_view text, std::vector<Json> &values, std::string &error);

} // namespace zepreport
