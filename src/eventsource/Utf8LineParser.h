#pragma once

#include "eventsource/StreamLimits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Turns received byte chunks into complete lines of UTF-8 text. CR, LF and CRLF end a
// line (also when the CR and the LF arrive in different chunks). Every ill-formed byte
// sequence becomes one U+FFFD per maximal subpart; a character cut at the end of a
// chunk is held back and completed by the next one. Nothing else is touched: a BOM,
// NUL and every other character stay part of the line.
//
// A line longer than maxLineBytes is not kept: the parser drops it, reports
// overflowed() and ignores all input until reset(), so a server that never ends a line
// cannot make it grow without bound.
//
// One pass per chunk: plain ASCII is scanned 16 bytes at a time, lines that lie wholly
// inside a chunk are handed out without copying, and a line spanning chunks grows in
// place without being scanned again. Not thread-safe.
class Utf8LineParser {
public:
    explicit Utf8LineParser(qsizetype maxLineBytes = kDefaultStreamLimitBytes)
        : m_maxLineBytes(maxLineBytes)
    {
    }

    // Feeds one chunk; calls sink(QByteArrayView line) for each line it completes, in
    // order, without the line end. The view is valid only during the call.
    template <typename Sink>
    void append(QByteArrayView chunk, Sink&& sink);

    // The same, collecting the lines.
    QList<QByteArray> append(QByteArrayView chunk);

    // Forgets a pending line, a pending CR, held-back bytes and an overflow (the
    // connection ended).
    void reset();

    // A line went past the limit; nothing more is read until reset().
    bool overflowed() const { return m_overflowed; }

    // The text of the line not yet ended (for tests and diagnostics).
    const QByteArray& currentString() const { return m_currentString; }

private:
    enum class Step { Valid, Invalid, Truncated };

    // Examines the sequence starting at p (p < end, *p >= 0x80). Returns the length of
    // the scalar when valid, else of the maximal ill-formed subpart; Truncated when the
    // input ends inside a sequence that is valid so far.
    static int examine(const uchar* p, const uchar* end, Step& step);
    // First CR, LF or non-ASCII byte in [p, end), or end.
    static const uchar* findSpecial(const uchar* p, const uchar* end);

    // Both return false when the line went past the limit.
    template <typename Sink>
    bool endLine(const uchar* from, const uchar* to, Sink& sink);
    bool keep(const uchar* from, const uchar* to);
    Q_DECL_COLD_FUNCTION bool overflow(); // out of line, off the hot path

    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    static constexpr qsizetype kKeptCapacity = 1 << 20;

    QByteArray m_remainder;     // start of a character cut by the chunk end, at most 3 bytes
    QByteArray m_currentString; // the line being built
    bool m_seenCr = false;      // the last character was a CR: swallow an LF right after it
    bool m_overflowed = false;
    qsizetype m_maxLineBytes;
};

inline int Utf8LineParser::examine(const uchar* p, const uchar* end, Step& step)
{
    const uchar lead = p[0];
    int trailing;
    uchar lo = 0x80;
    uchar hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        if (lead == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (lead == 0xED)
            hi = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        step = Step::Invalid;
        return 1;
    }
    for (int i = 1; i <= trailing; ++i) {
        if (p + i >= end) {
            step = Step::Truncated;
            return i;
        }
        if (p[i] < lo || p[i] > hi) {
            step = Step::Invalid;
            return i;
        }
        lo = 0x80;
        hi = 0xBF;
    }
    step = Step::Valid;
    return trailing + 1;
}

inline const uchar* Utf8LineParser::findSpecial(const uchar* p, const uchar* end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A match sets all bits of its byte; a non-ASCII byte has its top bit set already.
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), v);
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n' || *p >= 0x80)
            return p;
    return end;
}

inline bool Utf8LineParser::keep(const uchar* from, const uchar* to)
{
    if (m_currentString.size() + (to - from) > m_maxLineBytes)
        return overflow();
    m_currentString.append(reinterpret_cast<const char*>(from), to - from);
    return true;
}

template <typename Sink>
inline bool Utf8LineParser::endLine(const uchar* from, const uchar* to, Sink& sink)
{
    if (m_currentString.isEmpty()) {
        if (to - from > m_maxLineBytes)
            return overflow();
        sink(QByteArrayView(from, to - from));
        return true;
    }
    if (!keep(from, to))
        return false;
    sink(QByteArrayView(m_currentString));
    // Keep the capacity for the next long line, unless it was a huge one.
    if (m_currentString.capacity() > kKeptCapacity)
        m_currentString = QByteArray();
    else
        m_currentString.truncate(0);
    return true;
}

template <typename Sink>
void Utf8LineParser::append(QByteArrayView chunk, Sink&& sink)
{
    const uchar* p = reinterpret_cast<const uchar*>(chunk.data());
    const uchar* const end = p + chunk.size();
    if (p == end || m_overflowed)
        return;

    if (!m_remainder.isEmpty()) {
        // The held-back bytes are a valid start of a character: complete it from the
        // front of this chunk, or find where it breaks.
        uchar head[4];
        const int kept = int(m_remainder.size());
        std::memcpy(head, m_remainder.constData(), size_t(kept));
        const int taken = int(qMin<qsizetype>(4 - kept, end - p));
        std::memcpy(head + kept, p, size_t(taken));
        Step step;
        const int length = examine(head, head + kept + taken, step);
        if (step == Step::Truncated) {
            m_remainder = QByteArray(reinterpret_cast<const char*>(head), kept + taken);
            return;
        }
        m_remainder.clear();
        if (step == Step::Valid)
            m_currentString.append(reinterpret_cast<const char*>(head), length);
        else
            m_currentString.append(kReplacement, 3);
        p += length - kept;
    } else if (m_seenCr) {
        m_seenCr = false;
        if (*p == '\n')
            ++p;
    }

    const uchar* segment = p; // start of the bytes not yet given out or copied
    while (p < end) {
        p = findSpecial(p, end);
        if (p == end)
            break;
        const uchar c = *p;
        if (c == '\n' || c == '\r') {
            if (!endLine(segment, p, sink))
                return;
            ++p;
            if (c == '\r') {
                if (p == end) {
                    m_seenCr = true;
                } else if (*p == '\n') {
                    ++p;
                }
            }
            segment = p;
            continue;
        }
        Step step;
        const int length = examine(p, end, step);
        if (step == Step::Valid) {
            p += length;
            continue;
        }
        if (!keep(segment, p))
            return;
        if (step == Step::Truncated) {
            m_remainder = QByteArray(reinterpret_cast<const char*>(p), end - p);
            return;
        }
        m_currentString.append(kReplacement, 3);
        p += length;
        segment = p;
    }
    if (segment < end)
        keep(segment, end);
}
