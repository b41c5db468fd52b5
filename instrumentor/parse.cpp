// Walk of a translation unit with libclang's C interface: only the
// declarations of project files are looked at, and no function body is
// entered.
#include "instrumentor/parse.h"

#include "instrumentor/edits.h"

#include <clang-c/Index.h>
#include <cstring>
#include <map>

namespace zepinstr {
namespace {

std::string text(CXString string)
{
    const char *chars = clang_getCString(string);
    std::string out = chars != nullptr ? chars : "";
    clang_disposeString(string);
    return out;
}

std::string fileName(CXFile file)
{
    return file != nullptr ? canonicalPath(text(clang_getFileName(file))) : std::string();
}

struct Walk {
    const ProjectFiles &project;
    ParsedSource &out;
    CXTranslationUnit unit;
    // The answer for each file met, as resolving a path costs a system call.
    std::map<CXFile, std::string> projectPaths;
};

// The project file the cursor stands in, empty when it is not one.
std::string projectPath(Walk &walk, CXCursor cursor)
{
    CXSourceLocation location = clang_getCursorLocation(cursor);
    if (clang_Location_isInSystemHeader(location))
        return std::string();
    CXFile file = nullptr;
    clang_getSpellingLocation(location, &file, nullptr, nullptr, nullptr);
    auto known = walk.projectPaths.find(file);
    if (known != walk.projectPaths.end())
        return known->second;
    std::string name = fileName(file);
    if (!walk.project.contains(name))
        name.clear();
    walk.projectPaths.emplace(file, name);
    return name;
}

std::vector<std::string> scopeOf(CXCursor cursor)
{
    std::vector<std::string> scopes;
    for (CXCursor parent = clang_getCursorSemanticParent(cursor);
         !clang_Cursor_isNull(parent) && clang_getCursorKind(parent) != CXCursor_TranslationUnit;
         parent = clang_getCursorSemanticParent(parent)) {
        std::string name = text(clang_getCursorSpelling(parent));
        if (!name.empty())
            scopes.insert(scopes.begin(), name);
    }
    return scopes;
}

bool isClass(CXCursorKind kind)
{
    return kind == CXCursor_ClassDecl || kind == CXCursor_StructDecl || kind == CXCursor_ClassTemplate ||
           kind == CXCursor_ClassTemplatePartialSpecialization;
}

bool isFunction(CXCursorKind kind)
{
    return kind == CXCursor_FunctionDecl || kind == CXCursor_CXXMethod || kind == CXCursor_Constructor ||
           kind == CXCursor_Destructor || kind == CXCursor_FunctionTemplate || kind == CXCursor_ConversionFunction;
}

// Whether a token before the parameter list says constexpr or consteval.
bool declaredConstexpr(CXTranslationUnit unit, CXCursor cursor, CXSourceLocation body)
{
    CXSourceRange range = clang_getRange(clang_getRangeStart(clang_getCursorExtent(cursor)), body);
    CXToken *tokens = nullptr;
    unsigned count = 0;
    clang_tokenize(unit, range, &tokens, &count);
    bool found = false;
    for (unsigned at = 0; at < count && !found; at++) {
        if (clang_getTokenKind(tokens[at]) != CXToken_Keyword)
            continue;
        std::string word = text(clang_getTokenSpelling(unit, tokens[at]));
        found = word == "constexpr" || word == "consteval";
    }
    clang_disposeTokens(unit, tokens, count);
    return found;
}

CXChildVisitResult findBody(CXCursor child, CXCursor, CXClientData data)
{
    CXCursorKind kind = clang_getCursorKind(child);
    if (kind == CXCursor_CompoundStmt || kind == CXCursor_CXXTryStmt)
        *static_cast<CXCursor *>(data) = child;
    return CXChildVisit_Continue;
}

FunctionKind kindOf(CXCursor cursor, bool member)
{
    switch (clang_getCursorKind(cursor)) {
    case CXCursor_Constructor: return Constructor;
    case CXCursor_Destructor: return Destructor;
    default:
        if (!member)
            return PlainFunction;
        return clang_CXXMethod_isStatic(cursor) ? StaticMember : MemberFunction;
    }
}

void addParameters(CXCursor cursor, Definition &definition)
{
    int count = clang_Cursor_getNumArguments(cursor);
    if (count < 0) {
        // A function template: its parameters are children of the cursor.
        clang_visitChildren(
            cursor,
            [](CXCursor child, CXCursor, CXClientData data) {
                if (clang_getCursorKind(child) == CXCursor_ParmDecl) {
                    auto *out = static_cast<Definition *>(data);
                    CXType type = clang_getCursorType(child);
                    out->spelled.push_back(normaliseType(text(clang_getTypeSpelling(type))));
                    out->canonical.push_back(normaliseType(text(clang_getTypeSpelling(clang_getCanonicalType(type)))));
                }
                return CXChildVisit_Continue;
            },
            &definition);
        return;
    }
    for (int at = 0; at < count; at++) {
        CXType type = clang_getCursorType(clang_Cursor_getArgument(cursor, static_cast<unsigned>(at)));
        definition.spelled.push_back(normaliseType(text(clang_getTypeSpelling(type))));
        definition.canonical.push_back(normaliseType(text(clang_getTypeSpelling(clang_getCanonicalType(type)))));
    }
}

void addFunction(Walk &walk, CXCursor cursor, const std::string &path)
{
    CXCursor body = clang_getNullCursor();
    clang_visitChildren(cursor, findBody, &body);
    if (clang_Cursor_isNull(body))
        return;  // defaulted or deleted
    FunctionSite site;
    CXCursor parent = clang_getCursorSemanticParent(cursor);
    bool member = isClass(clang_getCursorKind(parent));
    if (member)
        site.owner = scopeOf(cursor);
    site.definition.name = scopeOf(cursor);
    site.definition.name.push_back(text(clang_getCursorSpelling(cursor)));
    site.definition.isConst = member && clang_CXXMethod_isConst(cursor);
    addParameters(cursor, site.definition);
    site.body.kind = kindOf(cursor, member);
    site.body.isPublic = member && clang_getCXXAccessSpecifier(cursor) == CX_CXXPublic;
    const std::vector<std::string> &name = site.definition.name;
    site.body.display = member ? name[name.size() - 2] + "::" + name.back() : name.back();
    site.tryBody = clang_getCursorKind(body) == CXCursor_CXXTryStmt;
    CXSourceLocation start = clang_getRangeStart(clang_getCursorExtent(body));
    CXFile spellingFile = nullptr, expansionFile = nullptr;
    unsigned line = 0, column = 0, offset = 0, expansionLine = 0, expansionOffset = 0;
    clang_getSpellingLocation(start, &spellingFile, &line, &column, &offset);
    clang_getExpansionLocation(start, &expansionFile, &expansionLine, nullptr, &expansionOffset);
    site.fromMacro = !clang_File_isEqual(spellingFile, expansionFile) || offset != expansionOffset;
    site.body.file = path;
    // A body made by a macro is named where the macro is used.
    site.body.line = site.fromMacro ? expansionLine : line;
    site.body.column = column;
    site.bodyOffset = offset + 1;
    clang_getSpellingLocation(clang_getRangeEnd(clang_getCursorExtent(body)), nullptr, &line, &column, &offset);
    site.endOffset = offset;
    site.body.endLine = line;
    site.body.endColumn = column - 1;
    // A template's result type is not known here: its body is taken as
    // returning a value, which only costs a void template's "}" its line.
    site.body.returnsValue = site.body.kind != Constructor && site.body.kind != Destructor &&
                             clang_getCursorResultType(cursor).kind != CXType_Void;
    site.constexprFunction = declaredConstexpr(walk.unit, cursor, start);
    walk.out.functions.push_back(site);
}

CXChildVisitResult visit(CXCursor cursor, CXCursor, CXClientData data)
{
    Walk &walk = *static_cast<Walk *>(data);
    CXCursorKind kind = clang_getCursorKind(cursor);
    if (kind == CXCursor_Namespace || kind == CXCursor_LinkageSpec)
        return CXChildVisit_Recurse;
    std::string path = projectPath(walk, cursor);
    if (path.empty())
        return CXChildVisit_Continue;
    if (isClass(kind)) {
        if (clang_isCursorDefinition(cursor)) {
            std::vector<std::string> name = scopeOf(cursor);
            name.push_back(text(clang_getCursorSpelling(cursor)));
            walk.out.classes.push_back(name);
        }
        return CXChildVisit_Recurse;
    }
    if (isFunction(kind) && clang_isCursorDefinition(cursor))
        addFunction(walk, cursor, path);
    return CXChildVisit_Continue;
}

void noteInclusion(CXFile included, CXSourceLocation *stack, unsigned depth, CXClientData data)
{
    Walk &walk = *static_cast<Walk *>(data);
    std::string path = fileName(included);
    if (depth == 0 || !walk.project.contains(path))
        return;
    CXFile includer = nullptr;
    clang_getSpellingLocation(stack[0], &includer, nullptr, nullptr, nullptr);
    walk.out.includes.emplace_back(fileName(includer), path);
}

std::string errorsOf(CXTranslationUnit unit)
{
    std::string messages;
    for (unsigned at = 0; at < clang_getNumDiagnostics(unit); at++) {
        CXDiagnostic diagnostic = clang_getDiagnostic(unit, at);
        if (clang_getDiagnosticSeverity(diagnostic) >= CXDiagnostic_Error)
            messages += text(clang_formatDiagnostic(diagnostic, CXDiagnostic_DisplaySourceLocation |
                                                                    CXDiagnostic_DisplayColumn)) +
                        "\n";
        clang_disposeDiagnostic(diagnostic);
    }
    return messages;
}

} // namespace

bool ProjectFiles::contains(const std::string &path) const
{
    auto under = [&path](const std::string &folder) {
        return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
               (path.size() == folder.size() || path[folder.size()] == '/');
    };
    if (path == also)
        return true;
    if (!under(root))
        return false;
    for (const std::string &folder : excluded)
        if (under(folder))
            return false;
    return true;
}

bool parseSource(const std::string &source, const std::vector<std::string> &arguments, const ProjectFiles &project,
                 ParsedSource &out, std::string &error)
{
    CXIndex index = clang_createIndex(0, 0);
    std::vector<const char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(argument.c_str());
    CXTranslationUnit unit = nullptr;
    CXErrorCode code = clang_parseTranslationUnit2(index, source.c_str(), argv.data(), static_cast<int>(argv.size()),
                                                   nullptr, 0, CXTranslationUnit_None, &unit);
    bool parsed = code == CXError_Success && unit != nullptr;
    if (!parsed) {
        error = source + ": cannot be parsed (libclang error " + std::to_string(static_cast<int>(code)) + ")\n";
    } else {
        error = errorsOf(unit);
        parsed = error.empty();
    }
    if (parsed) {
        Walk walk{project, out, unit, {}};
        clang_visitChildren(clang_getTranslationUnitCursor(unit), visit, &walk);
        clang_getInclusions(unit, noteInclusion, &walk);
    }
    if (unit != nullptr)
        clang_disposeTranslationUnit(unit);
    clang_disposeIndex(index);
    return parsed;
}

} // namespace zepinstr
