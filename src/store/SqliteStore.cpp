#include "store/SqliteStore.h"

#include "core/PrivateFiles.h"
#include "store/StoreLog.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <functional>

namespace {

enum Slot {
    InsertAssistant,
    UpdateAssistant,
    InsertConversation,
    UpdateConversation,
    InsertMessage,
    UpdateMessage,
    DeleteMessage,
    DeleteMessages,
    DeleteConversation,
    SelectMessages,
    Begin,
    BeginRead,
    Commit,
    Rollback,
    DataVersion,
    UpdateMessageFields,
    InsertPiece,
    DeletePieces,
    SelectPieces,
    SlotCount
};

// Forward migrations: entry N takes a database from schema N to N + 1.
const char* const migrations[] = {
    "CREATE TABLE assistant ("
    " pk INTEGER PRIMARY KEY, id TEXT, name TEXT, personality TEXT, intro TEXT,"
    " profile_picture_url TEXT, version INTEGER NOT NULL DEFAULT 0, deleted_at INTEGER);"
    "CREATE TABLE conversation ("
    " pk INTEGER PRIMARY KEY, id TEXT, created_at INTEGER, updated_at INTEGER, assistant_pk INTEGER);"
    "CREATE TABLE message ("
    " pk INTEGER PRIMARY KEY, id TEXT, role TEXT, content TEXT, done INTEGER NOT NULL DEFAULT 0,"
    " function_name TEXT, function_arguments TEXT, function_result TEXT, updated_at INTEGER,"
    " conversation_pk INTEGER);"
    "CREATE INDEX message_by_conversation ON message(conversation_pk);",
    // A reasoning model's thinking, and what each reply cost.
    "ALTER TABLE message ADD COLUMN reasoning TEXT;"
    "ALTER TABLE message ADD COLUMN prompt_tokens INTEGER;"
    "ALTER TABLE message ADD COLUMN completion_tokens INTEGER;"
    "ALTER TABLE message ADD COLUMN reasoning_tokens INTEGER;"
    "ALTER TABLE message ADD COLUMN thinking_ms INTEGER;"
    "ALTER TABLE message ADD COLUMN reply_ms INTEGER;",
    // Conversation titles, and a full-text index over titles and finished
    // messages. Only finished messages are indexed: a streaming reply changes
    // with every piece, and re-indexing it each time would cost the whole text.
    "ALTER TABLE conversation ADD COLUMN title TEXT;"
    // Prefixes of up to three characters are indexed too: the first keys
    // typed into the search field match the most words.
    "CREATE VIRTUAL TABLE message_search USING fts5(content, function_result, content='message',"
    " content_rowid='pk', tokenize='unicode61 remove_diacritics 2', prefix='1 2 3');"
    "CREATE VIRTUAL TABLE conversation_search USING fts5(title, content='conversation',"
    " content_rowid='pk', tokenize='unicode61 remove_diacritics 2');"
    "INSERT INTO message_search(rowid, content, function_result)"
    " SELECT pk, content, function_result FROM message WHERE done;"
    "CREATE TRIGGER message_search_insert AFTER INSERT ON message WHEN new.done BEGIN"
    " INSERT INTO message_search(rowid, content, function_result) VALUES (new.pk, new.content, new.function_result);"
    " END;"
    "CREATE TRIGGER message_search_delete AFTER DELETE ON message WHEN old.done BEGIN"
    " INSERT INTO message_search(message_search, rowid, content, function_result)"
    " VALUES ('delete', old.pk, old.content, old.function_result);"
    " END;"
    "CREATE TRIGGER message_search_update AFTER UPDATE OF content, function_result, done ON message BEGIN"
    " INSERT INTO message_search(message_search, rowid, content, function_result)"
    " SELECT 'delete', old.pk, old.content, old.function_result WHERE old.done"
    " AND NOT (new.done AND old.content IS new.content AND old.function_result IS new.function_result);"
    " INSERT INTO message_search(rowid, content, function_result)"
    " SELECT new.pk, new.content, new.function_result WHERE new.done"
    " AND NOT (old.done AND old.content IS new.content AND old.function_result IS new.function_result);"
    " END;"
    "CREATE TRIGGER conversation_search_insert AFTER INSERT ON conversation WHEN new.title IS NOT NULL BEGIN"
    " INSERT INTO conversation_search(rowid, title) VALUES (new.pk, new.title);"
    " END;"
    "CREATE TRIGGER conversation_search_delete AFTER DELETE ON conversation WHEN old.title IS NOT NULL BEGIN"
    " INSERT INTO conversation_search(conversation_search, rowid, title) VALUES ('delete', old.pk, old.title);"
    " END;"
    "CREATE TRIGGER conversation_search_update AFTER UPDATE OF title ON conversation"
    " WHEN old.title IS NOT new.title BEGIN"
    " INSERT INTO conversation_search(conversation_search, rowid, title)"
    " SELECT 'delete', old.pk, old.title WHERE old.title IS NOT NULL;"
    " INSERT INTO conversation_search(rowid, title) SELECT new.pk, new.title WHERE new.title IS NOT NULL;"
    " END;",
    // The pieces of a streaming reply, appended as they come so that saving
    // one costs the same at any length of the reply; the message row takes
    // them back in whole once the reply is done. Keys only grow, so "the
    // pieces up to this key" names the same pieces in every process.
    "CREATE TABLE message_piece (pk INTEGER PRIMARY KEY AUTOINCREMENT, message_pk INTEGER NOT NULL,"
    " field INTEGER NOT NULL, text TEXT NOT NULL);"
    "CREATE INDEX message_piece_by_message ON message_piece(message_pk);"
    "CREATE TRIGGER message_piece_delete AFTER DELETE ON message BEGIN"
    " DELETE FROM message_piece WHERE message_pk = old.pk;"
    " END;",
};
static_assert(std::size(migrations) == SqliteStore::schemaVersion);

void bindText(sqlite3_stmt* s, int i, const std::optional<QString>& v)
{
    if (!v) {
        sqlite3_bind_null(s, i);
        return;
    }
    const QByteArray utf8 = v->toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bindUuid(sqlite3_stmt* s, int i, const std::optional<QUuid>& v)
{
    bindText(s, i, v ? std::optional<QString>(v->toString(QUuid::WithoutBraces)) : std::nullopt);
}

void bindUrl(sqlite3_stmt* s, int i, const std::optional<QUrl>& v)
{
    bindText(s, i, v ? std::optional<QString>(QString::fromUtf8(v->toEncoded())) : std::nullopt);
}

void bindTime(sqlite3_stmt* s, int i, const std::optional<QDateTime>& v)
{
    if (v)
        sqlite3_bind_int64(s, i, v->toMSecsSinceEpoch());
    else
        sqlite3_bind_null(s, i);
}

void bindKey(sqlite3_stmt* s, int i, qint64 key)
{
    if (key > 0)
        sqlite3_bind_int64(s, i, key);
    else
        sqlite3_bind_null(s, i);
}

std::optional<QString> columnText(sqlite3_stmt* s, int i)
{
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return QString::fromUtf8(text, sqlite3_column_bytes(s, i));
}

std::optional<QUuid> columnUuid(sqlite3_stmt* s, int i)
{
    const auto text = columnText(s, i);
    if (!text)
        return std::nullopt;
    return QUuid::fromString(*text);
}

std::optional<QUrl> columnUrl(sqlite3_stmt* s, int i)
{
    const auto text = columnText(s, i);
    if (!text)
        return std::nullopt;
    return QUrl::fromEncoded(text->toUtf8());
}

std::optional<QDateTime> columnTime(sqlite3_stmt* s, int i)
{
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(s, i), Qt::UTC);
}

void bindNumber(sqlite3_stmt* s, int i, const std::optional<qint64>& v)
{
    if (v)
        sqlite3_bind_int64(s, i, *v);
    else
        sqlite3_bind_null(s, i);
}

std::optional<qint64> columnNumber(sqlite3_stmt* s, int i)
{
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(s, i);
}

qint64 columnKey(sqlite3_stmt* s, int i)
{
    return sqlite3_column_type(s, i) == SQLITE_NULL ? 0 : sqlite3_column_int64(s, i);
}

bool runToEnd(sqlite3_stmt* s)
{
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return rc == SQLITE_DONE;
}

StoreError errorOf(sqlite3* db, const QString& context = {})
{
    const int code = db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN;
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    StoreError error;
    error.description = context.isEmpty() ? message : context + QStringLiteral(": ") + message;
    error.details =
        QStringLiteral("{code = %1; message = \"%2\"}").arg(code).arg(QString::fromUtf8(sqlite3_errstr(code)));
    return error;
}

Error readError(sqlite3* db)
{
    return Error{QStringLiteral("The store cannot be read: %1").arg(QString::fromUtf8(sqlite3_errmsg(db)))};
}

template <typename Record>
Result<std::vector<std::shared_ptr<Record>>> loadAll(sqlite3* db, const char* sql,
                                                     const std::function<void(Record&, sqlite3_stmt*)>& fill)
{
    std::vector<std::shared_ptr<Record>> records;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        return readError(db);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        auto record = std::make_shared<Record>();
        fill(*record, s);
        records.push_back(std::move(record));
    }
    // Read before the statement goes, which resets the connection's message.
    Result<std::vector<std::shared_ptr<Record>>> read =
        rc == SQLITE_DONE ? Result(std::move(records)) : Result<std::vector<std::shared_ptr<Record>>>(readError(db));
    sqlite3_finalize(s);
    return read;
}

} // namespace

