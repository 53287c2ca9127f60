#pragma once

#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "store/DataController.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"
#include "vorbel-cli/CommandDispatcher.h"
#include "vorbel-cli/TerminalSafeDevice.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <ostream>

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) { *out << '[' << list.join("|").toStdString() << ']'; }

// Plays the chat server: GET /v1/models answers `m_modelList` (404 while
// empty: only the built-in lengths apply), any other request the next queued
// answer. requests() leaves the model list requests out.
class ChatTestServer {
public:
    ChatTestServer()
    {
        m_server.setHandler([this](const RecordedRequest& request) {
            const QMutexLocker lock(&m_mutex);
            if (!isModelList(request) && !m_queue.isEmpty())
                return m_queue.takeFirst();
            return isModelList(request) && !m_modelList.isEmpty() ? ScriptedResponse::text(200, m_modelList)
                                                                  : ScriptedResponse::text(404, {});
        });
    }
    QUrl baseUrl() const { return m_server.baseUrl(); }
    void enqueue(const ScriptedResponse& response)
    {
        const QMutexLocker lock(&m_mutex);
        m_queue.append(response);
    }
    void setModelList(const QByteArray& json)
    {
        const QMutexLocker lock(&m_mutex);
        m_modelList = json;
    }
    QList<RecordedRequest> requests() const
    {
        QList<RecordedRequest> chat = m_server.requests();
        chat.removeIf(isModelList);
        return chat;
    }
    int requestCount() const { return int(requests().size()); }
    int modelListRequestCount() const { return m_server.requestCount() - requestCount(); }

private:
    static bool isModelList(const RecordedRequest& request) { return request.path.endsWith("/v1/models"); }

    mutable QMutex m_mutex;
    QList<ScriptedResponse> m_queue;
    QByteArray m_modelList;
    HttpTestServer m_server; // last: stops before the queue goes
};

// Runs commands in this process against a store of its own, with the output
// captured and the answers to questions scripted.
class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& key : Settings::textKeys())
            Settings::instance().remove(key);
        for (const CustomExtension& extension : allExtensions())
            Settings::instance().remove(Settings::extensionEnabledKey(extension.id));
        reopenStore();
    }

    void TearDown() override
    {
        qunsetenv("VORBEL_OPENAI_URL");
        setExecutionOverrideForTesting("cliExecution", {});
        setExecutionOverrideForTesting("jsExecution", {});
    }

    // A fresh controller on the same file, as a second run of the program would have.
    void reopenStore()
    {
        dataController.reset();
        dataController = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
    }

    StoreContext& store() { return dataController->storeContext(); }

    // Wired as the program wires the terminal: standard error always shows
    // control characters escaped, standard output only when it is a terminal.
    int run(const QStringList& arguments)
    {
        QBuffer outBuffer;
        QBuffer errBuffer;
        outBuffer.open(QIODevice::WriteOnly);
        errBuffer.open(QIODevice::WriteOnly);
        TerminalSafeDevice safeOut(&outBuffer);
        TerminalSafeDevice safeErr(&errBuffer);
        QTextStream outStream(outputIsTerminal ? static_cast<QIODevice*>(&safeOut) : &outBuffer);
        QTextStream errStream(&safeErr);
        CliIo io{outStream, errStream,
                 [this]() -> std::optional<QString> {
                     if (answers.empty())
                         return std::nullopt;
                     QString answer = answers.front();
                     answers.pop_front();
                     ++questionsAnswered;
                     return answer;
                 },
                 errorIsTerminal ? &errBuffer : nullptr};
        CliEnvironment environment{store(), network, catalogueBase, io};
        const int code = runVorbelCli(arguments, environment);
        outStream.flush();
        errStream.flush();
        out = QString::fromUtf8(outBuffer.data());
        err = QString::fromUtf8(errBuffer.data());
        return code;
    }

    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }

    QTemporaryDir dir;
    std::unique_ptr<DataController> dataController;
    QNetworkAccessManager network;
    std::optional<QUrl> catalogueBase;
    std::deque<QString> answers;
    int questionsAnswered = 0;
    bool outputIsTerminal = false;
    bool errorIsTerminal = false; // then our own styling reaches it unescaped
    QString out;
    QString err;
};

// `vorbel-cli chat` against `server` playing OpenAI, with the shell offered,
// on a conversation with "Ada".
class CliChatTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        Settings::instance().setText(Settings::apiKeyKey, "sk-test");
        Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), true);
        assistant = createAssistant(store(), "Ada", "You are terse.", "https://example.com/a.png");
        conversation = createConversation(store(), assistant);
    }

    QString conversationId() const { return conversation->id()->toString(QUuid::WithoutBraces); }
    std::vector<MessagePtr> messages() { return orderedMessages(*conversation); }

    ChatTestServer server;
    AssistantPtr assistant;
    ConversationPtr conversation;
};
