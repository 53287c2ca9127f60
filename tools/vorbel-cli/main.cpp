#include "core/Endpoints.h"
#include "core/SecretStore.h"
#include "core/Settings.h"
#include "core/UntrustedText.h"
#include "extensions/ToolServerManager.h"
#include "store/DataController.h"
#include "vorbel-cli/CommandDispatcher.h"
#include "vorbel-cli/TerminalSafeDevice.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

// Long enough for the user to answer the keyring's request to be unlocked.
constexpr int keyringWaitMs = 60000;

const QStringList commandsWithoutSettings{QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("help"),
                                          QStringLiteral("--version")};
const QStringList commandsUsingTheStore{QStringLiteral("assistants"), QStringLiteral("conversations"),
                                        QStringLiteral("chat"),       QStringLiteral("show"),
                                        QStringLiteral("rename"),     QStringLiteral("search")};

// Diagnostics may quote a server's answer: they reach the terminal escaped too.
void writeSafeLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line =
        UntrustedText::escaped(qFormatLogMessage(type, context, message), UntrustedText::Escape::TerminalControls);
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}

} // namespace

int main(int argc, char** argv)
{
    // The libraries write their background lines ("Error: ...", "Unable to get
    // assistant data here", ...) to standard output, as the app does. Here
    // standard output belongs to scripts, so those lines are sent to standard
    // error and the commands write through a duplicate of the real output.
    std::fflush(stdout);
    const int resultFd = ::dup(STDOUT_FILENO);
    if (resultFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "vorbel-cli: standard output is not available\n");
        return ExitFailure;
    }

    qInstallMessageHandler(writeSafeLogLine);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorbel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORBEL_VERSION));
    // Developer traces stay off unless asked for through QT_LOGGING_RULES.
    QLoggingCategory::setFilterRules(QStringLiteral("vorbel.*.debug=false\nvorbel.*.info=false"));
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    QFile resultFile;
    QFile errorFile;
    resultFile.open(resultFd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    errorFile.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    // Replies, previews and server texts reach a terminal only with their
    // control characters made visible; a pipe or a file gets the exact text.
    TerminalSafeDevice safeResult(&resultFile);
    TerminalSafeDevice safeError(&errorFile);
    QTextStream out(::isatty(resultFd) ? static_cast<QIODevice*>(&safeResult) : &resultFile);
    QTextStream err(&safeError);
    CliIo io{out, err,
             []() -> std::optional<QString> {
                 std::string line;
                 if (!std::getline(std::cin, line))
                     return std::nullopt;
                 return QString::fromStdString(line);
             },
             ::isatty(STDERR_FILENO) ? &errorFile : nullptr};

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const bool usesSettings = !commandsWithoutSettings.contains(arguments.value(0));
    if (usesSettings)
        Settings::instance().useKeyring(SecretStore::system(), keyringWaitMs);

    // Only commands that read or write records open the store (settings work
    // without it).
    std::unique_ptr<DataController> dataController;
    std::unique_ptr<StoreContext> unusedStore;
    StoreContext* store = nullptr;
    if (commandsUsingTheStore.contains(arguments.value(0))) {
        dataController = std::make_unique<DataController>();
        // The app runs on with a store in memory; here everything written
        // would be lost when the command ends, and lists would be empty.
        if (!dataController->isPersistent())
            return reportError(
                io, ExitFailure,
                QStringLiteral("the store at %1 cannot be opened").arg(DataController::defaultDatabasePath()));
        store = &dataController->storeContext();
    } else {
        unusedStore = std::make_unique<StoreContext>(SqliteStore::openInMemory());
        store = unusedStore.get();
    }

    QNetworkAccessManager network;
    CliEnvironment environment{*store, network, Endpoints::catalogueBase(), io};
    const int status = runVorbelCli(arguments, environment);
    ToolServerManager::endAllServers();
    if (usesSettings)
        Settings::instance().finishSecretWrites(keyringWaitMs);
    return status;
}
