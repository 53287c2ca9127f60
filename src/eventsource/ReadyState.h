#pragma once

// The stream's state; the names are also the words of the state log.
enum class ReadyState { raw, connecting, open, closed, shutdown };

inline const char* readyStateName(ReadyState state)
{
    switch (state) {
    case ReadyState::raw: return "raw";
    case ReadyState::connecting: return "connecting";
    case ReadyState::open: return "open";
    case ReadyState::closed: return "closed";
    case ReadyState::shutdown: return "shutdown";
    }
    return "raw";
}

// The connection error handler's answer: keep reconnecting, or end the stream for good.
enum class ConnectionErrorAction { proceed, shutdown };
