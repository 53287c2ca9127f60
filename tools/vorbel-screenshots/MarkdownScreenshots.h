#pragma once

#include <QString>

// Draws a Markdown reply (heading, code block, table, nested and task lists,
// a quote) in an assistant bubble, and a short own message with code, on the
// house background, and saves it as outDir/markdown-reply<suffix>. Light or
// dark follows the application palette set by the caller.
bool writeMarkdownScreenshots(const QString& outDir, const QString& suffix);
