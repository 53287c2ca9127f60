#pragma once

#include <QColor>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The house colours, light or dark after the application palette: dark when
// its window colour is dark, and the text sizes, after the application font.
// Follows palette and font changes while running.
class ThemePalette : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Theme)
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    Q_PROPERTY(QColor background READ background NOTIFY changed)
    Q_PROPERTY(QColor sidebar READ sidebar NOTIFY changed)
    Q_PROPERTY(QColor ownMessage READ ownMessage NOTIFY changed)
    Q_PROPERTY(QColor assistantMessage READ assistantMessage NOTIFY changed)
    Q_PROPERTY(QColor text READ text NOTIFY changed)
    Q_PROPERTY(QColor secondaryText READ secondaryText NOTIFY changed)
    Q_PROPERTY(QColor separator READ separator NOTIFY changed)
    Q_PROPERTY(QColor codeBackground READ codeBackground NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor error READ error NOTIFY changed)
    Q_PROPERTY(QColor success READ success NOTIFY changed)
    Q_PROPERTY(QColor link READ link NOTIFY changed)
    Q_PROPERTY(QColor onAccent READ onAccent NOTIFY changed)
    Q_PROPERTY(QColor onError READ onError NOTIFY changed)
    // The application font's size in points; the views size their text from it.
    Q_PROPERTY(qreal fontSize READ fontSize NOTIFY fontChanged)
public:
    explicit ThemePalette(QObject* parent = nullptr);

    bool dark() const { return m_dark; }
    QColor background() const { return pick(0xFFFFFF, 0x1E1E1E); }
    QColor sidebar() const { return pick(0xF3F3F5, 0x252526); }
    // Dark enough for white text to read on it in both looks.
    QColor ownMessage() const { return accent(); }
    QColor assistantMessage() const { return pick(0xECECEF, 0x2E2E31); }
    QColor text() const { return pick(0x1C1C1E, 0xECECEC); }
    QColor secondaryText() const { return pick(0x636368, 0xA1A1A6); }
    QColor separator() const { return pick(0xD8D8DC, 0x3A3A3C); }
    QColor codeBackground() const { return pick(0xF5F6F8, 0x161618); }
    // Under white text (a selection, the own bubble), so dark in both looks.
    QColor accent() const { return pick(0x0060DF, 0x0A5FD0); }
    QColor error() const { return pick(0xD70015, 0xFF5147); }
    QColor success() const { return pick(0x248A3D, 0x30D158); }
    // Text in the accent's hue on the page and bubble colours.
    QColor link() const { return pick(0x0060DF, 0x4DA3FF); }
    QColor onAccent() const { return QColor(Qt::white); }
    QColor onError() const { return pick(0xFFFFFF, 0x1E1E1E); }
    qreal fontSize() const;

    // The colour with the given opacity: the tints and faint lines over a surface.
    Q_INVOKABLE QColor alpha(const QColor& color, qreal alpha) const;
    // One of the icons every window shares, by its file name without ".svg".
    Q_INVOKABLE QUrl icon(const QString& name) const;

Q_SIGNALS:
    void changed();
    void fontChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QColor pick(QRgb light, QRgb dark) const { return QColor(m_dark ? dark : light); }
    void update();

    bool m_dark = false;
};
