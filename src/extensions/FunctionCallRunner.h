#pragma once

#include "extensions/CustomExtension.h"
#include "store/Records.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class FunctionStop;
class QThreadPool;
class StoreContext;

// Result texts the framework records itself.
inline const QString unknownFunctionNameResult = QStringLiteral("Unknown function name");
inline const QString unexpectedFunctionResult = QStringLiteral("Function returned unexpected result");

// Runs the function a stored function-call message names on the extension
// pool, then back on the UI thread records the outcome in functionResult
// ("Unknown function name", the returned text, or "Function returned
// unexpected result" when the execution throws), saves the context and calls
// onRecorded. Never calls onRecorded before returning. Call on the UI thread.
// A message removed meanwhile is detached: recording it changes nothing
// stored, and onRecorded still runs. Nothing runs after the context is gone.
// The returned stop ends the run early: its result is then "Stopped by the
// user", whatever the execution returned.
std::shared_ptr<FunctionStop> runFunctionCall(StoreContext& context, const MessagePtr& message,
                                              std::function<void()> onRecorded);

// The same with the function already chosen by the caller (none: "Unknown
// function name"). A function the user confirms runs `confirmedText`, the
// text the user was shown, and nothing without it.
std::shared_ptr<FunctionStop> runFunctionCall(StoreContext& context, const MessagePtr& message,
                                              const std::optional<CustomFunction>& function,
                                              const std::optional<QString>& confirmedText,
                                              std::function<void()> onRecorded);

// The pool that function executions with a bounded run time (scripts under
// their time limit, requests with a time-out) run on.
QThreadPool& extensionThreadPool();

// The pool of executions that may block without end (shell commands): no
// thread limit, so each such run starts at once and none waits on another.
QThreadPool& blockingExtensionThreadPool();
