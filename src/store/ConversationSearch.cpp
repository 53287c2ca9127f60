#include "store/ConversationSearch.h"

#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace {

// Around each match in a snippet; private-use characters that typed text
// hardly ever holds, taken out again before the snippet leaves here.
const QChar matchStart(0xE000);
const QChar matchEnd(0xE001);
constexpr int snippetTokens = 12;

// A term as an index string: quotes inside are doubled, so no typed
// character can become query syntax.
QString quoted(QStringView term)
{
    QString text = term.toString();
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool holdsWord(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

SearchHit withMatches(SearchHit hit, const QString& marked)
{
    QString plain;
    plain.reserve(marked.size());
    qsizetype start = -1;
    for (const QChar c : marked) {
        if (c == matchStart) {
            start = plain.size();
        } else if (c == matchEnd) {
            if (start >= 0)
                hit.matches.append({start, plain.size() - start});
            start = -1;
        } else {
            plain += c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') ? QChar(' ') : c;
        }
    }
    // The line starts and ends with text: a message may begin with a line break.
    qsizetype lead = 0;
    while (lead < plain.size() && plain.at(lead).isSpace())
        ++lead;
    hit.snippet = plain.trimmed();
    for (auto& match : hit.matches)
        match.first -= lead;
    return hit;
}

struct Statement {
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Statement() { sqlite3_finalize(s); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, column)),
                                 sqlite3_column_bytes(s, column));
    }
};

} // namespace

ConversationSearch::ConversationSearch(const QString& databasePath)
{
    const QByteArray file = QFile::encodeName(databasePath);
    if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        qCWarning(lcStore) << "The search cannot read the store:" << sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

ConversationSearch::~ConversationSearch() { sqlite3_close(m_db); }

std::vector<SearchHit> ConversationSearch::search(const QString& text, bool* ok)
{
    QMutexLocker lock(&m_mutex);
    if (!m_db) {
        if (ok)
            *ok = false;
        return {};
    }
    return search(m_db, text, ok);
}

QString ConversationSearch::matchExpression(const QString& text)
{
    QStringList terms;
    const QStringList parts = text.split(QLatin1Char('"'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // Odd parts sit between quotes; an unclosed quote runs to the end.
        if (i % 2 == 1) {
            if (holdsWord(parts[i]))
                terms << quoted(parts[i].simplified());
            continue;
        }
        for (const QString& word : parts[i].split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
            if (holdsWord(word))
                terms << quoted(word) + QLatin1Char('*');
        }
    }
    return terms.join(QLatin1Char(' '));
}

std::vector<SearchHit> ConversationSearch::search(sqlite3* db, const QString& text, bool* ok)
{
    if (ok)
        *ok = true;
    const QByteArray expression = matchExpression(text).toUtf8();
    if (expression.isEmpty())
        return {};
    struct Found {
        SearchHit hit;
        qint64 createdAt = 0;
    };
    QHash<qint64, Found> found;
    bool read = true;
    // The conversations with a matching message, each with its first one; the
    // snippets come afterwards, one per conversation rather than one per message.
    {
        Statement messages(db,
            "SELECT m.conversation_pk, min(m.pk), c.created_at FROM message_search"
            " JOIN message m ON m.pk = message_search.rowid JOIN conversation c ON c.pk = m.conversation_pk"
            " WHERE message_search MATCH ?1 GROUP BY m.conversation_pk");
        read = messages.s && sqlite3_bind_text(messages.s, 1, expression.constData(), int(expression.size()),
                                               SQLITE_STATIC) == SQLITE_OK;
        int rc = SQLITE_DONE;
        while (read && (rc = sqlite3_step(messages.s)) == SQLITE_ROW) {
            Found& f = found[sqlite3_column_int64(messages.s, 0)];
            f.hit.conversationRow = sqlite3_column_int64(messages.s, 0);
            f.hit.messageRow = sqlite3_column_int64(messages.s, 1);
            f.createdAt = sqlite3_column_int64(messages.s, 2);
        }
        read = read && rc == SQLITE_DONE;
    }
    if (read) {
        const QByteArray sql = QStringLiteral("SELECT snippet(message_search, -1, '%1', '%2', '…', %3) FROM message_search"
                                              " WHERE message_search MATCH ?1 AND rowid = ?2")
                                   .arg(matchStart).arg(matchEnd).arg(snippetTokens).toUtf8();
        Statement snippet(db, sql.constData());
        read = snippet.s && sqlite3_bind_text(snippet.s, 1, expression.constData(), int(expression.size()),
                                              SQLITE_STATIC) == SQLITE_OK;
        for (auto it = found.begin(); read && it != found.end(); ++it) {
            sqlite3_bind_int64(snippet.s, 2, it->hit.messageRow);
            if (sqlite3_step(snippet.s) == SQLITE_ROW)
                it->hit = withMatches(it->hit, snippet.text(0));
            read = sqlite3_reset(snippet.s) == SQLITE_OK;
        }
    }
    if (read) {
        const QByteArray sql = QStringLiteral("SELECT c.pk, c.created_at, highlight(conversation_search, 0, '%1', '%2')"
                                              " FROM conversation_search JOIN conversation c ON c.pk = conversation_search.rowid"
                                              " WHERE conversation_search MATCH ?1")
                                   .arg(matchStart).arg(matchEnd).toUtf8();
        Statement titles(db, sql.constData());
        read = titles.s && sqlite3_bind_text(titles.s, 1, expression.constData(), int(expression.size()),
                                             SQLITE_STATIC) == SQLITE_OK;
        int rc = SQLITE_DONE;
        while (read && (rc = sqlite3_step(titles.s)) == SQLITE_ROW) {
            const qint64 row = sqlite3_column_int64(titles.s, 0);
            if (found.contains(row))
                continue; // a message shows more than the title already does
            Found& f = found[row];
            f.hit.conversationRow = row;
            f.createdAt = sqlite3_column_int64(titles.s, 1);
            f.hit = withMatches(f.hit, titles.text(2));
        }
        read = read && rc == SQLITE_DONE;
    }
    if (!read) {
        qCWarning(lcStore) << "The search failed:" << sqlite3_errmsg(db);
        if (ok)
            *ok = false;
        return {};
    }
    std::vector<Found> sorted(found.cbegin(), found.cend());
    std::sort(sorted.begin(), sorted.end(), [](const Found& a, const Found& b) {
        return std::pair(a.createdAt, a.hit.conversationRow) > std::pair(b.createdAt, b.hit.conversationRow);
    });
    std::vector<SearchHit> hits;
    hits.reserve(sorted.size());
    for (Found& f : sorted)
        hits.push_back(std::move(f.hit));
    return hits;
}
