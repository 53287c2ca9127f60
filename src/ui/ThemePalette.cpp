#include "ui/ThemePalette.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

ThemePalette::ThemePalette(QObject* parent)
    : QObject(parent)
{
    update();
    qApp->installEventFilter(this);
}

bool ThemePalette::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        update();
    return false;
}

void ThemePalette::update()
{
    const bool dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT changed();
}
