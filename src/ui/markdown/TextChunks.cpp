#include "ui/markdown/TextChunks.h"

QStringList TextChunks::chunksOf(const QString& text)
{
    QStringList chunks;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + maxChunk);
        if (end < text.size()) {
            const qsizetype lineEnd = text.lastIndexOf(QLatin1Char('\n'), end - 1);
            if (lineEnd >= start)
                end = lineEnd + 1;
            else if (text[end - 1].isHighSurrogate())
                --end; // never split a character
        }
        chunks << text.mid(start, end - start);
        start = end;
    }
    return chunks;
}

QVariantList TextChunks::shownChunks(const QString& text)
{
    QVariantList shown;
    for (QString chunk : chunksOf(text)) {
        if (chunk.endsWith(QLatin1Char('\n')))
            chunk.chop(chunk.endsWith(QLatin1String("\r\n")) ? 2 : 1);
        shown << chunk;
    }
    return shown;
}
