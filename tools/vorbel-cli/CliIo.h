#pragma once

#include <QIODevice>
#include <QString>
#include <QTextStream>

#include <functional>
#include <optional>

// Where the commands write and how they ask the user. The program binds these to
// the terminal; tests bind them to strings.
struct CliIo {
    QTextStream& out; // what scripts read: lists, settings values, the streamed reply
    QTextStream& err; // errors, notices, the new conversation's id, function calls
    // Reads one answer line; nothing at end of input.
    std::function<std::optional<QString>()> readLine;
    // Standard error itself, when it is a terminal: our own styling goes
    // there directly, as `err` shows every control character escaped.
    QIODevice* errorTerminal = nullptr;
};

// Exit codes of every command.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitFailure = 1, // the work was attempted and failed (a failed turn, a store that cannot be written)
    ExitUsage = 2,   // the request itself cannot be carried out (bad arguments, unknown records, no key)
};

// Writes one error line ("vorbel-cli: " and the text) and returns the code.
// Line breaks inside the text (from an argument) are shown escaped, so the
// error stays one line.
inline int reportError(CliIo& io, int code, QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
    io.err << "vorbel-cli: " << text << '\n';
    io.err.flush();
    return code;
}
