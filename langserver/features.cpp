// What the server answers from a run on a document: its diagnostics, its
// symbols, where a name is defined, and the keywords a block takes.
#include "base/diagnostics.h"
#include "driver/run.h"
#include "form/form.h"
#include "langserver/server.h"
#include "lexer/lexer.h"
#include "parser/blocks.h"

#include <QDir>
#include <initializer_list>

namespace {

Node *rootOf(const Analysis *analysis)
{
    return analysis->run != nullptr ? analysis->run->root : nullptr;
}

QByteArray textOf(const Server *server, const QString &path)
{
    auto found = server->documents.constFind(path);
    return found != server->documents.constEnd() ? found->text : QByteArray();
}

// A message is an error on its line, from the token it names (or the
// line's start) to the start of the next line.
QJsonObject diagnosticOf(const Server *server, const QByteArray &text, const ReportedMessage &message)
{
    QJsonObject start = clientPosition(server, text, message.line, message.column);
    QJsonObject end{{"line", start.value("line").toInt() + 1}, {"character", 0}};
    return QJsonObject{{"range", QJsonObject{{"start", start}, {"end", end}}},
                       {"severity", 1},
                       {"source", "zepls"},
                       {"code", static_cast<int>(message.code)},
                       {"message", message.text}};
}

void publish(Server *server, const QString &path, const QJsonArray &diagnostics)
{
    QJsonObject params{{"uri", uriOfPath(server, path)}, {"diagnostics", diagnostics}};
    auto found = server->documents.constFind(path);
    if (found != server->documents.constEnd())
        params["version"] = found->version;
    sendMessage(server, QJsonObject{{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"},
                                    {"params", params}});
}

// The kinds listed as symbols, with the protocol's symbol kind of each.
int symbolKind(uint32_t kind)
{
    switch (kind) {
    case KIND_TEST_CLASS:
    case KIND_CLASS:
    case KIND_SINGLE_CLASS:
        return 5; // Class
    case KIND_TEST_SUITE:
        return 3; // Namespace
    case KIND_TEST_CASE:
    case KIND_WRAP:
        return 6; // Method
    case KIND_PROC:
    case KIND_STUB:
        return 12; // Function
    case KIND_PROPERTY:
        return 7; // Property
    case KIND_PROLOGUE:
    case KIND_EPILOGUE:
        return 24; // Event
    case KIND_INVARIANT:
        return 14; // Constant
    case KIND_UMLSTATE:
        return 22; // EnumMember
    default:
        return 0;
    }
}

QJsonArray symbolsUnder(const Server *server, const QByteArray &text, const Node *parent)
{
    QJsonArray symbols;
    for (const Node *node = parent->firstChild; node != nullptr; node = node->nextSibling) {
        if (node->fileNo != 1)
            continue;
        int kind = symbolKind(node->kind);
        QJsonArray children = symbolsUnder(server, text, node);
        if (kind == 0) {
            for (const QJsonValue &child : children)
                symbols.append(child);
            continue;
        }
        QString name = node->name != nullptr && *node->name != '\0' ? QString::fromLocal8Bit(node->name)
                                                                     : QString::fromLatin1(kindName(node->kind));
        QJsonObject range = clientRange(server, text, node);
        QJsonObject symbol{{"name", name.simplified()},
                           {"detail", QString::fromLatin1(kindName(node->kind))},
                           {"kind", kind},
                           {"range", range},
                           {"selectionRange", range}};
        if (!children.isEmpty())
            symbol["children"] = children;
        symbols.append(symbol);
    }
    return symbols;
}

// The deepest node of the document's own file whose span holds the place.
const Node *nodeAt(const Node *parent, uint64_t line, uint64_t column)
{
    for (const Node *node = parent->firstChild; node != nullptr; node = node->nextSibling) {
        if (node->fileNo != 1)
            continue;
        bool after = line > node->beginLine || (line == node->beginLine && column >= node->beginColumn);
        bool before = line < node->endLine || (line == node->endLine && column <= node->endColumn + 1);
        if (after && before) {
            const Node *inner = nodeAt(node, line, column);
            return inner != nullptr ? inner : node;
        }
    }
    return nullptr;
}

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The name the place is in, from the document's text.
QByteArray wordAt(const QByteArray &line, uint64_t column)
{
    qsizetype at = static_cast<qsizetype>(column) - 1;
    if (at < 0 || at > line.size())
        return QByteArray();
    qsizetype start = at, end = at;
    while (start > 0 && isNameByte(line[start - 1]))
        start--;
    while (end < line.size() && isNameByte(line[end]))
        end++;
    return line.mid(start, end - start);
}

// The first element of one of the kinds named word, depth first.
const Node *firstNamed(const Node *parent, const QByteArray &word, std::initializer_list<uint32_t> kinds)
{
    for (const Node *node = parent->firstChild; node != nullptr; node = node->nextSibling) {
        for (uint32_t kind : kinds) {
            if (node->kind == kind && node->name != nullptr && word == node->name)
                return node;
        }
        if (const Node *inner = firstNamed(node, word, kinds))
            return inner;
    }
    return nullptr;
}

// The element a name stands for as resolution bound it; a script with
// syntax errors is not resolved, and there the first element of the kinds
// with that name stands in.
const Node *elementOf(const Node *root, const Node *resolved, const QByteArray &word,
                      std::initializer_list<uint32_t> kinds)
{
    return resolved != nullptr ? resolved : firstNamed(root, word, kinds);
}

const Node *segmentNamed(const Node *root, const NameSegment *segment, const QByteArray &word,
                         std::initializer_list<uint32_t> kinds)
{
    for (; segment != nullptr; segment = segment->next) {
        if (word == segment->text)
            return elementOf(root, segment->resolved, word, kinds);
    }
    return nullptr;
}

// What the name at a node stands for: a node, or for an INCLUDE its file.
struct Target {
    const Node *node;
    QString file;
};

Target targetOf(const Node *root, const Node *node, const QByteArray &word)
{
    if (node->payload == nullptr && node->kind != KIND_INCLUDE)
        return {};
    switch (node->kind) {
    case KIND_CALL:
        return {segmentNamed(root, static_cast<CallInfo *>(node->payload)->target, word, {KIND_PROC}), {}};
    case KIND_CHECK_PROPERTY:
        return {segmentNamed(root, static_cast<PropertyCheckInfo *>(node->payload)->target, word, {KIND_PROPERTY}),
                {}};
    case KIND_RUN_COMPONENT:
        return {segmentNamed(root, static_cast<RunInfo *>(node->payload)->component, word,
                             {KIND_TEST_CLASS, KIND_TEST_SUITE, KIND_TEST_CASE}),
                {}};
    case KIND_TEST_CLASS: {
        const ClassInfo *info = static_cast<ClassInfo *>(node->payload);
        if (info->base != nullptr && word == info->base->text)
            return {elementOf(root, info->resolvedBase, word, {KIND_TEST_CLASS}), {}};
        return {};
    }
    case KIND_CHECK_STUB:
        if (node->name == nullptr || word != node->name)
            return {};
        return {elementOf(root, static_cast<StubCheckInfo *>(node->payload)->resolvedStub, word, {KIND_STUB}), {}};
    case KIND_INCLUDE: {
        QString name = QString::fromLocal8Bit(node->name);
        return {nullptr, QDir::cleanPath(QDir(QString::fromLocal8Bit(node->directory)).absoluteFilePath(name))};
    }
    default:
        return {};
    }
}

// A CHECK STUB without a body spans only its ';', so a place on its name
// lies in the enclosing block: there it is found by its line and name.
const Node *shortStubCheck(const Node *block, uint64_t line, const QByteArray &word)
{
    for (const Node *node = block->firstChild; node != nullptr; node = node->nextSibling) {
        if (node->kind == KIND_CHECK_STUB && node->beginLine == line && node->name != nullptr && word == node->name)
            return node;
    }
    return nullptr;
}

// The target of the name at a client's place, with what the caller makes
// of it while the run's tree still stands.
template <typename Answer>
QJsonValue answerAt(Server *server, const QString &path, int line, int character, Answer answer)
{
    QByteArray text = textOf(server, path);
    Node *root = rootOf(analysisOf(server, path, CHECK_RESOLVE));
    if (root == nullptr)
        return QJsonValue::Null;
    uint64_t column = byteColumn(server, text, line, character);
    const Node *node = nodeAt(root, static_cast<uint64_t>(line) + 1, column);
    QJsonValue result = QJsonValue::Null;
    if (node != nullptr) {
        QByteArray word = wordAt(lineOf(text, line), column);
        if (const Node *check = shortStubCheck(node, static_cast<uint64_t>(line) + 1, word))
            node = check;
        Target target = targetOf(root, node, word);
        if (target.node != nullptr || !target.file.isEmpty())
            result = answer(target);
    }
    return result;
}

QJsonObject locationOf(const Server *server, const Target &target)
{
    QString file = target.node != nullptr ? pathOfNode(target.node) : target.file;
    QJsonObject start = target.node != nullptr
                            ? clientPosition(server, textOf(server, file), target.node->beginLine,
                                             target.node->beginColumn)
                            : QJsonObject{{"line", 0}, {"character", 0}};
    return QJsonObject{{"uri", uriOfPath(server, file)}, {"range", QJsonObject{{"start", start}, {"end", start}}}};
}

// A keyword as completion offers it: in upper case as the language
// reference writes it; include and the words that open native code in lower
// case, as C and C++ write theirs.
QString keywordLabel(uint32_t code)
{
    const char *first, *second;
    if (!keywordWords(code, &first, &second))
        return QString();
    QString label = QString::fromLatin1(first);
    if (second != nullptr)
        label += QLatin1Char(' ') + QString::fromLatin1(second);
    bool asInC = code == KIND_INCLUDE || code == KIND_CPP || code == KIND_JAVA;
    return asInC ? label : label.toUpper();
}

// The keywords that may start a component in a block of the kind, from the
// parser's own tables.
QStringList keywordsOf(uint32_t block, bool contracts)
{
    QStringList keywords;
    for (const ComponentTable *table = componentsOf(block, contracts); table != nullptr; table = table->more) {
        for (size_t i = 0; i < table->count; i++) {
            QString label = keywordLabel(table->components[i].code);
            if (!label.isEmpty())
                keywords.append(label);
        }
        if ((table->takes & TAKES_COMMENT) != 0)
            keywords.append(keywordLabel(KIND_COMMENT));
        if ((table->takes & TAKES_NATIVE) != 0)
            keywords << keywordLabel(KIND_CPP) << keywordLabel(KIND_JAVA);
    }
    return keywords;
}

// The blocks whose own keywords are offered; inside any other block those
// of the block around it are.
bool hasBlockKeywords(uint32_t kind)
{
    return kind == KIND_TEST_CLASS || kind == KIND_TEST_SUITE || kind == KIND_TEST_CASE || kind == KIND_PROC ||
           kind == KIND_STUB || kind == KIND_PROLOGUE || kind == KIND_EPILOGUE || kind == KIND_ON_ERROR ||
           kind == KIND_CLASS || kind == KIND_SINGLE_CLASS;
}

} // namespace

void publishDiagnostics(Server *server, const QString &path)
{
    const Analysis *analysis = analysisOf(server, path, CHECK_EXPAND);
    QByteArray text = textOf(server, path);
    QHash<QString, QJsonArray> byFile;
    byFile[path];
    for (const ReportedMessage &message : analysis->messages) {
        QString file = message.file != nullptr ? pathOfDisplay(message.file) : path;
        byFile[file].append(diagnosticOf(server, file == path ? text : textOf(server, file), message));
    }
    QSet<QString> others;
    for (auto it = byFile.constBegin(); it != byFile.constEnd(); ++it) {
        publish(server, it.key(), it.value());
        if (it.key() != path)
            others.insert(it.key());
    }
    for (const QString &mended : server->publishedFor.value(path)) {
        if (!others.contains(mended))
            publish(server, mended, QJsonArray());
    }
    server->publishedFor[path] = others;
}

QJsonArray documentSymbols(Server *server, const QString &path)
{
    Node *root = rootOf(analysisOf(server, path, CHECK_PARSE));
    if (root == nullptr)
        return QJsonArray();
    return symbolsUnder(server, textOf(server, path), root);
}

QJsonValue definitionAt(Server *server, const QString &path, int line, int character)
{
    return answerAt(server, path, line, character,
                    [server](const Target &target) { return QJsonValue(locationOf(server, target)); });
}

QJsonValue hoverAt(Server *server, const QString &path, int line, int character)
{
    QJsonValue answer = answerAt(server, path, line, character, [](const Target &target) {
        QString where = target.node != nullptr ? pathOfNode(target.node) : target.file;
        QString place = QDir::current().relativeFilePath(where);
        QString text;
        if (target.node != nullptr)
            text = QStringLiteral("**%1** `%2`  \ndefined at %3:%4")
                       .arg(QString::fromLatin1(kindName(target.node->kind)),
                            QString::fromLocal8Bit(target.node->name), place, QString::number(target.node->beginLine));
        else
            text = QStringLiteral("**INCLUDE** file %1").arg(place);
        QJsonObject contents{{"kind", "markdown"}, {"value", text}};
        return QJsonValue(QJsonObject{{"contents", contents}});
    });
    if (!answer.isNull())
        return answer;
    QByteArray text = textOf(server, path);
    return keywordHover(lineOf(text, line), byteColumn(server, text, line, character));
}

QJsonArray completionAt(Server *server, const QString &path, int line, int character)
{
    QByteArray text = textOf(server, path);
    Node *root = rootOf(analysisOf(server, path, CHECK_PARSE));
    uint32_t block = 0;
    if (root != nullptr) {
        uint64_t column = byteColumn(server, text, line, character);
        for (const Node *node = nodeAt(root, static_cast<uint64_t>(line) + 1, column); node != nullptr;
             node = node->parent) {
            if (hasBlockKeywords(node->kind)) {
                block = node->kind;
                break;
            }
        }
    }
    bool contracts = path.endsWith(QStringLiteral(".otc"), Qt::CaseInsensitive);
    QJsonArray items;
    for (const QString &keyword : keywordsOf(block, contracts))
        items.append(QJsonObject{{"label", keyword}, {"kind", 14}});
    return items;
}
