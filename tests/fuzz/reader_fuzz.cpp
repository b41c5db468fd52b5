// zepls's message reader and dispatch on any bytes: the input is what a
// client writes, fed to the reader in pieces of a size its first byte
// chooses, every whole message handled by one server. Whatever comes, the
// server answers only with well-framed JSON objects and writes nothing
// itself to standard output.
#include "fuzz_support.h"
#include "langserver/server.h"

#include <QJsonDocument>

namespace {

void checkAnswers(const QByteArray &output)
{
    MessageReader reader{};
    feedReader(&reader, output.constData(), output.size());
    QByteArray body;
    QString problem;
    int result;
    while ((result = nextMessage(&reader, &body, &problem)) == READ_MESSAGE) {
        QJsonParseError error;
        QJsonDocument document = QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject() || !document.object().contains("jsonrpc"))
            fuzzFailure("an answer that is no JSON-RPC object");
    }
    if (result == READ_BAD || !reader.pending.isEmpty())
        fuzzFailure("the answers are not framed messages");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    startToolkitFuzzing(*argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    scratch->enter();
    // 0 feeds the input at once; an odd choice starts with the server
    // initialized, so that short inputs reach the requests.
    size_t piece = data[0] >> 1 != 0 ? data[0] >> 1 : size;
    Server server;
    server.initialized = (data[0] & 1) != 0;
    MessageReader reader{};
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    for (size_t at = 0; at < size - 1 && !server.exiting; at += piece) {
        feedReader(&reader, bytes + at, static_cast<qsizetype>(std::min(piece, size - 1 - at)));
        QByteArray body;
        QString problem;
        for (int result; !server.exiting && (result = nextMessage(&reader, &body, &problem)) != READ_MORE;) {
            if (result == READ_MESSAGE)
                handleMessage(&server, body);
        }
        if (!server.exiting)
            publishChanged(&server);
    }
    checkAnswers(server.output);
    checkNoStandardOutput();
    scratch->empty();
    scratch->leave();
    return 0;
}
