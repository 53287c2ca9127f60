#include "CatalogueTestSupport.h"
#include "StoreTestSupport.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "support/HttpTestServer.h"

namespace {

constexpr char here[] = "Unable to get assistant data here\n";
constexpr char there[] = "Unable to get assistant data there\n";

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

struct Snapshot {
    std::optional<QUuid> id;
    std::optional<QString> name, personality, intro;
    std::optional<QUrl> picture;
    qint16 version;
    std::optional<QDateTime> deletedAt;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const AssistantPtr& a)
{
    return {a->id(), a->name(), a->personality(), a->intro(), a->profilePictureUrl(), a->version(), a->deletedAt()};
}

} // namespace

TEST_F(CatalogueRefresh, GetsTheCatalogueAndInsertsNewEntries)
{
    EXPECT_EQ(refreshWith({seedJson("Coder", 4), seedJson("Editor", -2)}), "");
    ASSERT_EQ(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/api/v1/assistants");
    EXPECT_EQ(request.header("content-type"), "application/json");
    EXPECT_TRUE(request.body.isEmpty());

    // Saved: the records come back from the file.
    store.reopen();
    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 2u);
    EXPECT_EQ(assistants[0]->name(), QString("Coder"));
    EXPECT_EQ(assistants[0]->personality(), QString("Personality of Coder"));
    EXPECT_EQ(assistants[0]->intro(), QString("Intro of Coder"));
    EXPECT_EQ(assistants[0]->profilePictureUrl(), QUrl("https://example.com/p.png"));
    EXPECT_EQ(assistants[0]->version(), 4);
    EXPECT_EQ(assistants[1]->version(), -2);
    for (const auto& a : assistants) {
        ASSERT_TRUE(a->id());
        EXPECT_FALSE(a->id()->isNull());
        EXPECT_FALSE(a->deletedAt());
    }
    EXPECT_NE(*assistants[0]->id(), *assistants[1]->id());
}

TEST_F(CatalogueRefresh, BaseWithAPathPrefixKeepsIt)
{
    server.enqueue(ScriptedResponse::text(200, catalogueBody({})));
    QUrl base = server.baseUrl();
    base.setPath("/vendor/");
    EXPECT_EQ(runRefresh(context(), network, base), "");
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).path, "/vendor/api/v1/assistants");
}

// Known names are rewritten in place every time, whatever the version; id and
// deletedAt are left alone, so a hidden assistant stays hidden.
TEST_F(CatalogueRefresh, KnownNameIsUpdatedInPlaceAndStaysHiddenWhenDeleted)
{
    AssistantPtr mine = createAssistant(context(), "Coder", "my own words", "https://example.com/mine.png");
    AssistantPtr hidden = createAssistant(context(), "Old Friend", "old", "");
    softDeleteAssistants(context(), {hidden});
    const QUuid mineId = *mine->id();
    const Snapshot hiddenBefore = snapshot(hidden);
    AssistantListModel visible(context());
    ASSERT_EQ(visible.rowCount(), 1);

    for (int version : {5, 1}) { // a lower version still overwrites
        EXPECT_EQ(refreshWith({seedJson("Coder", version, "https://example.com/new.png"),
                               seedJson("Old Friend", version)}), "");
        ASSERT_EQ(fetchAllAssistants(context()).size(), 2u);
        EXPECT_EQ(mine->id(), mineId);
        EXPECT_EQ(mine->personality(), QString("Personality of Coder"));
        EXPECT_EQ(mine->intro(), QString("Intro of Coder"));
        EXPECT_EQ(mine->profilePictureUrl(), QUrl("https://example.com/new.png"));
        EXPECT_EQ(mine->version(), version);
        EXPECT_FALSE(mine->deletedAt());

        EXPECT_EQ(hidden->id(), hiddenBefore.id);
        EXPECT_EQ(hidden->deletedAt(), hiddenBefore.deletedAt);
        EXPECT_EQ(hidden->personality(), QString("Personality of Old Friend"));
        EXPECT_EQ(hidden->version(), version);
        EXPECT_EQ(visible.rowCount(), 1);
    }
    store.reopen();
    const auto reopened = fetchAllAssistants(context());
    ASSERT_EQ(reopened.size(), 2u);
    EXPECT_EQ(reopened[1]->deletedAt(), hiddenBefore.deletedAt);
    EXPECT_EQ(reopened[1]->version(), 1);
}

