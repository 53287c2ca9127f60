#pragma once

#include <QString>

#include <optional>

// Previews shown above a function call before it runs.

// Heading, then the value of `parameter` taken out of the arguments, then a line
// feed and the four backquotes that close the heading's fence. Pretty-printed
// arguments ("{\n  \"P\": \"...\"\n}") have their wrapping cut away and escapes
// shown as they stand; compact arguments show the decoded value, and anything
// else shows the raw text, so the user always sees what is about to run.
QString wrappedArgumentPreview(const QString& heading, const QString& parameter,
                               const std::optional<QString>& arguments);

// Heading, a line feed, a three-backquote fence holding the arguments exactly as
// received (empty when absent), a line feed and four backquotes.
QString fencedArgumentPreview(const QString& heading, const std::optional<QString>& arguments);
