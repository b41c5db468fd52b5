// zepls entry: the toolkit and the message translations, then messages in
// batches from standard input until exit or the end of the input.
#include "base/diagnostics.h"
#include "langserver/server.h"

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace {

// No toolkit warning may reach the log.
void dropToolkitMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

// The catalogues of the installation: PROBAXDIR's, as for the translator,
// else those installed beside the server.
QString localeDirectory()
{
    const char *installation = getenv("PROBAXDIR");
    if (installation != nullptr && *installation != '\0')
        return QString::fromLocal8Bit(installation) + QStringLiteral("/lib/locale");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/locale");
}

bool writeAll(const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        ssize_t written = write(STDOUT_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Reads what has come, waiting only for the first bytes; false at the end
// of the input.
bool readAvailable(MessageReader *reader)
{
    static char buffer[1 << 16];
    bool waited = false;
    for (;;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (waited && poll(&input, 1, 0) <= 0)
            return true;
        ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return waited;
        feedReader(reader, buffer, got);
        waited = true;
    }
}

} // namespace

int main(int argc, char **argv)
{
    (void)argc;
    qInstallMessageHandler(dropToolkitMessage);
    // A client gone away must end the server by a failed write, not a signal.
    signal(SIGPIPE, SIG_IGN);
    int toolkitArgc = 1;
    QCoreApplication application(toolkitArgc, argv);
    installTranslations(&application, QDir::cleanPath(localeDirectory()));
    Server server;
    MessageReader reader{};
    while (readAvailable(&reader)) {
        QList<QByteArray> bodies;
        QByteArray body;
        QString problem;
        for (int result; (result = nextMessage(&reader, &body, &problem)) != READ_MORE;) {
            if (result == READ_MESSAGE)
                bodies.append(body);
            else
                logLine(QStringLiteral("message dropped: ") + problem);
        }
        noteCancellations(&server, bodies);
        for (const QByteArray &message : bodies) {
            handleMessage(&server, message);
            if (server.exiting)
                break;
        }
        if (!server.exiting)
            publishChanged(&server);
        bool written = writeAll(server.output);
        server.output.clear();
        if (server.exiting)
            return server.exitStatus;
        if (!written)
            return 1;
    }
    logLine(QStringLiteral("the input ended without exit"));
    return 1;
}
