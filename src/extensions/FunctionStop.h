#pragma once

#include <QMutex>

#include <functional>
#include <memory>
#include <vector>

// The user's request to stop one running function. The UI thread asks for the
// stop; the execution, on its worker thread, either polls isRequested() or
// registers what ends it early (ending a process group, interrupting a
// script engine, cancelling a tool server's call).
class FunctionStop {
public:
    bool isRequested() const;
    // Runs `action` once, on the thread that asks for the stop, or at once
    // here when the stop was already asked for.
    void onStop(std::function<void()> action);
    void request();

    // Makes `stop` the current one of this thread while the scope lives: the
    // runner sets it around an execution, so executions need no extra
    // parameter to find it.
    class Scope {
    public:
        explicit Scope(std::shared_ptr<FunctionStop> stop);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::shared_ptr<FunctionStop> m_previous;
    };

    // The stop of the execution running on this thread, or null outside one.
    static std::shared_ptr<FunctionStop> current();

private:
    mutable QMutex m_mutex;
    bool m_requested = false;
    std::vector<std::function<void()>> m_actions;
};

// The result recorded for a function the user stopped.
inline constexpr char16_t stoppedFunctionResult[] = u"Stopped by the user";
