#pragma once

#include "core/Settings.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"
#include "support/HttpTestServer.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// Every key the extensions read, removed so each test starts from nothing stored.
inline void clearExtensionSettings()
{
    Settings& settings = Settings::instance();
    for (const QString& key : Settings::textKeys())
        settings.remove(key);
    for (const char* id : {"jsExecution", "wolframAlphaRequest", "cliExecution", "memoryFunction"})
        settings.remove(Settings::extensionEnabledKey(QString::fromLatin1(id)));
}

// Compact arguments with one text field, as the model sends them.
inline QString argumentsWith(const QString& key, const QString& value)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{key, value}}).toJson(QJsonDocument::Compact));
}

using Execution = QString (*)(const std::optional<QString>&);

// Off the UI thread, as the framework runs executions.
inline QString callOffUiThread(Execution execution, const std::optional<QString>& arguments)
{
    return std::async(std::launch::async, [=] { return execution(arguments); }).get();
}

// One server on 127.0.0.1 plays OpenAI, the Pinecone index and Wolfram Alpha,
// answering by path (query left aside); the settings hold working credentials.
class ServiceTest : public testing::Test {
protected:
    static constexpr const char* addressVariables[] = {"VORBEL_OPENAI_URL", "VORBEL_PINECONE_URL",
                                                       "VORBEL_WOLFRAM_URL"};

    void SetUp() override
    {
        clearExtensionSettings();
        for (const char* variable : addressVariables)
            setenv(variable, server.baseUrl().toString().toUtf8().constData(), 1);
        Settings& settings = Settings::instance();
        settings.setText(Settings::apiKeyKey, "sk-test");
        settings.setText(Settings::pineconeApiKeyKey, "pc-key");
        settings.setText(Settings::pineconeIndexKey, "memories");
        settings.setText(Settings::pineconeEnvironmentKey, "us-east1-gcp");
        server.setHandler([this](const RecordedRequest& request) {
            QMutexLocker lock(&mutex);
            return answers.value(request.path.split('?').value(0), ScriptedResponse::text(404, ""));
        });
    }
    void TearDown() override
    {
        for (const char* variable : addressVariables)
            unsetenv(variable);
        clearExtensionSettings();
    }

    void answer(const QByteArray& path, const ScriptedResponse& response)
    {
        QMutexLocker lock(&mutex);
        answers.insert(path, response);
    }

    QList<RecordedRequest> requestsTo(const QByteArray& path) const
    {
        QList<RecordedRequest> matching = server.requests();
        matching.removeIf([&path](const RecordedRequest& request) { return !request.path.startsWith(path); });
        return matching;
    }

    static QJsonObject bodyOf(const RecordedRequest& request) { return QJsonDocument::fromJson(request.body).object(); }

    QMutex mutex;
    QHash<QByteArray, ScriptedResponse> answers{
        {"/v1/embeddings",
         ScriptedResponse::text(200, R"({"data":[{"embedding":[0.5,0.25],"index":0,"object":"embedding"}]})")},
        {"/vectors/upsert", ScriptedResponse::text(200, R"({"upsertedCount":1})")},
        {"/vectors/delete", ScriptedResponse::text(200, "{}")},
        {"/query", ScriptedResponse::text(200, R"({"matches":[]})")}};
    HttpTestServer server; // last: its thread stops before the answers go
};
