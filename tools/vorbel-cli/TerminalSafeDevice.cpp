#include "vorbel-cli/TerminalSafeDevice.h"

#include "core/UntrustedText.h"

TerminalSafeDevice::TerminalSafeDevice(QIODevice* target, QObject* parent)
    : QIODevice(parent)
    , m_target(target)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TerminalSafeDevice::writeData(const char* data, qint64 size)
{
    const QString text = m_decoder.decode(QByteArrayView(data, size));
    const QByteArray safe = m_encoder.encode(UntrustedText::escaped(text, UntrustedText::Escape::TerminalControls));
    if (!safe.isEmpty() && m_target->write(safe) != safe.size())
        return -1;
    return size;
}
