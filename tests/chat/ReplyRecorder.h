#pragma once

#include "chat/OpenAiService.h"

#include <QCoreApplication>
#include <QMutex>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <memory>

// Collects the callbacks of one chat request, which arrive on the stream's thread.
class ReplyRecorder : public std::enable_shared_from_this<ReplyRecorder> {
public:
    static std::shared_ptr<ReplyRecorder> make() { return std::make_shared<ReplyRecorder>(); }
    static inline const QString stopped = QStringLiteral("(onStop)");

    QUuid send(const QString& systemPrompt, const std::vector<MessagePtr>& history = {})
    {
        auto self = shared_from_this();
        return OpenAiService::sendChat(
            systemPrompt, history, [self](const ParsedDelta& delta) { self->record([&] { self->m_deltas.append(delta); }); },
            [self] { self->record([&] { self->m_ends.append(stopped); }); },
            [self](const QString& text) { self->record([&] { self->m_ends.append(text); }); });
    }

    // Spins the test thread's event loop until onStop or onError came.
    bool waitForEnd(int timeoutMs = 10000) { return QTest::qWaitFor([this] { return ended(); }, timeoutMs); }

    QList<ParsedDelta> deltas() const { QMutexLocker l(&m_mutex); return m_deltas; }
    QStringList contents() const
    {
        QStringList pieces;
        for (const ParsedDelta& delta : deltas())
            pieces.append(delta.content.value_or(QStringLiteral("<none>")));
        return pieces;
    }
    // The final callbacks: `stopped` for onStop, the text of onError.
    QStringList ends() const { QMutexLocker l(&m_mutex); return m_ends; }
    bool ended() const { return !ends().isEmpty(); }
    // Something arrived after the final callback, or on the UI thread, or on
    // more than one thread.
    bool misordered() const { QMutexLocker l(&m_mutex); return m_misordered; }

private:
    template <typename F>
    void record(F change)
    {
        QMutexLocker l(&m_mutex);
        const Qt::HANDLE thread = QThread::currentThreadId();
        if (!m_ends.isEmpty() || QThread::currentThread() == QCoreApplication::instance()->thread()
            || (m_thread && m_thread != thread))
            m_misordered = true;
        m_thread = thread;
        change();
    }

    mutable QMutex m_mutex;
    QList<ParsedDelta> m_deltas;
    QStringList m_ends;
    bool m_misordered = false;
    Qt::HANDLE m_thread = nullptr;
};
