#pragma once

#include "eventsource/EventSource.h"

#include <QMutex>
#include <QUuid>

#include <memory>
#include <optional>
#include <unordered_map>

class ChatStreamHandler;

// One running chat request: its stream, and the handler that reports it.
struct ActiveStream {
    std::unique_ptr<EventSource> source; // none when nothing was sent
    std::shared_ptr<ChatStreamHandler> handler;
};

// The process-wide registry of running chat requests by stream id. It owns
// each stream until the request ends. Used from the UI thread (insertion,
// stopping) and from the stream threads (removal when a reply ends).
class ActiveStreams {
public:
    // Registers the request and only then starts its stream, so a reply that
    // ends at once still finds its entry.
    void insertAndStart(const QUuid& id, ActiveStream stream);
    std::optional<ActiveStream> take(const QUuid& id);

    bool contains(const QUuid& id) const;
    qsizetype size() const;

private:
    mutable QMutex m_mutex;
    struct IdHash {
        size_t operator()(const QUuid& id) const noexcept { return qHash(id); }
    };
    std::unordered_map<QUuid, ActiveStream, IdHash> m_streams;
};

// Made on first use and kept for the life of the process.
ActiveStreams& activeStreams();
