#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "app/VorbelApplication.h"
#include "core/SecretStore.h"
#include "core/Settings.h"
#include "core/StdoutLine.h"
#include "extensions/ToolServerManager.h"

#include <QApplication>
#include <QNetworkProxyFactory>

#include <cstdio>
#include <cstring>

namespace {

// How long the start waits for the keyring; a locked one that asks to be
// unlocked answers later, and the window follows when it does.
constexpr int keyringWaitMs = 1000;

const char usage[] = "Usage: vorbel [--new-window]\n"
                     "\n"
                     "Vorbel, a desktop chat client for the OpenAI chat-completions API and\n"
                     "compatible servers.\n"
                     "\n"
                     "Only one Vorbel runs per user and store: started again, it raises the\n"
                     "running one's newest window and exits.\n"
                     "\n"
                     "Options:\n"
                     "  --new-window  open a new main window (in the running Vorbel if there is one)\n"
                     "  -h, --help    show this text and exit\n"
                     "  --version     show the version and exit\n"
                     "  Qt's own options (-platform, -style, ...) are accepted as well.\n"
                     "\n"
                     "Keys (apiKey, orgKey, pineconeAPiKey, woframAlphaAppId) are kept in the\n"
                     "system keyring under the service \"Vorbel\"; without a keyring, in the\n"
                     "private settings file. The other settings are in\n"
                     "$XDG_CONFIG_HOME/Vorbel/Vorbel.conf, the conversations in\n"
                     "$XDG_DATA_HOME/Vorbel/Vorbel/Vorbel.sqlite.\n"
                     "\n"
                     "Environment:\n"
                     "  http_proxy, https_proxy, no_proxy  the proxy for every request\n"
                     "  VORBEL_SECRET_STORE=file           keep keys in the private settings file\n"
                     "  VORBEL_OPENAI_URL                  the chat-completions server, over the setting\n"
                     "\n"
                     "See also: vorbel-cli(1), vorbel-sse(1), man vorbel.\n";

} // namespace

int main(int argc, char** argv)
{
    // Before the application object, which needs a display: help works in any terminal.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            printStdoutLine(QStringLiteral("vorbel " VORBEL_VERSION));
            return 0;
        }
    }

    // QApplication rather than QGuiApplication: the export save dialog is a widgets dialog.
    QApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORBEL_VERSION));
    // Wayland compositors and docks find the launcher's icon through this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.vorbel.Vorbel"));
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    // Qt has taken its own options out by now.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument != QLatin1String("--new-window")) {
            std::fprintf(stderr, "vorbel: unknown argument \"%s\" (see vorbel --help)\n",
                         argument.toLocal8Bit().constData());
            return 2;
        }
    }
    const auto request = arguments.isEmpty() ? SingleInstance::Request::Raise : SingleInstance::Request::NewWindow;
    SingleInstance instance(SingleInstance::defaultSocketPath());
    if (instance.forwardOrListen(request))
        return 0;

    Settings::instance().useKeyring(SecretStore::system(), keyringWaitMs);
    VorbelApplication app;
    QObject::connect(&instance, &SingleInstance::requested, &app, &VorbelApplication::showMainWindow);
    quitOnTerminationSignals([] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    app.storeContext(); // the store opens before the first window is built
    if (!app.openMainWindow())
        return 1;
    // Tool servers start behind the first window, so their tools are ready for
    // the first request; quitting ends every one of them.
    ToolServerManager::instance().startEnabled();
    QObject::connect(&qtApp, &QCoreApplication::aboutToQuit, [] { ToolServerManager::endAllServers(); });
    const int status = qtApp.exec();
    Settings::instance().finishSecretWrites(keyringWaitMs);
    return status;
}
