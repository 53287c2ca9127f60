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

QString TextChunks::withoutClosingLineEnd(QString text)
{
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
    return text;
}

QVariantList TextChunks::shownChunks(const QString& text)
{
    QVariantList shown;
    for (const QString& chunk : chunksOf(text))
        shown << withoutClosingLineEnd(chunk);
    return shown;
}
