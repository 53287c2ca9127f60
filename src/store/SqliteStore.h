#pragma once

#include "core/Result.h"
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
// of one changed message costs one bound UPDATE. Other processes (the
// command-line tool) may write the same file at the same time.
class SqliteStore {
public:
    static constexpr int schemaVersion = 4;
    // How long a write waits for another process's write to end.
    static constexpr int busyTimeoutMs = 5000;

    // Opens (creating when missing, readable by the user alone) the file.
    // Never deletes, truncates or rewrites a file it cannot read or whose
    // schema is newer than this build.
    static Result<std::unique_ptr<SqliteStore>, StoreError> open(const QString& path);
    static std::unique_ptr<SqliteStore> openInMemory();
    ~SqliteStore();

    bool isFile() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }

    // Records as read: known by their row keys, with the relationship fields
    // holding row keys too; messages carry no conversation. A failed read is
    // an error, never an empty table.
    Result<std::vector<AssistantPtr>> loadAssistants();
    Result<std::vector<ConversationPtr>> loadConversations();
    Result<std::vector<MessagePtr>> loadMessages(qint64 conversationRow);

    // Changes whenever another connection commits; a cheap look, no file read.
    qint64 dataVersion();

    bool begin();     // for writing: waits for other writers
    bool beginRead(); // one snapshot for several reads
    bool commit();
    void rollback();
    // Inserts when `insertedRow` is given (the database picks the row's key
    // and reports it there), else updates the record's row.
    bool write(const Assistant& assistant, qint64* insertedRow);
    bool write(const Conversation& conversation, qint64 assistantRow, qint64* insertedRow);
    // A message whose texts only grew since its last save, and that is not
    // done, gets what they grew by appended as pieces; otherwise its row is
    // written whole and takes in its pieces. `stored` tells what the file
    // then holds, for the message to take once the save commits.
    bool write(const Message& message, qint64 conversationRow, qint64* insertedRow, Message::StoredTexts* stored);
    bool removeConversation(qint64 row);
    bool removeMessage(qint64 row);

    StoreError lastError() const;
    sqlite3* handle() const { return m_db; }
    // For tests: refuses every write from now on (or again allows them).
    void setQueryOnly(bool queryOnly);

private:
    SqliteStore(sqlite3* db, const QString& path)
        : m_db(db)
        , m_path(path)
    {
    }
    Result<void, StoreError> prepareSchema();
    bool exec(const char* sql);
    sqlite3_stmt* statement(int slot, const char* sql);
    bool step(sqlite3_stmt* s, qint64* insertedRow);
    bool appendPieces(const Message& message, qint64 conversationRow, Message::StoredTexts* stored);
    bool takePieces(sqlite3_stmt* s, qint64 conversationRow, const std::vector<MessagePtr>& messages);

    sqlite3* m_db = nullptr;
    QString m_path;
    sqlite3_stmt* m_statements[24] = {};
};
