#include "app/QuitOnSignal.h"
#include "app/VorbelApplication.h"
#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
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
    (new MainWindow(app.mainWindowServices()))->show();
    const int status = qtApp.exec();
    // Windows closed at the end are deleted before the store goes away.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
