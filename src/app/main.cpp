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
    app.viewContext(); // the store opens before the first window is built
    (new MainWindow(app))->show();
    return qtApp.exec();
}
