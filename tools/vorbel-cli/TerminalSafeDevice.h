#pragma once

#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

// Writes UTF-8 text on to another device with every terminal control
// character (C0 but line feed and tab, DEL, C1) shown as a visible "\u001b",
// so nothing a model or a server wrote can move the cursor, retitle the
// window or hide text in the user's terminal. A character split across two
// writes is put together first.
class TerminalSafeDevice : public QIODevice {
public:
    explicit TerminalSafeDevice(QIODevice* target, QObject* parent = nullptr);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice* m_target;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};
