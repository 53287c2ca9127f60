#include "store/ConversationSearch.h"

#include "store/StoreLog.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

namespace {

const Error unsearchable{QStringLiteral("The store could not be searched.")};

// Around each match in a snippet; private-use characters that typed text
// hardly ever holds, taken out again before the snippet leaves here.
constexpr int snippetWordsBefore = 4;
constexpr int snippetWords = 12;

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

// A word as the index compares it: case folded, accents dropped.
QString folded(QStringView word)
{
    QString plain;
    for (const QChar c : word.toString().normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    }
    return plain.toCaseFolded();
}

struct Word {
    qsizetype start = 0;
    qsizetype length = 0;
    QString key;
};

// Words as the index splits them: runs of letters and digits.
std::vector<Word> wordsOf(const QString& text)
{
    std::vector<Word> words;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && !text.at(i).isLetterOrNumber() && !text.at(i).isMark())
            ++i;
        const qsizetype start = i;
        while (i < text.size() && (text.at(i).isLetterOrNumber() || text.at(i).isMark()))
            ++i;
        if (i > start)
            words.push_back({start, i - start, folded(QStringView(text).mid(start, i - start))});
    }
    return words;
}

// What was typed, as the snippet looks for it: each term is a word prefix or
// a phrase of whole words.
struct Term {
    QStringList words;
    bool prefix = false;
};