Result<std::unique_ptr<SqliteStore>, StoreError> SqliteStore::open(const QString& path)
{
    PrivateFiles::makeFolders(QFileInfo(path).absolutePath(), QString());
    // SQLite gives the -wal and -shm files the mode of the database file, so
    // that one exists first, owner-only; companions left by an earlier run
    // are tightened too.
    PrivateFiles::makeFile(path);
    PrivateFiles::tighten(path + QStringLiteral("-wal"));
    PrivateFiles::tighten(path + QStringLiteral("-shm"));
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        StoreError error = errorOf(db, QStringLiteral("Cannot open %1").arg(path));
        sqlite3_close(db);
        return error;
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    std::unique_ptr<SqliteStore> store(new SqliteStore(db, path));
    if (Result<void, StoreError> prepared = store->prepareSchema(); !prepared)
        return prepared.error();
    return store;
}

std::unique_ptr<SqliteStore> SqliteStore::openInMemory()
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    std::unique_ptr<SqliteStore> store(new SqliteStore(db, QString()));
    // A fresh database in memory has nothing that could fail to migrate.
    (void)store->prepareSchema();
    return store;
}

SqliteStore::~SqliteStore()
{
    for (sqlite3_stmt* s : m_statements)
        sqlite3_finalize(s);
    sqlite3_close(m_db);
}

