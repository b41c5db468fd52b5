// Signature texts split into name, parameter types and const.
#include "instrumentor/signature.h"

#include <cctype>

namespace zepinstr {
namespace {

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool opens(char c) { return c == '(' || c == '<' || c == '[' || c == '{'; }
bool closes(char c) { return c == ')' || c == '>' || c == ']' || c == '}'; }

// The parts of a list separated by top-level commas.
std::vector<std::string> splitParameters(const std::string &text)
{
    std::vector<std::string> parts;
    std::string part;
    int depth = 0;
    for (char c : text) {
        if (opens(c))
            depth++;
        else if (closes(c) && depth > 0)
            depth--;
        if (c == ',' && depth == 0) {
            parts.push_back(trim(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!trim(part).empty() || !parts.empty())
        parts.push_back(trim(part));
    return parts;
}

const char *const typeWords[] = {"int", "long", "short", "char", "signed", "unsigned", "double", "float", "bool",
                                 "void", "const", "volatile", "auto", "wchar_t", "char8_t", "char16_t", "char32_t"};

bool isTypeWord(const std::string &word)
{
    for (const char *known : typeWords)
        if (word == known)
            return true;
    return false;
}

// A parameter's type: without its default value and without its name (the
// last word, when it follows something that can end a type).
std::string parameterType(std::string text)
{
    int depth = 0;
    for (size_t at = 0; at < text.size(); at++) {
        if (opens(text[at]))
            depth++;
        else if (closes(text[at]) && depth > 0)
            depth--;
        else if (text[at] == '=' && depth == 0) {
            text = trim(text.substr(0, at));
            break;
        }
    }
    size_t end = text.size();
    size_t begin = end;
    while (begin > 0 && isWordChar(text[begin - 1]))
        begin--;
    std::string last = text.substr(begin, end - begin);
    std::string before = trim(text.substr(0, begin));
    if (!last.empty() && !before.empty() && !isTypeWord(last) && !std::isdigit(static_cast<unsigned char>(last[0])) &&
        (before.size() < 2 || before.compare(before.size() - 2, 2, "::") != 0))
        text = before;
    return normaliseType(text);
}

// The offset of the '(' that matches the ')' at close.
size_t matchingOpen(const std::string &text, size_t close)
{
    int depth = 0;
    for (size_t at = close + 1; at-- > 0;) {
        if (text[at] == ')')
            depth++;
        else if (text[at] == '(' && --depth == 0)
            return at;
    }
    return std::string::npos;
}

} // namespace

std::string normaliseType(const std::string &text)
{
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = true;
            continue;
        }
        if (blank && !out.empty() && isWordChar(out.back()) && isWordChar(c))
            out += ' ';
        out += c;
        blank = false;
    }
    return out;
}

std::vector<std::string> splitQualified(const std::string &text)
{
    std::vector<std::string> parts;
    std::string part;
    int depth = 0;
    for (size_t at = 0; at < text.size(); at++) {
        char c = text[at];
        if (c == '<')
            depth++;
        else if (c == '>' && depth > 0)
            depth--;
        else if (depth == 0 && c == ':' && at + 1 < text.size() && text[at + 1] == ':') {
            parts.push_back(trim(part));
            part.clear();
            at++;
        } else if (depth == 0) {
            part += c;
        }
    }
    parts.push_back(trim(part));
    return parts;
}

bool parseSignature(const std::string &text, Signature &out)
{
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return false;
    size_t open = matchingOpen(text, close);
    if (open == std::string::npos)
        return false;
    // The name: the qualified identifier just before the list ("~" of a
    // destructor included); an operator's name runs from its qualifiers
    // through the keyword operator to the list.
    std::string head = trim(text.substr(0, open));
    size_t begin = head.size();
    size_t keyword = head.rfind("operator");
    if (keyword != std::string::npos && (keyword == 0 || !isWordChar(head[keyword - 1])))
        begin = keyword;
    while (begin > 0 && (isWordChar(head[begin - 1]) || head[begin - 1] == ':' || head[begin - 1] == '~'))
        begin--;
    std::string name = normaliseType(head.substr(begin));
    if (name.empty() || name == "operator")
        return false;
    out.name = splitQualified(name);
    out.parameters.clear();
    for (const std::string &parameter : splitParameters(text.substr(open + 1, close - open - 1)))
        out.parameters.push_back(parameterType(parameter));
    if (out.parameters.size() == 1 && out.parameters[0] == "void")
        out.parameters.clear();
    std::string tail = text.substr(close + 1);
    out.isConst = false;
    for (size_t at = tail.find("const"); at != std::string::npos; at = tail.find("const", at + 1))
        if ((at == 0 || !isWordChar(tail[at - 1])) && (at + 5 >= tail.size() || !isWordChar(tail[at + 5])))
            out.isConst = true;
    return true;
}

bool nameEndsWith(const std::vector<std::string> &name, const std::vector<std::string> &wanted)
{
    if (wanted.size() > name.size())
        return false;
    for (size_t at = 0; at < wanted.size(); at++)
        if (name[name.size() - wanted.size() + at] != wanted[at])
            return false;
    return true;
}

std::vector<size_t> matchSignature(const Signature &wanted, const std::vector<Definition> &definitions)
{
    std::vector<size_t> found;
    for (size_t at = 0; at < definitions.size(); at++) {
        const Definition &candidate = definitions[at];
        if (candidate.isConst != wanted.isConst || candidate.spelled.size() != wanted.parameters.size() ||
            !nameEndsWith(candidate.name, wanted.name))
            continue;
        bool same = true;
        for (size_t p = 0; same && p < wanted.parameters.size(); p++)
            same = wanted.parameters[p] == candidate.spelled[p] || wanted.parameters[p] == candidate.canonical[p];
        if (same)
            found.push_back(at);
    }
    return found;
}

} // namespace zepinstr
