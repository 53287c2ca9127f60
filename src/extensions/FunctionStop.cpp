#include "extensions/FunctionStop.h"

#include <utility>

namespace {
thread_local std::shared_ptr<FunctionStop> currentStop;
}

bool FunctionStop::isRequested() const
{
    QMutexLocker lock(&m_mutex);
    return m_requested;
}

void FunctionStop::onStop(std::function<void()> action)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_requested) {
            m_actions.push_back(std::move(action));
            return;
        }
    }
    action();
}

void FunctionStop::request()
{
    std::vector<std::function<void()>> actions;
    {
        QMutexLocker lock(&m_mutex);
        if (m_requested)
            return;
        m_requested = true;
        actions.swap(m_actions);
    }
    // Outside the lock: an action may ask about this stop again.
    for (auto& action : actions)
        action();
}

FunctionStop::Scope::Scope(std::shared_ptr<FunctionStop> stop)
    : m_previous(std::exchange(currentStop, std::move(stop)))
{
}

FunctionStop::Scope::~Scope() { currentStop = std::move(m_previous); }

std::shared_ptr<FunctionStop> FunctionStop::current() { return currentStop; }
