#pragma once

#include "extensions/CustomExtension.h"

#include <chrono>
#include <cstddef>
#include <optional>

// The "jsExecution" extension: evaluates a script in a fresh engine and hands
// the JSON text of its completion value back to the model.
CustomExtension makeJavaScriptExtension();

inline constexpr std::chrono::milliseconds javaScriptTimeLimit{10000};
// How much the process may grow while a script runs.
inline constexpr std::size_t javaScriptMemoryCeiling = std::size_t(256) * 1024 * 1024;

// The most of a result handed back to the model; the rest is counted in a closing line.
inline constexpr qsizetype javaScriptResultLimit = 1024 * 1024;

// Runs on the calling (worker) thread. A script still running after the time
// limit is interrupted and answered with the engine's exception text; one that
// grows the process past the memory ceiling is interrupted and answered with
// "Unable to run script".
QString executeJavaScript(const std::optional<QString>& arguments,
                          std::chrono::milliseconds timeLimit = javaScriptTimeLimit,
                          std::size_t memoryCeiling = javaScriptMemoryCeiling);
