// The message reader on whole, split and malformed input, and runs of the
// front end repeated in one process.
#include "base/diagnostics.h"
#include "base/memory.h"
#include "driver/run.h"
#include "form/form.h"
#include "langserver/server.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// What the reader makes of input: each body read, or "!" for one dropped.
std::vector<std::string> readAll(const std::string &input, size_t piece)
{
    MessageReader reader{};
    std::vector<std::string> got;
    for (size_t at = 0; at < input.size(); at += piece) {
        feedReader(&reader, input.data() + at, static_cast<qsizetype>(std::min(piece, input.size() - at)));
        QByteArray body;
        QString problem;
        for (int result; (result = nextMessage(&reader, &body, &problem)) != READ_MORE;)
            got.push_back(result == READ_MESSAGE ? body.toStdString() : "!");
    }
    return got;
}

TEST(MessageReader, BodiesAndMalformedHeaders)
{
    std::string big = "Content-Length: " + std::to_string(BODY_LIMIT + 1) + "\r\n\r\n";
    struct Case {
        std::string input;
        std::vector<std::string> expected;
    } cases[] = {
        {"Content-Length: 2\r\n\r\n{}Content-Length: 3\r\n\r\n[1]", {"{}", "[1]"}},
        {"content-length:2\r\nContent-Type: x\r\n\r\n{}", {"{}"}},
        {"Content-Type: x\r\n\r\nContent-Length: 1\r\n\r\n1", {"!", "1"}},
        {"Content-Length: -4\r\n\r\nContent-Length: 1\r\n\r\n1", {"!", "1"}},
        {"Content-Length: 2x\r\n\r\n", {"!"}},
        {"Content-Length: 99999999999999999999\r\n\r\n", {"!"}},
        {"Content-Length: 1\r\nContent-Length: 2\r\n\r\n", {"!"}},
        {"no field\r\n\r\nContent-Length: 1\r\n\r\n1", {"!", "1"}},
        {"Content-Length: 10\r\n\r\nshort", {}},
        {std::string(HEADER_LIMIT + 10, 'x') + "\r\n\r\nContent-Length: 1\r\n\r\n1", {"!", "1"}},
        {big + std::string(10, ' ') + "Content-Length: 1\r\n\r\n1", {"!"}},
    };
    for (const Case &c : cases) {
        for (size_t piece : {c.input.size(), size_t{1}, size_t{7}})
            EXPECT_EQ(readAll(c.input, piece), c.expected) << c.input.substr(0, 60) << " in pieces of " << piece;
    }
}

TEST(MessageReader, ARefusedBodyIsDroppedAsItComes)
{
    MessageReader reader{};
    std::string header = "Content-Length: " + std::to_string(BODY_LIMIT + 5) + "\r\n\r\n";
    feedReader(&reader, header.data(), static_cast<qsizetype>(header.size()));
    QByteArray body;
    QString problem;
    EXPECT_EQ(nextMessage(&reader, &body, &problem), READ_BAD);
    std::string chunk(1 << 20, 'z');
    for (qint64 left = BODY_LIMIT + 5; left > 0; left -= static_cast<qint64>(chunk.size()))
        feedReader(&reader, chunk.data(), static_cast<qsizetype>(std::min<qint64>(left, chunk.size())));
    EXPECT_EQ(reader.pending.size(), 0);
    std::string next = "Content-Length: 1\r\n\r\n7";
    feedReader(&reader, next.data(), static_cast<qsizetype>(next.size()));
    EXPECT_EQ(nextMessage(&reader, &body, &problem), READ_MESSAGE);
    EXPECT_EQ(body, "7");
}