Result<void, StoreError> SqliteStore::prepareSchema()
{
    // Reading the version is the first access to the file: a file that is not a
    // database fails here, before anything is written to it.
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    if (version < 0)
        return errorOf(m_db, QStringLiteral("The store file cannot be read"));
    if (version > schemaVersion) {
        return StoreError{
            QStringLiteral("The store was written by a newer version of Vorbel (schema %1, this build reads up to %2)")
                .arg(version)
                .arg(schemaVersion),
            QStringLiteral("{user_version = %1}").arg(version)};
    }
    // WAL with NORMAL sync: a returned save survives the process being killed.
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL"))
        return errorOf(m_db, QStringLiteral("The store cannot be prepared"));
    if (version == schemaVersion)
        return {};
    // Every step in one transaction: a file is either as it was or fully current.
    QByteArray sql = "BEGIN;";
    for (int step = version; step < schemaVersion; ++step)
        sql += migrations[step];
    sql += QByteArray("PRAGMA user_version=") + QByteArray::number(schemaVersion) + ";COMMIT;";
    if (!exec(sql.constData())) {
        StoreError error =
            errorOf(m_db, QStringLiteral("The store cannot be migrated to schema %1").arg(schemaVersion));
        exec("ROLLBACK");
        return error;
    }
    return {};
}

bool SqliteStore::exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void SqliteStore::setQueryOnly(bool queryOnly) { exec(queryOnly ? "PRAGMA query_only=1" : "PRAGMA query_only=0"); }

sqlite3_stmt* SqliteStore::statement(int slot, const char* sql)
{
    static_assert(SlotCount <= int(std::size(decltype(m_statements){})), "one prepared statement per slot");
    if (!m_statements[slot])
        sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statements[slot], nullptr);
    return m_statements[slot];
}

StoreError SqliteStore::lastError() const { return errorOf(m_db); }

Result<std::vector<AssistantPtr>> SqliteStore::loadAssistants()
{
    return loadAll<Assistant>(
        m_db,
        "SELECT pk, id, name, personality, intro, profile_picture_url, version, deleted_at FROM assistant ORDER BY pk",
        [](Assistant& a, sqlite3_stmt* s) {
            a.m_primaryKey = a.m_rowKey = sqlite3_column_int64(s, 0);
            a.m_id = columnUuid(s, 1);
            a.m_name = columnText(s, 2);
            a.m_personality = columnText(s, 3);
            a.m_intro = columnText(s, 4);
            a.m_profilePictureUrl = columnUrl(s, 5);
            a.m_version = qint16(sqlite3_column_int(s, 6));
            a.m_deletedAt = columnTime(s, 7);
        });
}

