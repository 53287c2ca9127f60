#pragma once

#include "store/AssistantCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

// One catalogue entry as the service would send it.
inline QJsonObject seedJson(const QString& name, int version = 1, const QString& picture = "https://example.com/p.png")
{
    return QJsonObject{{"name", name},
                       {"personality", "Personality of " + name},
                       {"intro", "Intro of " + name},
                       {"profilePictureUrl", picture},
                       {"version", version}};
}

inline QByteArray catalogueBody(const QJsonArray& entries)
{
    return QJsonDocument(QJsonObject{{"assistants", entries}}).toJson(QJsonDocument::Compact);
}

// Runs one refresh to its end and returns what it printed.
inline std::string runRefresh(StoreContext& context, QNetworkAccessManager& network,
                              const std::optional<QUrl>& base)
{
    testing::internal::CaptureStdout();
    bool finished = false;
    refreshAssistantCatalogue(context, network, base, [&finished] { finished = true; });
    const bool ended = QTest::qWaitFor([&finished] { return finished; }, 30000);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ended) << "refresh never finished";
    return printed;
}
