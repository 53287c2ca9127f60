#pragma once

#include "core/Result.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

struct sqlite3;

// One conversation found by a full-text search.
struct SearchHit {
    qint64 conversationRow = 0;
    qint64 messageRow = 0;                          // its first matching message; 0 when only the title matched
    QString snippet;                                // one line around the match, plain text
    QList<std::pair<qsizetype, qsizetype>> matches; // start and length of each match in the snippet
};

// Searches the titles and finished messages of the store file through its
// full-text index (case and diacritics ignored). Words match by prefix in any
// order; a "quoted phrase" matches as a phrase.
class ConversationSearch {
public:
    // A read-only connection of its own, so that searches can run on a
    // worker thread while the UI thread writes.
    explicit ConversationSearch(const QString& databasePath);
    ~ConversationSearch();
    ConversationSearch(const ConversationSearch&) = delete;
    ConversationSearch& operator=(const ConversationSearch&) = delete;

    // Any thread; one search at a time.
    Result<std::vector<SearchHit>> search(const QString& text);

    // Newest conversation first. An empty result for text that holds no word.
    static Result<std::vector<SearchHit>> search(sqlite3* db, const QString& text);
    // The index query for what the user typed; empty when it holds no word.
    static QString matchExpression(const QString& text);
    // Where the text first matches what the user typed, as the index compares
    // words: start and length, or nothing.
    static std::optional<std::pair<qsizetype, qsizetype>> firstMatch(const QString& text, const QString& typed);

    // Which conversation each message belongs to, read once and then only
    // for the messages added since: a broad search matches most messages,
    // and asking the file for each one's conversation would take longest.
    class MessageConversations {
    public:
        bool update(sqlite3* db);
        qint64 of(qint64 messageRow) const;

    private:
        std::vector<std::pair<qint64, qint64>> m_conversations; // (message row, conversation row), by message row
        qint64 m_readUpTo = 0;
    };

private:
    static Result<std::vector<SearchHit>> search(sqlite3* db, MessageConversations& messages, const QString& text);

    QMutex m_mutex;
    sqlite3* m_db = nullptr;
    MessageConversations m_messages;
};
