#include "eventsource/ReconnectionTimer.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cmath>

ReconnectionTimer::ReconnectionTimer(double maxDelay, double resetInterval, Clock clock, Random random)
    : m_maxDelay(maxDelay)
    , m_resetInterval(resetInterval)
    , m_clock(std::move(clock))
    , m_random(std::move(random))
{
    if (!m_clock) {
        m_clock = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
    }
    if (!m_random)
        m_random = [] { return QRandomGenerator::global()->generateDouble(); };
}

void ReconnectionTimer::connected() { m_connectedTime = m_clock(); }

double ReconnectionTimer::reconnectDelay(double baseDelay)
{
    // Saturate rather than overflow: past 2^64 the cap has long been reached anyway.
    if (m_backoffCount < 64)
        ++m_backoffCount;
    if (m_connectedTime && m_clock() - *m_connectedTime >= m_resetInterval)
        m_backoffCount = 0;
    m_connectedTime.reset();
    const double base = std::max(0.0, baseDelay);
    const double capped = std::min(m_maxDelay, base * std::ldexp(1.0, m_backoffCount));
    const double jitter = std::clamp(m_random(), 0.0, 1.0);
    return capped / 2 + jitter * (capped / 2);
}
