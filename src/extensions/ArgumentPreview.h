#pragma once

#include <QString>

#include <optional>

// Previews shown above a function call before it runs.

// Heading, a line feed and a fence, then the value of `parameter` taken out of
// the arguments, then a line feed and the fence with one backquote more. The
// fence is three backquotes unless the value holds a run as long. Pretty-printed
// arguments ("{\n  \"P\": \"...\"\n}") have their wrapping cut away and escapes
// shown as they stand; compact arguments show the decoded value, and anything
// else shows the raw text, so the user always sees what is about to run.
QString wrappedArgumentPreview(const QString& heading, const QString& parameter,
                               const std::optional<QString>& arguments);

// The same shape holding the arguments exactly as received (empty when absent).
QString fencedArgumentPreview(const QString& heading, const std::optional<QString>& arguments);
