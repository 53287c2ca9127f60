#pragma once

class QThread;

// Threads of streams whose EventSource is gone. A stream may be released from inside
// one of its own handler calls, where its thread cannot be joined; such threads are
// told to quit and are joined later, when the next stream is made or the application
// ends, so no destructor ever blocks on a handler.
namespace EventSourceThreads {

QThread* create();
// Takes ownership of a thread that has been asked to quit.
void retire(QThread* thread);
// Joins and deletes the retired threads that have ended.
void reap();

} // namespace EventSourceThreads