// Each run starts from nothing that an earlier one left: the same text gives
// the same messages from the same work.
TEST(RepeatedRuns, SameMessagesAndNothingKept)
{
    int argc = 1;
    char name[] = "zepls";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    Server server;
    QString path = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-repeat/a.otd"));
    server.documents[path] = Document{QString(), "TEST SUITE S {\n  TEST CASE c { CALL nowhere (); }\n}\n"
                                                 "RUN { S; T; }\n", 1};
    std::vector<std::string> first;
    unsigned long firstAllocations = 0;
    for (int run = 0; run < 50; run++) {
        QList<ReportedMessage> messages;
        failAllocation(0);
        releaseCheck(checkDocument(&server, path, 3, &messages));
        unsigned long allocations = failAllocation(0);
        std::vector<std::string> texts;
        for (const ReportedMessage &message : messages)
            texts.push_back(std::to_string(message.line) + ": " + message.text.toStdString());
        if (run == 0) {
            first = texts;
            firstAllocations = allocations;
        }
        ASSERT_EQ(texts, first) << "run " << run;
        // A table or pool kept from an earlier run would spare allocations.
        ASSERT_EQ(allocations, firstAllocations) << "run " << run;
    }
    EXPECT_FALSE(first.empty());
}

// Two analyses held at once keep apart: the second neither counts into the
// first nor takes its tree or texts away.
TEST(RepeatedRuns, TwoRunsLiveSideBySide)
{
    int argc = 1;
    char name[] = "zepls";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    Server server;
    QString faulty = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-two/a.otd"));
    QString clean = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-two/b.otd"));
    server.documents[faulty] = Document{QString(), "TEST SUITE S { TEST CASE c { CALL nowhere (); } }\n", 1};
    server.documents[clean] = Document{QString(), "TEST SUITE T { TEST CASE d { } }\n", 1};
    QList<ReportedMessage> faultyMessages, cleanMessages;
    ::Run *first = checkDocument(&server, faulty, 3, &faultyMessages);
    ::Run *second = checkDocument(&server, clean, 3, &cleanMessages);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->errorCount, static_cast<uint64_t>(faultyMessages.size()));
    EXPECT_GT(first->errorCount, 0u);
    EXPECT_EQ(second->errorCount, 0u);
    releaseCheck(second);
    ASSERT_NE(first->root->firstChild, nullptr);
    EXPECT_STREQ(first->root->firstChild->name, "S");
    releaseCheck(first);
}

} // namespace

namespace {

// A server with the toolkit it needs.
class ServerTest : public ::testing::Test {
    int argc = 1;
    char name[6] = "zepls";
    char *argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};

protected:
    Server server;
};

// A notification about the document at path, with its text unless empty.
void notify(Server *server, const char *method, const QString &path, int version, const char *text = "")
{
    QJsonObject document{{"uri", "file://" + path}, {"version", version}};
    QJsonObject params;
    if (QLatin1String(method) == QLatin1String("textDocument/didChange"))
        params["contentChanges"] = QJsonArray{QJsonObject{{"text", text}}};
    else if (*text != '\0')
        document["text"] = text;
    params["textDocument"] = document;
    handleMessage(server, QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}).toJson());
}

// Each message of a document's analysis as "line:code".
std::vector<std::string> messagesOf(Server *server, const QString &path)
{
    std::vector<std::string> found;
    for (const ReportedMessage &message : analysisOf(server, path, CHECK_EXPAND)->messages)
        found.push_back(std::to_string(message.line) + ":" + std::to_string(message.code));
    return found;
}