std::vector<Term> termsOf(const QString& text)
{
    std::vector<Term> terms;
    const QStringList parts = text.split(QLatin1Char('"'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QStringList words;
        for (const Word& w : wordsOf(parts[i]))
            words << w.key;
        if (words.isEmpty())
            continue;
        if (i % 2 == 1) {
            terms.push_back({words, false});
            continue;
        }
        for (const QString& word : words)
            terms.push_back({{word}, true});
    }
    return terms;
}

// How many words from `at` on make a match of the term; 0 for none.
qsizetype matchAt(const std::vector<Word>& words, size_t at, const Term& term)
{
    if (term.prefix)
        return words[at].key.startsWith(term.words.first()) ? 1 : 0;
    if (at + size_t(term.words.size()) > words.size())
        return 0;
    for (qsizetype k = 0; k < term.words.size(); ++k) {
        if (words[at + size_t(k)].key != term.words[k])
            return 0;
    }
    return term.words.size();
}

// One line of the text around its first match, with every match in it marked.
SearchHit withSnippet(SearchHit hit, const QString& text, const std::vector<Term>& terms)
{
    const std::vector<Word> words = wordsOf(text);
    std::vector<qsizetype> matched(words.size(), 0);
    size_t first = words.size();
    for (size_t at = 0; at < words.size(); ++at) {
        for (const Term& term : terms)
            matched[at] = std::max(matched[at], matchAt(words, at, term));
        if (matched[at] && first == words.size())
            first = at;
    }
    if (words.empty())
        return hit;
    if (first == words.size())
        first = 0;
    const size_t from = first > size_t(snippetWordsBefore) ? first - snippetWordsBefore : 0;
    const size_t to = std::min(words.size(), from + snippetWords); // one past the last word shown
    const qsizetype start = from == 0 ? 0 : words[from].start;
    const qsizetype end = to == words.size() ? text.size() : words[to - 1].start + words[to - 1].length;
    QString line = text.mid(start, end - start);
    for (QChar& c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    // The line starts and ends with text: a message may begin with a line break.
    qsizetype lead = 0;
    while (lead < line.size() && line.at(lead).isSpace())
        ++lead;
    const QString before = from == 0 ? QString() : QStringLiteral("…");
    hit.snippet = before + line.mid(lead).trimmed() + (to == words.size() ? QString() : QStringLiteral("…"));
    const qsizetype shift = before.size() - start - lead;
    for (size_t at = from; at < to; ++at) {
        if (!matched[at])
            continue;
        const Word& last = words[std::min(to, at + size_t(matched[at])) - 1];
        hit.matches.append({words[at].start + shift, last.start + last.length - words[at].start});
    }
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

Result<std::vector<SearchHit>> ConversationSearch::search(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    if (!m_db)
        return unsearchable;
    return search(m_db, m_messages, text);
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

std::optional<std::pair<qsizetype, qsizetype>> ConversationSearch::firstMatch(const QString& text, const QString& typed)
{
    const SearchHit hit = withSnippet(SearchHit(), text, termsOf(typed));
    if (hit.matches.isEmpty())
        return std::nullopt;
    // The snippet is cut from the text: its first match sits at the same place there.
    const QString shown = hit.snippet.mid(hit.matches.first().first, hit.matches.first().second);
    const qsizetype at = text.indexOf(shown);
    return at < 0 ? std::nullopt : std::optional(std::pair(at, shown.size()));
}

bool ConversationSearch::MessageConversations::update(sqlite3* db)
{
    Statement added(db, "SELECT pk, conversation_pk FROM message WHERE pk > ?1 ORDER BY pk");
    if (!added.s)
        return false;
    sqlite3_bind_int64(added.s, 1, m_readUpTo);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(added.s)) == SQLITE_ROW) {
        m_readUpTo = sqlite3_column_int64(added.s, 0);
        m_conversations.emplace_back(m_readUpTo, sqlite3_column_int64(added.s, 1));
    }
    return rc == SQLITE_DONE;
}

qint64 ConversationSearch::MessageConversations::of(qint64 messageRow) const
{
    const auto it = std::lower_bound(m_conversations.begin(), m_conversations.end(), std::pair(messageRow, qint64(0)));
    return it != m_conversations.end() && it->first == messageRow ? it->second : 0;
}

Result<std::vector<SearchHit>> ConversationSearch::search(sqlite3* db, const QString& text)
{
    MessageConversations messages;
    return search(db, messages, text);
}

Result<std::vector<SearchHit>> ConversationSearch::search(sqlite3* db, MessageConversations& messages,
                                                          const QString& text)
{
    const QByteArray expression = matchExpression(text).toUtf8();
    if (expression.isEmpty())
        return std::vector<SearchHit>();
    const std::vector<Term> terms = termsOf(text);
    struct Found {
        SearchHit hit;
        qint64 createdAt = 0;
    };
    QHash<qint64, Found> found;
    // One snapshot for every read below.
    const bool ownSnapshot = sqlite3_get_autocommit(db) != 0;
    bool read = (!ownSnapshot || sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK)
             && messages.update(db);
    // Every row of the index query, handed to `take`; false when the query failed.
    const auto eachMatch = [db, &expression](const char* sql, const auto& take) {
        Statement matching(db, sql);
        if (!matching.s
            || sqlite3_bind_text(matching.s, 1, expression.constData(), int(expression.size()), SQLITE_STATIC)
                   != SQLITE_OK)
            return false;
        int rc = SQLITE_DONE;
        while ((rc = sqlite3_step(matching.s)) == SQLITE_ROW)
            take(matching);
        return rc == SQLITE_DONE;
    };
    // The first matching message of each conversation is the one with the lowest row.
    read = read
        && eachMatch("SELECT rowid FROM message_search WHERE message_search MATCH ?1", [&](const Statement& row) {
               const qint64 message = sqlite3_column_int64(row.s, 0);
               const qint64 conversation = messages.of(message);
               if (!conversation)
                   return;
               Found& f = found[conversation];
               if (!f.hit.messageRow || message < f.hit.messageRow) {
                   f.hit.conversationRow = conversation;
                   f.hit.messageRow = message;
               }
           });
    read = read
        && eachMatch("SELECT rowid, title FROM conversation_search WHERE conversation_search MATCH ?1",
                     [&](const Statement& row) {
                         const qint64 conversation = sqlite3_column_int64(row.s, 0);
                         if (found.contains(conversation))
                             return; // a message shows more than the title already does
                         Found& f = found[conversation];
                         f.hit.conversationRow = conversation;
                         f.hit = withSnippet(f.hit, row.text(1), terms);
                     });
    if (read) {
        Statement message(db, "SELECT coalesce(content, '') || ' ' || coalesce(function_result, '') FROM message"
                              " WHERE pk = ?1");
        Statement conversation(db, "SELECT created_at FROM conversation WHERE pk = ?1");
        read = message.s && conversation.s;
        for (auto it = found.begin(); read && it != found.end(); ++it) {
            sqlite3_bind_int64(conversation.s, 1, it->hit.conversationRow);
            if (sqlite3_step(conversation.s) == SQLITE_ROW)
                it->createdAt = sqlite3_column_int64(conversation.s, 0);
            read = sqlite3_reset(conversation.s) == SQLITE_OK;
            if (!it->hit.messageRow)
                continue;
            sqlite3_bind_int64(message.s, 1, it->hit.messageRow);
            if (sqlite3_step(message.s) == SQLITE_ROW)
                it->hit = withSnippet(it->hit, message.text(0), terms);
            read = read && sqlite3_reset(message.s) == SQLITE_OK;
        }
    }
    if (ownSnapshot)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (!read) {
        qCWarning(lcStore) << "The search failed:" << sqlite3_errmsg(db);
        return unsearchable;
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
