#pragma once

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcEventSource)

// The stream's log, category "vorbel.eventsource". Levels map to Qt's debug, info,
// warning and critical messages.
class Logs {
public:
    enum class Level { debug, info, warn, error };

    static void log(Level level, const QString& message);
};
