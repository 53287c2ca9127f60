#include "eventsource/EventParser.h"

#include "eventsource/EventHandler.h"

#include <limits>

namespace {

// Digits only, within the signed 64-bit range; anything else leaves the retry alone.
std::optional<qint64> parseRetry(QByteArrayView value)
{
    if (value.isEmpty())
        return std::nullopt;
    qint64 result = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (result > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        result = result * 10 + digit;
    }
    return result;
}

} // namespace

EventParser::EventParser(EventHandler* handler, QByteArray lastEventId, double retry, qsizetype maxDataBytes)
    : m_handler(handler)
    , m_lastEventId(std::move(lastEventId))
    , m_currentRetry(retry)
    , m_maxDataBytes(maxDataBytes)
{
}

void EventParser::parseLine(QByteArrayView line)
{
    if (m_overflowed)
        return;
    if (line.isEmpty()) {
        dispatchEvent();
        return;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon == 0) {
        m_handler->onComment(line.sliced(1).toByteArray());
        return;
    }
    if (colon < 0) {
        processField(line, {});
        return;
    }
    QByteArrayView value = line.sliced(colon + 1);
    if (value.startsWith(' '))
        value = value.sliced(1);
    processField(line.first(colon), value);
}

void EventParser::processField(QByteArrayView name, QByteArrayView value)
{
    if (name == "data") {
        // m_data holds a "\n" after each value, so this is the event's data with this value last.
        if (m_data.size() + value.size() > m_maxDataBytes) {
            m_overflowed = true;
            m_data = QByteArray();
            return;
        }
        m_data.append(value.data(), value.size());
        m_data.append('\n');
    } else if (name == "id") {
        if (!value.contains('\0'))
            m_lastEventIdBuffer = value.toByteArray();
    } else if (name == "event") {
        m_eventType = value.toByteArray();
    } else if (name == "retry") {
        if (const std::optional<qint64> milliseconds = parseRetry(value))
            m_currentRetry = double(*milliseconds) * 0.001;
    }
}

void EventParser::dispatchEvent()
{
    if (m_lastEventIdBuffer) {
        m_lastEventId = std::move(*m_lastEventIdBuffer);
        m_lastEventIdBuffer.reset();
    }
    if (!m_data.isEmpty()) {
        m_data.chop(1);
        static const QByteArray defaultType = QByteArrayLiteral("message");
        const MessageEvent event{m_eventType.isEmpty() ? defaultType : m_eventType, std::move(m_data), m_lastEventId};
        m_data = QByteArray();
        m_handler->onEvent(event);
    }
    m_eventType.clear();
}

void EventParser::reset()
{
    m_data.clear();
    m_eventType.clear();
    m_lastEventIdBuffer.reset();
    m_overflowed = false;
}
