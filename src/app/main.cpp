#include "app/QuitOnSignal.h"
#include "app/VorbelApplication.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // QApplication rather than QGuiApplication: the settings window is still widgets.
    QApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORBEL_VERSION));

    VorbelApplication app;
    quitOnTerminationSignals([] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    app.viewContext(); // the store opens before the first window is built
    if (!app.openMainWindow())
        return 1;
    return qtApp.exec();
}
