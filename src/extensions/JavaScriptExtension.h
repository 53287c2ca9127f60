#pragma once

#include "extensions/CustomExtension.h"

#include <chrono>
#include <optional>

// The "jsExecution" extension: evaluates a script in a fresh engine and hands
// the JSON text of its completion value back to the model.
CustomExtension makeJavaScriptExtension();

inline constexpr std::chrono::milliseconds javaScriptTimeLimit{10000};

// Runs on the calling (worker) thread. A script still running after the time
// limit is interrupted and answered with the engine's exception text.
QString executeJavaScript(const std::optional<QString>& arguments,
                          std::chrono::milliseconds timeLimit = javaScriptTimeLimit);
