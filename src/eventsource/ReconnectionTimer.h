#pragma once

#include <functional>
#include <optional>

// Randomised exponential back-off between connection attempts. Each wait doubles the
// base up to maxDelay, then half of it is replaced by jitter; a connection that stayed
// up for resetInterval seconds starts the sequence again.
class ReconnectionTimer {
public:
    using Clock = std::function<double()>;  // monotonic seconds
    using Random = std::function<double()>; // uniform in [0, 1]

    // Without a clock or random source the steady clock and a seeded generator are used.
    ReconnectionTimer(double maxDelay, double resetInterval, Clock clock = {}, Random random = {});

    // Seconds to wait before the next attempt, from the base delay in seconds.
    double reconnectDelay(double baseDelay);
    // A connection opened now.
    void connected();

    int backoffCount() const { return m_backoffCount; }

private:
    double m_maxDelay;
    double m_resetInterval;
    Clock m_clock;
    Random m_random;
    int m_backoffCount = 0;
    std::optional<double> m_connectedTime;
};
