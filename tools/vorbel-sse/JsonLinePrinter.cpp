#include "JsonLinePrinter.h"

#include <QMutexLocker>

QByteArray JsonLinePrinter::quote(const QByteArray& utf8)
{
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (uchar(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uchar(c)));
                out += escaped;
            } else {
                out += c; // the parser hands out well-formed UTF-8 only
            }
        }
    }
    out += '"';
    return out;
}

void JsonLinePrinter::write(const QByteArray& line)
{
    QMutexLocker lock(&m_mutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void JsonLinePrinter::onOpen()
{
    write(R"({"open":true})");
}

void JsonLinePrinter::onClose()
{
    write(R"({"closed":true})");
    if (afterEnd)
        afterEnd();
}

void JsonLinePrinter::onEvent(const QByteArray& eventType, const MessageEvent& event)
{
    write(R"({"event":)" + quote(eventType) + R"(,"data":)" + quote(event.data) + R"(,"id":)"
          + quote(event.lastEventId) + '}');
}

void JsonLinePrinter::onComment(const QByteArray& comment)
{
    write(R"({"comment":)" + quote(comment) + '}');
}

void JsonLinePrinter::onError(const EventSourceErrorPtr& error)
{
    write(R"({"error":)" + quote(error->description().toUtf8()) + '}');
    if (afterEnd)
        afterEnd();
}
