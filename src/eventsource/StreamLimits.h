#pragma once

#include <QtGlobal>

// The longest line, and the most data of one event, that a stream may send by default
// (Config::maxLineBytes, Config::maxEventDataBytes). Past it the connection ends with
// an error instead of growing until memory runs out.
inline constexpr qsizetype kDefaultStreamLimitBytes = 16 * 1024 * 1024;
