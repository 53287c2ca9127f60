#include "ui/mainwindow/WindowGeometryStore.h"

#include <QSettings>
#include <QStandardPaths>

WindowGeometryStore::WindowGeometryStore()
    : WindowGeometryStore(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                          + QStringLiteral("/window-state.ini"))
{
}

WindowGeometryStore::WindowGeometryStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QRect WindowGeometryStore::load() const
{
    const QRect geometry = QSettings(m_filePath, QSettings::IniFormat).value(QStringLiteral("mainWindow")).toRect();
    return geometry.isValid() ? geometry : QRect();
}

void WindowGeometryStore::save(const QRect& geometry) const
{
    if (geometry.isValid())
        QSettings(m_filePath, QSettings::IniFormat).setValue(QStringLiteral("mainWindow"), geometry);
}
