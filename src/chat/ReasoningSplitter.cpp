#include "chat/ReasoningSplitter.h"

#include <algorithm>
#include <utility>

namespace {

const QString openTag = QStringLiteral("<think>");
const QString closeTag = QStringLiteral("</think>");
const QString fence = QStringLiteral("```");
// Held back before an opening tag at most; a server sending nothing but
// spaces must not make the held text grow without end.
constexpr qsizetype maxLeadingSpace = 4096;

qsizetype firstNonSpace(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return i;
}

// The length of the longest end of `text` that is the start of `tag` (but not all of it).
qsizetype partialTagAtEnd(QStringView text, const QString& tag)
{
    for (qsizetype length = std::min(text.size(), tag.size() - 1); length > 0; --length) {
        if (QStringView(tag).left(length) == text.right(length))
            return length;
    }
    return 0;
}

} // namespace

ReasoningSplitter::Piece ReasoningSplitter::feed(const QString& text)
{
    Piece piece;
    take(piece, m_pending + text);
    return piece;
}

ReasoningSplitter::Piece ReasoningSplitter::finish()
{
    Piece piece;
    const QString rest = std::exchange(m_pending, QString());
    if (m_state == State::Thinking)
        giveReasoning(piece, rest);
    else if (m_state != State::AfterThinking)
        giveAnswer(piece, rest);
    m_state = State::Plain;
    return piece;
}

void ReasoningSplitter::take(Piece& piece, const QString& text)
{
    m_pending.clear();
    switch (m_state) {
    case State::Start: {
        const QStringView rest = QStringView(text).mid(firstNonSpace(text));
        if (rest.startsWith(openTag)) {
            m_state = State::Thinking;
            take(piece, rest.mid(openTag.size()).toString());
        } else if (rest.isEmpty() ? text.size() < maxLeadingSpace : QStringView(openTag).startsWith(rest)) {
            m_pending = text;
        } else {
            m_state = State::Undecided;
            take(piece, text);
        }
        return;
    }
    case State::Thinking: {
        const qsizetype end = text.indexOf(closeTag);
        if (end < 0) {
            const qsizetype held = partialTagAtEnd(text, closeTag);
            giveReasoning(piece, QStringView(text).chopped(held));
            m_pending = text.right(held);
            return;
        }
        giveReasoning(piece, QStringView(text).left(end));
        m_state = State::AfterThinking;
        take(piece, text.mid(end + closeTag.size()));
        return;
    }
    case State::Undecided: {
        const qsizetype open = text.indexOf(openTag);
        const qsizetype close = text.indexOf(closeTag);
        const bool closesFirst = close >= 0 && (open < 0 || close < open);
        // A tag in code, or one after an opening tag inside the answer, is
        // something the answer talks about.
        const QString before = m_answerTail + text.left(std::max<qsizetype>(close, 0));
        const bool inCode = m_answerHasCode || before.contains(fence) || before.endsWith(QLatin1Char('`'));
        if (closesFirst && !inCode) {
            piece.earlierAnswerIsReasoning = true;
            // The thinking began with the earlier text, not here.
            m_reasoningStarted = m_reasoningStarted || !m_answerTail.isEmpty();
            giveReasoning(piece, QStringView(text).left(close));
            m_state = State::AfterThinking;
            take(piece, text.mid(close + closeTag.size()));
            return;
        }
        if (open >= 0 || close >= 0) {
            m_state = State::Plain;
            giveAnswer(piece, text);
            return;
        }
        const qsizetype held = std::max(partialTagAtEnd(text, closeTag), partialTagAtEnd(text, openTag));
        giveAnswer(piece, QStringView(text).chopped(held));
        m_pending = text.right(held);
        return;
    }
    case State::AfterThinking: {
        // The answer starts at its first visible character.
        const qsizetype start = firstNonSpace(text);
        if (start == text.size())
            return;
        m_state = State::Plain;
        giveAnswer(piece, QStringView(text).mid(start));
        return;
    }
    case State::Plain: giveAnswer(piece, text); return;
    }
}

void ReasoningSplitter::giveReasoning(Piece& piece, QStringView text)
{
    if (!m_reasoningStarted) {
        text = text.mid(firstNonSpace(text));
        m_reasoningStarted = !text.isEmpty();
    }
    piece.reasoning += text;
}

void ReasoningSplitter::giveAnswer(Piece& piece, QStringView text)
{
    if (m_state == State::Undecided) {
        const QString seen = m_answerTail + text.toString();
        m_answerHasCode = m_answerHasCode || seen.contains(fence);
        m_answerTail = seen.right(fence.size() - 1);
    }
    piece.answer += text;
}