TEST_F(CatalogueRefresh, ForceDeleteHidesAKnownNameOnlyAndNeverInserts)
{
    AssistantPtr stored = createAssistant(context(), "Retired", "keep this", "https://example.com/r.png");
    stored->setVersion(9);
    saveContext(context());
    Snapshot expected = snapshot(stored);

    QJsonObject retire = seedJson("Retired", 10, "https://example.com/other.png");
    retire["forceDelete"] = true;
    QJsonObject ghost = seedJson("Ghost");
    ghost["forceDelete"] = true;
    QJsonObject ordinary = seedJson("Ordinary");
    ordinary["forceDelete"] = false;
    EXPECT_EQ(refreshWith({retire, ghost, ordinary}), "");

    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 2u); // "Retired" and "Ordinary"; no "Ghost"
    EXPECT_EQ(assistants[1]->name(), QString("Ordinary"));
    EXPECT_FALSE(assistants[1]->deletedAt());
    ASSERT_TRUE(stored->deletedAt());
    expected.deletedAt = stored->deletedAt();
    EXPECT_EQ(snapshot(stored), expected); // nothing but deletedAt changed
}

// The stored list is taken once, so two entries of one new name make two
// assistants; a stored name takes both entries itself, the last one winning.
TEST_F(CatalogueRefresh, RepeatedNamesMatchOnlyWhatWasStoredBefore)
{
    createAssistant(context(), "Stored", "p", "");
    EXPECT_EQ(refreshWith({seedJson("Twin", 1), seedJson("Twin", 2), seedJson("Stored", 1), seedJson("Stored", 2)}), "");
    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 3u);
    EXPECT_EQ(assistants[0]->version(), 2);
    EXPECT_EQ(assistants[1]->name(), QString("Twin"));
    EXPECT_EQ(assistants[1]->version(), 1);
    EXPECT_EQ(assistants[2]->name(), QString("Twin"));
    EXPECT_EQ(assistants[2]->version(), 2);
    EXPECT_NE(assistants[1]->id(), assistants[2]->id());
}

TEST_F(CatalogueRefresh, PictureTextThatIsNotAUrlStoresNone)
{
    AssistantPtr stored = createAssistant(context(), "Pictured", "p", "https://example.com/ok.png");
    EXPECT_EQ(refreshWith({seedJson("Pictured", 1, "http://[broken"), seedJson("Blank", 1, ""),
                           seedJson("Spaced", 1, "http://exa mple.com/a.png")}), "");
    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 3u);
    for (const auto& a : assistants)
        EXPECT_FALSE(a->profilePictureUrl()) << qPrintable(a->profilePictureUrl()->toString());
}

TEST_F(CatalogueRefresh, OneUndecodableEntryLeavesTheStoreUntouched)
{
    AssistantPtr stored = createAssistant(context(), "Coder", "mine", "");
    const Snapshot before = snapshot(stored);
    QJsonObject noIntro = seedJson("Broken");
    noIntro.remove("intro");
    EXPECT_EQ(refreshWith({seedJson("Coder", 3), seedJson("Fresh"), noIntro}), there);
    ASSERT_EQ(fetchAllAssistants(context()).size(), 1u);
    EXPECT_EQ(snapshot(stored), before);
    EXPECT_FALSE(context().hasChanges());

    // An empty 200 reply is a body that does not decode.
    EXPECT_EQ(refreshWith(ScriptedResponse::text(200, "")), there);
    EXPECT_EQ(refreshWith(ScriptedResponse::text(200, "<html>maintenance</html>", "text/html")), there);
    EXPECT_EQ(fetchAllAssistants(context()).size(), 1u);
}

