#pragma once

#include "store/Records.h"

#include <QString>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What a failed database call reports: a description and the details behind it.
struct StoreError {
    QString description;
    QString details;
};

// The SQLite file behind the store context: schema, migrations and the rows of
// the three record types. Statements are prepared once and reused, so one save
// of one changed message costs one bound UPDATE.
class SqliteStore {
public:
    static constexpr int schemaVersion = 1;

    // Opens (creating when missing) the file. Never deletes, truncates or
    // rewrites a file it cannot read or whose schema is newer than this build.
    static std::unique_ptr<SqliteStore> open(const QString& path, StoreError* error);
    static std::unique_ptr<SqliteStore> openInMemory();
    ~SqliteStore();

    std::vector<AssistantPtr> loadAssistants();
    std::vector<ConversationPtr> loadConversations();
    std::vector<MessagePtr> loadMessages(qint64 conversationKey);
    qint64 largestKey(const char* table);

    bool begin();
    bool commit();
    void rollback();
    bool write(const Assistant& assistant, bool insert);
    bool write(const Conversation& conversation, bool insert);
    bool write(const Message& message, bool insert);
    bool removeConversation(qint64 key);

    StoreError lastError() const;
    sqlite3* handle() const { return m_db; }
    // For tests: refuses every write from now on (or again allows them).
    void setQueryOnly(bool queryOnly);

private:
    explicit SqliteStore(sqlite3* db) : m_db(db) {}
    bool prepareSchema(StoreError* error);
    bool exec(const char* sql);
    sqlite3_stmt* statement(int slot, const char* sql);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statements[16] = {};
};