// Two documents open at once keep an analysis each: a change of one leaves
// the other's answers and analysis as they were, is never answered from the
// old text, and a close releases the closed document's analysis.
TEST_F(ServerTest, OneAnalysisPerDocumentUntilChangedOrClosed)
{
    handleMessage(&server, R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
    QString a = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-analyses/a.otd"));
    QString b = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-analyses/b.otd"));
    notify(&server, "textDocument/didOpen", a, 1,
           "TEST SUITE S\n{\n   PROC greet (n) { PRINT (n); }\n"
           "   TEST CASE c { CALL nowhere (1); }\n   TEST CASE e { CALL greet (1); }\n}\n");
    notify(&server, "textDocument/didOpen", b, 1, "TEST SUITE T\n{\n   TEST CASE d { PRINT (1) }\n}\n");
    publishChanged(&server);
    // CALL nowhere names no PROC, and stays unresolved. PRINT (1) lacks its ';', which takes the
    // TEST CASE's '}', so that the TEST SUITE's is missing at the end.
    EXPECT_EQ(messagesOf(&server, a), (std::vector<std::string>{"4:32", "4:30"}));
    EXPECT_EQ(messagesOf(&server, b), (std::vector<std::string>{"3:14", "5:14"}));
    QJsonObject greet = definitionAt(&server, a, 4, 24).toObject();
    EXPECT_EQ(greet["uri"].toString(), "file://" + a);
    EXPECT_EQ(greet["range"].toObject()["start"].toObject()["line"].toInt(), 2);

    notify(&server, "textDocument/didChange", b, 2, "TEST SUITE T\n{\n   TEST CASE d { CALL gone (2); }\n\n}\n");
    // a's answers come from its kept analysis: no new run is made for them.
    failAllocation(0);
    EXPECT_EQ(definitionAt(&server, a, 4, 24).toObject(), greet);
    QString hover = hoverAt(&server, a, 4, 24).toObject()["contents"].toObject()["value"].toString();
    EXPECT_TRUE(hover.startsWith("**PROC** `greet`")) << hover.toStdString();
    EXPECT_EQ(failAllocation(0), 0u);
    EXPECT_EQ(messagesOf(&server, b), (std::vector<std::string>{"3:32", "3:30"}));
    EXPECT_EQ(messagesOf(&server, a), (std::vector<std::string>{"4:32", "4:30"}));

    notify(&server, "textDocument/didClose", a, 1);
    EXPECT_FALSE(server.analyses.contains(a));
    EXPECT_TRUE(server.analyses.contains(b));
}

// The labels completion offers at a place.
std::vector<std::string> labelsAt(Server *server, const QString &path, int line, int character)
{
    std::vector<std::string> labels;
    for (const QJsonValue &item : completionAt(server, path, line, character))
        labels.push_back(item.toObject()["label"].toString().toStdString());
    return labels;
}

// Each block offers the keywords that start its components, in the order
// the language reference lists them.
TEST_F(ServerTest, CompletionOffersTheKeywordsOfEachBlock)
{
    QString otd = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-completion/a.otd"));
    QString otc = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/zepls-completion/b.otc"));
    server.documents[otd] = Document{QString(),
                                     "STUB s : int s(int x)\n{\n\n}\nTEST CLASS K\n{\n\n   TEST SUITE U\n   {\n\n   }\n"
                                     "   TEST CASE c\n   {\n\n   }\n   PROLOGUE\n   {\n\n   }\n}\n\n",
                                     1};
    server.documents[otc] = Document{QString(), "CLASS Lift\n{\n\n}\n\n", 1};
    using Labels = std::vector<std::string>;
    EXPECT_EQ(labelsAt(&server, otd, 2, 3), (Labels{"CHECK", "PRINT", "COMMENT", "c++", "java"}));
    EXPECT_EQ(labelsAt(&server, otd, 6, 3), (Labels{"TEST CLASS", "RUN", "TEST SUITE", "TEST CASE", "PROC",
                                                   "PROPERTY", "PROLOGUE", "EPILOGUE", "ON ERROR"}));
    EXPECT_EQ(labelsAt(&server, otd, 9, 6),
              (Labels{"TEST SUITE", "TEST CASE", "PROC", "PROPERTY", "PROLOGUE", "EPILOGUE", "ON ERROR"}));
    EXPECT_EQ(labelsAt(&server, otd, 13, 6),
              (Labels{"ON ERROR", "PRINT", "CALL", "CHECK", "CHECK PROPERTY", "CHECK EXCEPTION", "CHECK STUB",
                      "CHECK METHOD", "COMMENT", "c++", "java"}));
    EXPECT_EQ(labelsAt(&server, otd, 17, 6), (Labels{"PRINT", "COMMENT", "c++", "java"}));
    EXPECT_EQ(labelsAt(&server, otd, 20, 0),
              (Labels{"include", "STUB", "TEST SUITE", "TEST CLASS", "ON ERROR", "RUN", "c++", "java"}));
    EXPECT_EQ(labelsAt(&server, otc, 2, 0), (Labels{"WRAP", "STATE", "TRANSITION", "INVARIANT"}));
    EXPECT_EQ(labelsAt(&server, otc, 4, 0), (Labels{"CLASS", "SINGLE CLASS"}));
}

} // namespace