Result<std::vector<ConversationPtr>> SqliteStore::loadConversations()
{
    return loadAll<Conversation>(
        m_db, "SELECT pk, id, created_at, updated_at, assistant_pk, title FROM conversation ORDER BY pk",
        [](Conversation& c, sqlite3_stmt* s) {
            c.m_primaryKey = c.m_rowKey = sqlite3_column_int64(s, 0);
            c.m_id = columnUuid(s, 1);
            c.m_createdAt = columnTime(s, 2);
            c.m_updatedAt = columnTime(s, 3);
            c.m_assistantKey = columnKey(s, 4);
            c.m_title = columnText(s, 5);
        });
}

Result<std::vector<MessagePtr>> SqliteStore::loadMessages(qint64 conversationRow)
{
    // Rows and pieces from one snapshot: a reply folded meanwhile would
    // otherwise lose the pieces it took in.
    const bool ownSnapshot = sqlite3_get_autocommit(m_db) != 0 && beginRead();
    std::vector<MessagePtr> messages;
    sqlite3_stmt* s =
        statement(SelectMessages,
                  "SELECT pk, id, role, content, done, function_name, function_arguments, function_result, updated_at,"
                  " reasoning, prompt_tokens, completion_tokens, reasoning_tokens, thinking_ms, reply_ms"
                  " FROM message WHERE conversation_pk = ? ORDER BY pk");
    sqlite3_stmt* pieces =
        statement(SelectPieces, "SELECT message_pk, field, text, pk FROM message_piece"
                                " WHERE message_pk IN (SELECT pk FROM message WHERE conversation_pk = ?) ORDER BY pk");
    bool read = s && pieces;
    if (read) {
        sqlite3_bind_int64(s, 1, conversationRow);
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            auto m = std::make_shared<Message>();
            m->m_primaryKey = m->m_rowKey = sqlite3_column_int64(s, 0);
            m->m_id = columnUuid(s, 1);
            m->m_role = columnText(s, 2);
            m->m_content = columnText(s, 3);
            m->m_done = sqlite3_column_int(s, 4) != 0;
            m->m_functionName = columnText(s, 5);
            m->m_functionArguments = columnText(s, 6);
            m->m_functionResult = columnText(s, 7);
            m->m_updatedAt = columnTime(s, 8);
            m->m_reasoning = columnText(s, 9);
            m->m_promptTokens = columnNumber(s, 10);
            m->m_completionTokens = columnNumber(s, 11);
            m->m_reasoningTokens = columnNumber(s, 12);
            m->m_thinkingMs = columnNumber(s, 13);
            m->m_replyMs = columnNumber(s, 14);
            messages.push_back(std::move(m));
        }
        read = rc == SQLITE_DONE;
        sqlite3_reset(s);
        read = read && takePieces(pieces, conversationRow, messages);
    }
    const Error failed = readError(m_db); // before the commit sets its own state
    if (ownSnapshot)
        commit();
    if (!read)
        return failed;
    for (const auto& m : messages)
        m->m_stored = m->storedNow(m->m_stored.lastPiece);
    return messages;
}

// Pieces of a reply that is still streaming, or that stopped without an end,
// follow their row's text in the order they were saved.
bool SqliteStore::takePieces(sqlite3_stmt* s, qint64 conversationRow, const std::vector<MessagePtr>& messages)
{
    QHash<qint64, Message*> byRow;
    for (const auto& m : messages)
        byRow.insert(m->m_rowKey, m.get());
    sqlite3_bind_int64(s, 1, conversationRow);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        Message* m = byRow.value(sqlite3_column_int64(s, 0));
        const int field = sqlite3_column_int(s, 1);
        if (!m || field < 0 || field >= Message::GrowingTextCount)
            continue;
        std::optional<QString>& text = *m->growingText(field);
        if (!text)
            text = QString();
        text->append(columnText(s, 2).value_or(QString())); // in place: a reply may have thousands of pieces
        m->m_stored.lastPiece = sqlite3_column_int64(s, 3);
    }
    sqlite3_reset(s);
    return rc == SQLITE_DONE;
}

