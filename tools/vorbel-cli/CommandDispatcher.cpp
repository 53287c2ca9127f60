#include "vorbel-cli/CommandDispatcher.h"

#include "core/Endpoints.h"
#include "core/Settings.h"
#include "store/AssistantCatalogue.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "vorbel-cli/AssistantCommands.h"
#include "vorbel-cli/ChatSession.h"
#include "vorbel-cli/CommandArguments.h"
#include "vorbel-cli/ConversationCommands.h"
#include "vorbel-cli/McpCommands.h"
#include "vorbel-cli/ModelCommands.h"
#include "vorbel-cli/SettingsCommands.h"

namespace {

const QString yesOption = QStringLiteral("yes");
const QString assistantOption = QStringLiteral("assistant");
const QString conversationOption = QStringLiteral("conversation");
const QString regenerateOption = QStringLiteral("regenerate");

// As long as the app's own background read of the model list may take.
constexpr int accountModelsWaitMs = 15000;

int usageError(CliEnvironment& environment, const QString& text)
{
    return reportError(environment.io, ExitUsage, text + QStringLiteral(" (see vorbel-cli --help)"));
}

// The same refresh the app runs when a window opens, so the terminal sees the
// assistants the app would show.
void refreshCatalogue(CliEnvironment& environment)
{
    refreshAssistantCatalogueAndWait(environment.store, environment.network, environment.catalogueBase);
}

// The first assistant the app lists under exactly this name; one without an id
// cannot start a conversation in the app either.
AssistantPtr findListedAssistant(StoreContext& store, const QString& name)
{
    const AssistantListModel assistants(store);
    for (int row = 0; row < assistants.rowCount(); ++row) {
        const AssistantPtr assistant = assistants.recordAt(row);
        if (assistant->name() == name && assistant->id())
            return assistant;
    }
    return nullptr;
}

int assistantsCommand(CliEnvironment& environment, const QStringList& arguments)
{
    if (arguments.value(0) == QLatin1String("add")) {
        const CommandArguments parsed = CommandArguments::parse(
            arguments.mid(1), {QStringLiteral("name"), QStringLiteral("personality"), QStringLiteral("picture")}, {});
        if (!parsed.ok())
            return usageError(environment, parsed.error);
        return AssistantCommands::add(environment, parsed);
    }
    if (!arguments.isEmpty())
        return usageError(environment, QStringLiteral("unexpected argument \"%1\"").arg(arguments.first()));
    refreshCatalogue(environment);
    return AssistantCommands::list(environment);
}

int conversationsCommand(CliEnvironment& environment, const QStringList& arguments)
{
    if (!arguments.isEmpty())
        return usageError(environment, QStringLiteral("unexpected argument \"%1\"").arg(arguments.first()));
    return ConversationCommands::list(environment);
}

int modelsCommand(CliEnvironment& environment, const QStringList& arguments)
{
    if (!arguments.isEmpty())
        return usageError(environment, QStringLiteral("unexpected argument \"%1\"").arg(arguments.first()));
    return ModelCommands::list(environment);
}

int settingsCommand(CliEnvironment& environment, const QStringList& arguments)
{
    // Values are taken as they are, even when they begin with a dash.
    CommandArguments parsed;
    parsed.positionals = arguments;
    return SettingsCommands::run(environment, parsed);
}

int showCommand(CliEnvironment& environment, const QStringList& arguments)
{
    const CommandArguments parsed = CommandArguments::parse(arguments, {}, {QStringLiteral("json")});
    if (!parsed.ok())
        return usageError(environment, parsed.error);
    return ConversationCommands::show(environment, parsed);
}

int renameCommand(CliEnvironment& environment, const QStringList& arguments)
{
    const CommandArguments parsed = CommandArguments::parse(arguments, {}, {});
    if (!parsed.ok())
        return usageError(environment, parsed.error);
    if (parsed.positionals.size() == 1)
        return usageError(environment, QStringLiteral("missing title (an empty one brings back the automatic title)"));
    return ConversationCommands::rename(environment, parsed);
}

int searchCommand(CliEnvironment& environment, const QStringList& arguments)
{
    const CommandArguments parsed = CommandArguments::parse(arguments, {}, {QStringLiteral("json")});
    if (!parsed.ok())
        return usageError(environment, parsed.error);
    return ConversationCommands::search(environment, parsed);
}

int chatCommand(CliEnvironment& environment, const QStringList& arguments)
{
    const CommandArguments parsed =
        CommandArguments::parse(arguments, {assistantOption, conversationOption}, {yesOption, regenerateOption});
    if (!parsed.ok())
        return usageError(environment, parsed.error);
    if (parsed.has(assistantOption) == parsed.has(conversationOption))
        return usageError(environment, QStringLiteral("chat needs either --assistant NAME or --conversation ID"));
    const bool regenerate = parsed.has(regenerateOption);
    if (regenerate && (parsed.has(assistantOption) || !parsed.positionals.isEmpty()))
        return usageError(environment, QStringLiteral("--regenerate takes --conversation ID and no prompt"));
    if (!regenerate && parsed.positionals.isEmpty())
        return usageError(environment, QStringLiteral("missing prompt"));
    // A server other than OpenAI's may need no key.
    if (Settings::instance().apiKey().isEmpty() && Endpoints::openAiServer().isOpenAi)
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("no API key is stored; set one with: vorbel-cli settings set apiKey KEY"));

