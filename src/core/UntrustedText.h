#pragma once

#include <QString>

// Text that a model or a server wrote, made safe to show as it stands.
namespace UntrustedText {

enum class Escape {
    // Terminal output: C0 controls but line feed and tab, DEL and C1, so no
    // escape sequence reaches the terminal.
    TerminalControls,
    // A command the user confirms: every C0 control but tab (a line feed too),
    // DEL, C1 and the invisible or direction-changing characters that could
    // make the text read differently from what runs.
    EverythingHidden,
    // The same with line feeds kept, for a text whose line feeds are its
    // layout and carry nothing of what runs.
    EverythingHiddenButLineFeeds,
};

// Each such character becomes a visible "\u001b"; everything else stays.
QString escaped(const QString& text, Escape what);

// A backquote fence longer than any run of backquotes in `content` (three at
// the least), so the content can never close it early.
QString fenceFor(const QString& content);

} // namespace UntrustedText
