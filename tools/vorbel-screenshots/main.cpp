// Pictures of every screen state for review, light or dark ("dark" as the second argument), against a
// throw-away store seeded with the built-in catalogue and a local server playing the OpenAI service.
// Runs offscreen; stores only made-up keys.
#include "MainWindowScreenshots.h"
#include "MarkdownScreenshots.h"
#include "SettingsScreenshots.h"
#include "ToolServerScreenshots.h"
#include "app/VorbelApplication.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2B2B2D));
    palette.setColor(QPalette::WindowText, QColor(0xECECEC));
    palette.setColor(QPalette::Base, QColor(0x1E1E1E));
    palette.setColor(QPalette::AlternateBase, QColor(0x252526));
    palette.setColor(QPalette::Text, QColor(0xECECEC));
    palette.setColor(QPalette::Button, QColor(0x2E2E31));
    palette.setColor(QPalette::ButtonText, QColor(0xECECEC));
    palette.setColor(QPalette::Highlight, QColor(0x0A84FF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0x2E2E31));
    palette.setColor(QPalette::ToolTipText, QColor(0xECECEC));
    palette.setColor(QPalette::PlaceholderText, QColor(0xA1A1A6));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6E6E73));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6E6E73));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6E6E73));
    return palette;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data").constData(), 1);
    unsetenv("VORBEL_CATALOGUE_URL");
    unsetenv("VORBEL_UPDATE_FEED_URL");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_QUICK_BACKEND", "software", 1);

    QApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorbel"));
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    // The controls take their palette when the first QML loads, so each look gets its own run.
    const bool dark = argc > 2 && qstrcmp(argv[2], "dark") == 0;
    if (dark)
        QApplication::setPalette(darkPalette());
    if (!QDir().mkpath(outDir))
        return 2;

    VorbelApplication app;
    ScreenshotToolServers toolServers;
    if (!toolServers.ready())
        return 1;
    const QString suffix = dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png");
    bool ok = writeMainWindowScreenshots(app, outDir, suffix);
    ok = writeMarkdownScreenshots(outDir, suffix) && ok;
    ok = writeSettingsScreenshots(outDir, suffix, app.storeContext()) == 0 && ok;
    return ok ? 0 : 1;
}
