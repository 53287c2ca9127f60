#pragma once

#include "core/Settings.h"
#include "support/HttpTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <future>
#include <utility>

// Blocking requests must not run on the UI thread; tests call them through this.
template <typename F>
auto onWorkerThread(F function)
{
    return std::async(std::launch::async, std::move(function)).get();
}

// Points the OpenAI endpoint at a test server and starts each test from empty
// credentials.
class OpenAiServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        for (const QString& key : {Settings::apiKeyKey, Settings::orgKeyKey, Settings::modelKey})
            Settings::instance().remove(key);
    }
    void TearDown() override { qunsetenv("VORBEL_OPENAI_URL"); }

    static void storeCredentials(const QString& apiKey, const QString& orgKey)
    {
        Settings::instance().setText(Settings::apiKeyKey, apiKey);
        Settings::instance().setText(Settings::orgKeyKey, orgKey);
    }

    static QJsonObject jsonOf(const QByteArray& body) { return QJsonDocument::fromJson(body).object(); }

    HttpTestServer server;
};
