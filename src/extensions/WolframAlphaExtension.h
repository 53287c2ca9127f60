#pragma once

#include "extensions/CustomExtension.h"

#include <QByteArray>

#include <optional>

// The "wolframAlphaRequest" extension: the short-answers service of Wolfram Alpha.
CustomExtension makeWolframAlphaExtension();

// Runs on the calling (worker) thread.
QString executeWolframAlphaRequest(const std::optional<QString>& arguments);

// Every character outside A-Z a-z 0-9 - . _ ~ as %XX of its UTF-8 bytes, upper-case hex.
QByteArray percentEncodeQueryValue(const QString& text);
