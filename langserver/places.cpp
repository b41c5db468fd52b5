// Where things are, in the client's terms: URIs for paths, and 0-based
// lines with columns counted in UTF-16 units (or bytes, when the client
// takes UTF-8) for the scanner's 1-based lines and byte columns.
#include "form/form.h"
#include "langserver/server.h"

#include <QDir>
#include <QUrl>

QString pathOfUri(const QString &uri)
{
    QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile())
        return QString();
    return QDir::cleanPath(url.toLocalFile());
}

// An open document keeps the URI its client gave it.
QString uriOfPath(const Server *server, const QString &path)
{
    auto found = server->documents.constFind(path);
    if (found != server->documents.constEnd())
        return found->uri;
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString pathOfNode(const Node *node)
{
    return QDir::cleanPath(QString::fromLocal8Bit(node->directory) + QString::fromLocal8Bit(node->fileName));
}

// Messages name a file as the translator prints it: relative to the
// working directory, or absolute outside it.
QString pathOfDisplay(const char *file)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(QString::fromLocal8Bit(file)));
}

QByteArray lineOf(const QByteArray &text, int line)
{
    qsizetype start = 0;
    for (int i = 0; i < line && start >= 0; i++) {
        start = text.indexOf('\n', start);
        if (start >= 0)
            start++;
    }
    if (start < 0)
        return QByteArray();
    qsizetype end = text.indexOf('\n', start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QJsonObject clientPosition(const Server *server, const QByteArray &text, uint64_t line, uint64_t column)
{
    int clientLine = line > 0 ? static_cast<int>(line - 1) : 0;
    qsizetype bytes = column > 0 ? static_cast<qsizetype>(column - 1) : 0;
    qsizetype character = bytes;
    if (!server->utf8Columns && !text.isEmpty())
        character = QString::fromUtf8(lineOf(text, clientLine).left(bytes)).size();
    return QJsonObject{{"line", clientLine}, {"character", static_cast<qint64>(character)}};
}

QJsonObject clientRange(const Server *server, const QByteArray &text, const Node *node)
{
    uint64_t endLine = node->endLine, endColumn = node->endColumn;
    // A block whose end was never read keeps the place of its name.
    if (endLine < node->beginLine || (endLine == node->beginLine && endColumn < node->beginColumn)) {
        endLine = node->beginLine;
        endColumn = node->beginColumn;
    }
    return QJsonObject{{"start", clientPosition(server, text, node->beginLine, node->beginColumn)},
                       {"end", clientPosition(server, text, endLine, endColumn + 1)}};
}

uint64_t byteColumn(const Server *server, const QByteArray &text, int line, int character)
{
    if (character < 0)
        return 1;
    if (server->utf8Columns)
        return static_cast<uint64_t>(character) + 1;
    QString units = QString::fromUtf8(lineOf(text, line));
    return static_cast<uint64_t>(units.left(character).toUtf8().size()) + 1;
}
