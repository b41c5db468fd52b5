// A RUN statement is "RUN { path; path; ... }", each path a list of
// names joined by "." and each name perhaps followed by its actual
// parameters in parentheses. Its RUN COMPONENT records come in the order of
// the paths, so the n-th of them is the n-th path of the statement.
#include "report/arguments.h"
#include "report/text.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

namespace zepreport {

namespace {

// The script's text from a line on, a character at a time, with comments
// and the insides of literals told apart from the code.
class ScriptScanner {
public:
    ScriptScanner(const std::vector<std::string> &lines, uint64_t line) : lines(lines), row(line ? line - 1 : 0) {}

    // The next character of code ('\n' at each line end, also after a
    // "//" comment; a literal comes whole); false at the end of the script.
    bool next(std::string &piece)
    {
        piece.clear();
        for (;;) {
            if (row >= lines.size())
                return false;
            const std::string &text = lines[row];
            if (column >= text.size()) {
                row++;
                column = 0;
                piece.assign(1, '\n');
                return true;
            }
            char c = text[column];
            if (inComment) {
                size_t end = text.find("*/", column);
                inComment = end == std::string::npos;
                column = inComment ? text.size() : end + 2;
                continue;
            }
            if (text.compare(column, 2, "//") == 0) {
                column = text.size();
                continue;
            }
            if (text.compare(column, 2, "/*") == 0) {
                inComment = true;
                column += 2;
                continue;
            }
            if (c == '"' || c == '\'') {
                size_t end = column + 1;
                while (end < text.size() && text[end] != c)
                    end += text[end] == '\\' ? 2 : 1;
                end = std::min(end + 1, text.size());
                piece = text.substr(column, end - column);
                column = end;
                return true;
            }
            piece.assign(1, c);
            column++;
            return true;
        }
    }

private:
    const std::vector<std::string> &lines;
    size_t row, column = 0;
    bool inComment = false;
};

bool isWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The paths of the RUN statement whose keyword is on line (1-based), each
// as written with its blanks and line breaks made single spaces.
std::vector<std::string> runPaths(const std::vector<std::string> &lines, uint64_t line)
{
    std::vector<std::string> paths;
    ScriptScanner scanner(lines, line);
    std::string piece, word, lastWord, path;
    bool inBody = false;
    int depth = 0;
    while (scanner.next(piece)) {
        char c = piece[0];
        if (!inBody) {
            if (isWordCharacter(c) && piece.size() == 1) {
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                continue;
            }
            if (!word.empty())
                lastWord = std::move(word);
            word.clear();
            inBody = c == '{' && lastWord == "RUN";
            if (!std::isspace(static_cast<unsigned char>(c)))
                lastWord.clear();
            continue;
        }
        if (depth == 0 && (c == ';' || c == '}')) {
            paths.push_back(std::string(trimmed(path)));
            path.clear();
            if (c == '}')
                break;
            continue;
        }
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        bool blank = std::isspace(static_cast<unsigned char>(c)) && piece.size() == 1;
        if (!blank)
            path += piece;
        else if (!path.empty() && path.back() != ' ')
            path += ' ';
    }
    return paths;
}

// The parameters that follow the name in a path, "(10)"; empty when the
// name does not stand in it with parameters.
std::string argumentsOf(const std::string &path, const std::string &name)
{
    int depth = 0;
    size_t start = 0;
    for (size_t at = 0; at <= path.size(); at++) {
        char c = at < path.size() ? path[at] : '.';
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (depth != 0 || c != '.')
            continue;
        std::string segment = path.substr(start, at - start);
        start = at + 1;
        size_t open = segment.find('(');
        if (open != std::string::npos && trimmed(std::string_view(segment).substr(0, open)) == name)
            return std::string(trimmed(std::string_view(segment).substr(open)));
    }
    return "";
}

class ArgumentNamer {
public:
    ArgumentNamer(const Run &run, const std::vector<std::vector<std::string>> &scripts) : run(run), scripts(scripts) {}

    void name(Item &item)
    {
        if (item.type != ItemType::Component)
            return;
        if (item.component == ComponentKind::Class && item.element != nullptr)
            item.arguments = argumentsOf(pathOf(item), item.element->text);
        for (auto &child : item.children)
            name(*child);
    }

private:
    // The path of the RUN COMPONENT that ran the item, as written.
    std::string pathOf(const Item &item)
    {
        if (item.runnerFile >= run.records->size() || item.runnerFile >= scripts.size())
            return "";
        const RecordSet &records = (*run.records)[item.runnerFile];
        const Element *component = records.find(item.runner);
        const Element *statement = component ? records.find(component->parent) : nullptr;
        if (component == nullptr || component->code != "RC" || statement == nullptr || statement->code != "RU")
            return "";
        auto key = std::make_pair(item.runnerFile, statement->id);
        auto found = statements.find(key);
        if (found == statements.end())
            found = statements.emplace(key, readStatement(records, *statement, scripts[item.runnerFile])).first;
        const auto &[components, paths] = found->second;
        for (size_t at = 0; at < components.size() && at < paths.size(); at++)
            if (components[at] == item.runner)
                return paths[at];
        return "";
    }

    // A RUN statement's components in the order of their records, with the
    // paths the script gives them.
    using Statement = std::pair<std::vector<uint64_t>, std::vector<std::string>>;

    static Statement readStatement(const RecordSet &records, const Element &statement,
                                   const std::vector<std::string> &lines)
    {
        Statement result;
        // A RUN COMPONENT has no elements inside it, so those of a
        // statement follow it directly.
        for (auto at = records.elements.upper_bound(statement.id);
             at != records.elements.end() && at->second.parent == statement.id && at->second.code == "RC"; ++at)
            result.first.push_back(at->first);
        result.second = runPaths(lines, statement.line);
        return result;
    }

    const Run &run;
    const std::vector<std::vector<std::string>> &scripts;
    std::map<std::pair<uint64_t, uint64_t>, Statement> statements;
};

} // namespace

void nameRunArguments(Run &run, const std::vector<std::vector<std::string>> &scripts)
{
    ArgumentNamer namer(run, scripts);
    namer.name(run.root);
}

} // namespace zepreport
