// Runs of the front end for the server: the open documents stand in for
// their files (an included file too), and messages are collected instead
// of printed.
#include "base/diagnostics.h"
#include "driver/run.h"
#include "form/form.h"
#include "langserver/server.h"

#include <QDir>

namespace {

void collectMessage(void *owner, const ReportedMessage &message)
{
    auto *server = static_cast<Server *>(owner);
    if (server->collecting != nullptr)
        server->collecting->append(message);
}

bool findOpenDocument(void *owner, const char *path, const char **bytes, size_t *length)
{
    auto *server = static_cast<Server *>(owner);
    QString clean = QDir::cleanPath(QString::fromLocal8Bit(path));
    if (server->reading != nullptr)
        server->reading->insert(clean);
    auto found = server->documents.constFind(clean);
    if (found == server->documents.constEnd())
        return false;
    *bytes = found->text.constData();
    *length = static_cast<size_t>(found->text.size());
    return true;
}

} // namespace

Run *checkDocument(Server *server, const QString &path, int lastStage, QList<ReportedMessage> *messages)
{
    RunHooks hooks{server, collectMessage, findOpenDocument, nullptr};
    server->collecting = messages;
    QByteArray name = path.toLocal8Bit();
    Run *run = startCheck(name.constData(), &hooks, lastStage);
    server->collecting = nullptr;
    // The run lives on until it is released, but these hooks end here.
    // Messages point into the run's string pool: their files are read
    // before the run is released.
    if (run != nullptr)
        run->hooks = nullptr;
    return run;
}

void releaseCheck(Run *run)
{
    finishCheck(run);
}

const Analysis *analysisOf(Server *server, const QString &path, int lastStage)
{
    auto kept = server->analyses.find(path);
    if (kept != server->analyses.end() && kept->lastStage == lastStage)
        return &*kept;
    if (kept != server->analyses.end())
        releaseCheck(kept->run);
    Analysis analysis{nullptr, lastStage, {}, {path}};
    server->reading = &analysis.reads;
    analysis.run = checkDocument(server, path, lastStage, &analysis.messages);
    server->reading = nullptr;
    return &*server->analyses.insert(path, analysis);
}

void dropStaleAnalyses(Server *server, const QString &path)
{
    for (auto it = server->analyses.begin(); it != server->analyses.end();) {
        if (it->reads.contains(path)) {
            releaseCheck(it->run);
            it = server->analyses.erase(it);
        } else {
            ++it;
        }
    }
}

Server::~Server()
{
    for (const Analysis &analysis : std::as_const(analyses))
        releaseCheck(analysis.run);
}
