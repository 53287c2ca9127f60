#include "extensions/ShellExtension.h"

#include "core/Settings.h"
#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionArguments.h"
#include "extensions/FunctionStop.h"

#include <QByteArray>
#include <QByteArrayList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const QString failureText = QStringLiteral("Unable to run script");
const QByteArray searchPathPrefix = QByteArrayLiteral("/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:");

// The application's environment with the usual tool folders put in front of PATH.
QByteArrayList childEnvironment()
{
    QByteArrayList variables;
    QByteArray path;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray variable(*entry);
        if (variable.startsWith("PATH="))
            path = variable.mid(5);
        else
            variables.append(variable);
    }
    variables.append("PATH=" + searchPathPrefix + path);
    return variables;
}

// The stored shell, or /bin/bash. The settings panel stores "bin/bash" and
// "bin/zsh" without their slash; a desktop app's working folder is not "/", so
// relative paths are taken from the root.
QByteArray shellPath()
{
    const QString stored =
        Settings::instance().storedText(Settings::cliAppShellKey).value_or(QStringLiteral("/bin/bash"));
    return (stored.startsWith(QLatin1Char('/')) ? stored : QLatin1Char('/') + stored).toLocal8Bit();
}

// The length of `bytes` without the UTF-8 sequence a cut left unfinished at its end.
qsizetype withoutSplitCharacter(const QByteArray& bytes)
{
    qsizetype lead = bytes.size();
    while (lead > 0 && bytes.size() - lead < 3 && (uchar(bytes.at(lead - 1)) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return bytes.size();
    const uchar first = uchar(bytes.at(lead - 1));
    const qsizetype needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    return bytes.size() - (lead - 1) < needed ? lead - 1 : bytes.size();
}

// How long a stopped command has to end on SIGTERM before it gets SIGKILL.
constexpr std::chrono::seconds stopGracePeriod{2};
// How often the reading loop looks at a stop asked for meanwhile.
constexpr int stopCheckIntervalMs = 100;

// The process group of one command, signalled on the user's stop. Its id
// stays valid until the shell is reaped, which happens only after `ended`.
struct ProcessGroup {
    std::mutex mutex;
    pid_t id = 0;
    bool ended = false;

    void signal(int number)
    {
        std::lock_guard lock(mutex);
        if (!ended)
            ::kill(-id, number);
    }
    void end()
    {
        std::lock_guard lock(mutex);
        ended = true;
    }
};

struct ShellOutput {
    QByteArray kept;    // the first shellOutputLimit bytes
    qint64 leftOut = 0; // bytes read past the limit and dropped
};

// Starts the shell with both output streams on one pipe and reads until every
// writer has closed it, which includes anything the command left running.
// Output past the limit is read and dropped, so a chatty command neither
// blocks on a full pipe nor fills the memory.
std::optional<ShellOutput> runShell(const QByteArray& shell, const QByteArray& commandLine)
{
    int pipeEnds[2];
    // Close-on-exec, so a shell started at the same time by another call does
    // not inherit this pipe and keep it open.
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);

    // The worker thread's blocked signals and ignored dispositions are not the command's business.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // A group of its own, so a stop reaches whatever the command started.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    QByteArray dashC("-c");
    QByteArray line = commandLine;
    QByteArray path = shell;
    char* argv[] = {path.data(), dashC.data(), line.data(), nullptr};
    QByteArrayList environment = childEnvironment();
    std::vector<char*> envp;
    for (QByteArray& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, path.constData(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[1]);
    if (spawnError != 0) {
        close(pipeEnds[0]);
        qCInfo(lcExtensions) << "Unable to start" << path << ":" << std::strerror(spawnError);
        return std::nullopt;
    }

    const std::shared_ptr<FunctionStop> stop = FunctionStop::current();
    auto group = std::make_shared<ProcessGroup>();
    group->id = pid;
    if (stop)
        stop->onStop([group] { group->signal(SIGTERM); });
    std::optional<std::chrono::steady_clock::time_point> killAt;

    ShellOutput output;
    char buffer[65536];
    for (;;) {
        if (stop) {
            if (!killAt && stop->isRequested())
                killAt = std::chrono::steady_clock::now() + stopGracePeriod;
            if (killAt && std::chrono::steady_clock::now() >= *killAt) {
                // Whatever still holds the output after this is not waited for.
                group->signal(SIGKILL);
                break;
            }
            pollfd readable{pipeEnds[0], POLLIN, 0};
            const int ready = poll(&readable, 1, stopCheckIntervalMs);
            if (ready == 0 || (ready < 0 && errno == EINTR))
                continue;
        }
        const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
        if (count > 0) {
            const qsizetype room = std::max<qsizetype>(0, shellOutputLimit - output.kept.size());
            const qsizetype kept = std::min<qsizetype>(room, count);
            output.kept.append(buffer, kept);
            output.leftOut += count - kept;
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    group->end();

    // Reap the shell without waiting on it: one that closed its output but
    // runs on is collected in the background.
    if (waitpid(pid, nullptr, WNOHANG) == 0)
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return output;
}

} // namespace

std::optional<QString> shellCommandLine(const std::optional<QString>& arguments)
{
    if (!arguments)
        return std::nullopt;
    const auto object = decodeArgumentObjectWithoutLineFeeds(*arguments);
    if (!object)
        return std::nullopt;
    QString command;
    try {
        command = requiredText(*object, QStringLiteral("command"));
    } catch (const ArgumentDecodingError&) {
        return std::nullopt;
    }
    const QString commandTemplate = Settings::instance().storedText(Settings::cliAppCommandKey).value_or(QString());
    // The model's command goes in unchanged, without quoting: the user confirms the whole line first.
    return commandTemplate.isEmpty() ? command : QString(commandTemplate).replace(QStringLiteral("$0"), command);
}

QString runShellCommandLine(const QString& commandLine)
{
    std::optional<ShellOutput> output = runShell(shellPath(), commandLine.toUtf8());
    if (!output)
        return failureText;
    const QString text = limitedOutputText(std::move(output->kept), output->leftOut);
    return text.isEmpty() ? QStringLiteral("Success") : text;
}

QString limitedOutputText(QByteArray bytes, qint64 leftOut)
{
    if (bytes.size() > shellOutputLimit) {
        leftOut += bytes.size() - shellOutputLimit;
        bytes.truncate(shellOutputLimit);
    }
    if (leftOut > 0) {
        // A character the limit split goes with the rest, so the text ends cleanly.
        const qsizetype whole = withoutSplitCharacter(bytes);
        leftOut += bytes.size() - whole;
        bytes.truncate(whole);
    }
    // Invalid UTF-8 becomes U+FFFD rather than failing the call.
    QString text = QString::fromUtf8(bytes);
    if (leftOut > 0)
        text += QStringLiteral("\n[%1 bytes of output left out]").arg(leftOut);
    return text;
}

QString executeShellCommand(const std::optional<QString>& arguments)
{
    const std::optional<QString> commandLine = shellCommandLine(arguments);
    return commandLine ? runShellCommandLine(*commandLine) : failureText;
}

CustomExtension makeShellExtension()
{
    CustomFunction function;
    function.name = QStringLiteral("Run CLI command");
    function.requiresConfirmation = true;
    function.blocksIndefinitely = true;
    function.apiDefinition.name = QStringLiteral("cliExecution");
    function.apiDefinition.description = QStringLiteral("Executes the provided shell command on the host machine");
    function.apiDefinition.parameters.properties = {
        {QStringLiteral("command"),
         Property{QStringLiteral("string"), QStringLiteral("The command that should be executed"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("command")};
    function.execution = [](const std::optional<QString>& arguments) { return executeShellCommand(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Executing"), QStringLiteral("command"), arguments);
    };
    function.confirmationText = shellCommandLine;
    function.confirmedExecution = runShellCommandLine;

    CustomExtension extension;
    extension.id = QStringLiteral("cliExecution");
    extension.userFacingName = QStringLiteral("Shell access");
    extension.userFacingDescription = QStringLiteral(
        "Allows assistants to execute shell commands on your computer. Useful for reading or writing files, and "
        "executing arbitrary commands.");
    extension.enabledByDefault = false;
    extension.mayBeEnabled = [] { return true; };
    extension.functions = {function};
    return extension;
}
