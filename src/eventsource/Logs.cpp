#include "eventsource/Logs.h"

Q_LOGGING_CATEGORY(lcEventSource, "vorbel.eventsource")

void Logs::log(Level level, const QString& message)
{
    switch (level) {
    case Level::debug: qCDebug(lcEventSource).noquote() << message; break;
    case Level::info: qCInfo(lcEventSource).noquote() << message; break;
    case Level::warn: qCWarning(lcEventSource).noquote() << message; break;
    case Level::error: qCCritical(lcEventSource).noquote() << message; break;
    }
}
