#include "StoreTestSupport.h"

#include "store/AssistantCatalogue.h"
#include "support/HttpTestServer.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr char here[] = "Unable to get assistant data here\n";
constexpr char there[] = "Unable to get assistant data there\n";

QJsonObject seedJson(const QString& name, int version = 1, const QString& picture = "https://example.com/p.png",
                     const QJsonValue& forceDelete = QJsonValue::Undefined)
{
    QJsonObject entry{{"name", name},
                      {"personality", "Personality of " + name},
                      {"intro", "Intro of " + name},
                      {"profilePictureUrl", picture},
                      {"version", version},
                      {"forceDelete", forceDelete}};
    if (forceDelete.isUndefined())
        entry.remove("forceDelete");
    return entry;
}

QByteArray catalogueBody(const QJsonArray& entries)
{
    return QJsonDocument(QJsonObject{{"assistants", entries}}).toJson(QJsonDocument::Compact);
}

// Runs one refresh to its end and returns what it printed.
std::string runRefresh(StoreContext& context, QNetworkAccessManager& network, const std::optional<QUrl>& base)
{
    testing::internal::CaptureStdout();
    bool finished = false;
    refreshAssistantCatalogue(context, network, base, [&finished] { finished = true; });
    EXPECT_TRUE(QTest::qWaitFor([&finished] { return finished; }, 30000)) << "refresh never finished";
    return testing::internal::GetCapturedStdout();
}

using Snapshot = std::tuple<std::optional<QUuid>, std::optional<QString>, std::optional<QString>,
                            std::optional<QString>, std::optional<QUrl>, qint16, std::optional<QDateTime>>;

Snapshot snapshot(const AssistantPtr& a)
{
    return {a->id(), a->name(), a->personality(), a->intro(), a->profilePictureUrl(), a->version(), a->deletedAt()};
}

class CatalogueRefresh : public testing::Test {
protected:
    std::string refreshWith(const ScriptedResponse& response)
    {
        server.enqueue(response);
        return runRefresh(store.context(), network, server.baseUrl());
    }
    std::string refreshWith(const QJsonArray& entries)
    {
        return refreshWith(ScriptedResponse::text(200, catalogueBody(entries)));
    }
    StoreContext& context() { return store.context(); }
    TemporaryStore store;
    HttpTestServer server;
    QNetworkAccessManager network;
};

} // namespace

