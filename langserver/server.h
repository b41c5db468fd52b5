// zepls: the translator's front end behind the Language Server Protocol,
// spoken as JSON-RPC over standard input and output. Standard output carries
// protocol messages only; what the server has to say besides goes to
// standard error, which editors keep as the server's log.
#pragma once
#include "base/diagnostics.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

struct Node;
struct Run;

// The message reader: a header ("Content-Length: N" among other fields,
// each ended by CR LF, then an empty line) and N bytes of JSON.
enum : int { READ_MESSAGE = 0, READ_MORE = 1, READ_BAD = 2 };
// A header that long without its end is no header; a body larger than the
// limit is dropped unread, so that a client cannot make the server hold it.
enum : qsizetype { HEADER_LIMIT = 8192 };
enum : qint64 { BODY_LIMIT = 64 << 20 };

struct MessageReader {
    QByteArray pending;
    qint64 dropping;       // bytes of a refused body still to come
    bool passingHeader;    // an overlong header is passed over to its end
};

void feedReader(MessageReader *reader, const char *bytes, qsizetype count);
// READ_MESSAGE with the next body; READ_MORE when its bytes have not all
// come; READ_BAD with what was wrong when a header was malformed or a body
// refused (the reader has passed over it).
int nextMessage(MessageReader *reader, QByteArray *body, QString *problem);

// An open document, by its path on disk.
struct Document {
    QString uri;
    QByteArray text;
    qint64 version;
};

// JSON-RPC and LSP error codes.
enum : int {
    PARSE_ERROR = -32700,
    INVALID_REQUEST = -32600,
    METHOD_NOT_FOUND = -32601,
    INVALID_PARAMS = -32602,
    SERVER_NOT_INITIALIZED = -32002,
    REQUEST_CANCELLED = -32800,
};

// What one check of an open document found: its run (tree and string
// pool, null when it could not be set up) and messages, kept for the
// requests that follow until a change makes it stale.
struct Analysis {
    Run *run;
    int lastStage;
    QList<ReportedMessage> messages; // their files point into the run
    // Every path the run asked the open documents for, found or not: a
    // change, opening or closing of any of them makes the analysis stale.
    QSet<QString> reads;
};

struct Server {
    Server() = default;
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;
    ~Server(); // releases the analyses still kept
    QHash<QString, Document> documents;
    // One analysis per open document, by its path.
    QHash<QString, Analysis> analyses;
    // The documents whose diagnostics wait for the end of a batch of
    // messages: of several changes in a row only the last is checked.
    QSet<QString> changed;
    // For each checked document, the other files its last check gave
    // messages to, so that they are emptied once mended.
    QHash<QString, QSet<QString>> publishedFor;
    // Request ids of the batch being handled that a $/cancelRequest of the
    // same batch names.
    QSet<QString> cancelled;
    bool initialized = false;
    bool shuttingDown = false;
    bool exiting = false;
    int exitStatus = 0;
    // Columns as bytes (UTF-8) when the client takes them so, else UTF-16.
    bool utf8Columns = false;
    QByteArray output; // framed messages not yet written
    QList<ReportedMessage> *collecting = nullptr;
    QSet<QString> *reading = nullptr;
};

// Messages are handled in batches, as many as have come: a request whose
// cancellation is in its batch is answered as cancelled.
void noteCancellations(Server *server, const QList<QByteArray> &bodies);
// One message body from the client; answers go to server->output.
void handleMessage(Server *server, const QByteArray &body);
// Checks the documents changed since the last call and publishes their
// diagnostics.
void publishChanged(Server *server);
// Frames a message for the client.
void sendMessage(Server *server, const QJsonObject &message);
void logLine(const QString &text);

// Path and place conversions (places.cpp).
QString pathOfUri(const QString &uri);
QString uriOfPath(const Server *server, const QString &path);
// The clean absolute path of a node's file, or of a message's file name.
QString pathOfNode(const Node *node);
QString pathOfDisplay(const char *file);
// A client position from a 1-based line and byte column of text.
QJsonObject clientPosition(const Server *server, const QByteArray &text, uint64_t line, uint64_t column);
QJsonObject clientRange(const Server *server, const QByteArray &text, const Node *node);
// The 1-based byte column of a client's character on a 0-based line.
uint64_t byteColumn(const Server *server, const QByteArray &text, int line, int character);
QByteArray lineOf(const QByteArray &text, int line);

// The front end on a document (analysis.cpp): a run on path with the open
// documents standing in for their files, collecting messages when asked.
Run *checkDocument(Server *server, const QString &path, int lastStage, QList<ReportedMessage> *messages);
void releaseCheck(Run *run);
// The document's analysis up to lastStage: the one kept when it stopped at
// that stage too, else a new one that takes its place (stages may build
// different trees, so one never answers for another).
const Analysis *analysisOf(Server *server, const QString &path, int lastStage);
// Releases every analysis that read path, once it has changed or gone.
void dropStaleAnalyses(Server *server, const QString &path);

// Answers (features.cpp): the result of each request, or a null value.
QJsonArray documentSymbols(Server *server, const QString &path);
QJsonValue definitionAt(Server *server, const QString &path, int line, int character);
QJsonValue hoverAt(Server *server, const QString &path, int line, int character);
// The hover of the reserved word at a byte column (1-based) of a line: its
// summary from the language reference; null when there is none.
QJsonValue keywordHover(const QByteArray &line, uint64_t column);
QJsonArray completionAt(Server *server, const QString &path, int line, int character);
void publishDiagnostics(Server *server, const QString &path);
