#pragma once

#include "core/Settings.h"

#include <QTest>

#include <functional>
#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace extensiontest {

// Spins the UI thread's event loop until the condition holds; the deadline
// only keeps a broken build from hanging.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Every key the extensions read, removed so each test starts from nothing stored.
inline void clearExtensionSettings()
{
    Settings& settings = Settings::instance();
    for (const QString& key : Settings::textKeys())
        settings.remove(key);
    for (const char* id : {"jsExecution", "wolframAlphaRequest", "cliExecution", "memoryFunction"})
        settings.remove(Settings::extensionEnabledKey(QString::fromLatin1(id)));
}

} // namespace extensiontest
