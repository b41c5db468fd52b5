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
    auto found = server->documents.constFind(QDir::cleanPath(QString::fromLocal8Bit(path)));
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
