// The protocol's life cycle and the dispatch of its messages: initialize,
// shutdown and exit, the open documents, and the requests the server
// answers. Anything malformed gets the protocol's error or, for a
// notification, a line in the log.
#include "io/files.h"
#include "langserver/server.h"

#include <QJsonDocument>
#include <QJsonArray>
#include <cstdio>

void logLine(const QString &text)
{
    fprintf(stderr, "zepls: %s\n", text.toLocal8Bit().constData());
    fflush(stderr);
}

void sendMessage(Server *server, const QJsonObject &message)
{
    QByteArray body = QJsonDocument(message).toJson(QJsonDocument::Compact);
    server->output += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

namespace {

// A request's id as a key: numbers and strings alike.
QString idKey(const QJsonValue &id)
{
    return id.isString() ? QStringLiteral("s") + id.toString() : QStringLiteral("n") + QString::number(id.toDouble());
}

void respond(Server *server, const QJsonValue &id, const QJsonValue &result)
{
    sendMessage(server, QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void respondError(Server *server, const QJsonValue &id, int code, const QString &text)
{
    sendMessage(server, QJsonObject{{"jsonrpc", "2.0"},
                                    {"id", id},
                                    {"error", QJsonObject{{"code", code}, {"message", text}}}});
}

// The path of params.textDocument.uri when it is a script's file URI.
QString scriptPath(const QJsonObject &params)
{
    QJsonValue uri = params["textDocument"].toObject()["uri"];
    if (!uri.isString())
        return QString();
    QString path = pathOfUri(uri.toString());
    QByteArray name = path.toLocal8Bit();
    if (path.isEmpty() || classifySourceName(name.constData()) == SOURCE_NONE)
        return QString();
    return path;
}

QJsonObject capabilities(const Server *server)
{
    QJsonObject capabilities{
        {"positionEncoding", server->utf8Columns ? "utf-8" : "utf-16"},
        {"textDocumentSync", QJsonObject{{"openClose", true}, {"change", 1}, {"save", true}}},
        {"documentSymbolProvider", true},
        {"definitionProvider", true},
        {"hoverProvider", true},
        {"completionProvider", QJsonObject{{"triggerCharacters", QJsonArray()}}},
    };
    return QJsonObject{{"capabilities", capabilities},
                       {"serverInfo", QJsonObject{{"name", "zepls"}, {"version", ZEP_VERSION}}}};
}

void initialize(Server *server, const QJsonValue &id, const QJsonObject &params)
{
    const QJsonArray encodings = params["capabilities"].toObject()["general"].toObject()["positionEncodings"].toArray();
    server->utf8Columns = encodings.contains(QJsonValue("utf-8"));
    server->initialized = true;
    respond(server, id, capabilities(server));
}

// A place in a document: textDocument and position, or false.
bool placeOf(const Server *server, const QJsonObject &params, QString *path, int *line, int *character)
{
    *path = scriptPath(params);
    QJsonValue position = params["position"];
    QJsonValue lineValue = position.toObject()["line"], characterValue = position.toObject()["character"];
    if (path->isEmpty() || !server->documents.contains(*path) || !lineValue.isDouble() || !characterValue.isDouble())
        return false;
    *line = lineValue.toInt(-1);
    *character = characterValue.toInt(-1);
    return *line >= 0 && *character >= 0;
}

void answerRequest(Server *server, const QJsonValue &id, const QString &method, const QJsonObject &params)
{
    if (method == QLatin1String("shutdown")) {
        server->shuttingDown = true;
        respond(server, id, QJsonValue::Null);
        return;
    }
    if (method == QLatin1String("textDocument/documentSymbol")) {
        QString path = scriptPath(params);
        if (path.isEmpty() || !server->documents.contains(path))
            respondError(server, id, INVALID_PARAMS, QStringLiteral("not an open script"));
        else
            respond(server, id, documentSymbols(server, path));
        return;
    }
    bool definition = method == QLatin1String("textDocument/definition");
    bool hover = method == QLatin1String("textDocument/hover");
    bool completion = method == QLatin1String("textDocument/completion");
    if (!definition && !hover && !completion) {
        respondError(server, id, METHOD_NOT_FOUND, QStringLiteral("unknown method %1").arg(method));
        return;
    }
    QString path;
    int line, character;
    if (!placeOf(server, params, &path, &line, &character)) {
        respondError(server, id, INVALID_PARAMS, QStringLiteral("not a place in an open script"));
        return;
    }
    if (definition)
        respond(server, id, definitionAt(server, path, line, character));
    else if (hover)
        respond(server, id, hoverAt(server, path, line, character));
    else
        respond(server, id, completionAt(server, path, line, character));
}

// Full synchronisation: each change carries the whole text.
bool takeText(Server *server, const QString &path, const QJsonObject &params, const QJsonValue &text)
{
    if (path.isEmpty() || !text.isString())
        return false;
    Document &document = server->documents[path];
    document.uri = params["textDocument"].toObject()["uri"].toString();
    document.text = text.toString().toUtf8();
    document.version = params["textDocument"].toObject()["version"].toInteger();
    server->changed.insert(path);
    dropStaleAnalyses(server, path);
    return true;
}

void closeDocument(Server *server, const QString &path)
{
    if (!server->documents.contains(path))
        return;
    server->changed.remove(path);
    // Its messages go with it, and those it gave to included files.
    QSet<QString> cleared = server->publishedFor.take(path);
    cleared.insert(path);
    for (const QString &file : cleared)
        sendMessage(server, QJsonObject{{"jsonrpc", "2.0"},
                                        {"method", "textDocument/publishDiagnostics"},
                                        {"params", QJsonObject{{"uri", uriOfPath(server, file)},
                                                               {"diagnostics", QJsonArray()}}}});
    server->documents.remove(path);
    dropStaleAnalyses(server, path);
}

// Notifications: false when their params are not what the method takes.
bool takeNotification(Server *server, const QString &method, const QJsonObject &params)
{
    QString path = scriptPath(params);
    if (method == QLatin1String("textDocument/didOpen"))
        return takeText(server, path, params, params["textDocument"].toObject()["text"]);
    if (method == QLatin1String("textDocument/didChange")) {
        // Only whole texts are taken: a change of a range is refused.
        QJsonArray changes = params["contentChanges"].toArray();
        QJsonObject last = changes.isEmpty() ? QJsonObject() : changes.last().toObject();
        return server->documents.contains(path) && !last.contains("range") &&
               takeText(server, path, params, last.value("text"));
    }
    if (method == QLatin1String("textDocument/didSave")) {
        if (!server->documents.contains(path))
            return false;
        // A save is checked afresh, with the files on disk as they are now.
        server->changed.insert(path);
        dropStaleAnalyses(server, path);
        return true;
    }
    if (method == QLatin1String("textDocument/didClose")) {
        closeDocument(server, path);
        return !path.isEmpty();
    }
    if (method == QLatin1String("$/cancelRequest")) {
        QJsonValue id = params["id"];
        return id.isString() || id.isDouble();
    }
    // Other notifications (initialized, $/setTrace ...) need nothing.
    return true;
}

} // namespace

void handleMessage(Server *server, const QByteArray &body)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        respondError(server, QJsonValue::Null, PARSE_ERROR, error.errorString());
        return;
    }
    const QJsonObject message = document.object();
    QJsonValue id = message["id"], method = message["method"], params = message["params"];
    bool request = message.contains("id");
    // The server asks the client nothing, so an answer is answered by nothing.
    if (document.isObject() && method.isUndefined() && (message.contains("result") || message.contains("error"))) {
        logLine(QStringLiteral("an answer to no request ignored"));
        return;
    }
    if (!document.isObject() || !method.isString() || (request && !id.isString() && !id.isDouble()) ||
        (!params.isUndefined() && !params.isNull() && !params.isObject() && !params.isArray())) {
        respondError(server, id.isString() || id.isDouble() ? id : QJsonValue::Null, INVALID_REQUEST,
                     QStringLiteral("not a request or notification"));
        return;
    }
    QString name = method.toString();
    if (!request) {
        if (name == QLatin1String("exit")) {
            server->exiting = true;
            server->exitStatus = server->shuttingDown ? 0 : 1;
        } else if (server->initialized && !server->shuttingDown && !takeNotification(server, name, params.toObject())) {
            logLine(QStringLiteral("%1: parameters ignored").arg(name));
        }
        return;
    }
    if (server->cancelled.remove(idKey(id))) {
        respondError(server, id, REQUEST_CANCELLED, QStringLiteral("cancelled"));
    } else if (name == QLatin1String("initialize")) {
        if (server->initialized)
            respondError(server, id, INVALID_REQUEST, QStringLiteral("initialize was already received"));
        else
            initialize(server, id, params.toObject());
    } else if (!server->initialized) {
        respondError(server, id, SERVER_NOT_INITIALIZED, QStringLiteral("initialize must come first"));
    } else if (server->shuttingDown) {
        respondError(server, id, INVALID_REQUEST, QStringLiteral("shutdown was received"));
    } else {
        answerRequest(server, id, name, params.toObject());
    }
}

void noteCancellations(Server *server, const QList<QByteArray> &bodies)
{
    server->cancelled.clear();
    for (const QByteArray &body : bodies) {
        if (!body.contains("$/cancelRequest"))
            continue;
        const QJsonObject message = QJsonDocument::fromJson(body).object();
        QJsonValue id = message["params"].toObject()["id"];
        if (message["method"] == QLatin1String("$/cancelRequest") && (id.isString() || id.isDouble()))
            server->cancelled.insert(idKey(id));
    }
}

void publishChanged(Server *server)
{
    const QSet<QString> changed = server->changed;
    server->changed.clear();
    for (const QString &path : changed)
        publishDiagnostics(server, path);
}
