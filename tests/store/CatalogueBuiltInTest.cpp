#include "CatalogueTestSupport.h"
#include "StoreTestSupport.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"

#include <QFile>
#include <QImage>
#include <QNetworkReply>
#include <QSet>

namespace {

// Counts every request, so a test can show that the network was never used.
class CountingNetwork : public QNetworkAccessManager {
public:
    int requests = 0;

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* data) override
    {
        ++requests;
        return QNetworkAccessManager::createRequest(op, request, data);
    }
};

AssistantApiResponse builtIn()
{
    const auto body = readBuiltInCatalogue();
    EXPECT_TRUE(body);
    const auto decoded = decodeAssistantApiResponse(body.value_or(QByteArray()));
    EXPECT_TRUE(decoded) << "the built-in catalogue does not decode";
    return decoded.value_or(AssistantApiResponse{});
}

} // namespace

TEST(CatalogueBuiltIn, DecodesWithDistinctCompleteEntries)
{
    const AssistantApiResponse catalogue = builtIn();
    EXPECT_GE(catalogue.assistants.size(), 5u);
    QSet<QString> names;
    for (const AssistantSeed& seed : catalogue.assistants) {
        EXPECT_FALSE(seed.isForceDelete()) << qPrintable(seed.name);
        EXPECT_FALSE(seed.name.trimmed().isEmpty());
        EXPECT_FALSE(seed.intro.trimmed().isEmpty()) << qPrintable(seed.name);
        EXPECT_GT(seed.personality.size(), 200) << qPrintable(seed.name);
        EXPECT_FALSE(names.contains(seed.name)) << "duplicate " << qPrintable(seed.name);
        names.insert(seed.name);
    }
}

// Every picture address parses, points into the bundled resources and loads
// as an image there, also through a network manager as remote pictures do.
TEST(CatalogueBuiltIn, EveryPictureIsABundledImage)
{
    QNetworkAccessManager network;
    for (const AssistantSeed& seed : builtIn().assistants) {
        const auto url = urlFromText(seed.profilePictureUrl);
        ASSERT_TRUE(url) << qPrintable(seed.profilePictureUrl);
        EXPECT_EQ(url->scheme(), "qrc");
        const QString resource = ":" + url->path();
        EXPECT_TRUE(QFile::exists(resource)) << qPrintable(resource);
        const QImage image(resource);
        EXPECT_FALSE(image.isNull()) << qPrintable(resource);
        EXPECT_EQ(image.width(), image.height()) << qPrintable(resource);

        std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(*url)));
        ASSERT_TRUE(QTest::qWaitFor([&reply] { return reply->isFinished(); }, 10000));
        EXPECT_EQ(reply->error(), QNetworkReply::NoError) << qPrintable(reply->errorString());
        EXPECT_FALSE(QImage::fromData(reply->readAll()).isNull()) << qPrintable(url->toString());
    }
}

// No catalogue address: the first run lists the bundled assistants without
// touching the network, and a second run updates them instead of adding more.
TEST(CatalogueBuiltIn, FirstRunWithoutAnAddressListsTheBundledAssistants)
{
    const AssistantApiResponse catalogue = builtIn();
    TemporaryStore store;
    CountingNetwork network;
    AssistantListModel visible(store.context());
    ASSERT_EQ(visible.rowCount(), 0);

    EXPECT_EQ(runRefresh(store.context(), network, std::nullopt), "");
    // The command-line tool's blocking form takes the same path.
    testing::internal::CaptureStdout();
    refreshAssistantCatalogueAndWait(store.context(), network, std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(network.requests, 0);

    ASSERT_EQ(visible.rowCount(), static_cast<int>(catalogue.assistants.size()));
    QSet<QString> listed;
    for (int row = 0; row < visible.rowCount(); ++row)
        listed.insert(visible.data(visible.index(row), AssistantNameRole).toString());
    for (const AssistantSeed& seed : catalogue.assistants)
        EXPECT_TRUE(listed.contains(seed.name)) << qPrintable(seed.name);

    store.reopen();
    const auto stored = fetchAllAssistants(store.context());
    ASSERT_EQ(stored.size(), catalogue.assistants.size());
    for (const auto& assistant : stored) {
        ASSERT_TRUE(assistant->profilePictureUrl());
        EXPECT_EQ(assistant->profilePictureUrl()->scheme(), "qrc");
    }
}