// The first exact name in store order takes every entry of that name, keeping id and deletedAt; twins stay twins.
TEST_F(CatalogueRefresh, MergesEveryEntryAndSaves)
{
    context().insertAssistant(); // no name: matches nothing, not even ""
    createAssistant(context(), "Coder", "my own words", "https://example.com/mine.png");
    for (const char* name : {"Coder", "coder", "Coder "})
        createAssistant(context(), name, "untouched", "");
    AssistantPtr hidden = createAssistant(context(), "Old Friend", "old", "");
    softDeleteAssistants(context(), {hidden});
    createAssistant(context(), "Retired", "keep this", "https://example.com/r.png")->setVersion(9);
    context().insertAssistant()->setName(QString("Idless"));
    saveChanges(context());
    std::vector<Snapshot> before;
    for (const auto& a : allAssistants(context()))
        before.push_back(snapshot(a));
    const QUrl base = server.baseUrl().resolved(QUrl("/vendor/"));
    server.enqueue(ScriptedResponse::text(
        200,
        catalogueBody({seedJson("Coder", 4), seedJson("Coder", 5, "https://example.com/new.png"),
                       seedJson("Old Friend", 5), seedJson("Retired", 10, "https://example.com/p.png", true),
                       seedJson("Ghost", 1, "", true), seedJson("Ordinary", 1, "http://[broken", QJsonValue::Null),
                       seedJson("Idless", -32768), seedJson("Twin 名前", 1, "", false), seedJson("Twin 名前", 32767),
                       seedJson("Blank", 1, ""), seedJson("Spaced", 1, "http://exa mple.com/a"), [] {
                           auto e = seedJson("");
                           e["category"] = "x";
                           return e;
                       }()})));
    EXPECT_EQ(runRefresh(context(), network, base), "");
    ASSERT_EQ(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/vendor/api/v1/assistants");
    EXPECT_EQ(request.header("content-type"), "application/json");
    EXPECT_EQ(request.header("user-agent"), "Vorbel/" VORBEL_VERSION " (Linux)");
    EXPECT_TRUE(request.body.isEmpty());
    store.reopen();
    auto all = allAssistants(context());
    ASSERT_EQ(all.size(), 14u); // no "Ghost"
    EXPECT_EQ(snapshot(all[1]), Snapshot(std::get<0>(before[1]), QString("Coder"), QString("Personality of Coder"),
                                         QString("Intro of Coder"), QUrl("https://example.com/new.png"), 5, {}));
    for (size_t i : {0, 2, 3, 4})
        EXPECT_EQ(snapshot(all[i]), before[i]) << i;
    EXPECT_EQ(snapshot(all[5]),
              Snapshot(std::get<0>(before[5]), QString("Old Friend"), QString("Personality of Old Friend"),
                       QString("Intro of Old Friend"), QUrl("https://example.com/p.png"), 5, hidden->deletedAt()));
    std::get<6>(before[6]) = all[6]->deletedAt();
    EXPECT_TRUE(all[6]->deletedAt());
    EXPECT_EQ(snapshot(all[6]), before[6]); // nothing but deletedAt changed
    EXPECT_TRUE(all[7]->id() && !all[7]->id()->isNull());
    EXPECT_EQ(all[7]->version(), -32768);
    EXPECT_EQ(all[8]->name(), QString("Ordinary"));
    EXPECT_FALSE(all[8]->deletedAt());
    EXPECT_EQ(all[9]->name(), QString::fromUtf8("Twin 名前"));
    EXPECT_EQ(all[9]->version() + all[10]->version(), 32768);
    EXPECT_NE(all[9]->id(), all[10]->id());
    for (size_t i : {8, 11, 12})
        EXPECT_FALSE(all[i]->profilePictureUrl()) << i;
    EXPECT_EQ(all[13]->name(), QString(""));
    EXPECT_EQ(refreshWith({seedJson("Coder", 1), seedJson("Old Friend", 1)}), "");
    EXPECT_EQ(server.requests().at(1).path, "/api/v1/assistants");
    EXPECT_EQ(all[1]->version(), 1);
    EXPECT_EQ(all[5]->version(), 1);
    EXPECT_EQ(all[5]->deletedAt(), hidden->deletedAt());
}

// A merge whose save failed stays pending and goes out with the next save, which even an empty catalogue makes.
TEST_F(CatalogueRefresh, FailuresLeaveTheStoreAsItWas)
{
    AssistantPtr stored = createAssistant(context(), "Coder", "mine", "");
    const Snapshot before = snapshot(stored);
    const QByteArray valid = catalogueBody({seedJson("Coder", 3), seedJson("Fresh")});
    QJsonObject noIntro = seedJson("Broken");
    noIntro.remove("intro");
    ScriptedResponse cut = ScriptedResponse::text(200, valid.left(valid.size() / 2));
    cut.drop = true;
    const std::vector<std::pair<ScriptedResponse, std::string>> cases = {
        {ScriptedResponse::text(200, catalogueBody({seedJson("Coder", 3), seedJson("Fresh"), noIntro})), there},
        {ScriptedResponse::text(200, ""), there},
        {ScriptedResponse::text(200, "<html>maintenance</html>", "text/html"), there},
        {ScriptedResponse::text(304, {}), here},
        {ScriptedResponse::text(500, valid), here},
        {ScriptedResponse::text(404, valid), here},
        {ScriptedResponse::text(201, valid), here},
        {cut, here}};
    for (const auto& [response, line] : cases)
        EXPECT_EQ(refreshWith(response), line) << response.status;
    EXPECT_EQ(runRefresh(context(), network, HttpTestServer::refusedUrl()), here);
    EXPECT_EQ(allAssistants(context()).size(), 1u);
    EXPECT_EQ(snapshot(stored), before);
    EXPECT_FALSE(context().hasChanges());
    context().database().setQueryOnly(true);
    EXPECT_EQ(refreshWith({seedJson("Fresh")}), there);
    EXPECT_TRUE(context().hasChanges());
    context().database().setQueryOnly(false);
    EXPECT_EQ(refreshWith({seedJson("Fresh", 2)}), "");
    stored->setPersonality("edited, not yet saved");
    EXPECT_EQ(refreshWith(QJsonArray{}), "");
    store.reopen();
    const auto assistants = allAssistants(context());
    ASSERT_EQ(assistants.size(), 2u);
    EXPECT_EQ(assistants[0]->personality(), QString("edited, not yet saved"));
    EXPECT_EQ(assistants[1]->version(), 2);
}

// The window (and its context) may go away before the reply arrives.
TEST_F(CatalogueRefresh, ContextGoneBeforeTheReplyIsSafe)
{
    ScriptedResponse slow = ScriptedResponse::text(200, catalogueBody({seedJson("Coder")}));
    slow.pieces = {{300, slow.pieces.at(0).second}};
    server.enqueue(slow);
    auto gone = std::make_unique<TemporaryStore>();
    bool finished = false;
    refreshAssistantCatalogue(gone->context(), network, server.baseUrl(), [&finished] { finished = true; });
    ASSERT_TRUE(server.waitForRequests(1));
    gone.reset();
    EXPECT_TRUE(QTest::qWaitFor([&finished] { return finished; }, 30000));
}

// The blocking form is the command-line tool's.
TEST(CatalogueBuiltIn, WithoutAnAddressTheBundledCatalogueIsMergedOffline)
{
    const auto catalogue = decodeAssistantApiResponse(readBuiltInCatalogue().value_or(QByteArray()));
    ASSERT_TRUE(catalogue);
    EXPECT_GE(catalogue->assistants.size(), 5u);
    QSet<QString> names;
    for (const AssistantSeed& seed : catalogue->assistants) {
        const std::string name = seed.name.toStdString();
        EXPECT_FALSE(seed.isForceDelete() || seed.name.trimmed().isEmpty() || seed.intro.trimmed().isEmpty()) << name;
        EXPECT_GT(seed.personality.size(), 200) << name;
        names.insert(seed.name);
        const auto url = urlFromText(seed.profilePictureUrl);
        ASSERT_TRUE(url && url->scheme() == "qrc") << qPrintable(seed.profilePictureUrl);
        const QImage image(":" + url->path());
        EXPECT_TRUE(!image.isNull() && image.width() == image.height()) << qPrintable(url->path());
    }
    TemporaryStore store;
    QNetworkAccessManager network;
    QSignalSpy used(&network, &QNetworkAccessManager::finished);
    EXPECT_EQ(runRefresh(store.context(), network, std::nullopt), "");
    testing::internal::CaptureStdout();
    refreshAssistantCatalogueAndWait(store.context(), network, std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(used.count(), 0);
    EXPECT_EQ(allAssistants(store.context()).size(), names.size()); // twins would both be added
}
