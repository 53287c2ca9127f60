#include "JsonLinePrinter.h"

#include <QTimer>

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Past this much the buffer is written out even in the middle of a chunk.
constexpr qsizetype kFlushBytes = 1 << 20;
// A buffer grown larger than this (by a huge event) is given back after a flush.
constexpr qsizetype kKeptCapacity = 8 << 20;

// For each byte, the letter after the backslash that replaces it ('u' for \u00XX), or 0
// when it is copied as it is. UTF-8 from the parser is copied unchanged.
constexpr std::array<char, 256> kEscapes = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[size_t(c)] = 'u';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    table['"'] = '"';
    table['\\'] = '\\';
    return table;
}();

// Writes the escape of c at w; returns the end of it.
char* escape(char* w, uchar c)
{
    const char letter = kEscapes[c];
    *w++ = '\\';
    *w++ = letter;
    if (letter == 'u') {
        static constexpr char hex[] = "0123456789abcdef";
        *w++ = '0';
        *w++ = '0';
        *w++ = hex[c >> 4];
        *w++ = hex[c & 0xF];
    }
    return w;
}

template <qsizetype N>
void put(QByteArray& out, const char (&text)[N])
{
    out.append(text, N - 1);
}

} // namespace

void JsonLinePrinter::appendQuoted(QByteArray& out, QByteArrayView utf8)
{
    // Room for the worst case (every byte as \u00XX), written in place and trimmed after.
    // That room also lets the vector loop store 16 bytes before it knows how many count.
    const qsizetype start = out.size();
    out.resize(start + utf8.size() * 6 + 2);
    char* w = out.data() + start;
    *w++ = '"';
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v); // bytes up to 0x1F
        const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
        const int mask = _mm_movemask_epi8(_mm_or_si128(special, control));
        if (mask == 0) {
            p += 16;
            w += 16;
            continue;
        }
        const int run = __builtin_ctz(unsigned(mask));
        p += run;
        w = escape(w + run, uchar(*p++));
    }
#endif
    while (p < end) {
        const char* run = p;
        while (p < end && kEscapes[uchar(*p)] == 0)
            ++p;
        std::memcpy(w, run, size_t(p - run));
        w += p - run;
        if (p == end)
            break;
        w = escape(w, uchar(*p++));
    }
    *w++ = '"';
    out.truncate(w - out.constData());
}

void JsonLinePrinter::printed()
{
    if (m_buffer.size() >= kFlushBytes) {
        flush();
    } else if (m_flushAfterBatch && !m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, [this] { flush(); });
    }
}

void JsonLinePrinter::flush()
{
    m_flushQueued = false;
    if (m_buffer.isEmpty())
        return;
    std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), m_out);
    std::fflush(m_out);
    if (m_buffer.capacity() > kKeptCapacity)
        m_buffer = QByteArray();
    else
        m_buffer.truncate(0);
}

void JsonLinePrinter::printOpened()
{
    put(m_buffer, "{\"open\":true}\n");
    printed();
}

void JsonLinePrinter::printClosed()
{
    put(m_buffer, "{\"closed\":true}\n");
    flush();
}

void JsonLinePrinter::onEvent(const MessageEvent& event)
{
    put(m_buffer, "{\"event\":");
    appendQuoted(m_buffer, event.type);
    put(m_buffer, ",\"data\":");
    appendQuoted(m_buffer, event.data);
    put(m_buffer, ",\"id\":");
    appendQuoted(m_buffer, event.lastEventId);
    put(m_buffer, "}\n");
    printed();
}

void JsonLinePrinter::onComment(const QByteArray& comment)
{
    put(m_buffer, "{\"comment\":");
    appendQuoted(m_buffer, comment);
    put(m_buffer, "}\n");
    printed();
}

void JsonLinePrinter::printError(const EventSourceError& error)
{
    put(m_buffer, "{\"error\":");
    appendQuoted(m_buffer, error.description.toUtf8());
    put(m_buffer, "}\n");
    flush();
}
