#include "ui/common/ThemePalette.h"

#include <QEvent>
#include <QFont>
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
    if (watched == qApp && event->type() == QEvent::ApplicationFontChange)
        Q_EMIT fontChanged();
    return false;
}

qreal ThemePalette::fontSize() const
{
    const QFont font = QGuiApplication::font();
    // A font set in pixels has no point size; at the usual 96 dpi a point is 4/3 pixels.
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
}

QColor ThemePalette::alpha(const QColor& color, qreal alpha) const
{
    QColor tinted = color;
    tinted.setAlphaF(float(alpha));
    return tinted;
}

QUrl ThemePalette::icon(const QString& name) const
{
    return QUrl(QStringLiteral("qrc:/qt/qml/Vorbel/Ui/Common/icons/%1.svg").arg(name));
}

void ThemePalette::update()
{
    const bool dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT changed();
}
