#pragma once

#include "app/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "store/DataController.h"
#include "support/HttpTestServer.h"
#include "vorbel-cli/CommandDispatcher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// Streamed chat replies as the OpenAI service sends them.
namespace sse {

inline QByteArray chunk(const QJsonObject& delta)
{
    const QJsonObject choice{{"index", 0}, {"delta", delta}};
    const QJsonObject body{{"id", "chatcmpl-1"}, {"object", "chat.completion.chunk"}, {"created", 1},
                           {"model", "gpt-3.5-turbo"}, {"choices", QJsonArray{choice}}};
    return "data: " + QJsonDocument(body).toJson(QJsonDocument::Compact) + "\n\n";
}

inline QByteArray content(const QString& text) { return chunk({{"content", text}}); }

inline ScriptedResponse reply(const QStringList& pieces)
{
    QList<QByteArray> events;
    for (const QString& piece : pieces)
        events << content(piece);
    events << "data: [DONE]\n\n";
    return ScriptedResponse::sse(events, 2);
}

inline ScriptedResponse functionCall(const QString& name, const QStringList& argumentPieces)
{
    QList<QByteArray> events{
        chunk({{"role", "assistant"}, {"function_call", QJsonObject{{"name", name}, {"arguments", ""}}}})};
    for (const QString& piece : argumentPieces)
        events << chunk({{"function_call", QJsonObject{{"arguments", piece}}}});
    events << "data: [DONE]\n\n";
    return ScriptedResponse::sse(events, 2);
}

inline QJsonArray sentMessages(const RecordedRequest& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray();
}

} // namespace sse

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

    StoreContext& store() { return dataController->viewContext(); }

    int run(const QStringList& arguments)
    {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        CliIo io{outStream, errStream, [this]() -> std::optional<QString> {
                     if (answers.empty())
                         return std::nullopt;
                     QString answer = answers.front();
                     answers.pop_front();
                     ++questionsAnswered;
                     return answer;
                 }};
        CliEnvironment environment{store(), network, catalogueBase, io};
        const int code = runVorbelCli(arguments, environment);
        outStream.flush();
        errStream.flush();
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
    QString out;
    QString err;
};
