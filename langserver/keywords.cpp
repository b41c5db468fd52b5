// Hover on a reserved word: its one-line summary from the language
// reference. keywords.inc is made from the reference's table of reserved
// words by scripts/language.py, so the two cannot differ (test docs.derived).
#include "langserver/server.h"

namespace {

struct Keyword {
    const char *word;
    const char *summary;
};

const Keyword keywords[] = {
#include "langserver/keywords.inc"
};

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The word of letters that holds byte at, upper-cased; empty when none.
QByteArray wordAround(const QByteArray &line, qsizetype at, qsizetype *start, qsizetype *end)
{
    *start = *end = at;
    while (*start > 0 && isLetter(line[*start - 1]))
        (*start)--;
    while (*end < line.size() && isLetter(line[*end]))
        (*end)++;
    return line.mid(*start, *end - *start).toUpper();
}

// The word before start or after end, across blanks only.
QByteArray neighbour(const QByteArray &line, qsizetype start, qsizetype end, bool after)
{
    qsizetype at = after ? end : start - 1;
    while (at >= 0 && at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        at += after ? 1 : -1;
    if (at < 0 || at >= line.size() || !isLetter(line[at]))
        return QByteArray();
    qsizetype from, to;
    return wordAround(line, at, &from, &to);
}

const char *summaryOf(const QByteArray &word)
{
    for (const Keyword &keyword : keywords)
        if (word == keyword.word)
            return keyword.summary;
    return nullptr;
}

} // namespace

QJsonValue keywordHover(const QByteArray &line, uint64_t column)
{
    qsizetype start, end;
    QByteArray word = wordAround(line, static_cast<qsizetype>(column) - 1, &start, &end);
    if (word.isEmpty())
        return QJsonValue::Null;
    // The two-word keywords first: "CASE" in "TEST CASE" is TEST CASE.
    const QByteArray candidates[] = {neighbour(line, start, end, false) + ' ' + word,
                                     word + ' ' + neighbour(line, start, end, true), word};
    for (const QByteArray &candidate : candidates) {
        if (const char *summary = summaryOf(candidate)) {
            QString text = QStringLiteral("**%1** %2").arg(QString::fromLatin1(candidate), QString::fromUtf8(summary));
            return QJsonObject{{"contents", QJsonObject{{"kind", "markdown"}, {"value", text}}}};
        }
    }
    return QJsonValue::Null;
}
