// Method signatures as scripts write them (WRAP, CHECK METHOD, STUB) and
// their matching against the definitions found in the sources: by name,
// qualified or not, by parameter types (names, spacing and default values
// ignored) and by const. Plain text work, no parser.
#pragma once

#include <string>
#include <vector>

namespace zepinstr {

struct Signature {
    std::vector<std::string> name;  // qualified name, one part per scope
    std::vector<std::string> parameters;  // types, normalised
    bool isConst = false;
};

// A function definition of the sources, as the parser layer reports it.
struct Definition {
    std::vector<std::string> name;  // fully qualified
    // Each parameter's type as spelled and as canonical type, normalised.
    std::vector<std::string> spelled, canonical;
    bool isConst = false;
};

// False when the text holds no parameter list.
bool parseSignature(const std::string &text, Signature &out);

// A type's text without blanks, except one between two words.
std::string normaliseType(const std::string &text);

// The indexes of the definitions the signature names. A name with fewer
// parts names the definitions whose qualified name ends with those parts.
std::vector<size_t> matchSignature(const Signature &wanted, const std::vector<Definition> &definitions);

// Whether the qualified name ends with the parts of the wanted name.
bool nameEndsWith(const std::vector<std::string> &name, const std::vector<std::string> &wanted);

// "A::b::C" as its parts; template arguments are dropped.
std::vector<std::string> splitQualified(const std::string &text);

} // namespace zepinstr
