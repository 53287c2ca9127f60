#include "CliTestSupport.h"

#include <QMutex>

#include <functional>

namespace {

// What a prompt injection can make the model send, and what `vorbel-cli chat`
// then runs, sends and prints.
struct HostileCase {
    const char* name;
    std::function<void()> setUp;
    QList<ScriptedResponse> replies;
    std::deque<QString> answers;
    bool outputIsTerminal = false;
    int exitCode = 0;
    QStringList ran; // "function: text it ran with", in order
    int chatRequests = 1;
    QStringList errShows;       // each a part of standard error
    std::optional<QString> out; // standard output, exactly
    int questions = 0;
};

const QStringList overridden{"jsExecution", "cliExecution", "getMemory", "deleteMemory", "wolframAlphaRequest"};

ScriptedResponse shellCall(const QString& arguments) { return Sse::functionCall("cliExecution", {arguments}); }

class HostileReplyTest : public CliChatTest {
protected:
    void SetUp() override
    {
        CliChatTest::SetUp();
        for (const QString& name : overridden) {
            setExecutionOverrideForTesting(name, [this, name](const std::optional<QString>& text) {
                const QMutexLocker lock(&mutex);
                ran << name + ": " + text.value_or("(none)");
                return QStringLiteral("done");
            });
        }
    }
    void TearDown() override
    {
        for (const QString& name : overridden)
            setExecutionOverrideForTesting(name, {});
        Settings::instance().remove(Settings::modelKey);
        CliChatTest::TearDown();
    }

    QMutex mutex;
    QStringList ran;
};

} // namespace

TEST_F(HostileReplyTest, WhatRunsIsWhatWasShownAndOnlyWhatWasOffered)
{
    const QString c1(QChar(0x9B));
    const QString megabyte(1024 * 1024, 'a');
    const HostileCase cases[] = {
        {"a fence in the command hides nothing: the line that runs is shown whole",
         {},
         {shellCall("{\"command\": \"ls -la\n```\n[x]: ;touch${IFS}/tmp/owned;\n```\"}"), Sse::reply({"Ok"})},
         {"y"},
         false,
         0,
         {"cliExecution: ls -la```[x]: ;touch${IFS}/tmp/owned;```"},
         2,
         {"Run CLI command (cliExecution)\nls -la```[x]: ;touch${IFS}/tmp/owned;```\nRun function? [y/N] "},
         std::nullopt,
         1},
        {"the template is part of what is shown",
         [] { Settings::instance().setText(Settings::cliAppCommandKey, "cd /srv && $0"); },
         {shellCall(R"({"command":"ls"})")},
         {"n"},
         false,
         0,
         {},
         1,
         {"\ncd /srv && ls\nRun function?"},
         std::nullopt,
         1},
        {"control and direction characters show escaped and run as they are",
         {},
         {shellCall(R"({"command":"echo \u001b[8mhidden \u202etxt.exe"})"), Sse::reply({"Ok"})},
         {"y"},
         false,
         0,
         {"cliExecution: echo \x1b[8mhidden " + QString(QChar(0x202E)) + "txt.exe"},
         2,
         {"\necho \\u001b[8mhidden \\u202etxt.exe\n"},
         std::nullopt,
         1},
        {"arguments that do not decode offer no run",
         {},
         {shellCall(R"({"command":5})")},
         {},
         false,
         1,
         {},
         1,
         {"\nUnable to run script\n"},
         std::nullopt,
         0},
        {"the shell switched off is an unknown function",
         [] { Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), false); },
         {shellCall(R"({"command":"ls"})")},
         {},
         false,
         1,
         {},
         1,
         {"unknown function \"cliExecution\""},
         std::nullopt,
         0},
        {"extensions switched off do not run with their keys stored",
         [] {
             Settings::instance().setText(Settings::modelKey, "gpt-4o");
             Settings::instance().setText(Settings::pineconeApiKeyKey, "pc-key");
             Settings::instance().setText(Settings::wolframAlphaAppIdKey, "app-id");
         },
         {Sse::toolCalls({{"wolframAlphaRequest", {R"({"prompt":"2+2"})"}},
                          {"getMemory", {R"({"query":"keys"})"}},
                          {"deleteMemory", {R"({"ids":"1"})"}}})},
         {},
         false,
         1,
         {},
         1,
         {"unknown function \"wolframAlphaRequest\""},
         std::nullopt,
         0},
        {"terminal controls in a reply reach a terminal escaped",
         {},
         {Sse::reply({"\x1b]0;owned\x07", "Hi" + c1})},
         {},
         true,
         0,
         {},
         1,
         {},
         "\\u001b]0;owned\\u0007Hi\\u009b\n",
         0},
        {"a pipe gets the reply exactly",
         {},
         {Sse::reply({"\x1b[1mHi" + c1})},
         {},
         false,
         0,
         {},
         1,
         {},
         "\x1b[1mHi" + c1 + "\n",
         0},
        {"the eleventh automatic call in a row waits for the user",
         {},
         QList<ScriptedResponse>(11, Sse::functionCall("jsExecution", {R"({"script":"1"})"})),
         {"n"},
         false,
         0,
         QStringList(10, R"(jsExecution: {"script":"1"})"),
         11,
         {"Run function? [y/N] "},
         std::nullopt,
         1},
        {"a reply past 4 MiB is cut with a notice",
         {},
         {Sse::reply({megabyte, megabyte, megabyte, megabyte, megabyte}, 0)},
         {},
         false,
         1,
         {},
         1,
         {"This reply was cut short"},
         megabyte.repeated(4) + "\n",
         0},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.setUp)
            c.setUp();
        const int requestsBefore = server.requestCount();
        for (const ScriptedResponse& reply : c.replies)
            server.enqueue(reply);
        answers = c.answers;
        questionsAnswered = 0;
        outputIsTerminal = c.outputIsTerminal;
        saveChanges(store());

        EXPECT_EQ(run({"chat", "--conversation", conversationId(), "go"}), c.exitCode) << err.toStdString();
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(server.requestCount() - requestsBefore, c.chatRequests);
        EXPECT_EQ(questionsAnswered, c.questions);
        for (const QString& part : c.errShows)
            EXPECT_TRUE(err.contains(part)) << part.toStdString() << "\nin:\n" << err.toStdString();
        if (c.out) {
            EXPECT_TRUE(out == *c.out) << out.left(200).toStdString();
        }
        TearDown();
        ran.clear();
    }
}