qint64 SqliteStore::dataVersion()
{
    sqlite3_stmt* s = statement(DataVersion, "PRAGMA data_version");
    if (!s)
        return 0;
    const qint64 version = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_reset(s);
    return version;
}

bool SqliteStore::begin() { return runToEnd(statement(Begin, "BEGIN IMMEDIATE")); }
bool SqliteStore::beginRead() { return runToEnd(statement(BeginRead, "BEGIN")); }
bool SqliteStore::commit() { return runToEnd(statement(Commit, "COMMIT")); }

void SqliteStore::rollback()
{
    if (!sqlite3_get_autocommit(m_db))
        runToEnd(statement(Rollback, "ROLLBACK"));
}

bool SqliteStore::step(sqlite3_stmt* s, qint64* insertedRow)
{
    if (!runToEnd(s))
        return false;
    if (insertedRow)
        *insertedRow = sqlite3_last_insert_rowid(m_db);
    return true;
}

bool SqliteStore::write(const Assistant& a, qint64* insertedRow)
{
    sqlite3_stmt* s =
        insertedRow
            ? statement(InsertAssistant, "INSERT INTO assistant (id, name, personality, intro, profile_picture_url,"
                                         " version, deleted_at, pk) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            : statement(UpdateAssistant, "UPDATE assistant SET id = ?, name = ?, personality = ?, intro = ?,"
                                         " profile_picture_url = ?, version = ?, deleted_at = ? WHERE pk = ?");
    if (!s)
        return false;
    bindUuid(s, 1, a.m_id);
    bindText(s, 2, a.m_name);
    bindText(s, 3, a.m_personality);
    bindText(s, 4, a.m_intro);
    bindUrl(s, 5, a.m_profilePictureUrl);
    sqlite3_bind_int(s, 6, a.m_version);
    bindTime(s, 7, a.m_deletedAt);
    bindKey(s, 8, insertedRow ? 0 : a.m_rowKey);
    return step(s, insertedRow);
}

bool SqliteStore::write(const Conversation& c, qint64 assistantRow, qint64* insertedRow)
{
    sqlite3_stmt* s =
        insertedRow ? statement(InsertConversation,
                                "INSERT INTO conversation (id, created_at, updated_at, assistant_pk, title, pk)"
                                " VALUES (?, ?, ?, ?, ?, ?)")
                    : statement(UpdateConversation, "UPDATE conversation SET id = ?, created_at = ?, updated_at = ?,"
                                                    " assistant_pk = ?, title = ? WHERE pk = ?");
    if (!s)
        return false;
    bindUuid(s, 1, c.m_id);
    bindTime(s, 2, c.m_createdAt);
    bindTime(s, 3, c.m_updatedAt);
    bindKey(s, 4, assistantRow);
    bindText(s, 5, c.m_title);
    bindKey(s, 6, insertedRow ? 0 : c.m_rowKey);
    return step(s, insertedRow);
}

namespace {

// Numbered so that the statement without the growing texts binds the same way.
void bindMessage(sqlite3_stmt* s, const Message& m, const std::optional<QString>* const* texts, qint64 conversationRow,
                 qint64 row)
{
    bindUuid(s, 1, m.id());
    bindText(s, 2, m.role());
    sqlite3_bind_int(s, 4, m.done() ? 1 : 0);
    bindText(s, 7, m.functionResult());
    bindTime(s, 8, m.updatedAt());
    bindNumber(s, 10, m.promptTokens());
    bindNumber(s, 11, m.completionTokens());
    bindNumber(s, 12, m.reasoningTokens());
    bindNumber(s, 13, m.thinkingMs());
    bindNumber(s, 14, m.replyMs());
    bindKey(s, 15, conversationRow);
    bindKey(s, 16, row);
    if (!texts)
        return;
    // content, reasoning, function name and arguments, as the pieces number them
    const int columns[] = {3, 9, 5, 6};
    for (int which = 0; which < int(std::size(columns)); ++which)
        bindText(s, columns[which], *texts[which]);
}

} // namespace

