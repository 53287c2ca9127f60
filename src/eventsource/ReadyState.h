#pragma once

// The stream's state.
enum class ReadyState { Raw, Connecting, Open, Closed, Shutdown };

// The words of the state log.
inline const char* readyStateName(ReadyState state)
{
    switch (state) {
    case ReadyState::Raw: return "raw";
    case ReadyState::Connecting: return "connecting";
    case ReadyState::Open: return "open";
    case ReadyState::Closed: return "closed";
    case ReadyState::Shutdown: return "shutdown";
    }
    return "raw";
}

// The connection error handler's answer: keep reconnecting, or end the stream for good.
enum class ConnectionErrorAction { Proceed, Shutdown };
