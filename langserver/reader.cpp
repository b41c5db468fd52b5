// The message reader: headers and bodies out of a byte stream that may come
// in pieces, with every kind of malformed header passed over.
#include "langserver/server.h"

void feedReader(MessageReader *reader, const char *bytes, qsizetype count)
{
    if (reader->dropping > 0) {
        qsizetype dropped = count < reader->dropping ? count : static_cast<qsizetype>(reader->dropping);
        reader->dropping -= dropped;
        bytes += dropped;
        count -= dropped;
    }
    reader->pending.append(bytes, count);
}

namespace {

// The value of Content-Length in the header, or -1 when it is missing,
// not a decimal number, given twice with two values, or a line is not a
// field.
qint64 contentLength(const QByteArray &header, QString *problem)
{
    qint64 length = -1;
    for (const QByteArray &line : header.split('\n')) {
        QByteArray field = line.endsWith('\r') ? line.chopped(1) : line;
        qsizetype colon = field.indexOf(':');
        if (colon <= 0) {
            *problem = QStringLiteral("a header line is not a field");
            return -1;
        }
        if (field.left(colon).trimmed().toLower() != "content-length")
            continue;
        QByteArray digits = field.mid(colon + 1).trimmed();
        bool ok = !digits.isEmpty() && digits.size() <= 18;
        for (char c : digits)
            ok = ok && c >= '0' && c <= '9';
        qint64 value = ok ? digits.toLongLong() : -1;
        if (value < 0 || (length >= 0 && value != length)) {
            *problem = QStringLiteral("Content-Length is not one decimal number");
            return -1;
        }
        length = value;
    }
    if (length < 0 && problem->isEmpty())
        *problem = QStringLiteral("a header without Content-Length");
    return length;
}

} // namespace

int nextMessage(MessageReader *reader, QByteArray *body, QString *problem)
{
    QByteArray &pending = reader->pending;
    qsizetype end = pending.indexOf("\r\n\r\n");
    // The last bytes may begin the end of the header: they are kept.
    if (reader->passingHeader) {
        if (end < 0) {
            pending = pending.right(3);
            return READ_MORE;
        }
        pending.remove(0, end + 4);
        reader->passingHeader = false;
        end = pending.indexOf("\r\n\r\n");
    }
    if (end > HEADER_LIMIT || (end < 0 && pending.size() > HEADER_LIMIT)) {
        reader->passingHeader = end < 0;
        pending = end < 0 ? pending.right(3) : pending.mid(end + 4);
        *problem = QStringLiteral("a header longer than %1 bytes").arg(HEADER_LIMIT);
        return READ_BAD;
    }
    if (end < 0)
        return READ_MORE;
    problem->clear();
    qint64 length = contentLength(pending.left(end), problem);
    if (length < 0) {
        pending.remove(0, end + 4);
        return READ_BAD;
    }
    qsizetype start = end + 4;
    if (length > BODY_LIMIT) {
        qsizetype present = pending.size() - start;
        reader->dropping = length > present ? length - present : 0;
        pending.remove(0, length > present ? pending.size() : start + length);
        *problem = QStringLiteral("a body of %1 bytes, over the limit of %2").arg(length).arg(BODY_LIMIT);
        return READ_BAD;
    }
    if (pending.size() - start < length)
        return READ_MORE;
    *body = pending.mid(start, length);
    pending.remove(0, start + length);
    return READ_MESSAGE;
}