TEST_F(CatalogueRefresh, NoCatalogueReplyLeavesTheStoreUntouched)
{
    createAssistant(context(), "Coder", "mine", "");
    const QByteArray valid = catalogueBody({seedJson("Coder", 3), seedJson("Fresh")});
    // A valid catalogue under the wrong status is still not used.
    for (int status : {304, 500, 404, 201}) {
        ScriptedResponse response = ScriptedResponse::text(status, status == 304 ? QByteArray() : valid);
        EXPECT_EQ(refreshWith(response), here) << status;
    }
    // Cut off in the middle of the body.
    ScriptedResponse cut = ScriptedResponse::text(200, valid.left(valid.size() / 2));
    cut.drop = true;
    EXPECT_EQ(refreshWith(cut), here);
    // Nothing listening.
    EXPECT_EQ(runRefresh(context(), network, HttpTestServer::refusedUrl()), here);

    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 1u);
    EXPECT_EQ(assistants[0]->personality(), QString("mine"));
    EXPECT_FALSE(context().hasChanges());
}

// An empty catalogue still ends with a save, which also writes out changes
// that an earlier failed save left behind.
TEST_F(CatalogueRefresh, EmptyCatalogueStillSaves)
{
    AssistantPtr stored = createAssistant(context(), "Coder", "p", "");
    stored->setPersonality("edited, not yet saved");
    ASSERT_TRUE(context().hasChanges());
    EXPECT_EQ(refreshWith(QJsonArray{}), "");
    EXPECT_FALSE(context().hasChanges());
    store.reopen();
    EXPECT_EQ(fetchAllAssistants(context()).at(0)->personality(), QString("edited, not yet saved"));
}

TEST_F(CatalogueRefresh, FailedSaveAfterMergeKeepsChangesInContext)
{
    context().database().setQueryOnly(true);
    EXPECT_EQ(refreshWith({seedJson("Coder")}), there);
    ASSERT_EQ(fetchAllAssistants(context()).size(), 1u);
    EXPECT_TRUE(context().hasChanges());
    context().database().setQueryOnly(false);

    // The next refresh saves both its own merge and the pending one, without a duplicate.
    EXPECT_EQ(refreshWith({seedJson("Coder", 2)}), "");
    store.reopen();
    const auto assistants = fetchAllAssistants(context());
    ASSERT_EQ(assistants.size(), 1u);
    EXPECT_EQ(assistants[0]->version(), 2);
}

// Two windows, two refreshes at once: each merges the whole catalogue on the
// UI thread, so the second finds what the first inserted.
TEST_F(CatalogueRefresh, TwoRefreshesAtOnceDoNotDuplicate)
{
    const QByteArray body = catalogueBody({seedJson("Coder"), seedJson("Editor")});
    server.setHandler([body](const RecordedRequest&) { return ScriptedResponse::text(200, body); });
    int finished = 0;
    testing::internal::CaptureStdout();
    refreshAssistantCatalogue(context(), network, server.baseUrl(), [&finished] { ++finished; });
    refreshAssistantCatalogue(context(), network, server.baseUrl(), [&finished] { ++finished; });
    EXPECT_TRUE(QTest::qWaitFor([&finished] { return finished == 2; }, 30000));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(fetchAllAssistants(context()).size(), 2u);
}

// The window (and its context) may go away before the reply arrives.
TEST(CatalogueRefreshLifetime, ContextGoneBeforeTheReplyIsSafe)
{
    HttpTestServer server;
    QNetworkAccessManager network;
    ScriptedResponse slow = ScriptedResponse::text(200, catalogueBody({seedJson("Coder")}));
    slow.pieces = {{300, slow.pieces.at(0).second}};
    server.enqueue(slow);
    auto store = std::make_unique<TemporaryStore>();
    bool finished = false;
    refreshAssistantCatalogue(store->context(), network, server.baseUrl(), [&finished] { finished = true; });
    ASSERT_TRUE(server.waitForRequests(1));
    store.reset();
    EXPECT_TRUE(QTest::qWaitFor([&finished] { return finished; }, 30000));
}