    ConversationPtr conversation;
    if (parsed.has(assistantOption)) {
        refreshCatalogue(environment);
        const QString name = parsed.value(assistantOption);
        const AssistantPtr assistant = findListedAssistant(environment.store, name);
        if (!assistant)
            return reportError(environment.io, ExitUsage, QStringLiteral("no assistant named \"%1\"").arg(name));
        conversation = createConversation(environment.store, assistant);
        if (environment.store.hasChanges())
            return reportError(environment.io, ExitFailure, QStringLiteral("the new conversation could not be saved"));
        // First on standard error, so a script can continue this conversation.
        environment.io.err << conversation->id()->toString(QUuid::WithoutBraces) << '\n';
        environment.io.err.flush();
    } else {
        const QString id = parsed.value(conversationOption);
        conversation = ConversationCommands::findConversation(environment.store, id);
        if (!conversation)
            return reportError(environment.io, ExitUsage, QStringLiteral("no conversation with id %1").arg(id));
    }

    // The history is cut to the model's context, which the server may report.
    ModelCommands::refreshAccountModels(accountModelsWaitMs);
    McpCommands::startEnabledServers();
    ChatSession session(environment.store, conversation, environment.io, parsed.flags.contains(yesOption));
    if (regenerate)
        return session.regenerate();
    return session.run(parsed.positionals.join(QLatin1Char(' ')));
}

} // namespace

QString vorbelCliUsage()
{
    return QStringLiteral("Usage:\n"
                          "  vorbel-cli assistants\n"
                          "  vorbel-cli assistants add --name NAME --personality TEXT --picture URL\n"
                          "  vorbel-cli conversations\n"
                          "  vorbel-cli chat (--assistant NAME | --conversation ID) [--yes] PROMPT...\n"
                          "  vorbel-cli chat --regenerate --conversation ID [--yes]\n"
                          "  vorbel-cli show [--json] ID\n"
                          "  vorbel-cli rename ID TITLE\n"
                          "  vorbel-cli search [--json] TEXT...\n"
                          "  vorbel-cli models\n"
                          "  vorbel-cli settings list | get KEY | set KEY VALUE\n"
                          "  vorbel-cli mcp list | tools NAME | remove NAME | enable NAME | disable NAME\n"
                          "  vorbel-cli mcp add NAME -- COMMAND [ARGS...]\n"
                          "  vorbel-cli mcp add NAME --url URL [--header \"K: V\"]...\n"
                          "  vorbel-cli --help | --version\n"
                          "\n"
                          "Works on the same store and settings as the Vorbel app.\n"
                          "Lists are tab-separated. The reply of a chat streams to standard output;\n"
                          "the new conversation's id, function calls and notices go to standard error.\n"
                          "--yes runs functions that ask for confirmation without asking.\n"
                          "--regenerate deletes the newest reply (or failed turn) and asks again.\n"
                          "conversations lists id, title, assistant and last change; an empty title\n"
                          "given to rename brings back the title taken from the first prompt.\n"
                          "search finds words by their start in any order, ignoring case and accents;\n"
                          "a \"quoted phrase\" matches as a phrase. It lists id, title and a snippet.\n"
                          "mcp manages the tool servers of mcp.json beside the settings file; the\n"
                          "tools of enabled servers are offered to the model as SERVER__TOOL.\n"
                          "mcp list shows name, kind, enabled, status and the number of tools.\n"
                          "models lists id, name, context length and \"built-in\" or \"server\" in the\n"
                          "order of the model pickers, from the server in use (VORBEL_OPENAI_URL, else\n"
                          "the setting openAiBaseUrl, else OpenAI's). When the server's list cannot be\n"
                          "read, the built-in models are still listed and the reason goes to standard\n"
                          "error: exit 1, or 2 when no API key is stored.\n"
                          "openAiBaseUrl takes an http:// or https:// address; an empty value removes it.\n"
                          "\n"
                          "Keys (apiKey, orgKey, pineconeAPiKey, woframAlphaAppId) are kept in the\n"
                          "system keyring under the service \"Vorbel\", and settings list shows them\n"
                          "as \"(in keyring)\"; without a keyring, or with VORBEL_SECRET_STORE=file,\n"
                          "in the private settings file $XDG_CONFIG_HOME/Vorbel/Vorbel.conf.\n"
                          "http_proxy, https_proxy and no_proxy are followed.\n"
                          "\n"
                          "Exit codes: 0 done, 1 failed (turn, function, store or model list),\n"
                          "2 invalid request.\n");
}

int runVorbelCli(const QStringList& arguments, CliEnvironment& environment)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        environment.io.out << vorbelCliUsage();
        environment.io.out.flush();
        return ExitSuccess;
    }
    if (command == QLatin1String("--version")) {
        environment.io.out << "vorbel-cli " << VORBEL_VERSION << '\n';
        environment.io.out.flush();
        return ExitSuccess;
    }
    if (command == QLatin1String("assistants"))
        return assistantsCommand(environment, rest);
    if (command == QLatin1String("conversations"))
        return conversationsCommand(environment, rest);
    if (command == QLatin1String("settings"))
        return settingsCommand(environment, rest);
    if (command == QLatin1String("chat"))
        return chatCommand(environment, rest);
    if (command == QLatin1String("show"))
        return showCommand(environment, rest);
    if (command == QLatin1String("rename"))
        return renameCommand(environment, rest);
    if (command == QLatin1String("search"))
        return searchCommand(environment, rest);
    if (command == QLatin1String("models"))
        return modelsCommand(environment, rest);
    if (command == QLatin1String("mcp"))
        return McpCommands::run(environment, rest);
    if (command.isEmpty())
        return usageError(environment, QStringLiteral("missing command"));
    return usageError(environment, QStringLiteral("unknown command \"%1\"").arg(command));
}