bool SqliteStore::write(const Message& m, qint64 conversationRow, qint64* insertedRow, Message::StoredTexts* stored)
{
    const auto texts = m.growingTexts();
    bool grewOnly = !insertedRow && !m.m_done;
    for (int which = 0; which < Message::GrowingTextCount; ++which) {
        const qsizetype size = texts[which]->value_or(QString()).size();
        grewOnly = grewOnly && m.m_stored.sizes[which] >= 0 && size >= m.m_stored.sizes[which];
    }
    if (grewOnly)
        return appendPieces(m, conversationRow, stored);
    sqlite3_stmt* s =
        insertedRow ? statement(InsertMessage,
                                "INSERT INTO message (id, role, content, done, function_name, function_arguments,"
                                " function_result, updated_at, reasoning, prompt_tokens, completion_tokens,"
                                " reasoning_tokens, thinking_ms, reply_ms, conversation_pk, pk)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)")
                    : statement(UpdateMessage,
                                "UPDATE message SET id = ?1, role = ?2, content = ?3, done = ?4, function_name = ?5,"
                                " function_arguments = ?6, function_result = ?7, updated_at = ?8, reasoning = ?9,"
                                " prompt_tokens = ?10, completion_tokens = ?11, reasoning_tokens = ?12,"
                                " thinking_ms = ?13, reply_ms = ?14, conversation_pk = ?15 WHERE pk = ?16");
    if (!s)
        return false;
    bindMessage(s, m, texts.data(), conversationRow, insertedRow ? 0 : m.m_rowKey);
    if (!step(s, insertedRow))
        return false;
    // The row now holds the texts whole, so the pieces it took in go. Pieces
    // another process saved after this one last read stay, and still follow.
    if (!insertedRow && m.m_stored.lastPiece > 0) {
        sqlite3_stmt* pieces = statement(DeletePieces, "DELETE FROM message_piece WHERE message_pk = ? AND pk <= ?");
        if (!pieces)
            return false;
        sqlite3_bind_int64(pieces, 1, m.m_rowKey);
        sqlite3_bind_int64(pieces, 2, m.m_stored.lastPiece);
        if (!runToEnd(pieces))
            return false;
    }
    *stored = m.storedNow(m.m_stored.lastPiece);
    return true;
}

// A streaming reply: its row without the texts, which stays small, and what
// each text grew by since the last save as a piece of its own.
bool SqliteStore::appendPieces(const Message& m, qint64 conversationRow, Message::StoredTexts* stored)
{
    sqlite3_stmt* s = statement(
        UpdateMessageFields,
        "UPDATE message SET id = ?1, role = ?2, done = ?4, function_result = ?7, updated_at = ?8,"
        " prompt_tokens = ?10, completion_tokens = ?11, reasoning_tokens = ?12, thinking_ms = ?13, reply_ms = ?14,"
        " conversation_pk = ?15 WHERE pk = ?16");
    sqlite3_stmt* piece =
        statement(InsertPiece, "INSERT INTO message_piece (message_pk, field, text) VALUES (?, ?, ?)");
    if (!s || !piece)
        return false;
    bindMessage(s, m, nullptr, conversationRow, m.m_rowKey);
    if (!runToEnd(s))
        return false;
    qint64 lastPiece = m.m_stored.lastPiece;
    // Another process removed the row: its pieces would outlive it, and join
    // whichever message is given its key next.
    if (sqlite3_changes(m_db) == 0) {
        *stored = m.storedNow(lastPiece);
        return true;
    }
    const auto texts = m.growingTexts();
    for (int which = 0; which < Message::GrowingTextCount; ++which) {
        const QString text = texts[which]->value_or(QString());
        if (text.size() == m.m_stored.sizes[which])
            continue;
        const QByteArray added = QStringView(text).mid(m.m_stored.sizes[which]).toUtf8();
        sqlite3_bind_int64(piece, 1, m.m_rowKey);
        sqlite3_bind_int(piece, 2, which);
        sqlite3_bind_text(piece, 3, added.constData(), int(added.size()), SQLITE_TRANSIENT);
        if (!step(piece, &lastPiece))
            return false;
    }
    *stored = m.storedNow(lastPiece);
    return true;
}

bool SqliteStore::removeMessage(qint64 row)
{
    sqlite3_stmt* message = statement(DeleteMessage, "DELETE FROM message WHERE pk = ?");
    if (!message)
        return false;
    sqlite3_bind_int64(message, 1, row);
    return runToEnd(message);
}

bool SqliteStore::removeConversation(qint64 row)
{
    sqlite3_stmt* messages = statement(DeleteMessages, "DELETE FROM message WHERE conversation_pk = ?");
    sqlite3_stmt* conversation = statement(DeleteConversation, "DELETE FROM conversation WHERE pk = ?");
    if (!messages || !conversation)
        return false;
    sqlite3_bind_int64(messages, 1, row);
    sqlite3_bind_int64(conversation, 1, row);
    return runToEnd(messages) && runToEnd(conversation);
}
