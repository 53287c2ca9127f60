#include "app/Updater.h"

#include "support/HttpTestServer.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(Updater, FeedVersionsCompareNumerically)
{
    using O = UpdateCheckResult::Outcome;
    EXPECT_EQ(Updater::evaluateFeed(R"({"version":"0.10.0","url":"https://x/y"})", "0.9.3").outcome,
              O::UpdateAvailable);
    EXPECT_EQ(Updater::evaluateFeed(R"({"version":"0.1.0"})", "0.1.0").outcome, O::UpToDate);
    EXPECT_EQ(Updater::evaluateFeed(R"({"version":"0.0.9"})", "0.1.0").outcome, O::UpToDate);
    EXPECT_EQ(Updater::evaluateFeed("not json", "0.1.0").outcome, O::Failed);
    EXPECT_EQ(Updater::evaluateFeed(R"({"url":"https://x"})", "0.1.0").outcome, O::Failed);
}

// The feed's server chooses the address the user is sent to: only a web page is offered.
TEST(Updater, OnlyAWebDownloadAddressIsOffered)
{
    const QList<QPair<QString, QUrl>> cases{{"https://example.com/dl", QUrl("https://example.com/dl")},
                                            {"HTTP://a.example/", QUrl("http://a.example/")},
                                            {"file:///usr/bin/xterm", QUrl()},
                                            {"javascript:alert(1)", QUrl()},
                                            {"vorbel-helper://run", QUrl()},
                                            {"https:///no-host", QUrl()},
                                            {"https://exa mple.com", QUrl()}};
    for (const auto& [written, offered] : cases) {
        const UpdateCheckResult result =
            Updater::evaluateFeed(R"({"version":"9.0","url":")" + written.toUtf8() + R"("})", "0.1.0");
        EXPECT_EQ(result.outcome, UpdateCheckResult::Outcome::UpdateAvailable) << written.toStdString();
        EXPECT_EQ(result.downloadUrl, offered) << written.toStdString();
    }
}

TEST(Updater, CannotCheckWithoutFeedAndChecksAgainstServer)
{
    QNetworkAccessManager network;
    Updater without(std::nullopt, "0.1.0", network);
    without.start();
    EXPECT_FALSE(without.canCheckForUpdates());

    HttpTestServer server;
    server.enqueue(ScriptedResponse::text(200, R"({"version":"9.0","url":"https://example.com/dl","notes":"n"})"));
    server.enqueue(ScriptedResponse::text(500, "oops"));
    Updater updater(server.baseUrl().resolved(QUrl("/feed.json")), "0.1.0", network);
    QSignalSpy can(&updater, &Updater::canCheckForUpdatesChanged);
    EXPECT_FALSE(updater.canCheckForUpdates()); // not before it is started
    updater.start();
    EXPECT_TRUE(updater.canCheckForUpdates());

    QSignalSpy finished(&updater, &Updater::checkFinished);
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates()); // one check at a time
    ASSERT_TRUE(finished.wait(5000));
    auto result = finished.at(0).at(0).value<UpdateCheckResult>();
    EXPECT_EQ(result.outcome, UpdateCheckResult::Outcome::UpdateAvailable);
    EXPECT_EQ(result.downloadUrl, QUrl("https://example.com/dl"));
    EXPECT_TRUE(updater.canCheckForUpdates());
    EXPECT_EQ(server.requests().at(0).path, "/feed.json");
    EXPECT_EQ(server.requests().at(0).header("user-agent"), "Vorbel/" VORBEL_VERSION " (Linux)");

    updater.checkForUpdates();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(1).at(0).value<UpdateCheckResult>().outcome, UpdateCheckResult::Outcome::Failed);
}
