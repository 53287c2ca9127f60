#pragma once

#include <QRect>
#include <QString>

// Where the main window was and how big, between runs. Kept in a file of its
// own, beside (never in) the settings, whose keys are fixed.
class WindowGeometryStore {
public:
    WindowGeometryStore();
    explicit WindowGeometryStore(QString filePath);

    // Empty when nothing usable was stored.
    QRect load() const;
    void save(const QRect& geometry) const;
    const QString& filePath() const { return m_filePath; }

private:
    QString m_filePath;
};
