#pragma once

#include "store/Records.h"

#include <QObject>
#include <QTimer>

#include <vector>

class StoreContext;

// Brings what other processes (the command-line tool) commit to the store's
// file into the context. A timer looks at SQLite's data_version a few times a
// second: a check in memory that moves only with other connections' commits,
// never with this context's own saves. When it moved, the rows are read again
// in one snapshot and compared with the records; the differences reach the
// screens as the usual insert, change and removal signals.
class StoreWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int intervalMs = 250;

    explicit StoreWatcher(StoreContext& context);

    // Returns whether anything came in.
    bool mergeIfChanged();

private:
    template <typename T, typename Holds, typename Insert, typename Remove, typename Changed>
    static bool mergeRows(const std::vector<std::shared_ptr<T>>& records, const std::vector<std::shared_ptr<T>>& rows,
                          const Holds& holds, const Insert& insert, const Remove& remove, const Changed& changed);
    static bool takeFields(Assistant& record, const Assistant& row);
    static bool takeFields(Conversation& record, const Conversation& row);
    static bool takeFields(Message& record, const Message& row);
    bool mergeAssistants(const std::vector<AssistantPtr>& rows);
    bool mergeConversations(std::vector<ConversationPtr> rows);
    bool mergeMessages(const ConversationPtr& conversation, const std::vector<MessagePtr>& rows);
    void removeMessage(Conversation& conversation, const MessagePtr& message);

    StoreContext& m_context;
    QTimer m_timer;
    qint64 m_seenVersion = 0;
};
