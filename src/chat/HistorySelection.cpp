#include "chat/HistorySelection.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace {

const QString appRole = QStringLiteral("app");
const QString assistantRole = QStringLiteral("assistant");

double tokens(const QString& text) { return static_cast<double>(graphemeCount(text)) / 3.0; }

// An assistant message that never received anything (a reply still waiting,
// or one cut off before its first piece) would reach the model as an empty
// assistant turn.
bool isEmptyReply(const Message& message)
{
    // Content first: almost every message has some, and then the role is not read.
    return (!message.content() || message.content()->isEmpty())
        && (!message.functionName() || message.functionName()->isEmpty()) && message.role() == assistantRole;
}

} // namespace

qsizetype graphemeCount(const QString& text)
{
    // In ASCII the only cluster longer than one character is CR LF; most
    // messages take this path and skip the boundary finder.
    const QChar* data = text.constData();
    const qsizetype length = text.size();
    qsizetype crlf = 0;
    bool ascii = true;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x80) {
            ascii = false;
            break;
        }
        if (c == u'\n' && i > 0 && data[i - 1].unicode() == u'\r')
            ++crlf;
    }
    if (ascii)
        return length - crlf;

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool isSentInHistory(const Message& message) { return message.role() != appRole && !isEmptyReply(message); }

double initialSizeEstimate(const QString& systemPrompt, const QList<ApiFunction>& functions)
{
    double estimate = tokens(systemPrompt);
    for (const ApiFunction& function : functions)
        estimate += tokens(function.description + function.name);
    return estimate;
}

std::vector<MessagePtr> selectHistory(const std::vector<MessagePtr>& messages, double initialEstimate,
                                      int contextLength)
{
    std::vector<MessagePtr> kept;
    double estimate = initialEstimate;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        const Message& message = **it;
        if (!isSentInHistory(message))
            continue;
        const QString text = message.content().value_or(QString()) + message.functionName().value_or(QString())
                           + message.functionResult().value_or(QString())
                           + message.functionArguments().value_or(QString());
        estimate = std::trunc(estimate + tokens(text));
        if (estimate >= contextLength)
            break;
        kept.push_back(*it);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}
