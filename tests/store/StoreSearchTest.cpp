#include "StoreTestSupport.h"

#include "store/ConversationSearch.h"
#include "store/ConversationTitles.h"

#include <QProcess>

TEST(ConversationTitles, FirstNonEmptyLineTrimmedAndCutAtAWordBoundary)
{
    const QString sixty(60, QLatin1Char('a'));
    const struct {
        QString prompt;
        std::optional<QString> title;
    } cases[] = {
        {"Plan a trip to Lisbon", "Plan a trip to Lisbon"},
        {"\n   \n  Fix my résumé  \nsecond line", "Fix my résumé"},
        {sixty, sixty},
        {"Write a short story about a lighthouse keeper who finds a message in a bottle",
         "Write a short story about a lighthouse keeper who finds a…"},
        {sixty + "bcd", sixty + "…"},
        {QString(59, QLatin1Char('x')) + QString::fromUtf8("😀 tail"), QString(59, QLatin1Char('x')) + "…"},
        {" \n\t\n", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConversationTitles::fromPrompt(c.prompt), c.title) << c.prompt.toStdString();
}

class StoreSearchTest : public testing::Test {
protected:
    void SetUp() override
    {
        StoreContext& c = store.context();
        AssistantPtr ada = createAssistant(c, "Ada", "Never say xylophone", QString());
        resume = createConversation(c, ada);
        makeMessage(c, "user", "How do I write a résumé?", resume, std::nullopt, true);
        makeMessage(c, "assistant", "Start with your experience, then education.", resume, std::nullopt, true);
        fox = createConversation(c, ada);
        makeMessage(c, "user", "The quick brown fox jumps", fox, std::nullopt, true);
        makeMessage(c, "assistant", "", fox, QString("weather"), true)->setFunctionResult("Weather in Zürich: sunny");
        streaming = createConversation(c, ada);
        makeMessage(c, "assistant", "secretstream partial", streaming, std::nullopt, false);
        ConversationTitles::rename(c, resume, "Résumé help");
        ConversationTitles::rename(c, fox, "Weekend plans");
    }
    QList<ConversationPtr> found(const QString& text)
    {
        QList<ConversationPtr> conversations;
        const auto hits = ConversationSearch::search(store.context().database().handle(), text);
        EXPECT_TRUE(hits.ok()) << text.toStdString();
        for (const SearchHit& hit : hits ? *hits : std::vector<SearchHit>{})
            conversations << store.context().conversationWithRow(hit.conversationRow);
        return conversations;
    }

    TemporaryStore store;
    ConversationPtr resume, fox, streaming;
};

TEST_F(StoreSearchTest, PrefixesInAnyOrderPhrasesCaseAndDiacriticsTitlesAndResults)
{
    const struct {
        QString text;
        QList<ConversationPtr> hits;
    } cases[] = {
        {"resume", {resume}},  {"RÉS", {resume}}, {"educ start", {resume}}, {"\"brown fox\"", {fox}},
        {"\"fox brown\"", {}}, {"zurich", {fox}}, {"weekend", {fox}},       {"w", {fox, resume}}, // newest first
        {"xylophone", {}},                                                                        // the system prompt
        {"secretstream", {}},                                                                     // still streaming
        {"title: OR \"", {}}, // typed syntax stays text
        {"   ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(found(c.text), c.hits) << c.text.toStdString();
    ConversationTitles::rename(store.context(), fox, "");
    EXPECT_EQ(fox->title(), "The quick brown fox jumps"); // the automatic title again
    EXPECT_EQ(found("weekend"), QList<ConversationPtr>());
    store.context().deleteConversation(resume);
    saveChanges(store.context());
    EXPECT_EQ(found("resume"), QList<ConversationPtr>());
}

TEST_F(StoreSearchTest, TheSnippetMarksTheMatchAndOpensAtTheFirstMatchingMessage)
{
    const auto found = ConversationSearch::search(store.context().database().handle(), "educ");
    ASSERT_TRUE(found.ok());
    const std::vector<SearchHit>& hits = *found;
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].snippet, "…with your experience, then education.");
    ASSERT_EQ(hits[0].matches.size(), 1);
    EXPECT_EQ(hits[0].snippet.mid(hits[0].matches[0].first, hits[0].matches[0].second), "education");
    EXPECT_EQ(store.context().messageWithRow(*resume, hits[0].messageRow), orderedMessages(*resume).back());
    const auto titleOnly = ConversationSearch::search(store.context().database().handle(), "plans");
    ASSERT_TRUE(titleOnly.ok());
    ASSERT_EQ(titleOnly->size(), 1u);
    EXPECT_EQ(titleOnly->front().messageRow, 0);
    EXPECT_EQ(titleOnly->front().snippet, "Weekend plans");
}

// A search on its own connection sees what another process has just saved.
TEST_F(StoreSearchTest, AWriteFromAnotherProcessIsFound)
{
    ConversationSearch search(store.path());
    EXPECT_TRUE(search.search("hello")->empty());
    QProcess child;
    child.start(SAVE_THEN_WAIT_PATH, {store.path()});
    ASSERT_TRUE(child.waitForReadyRead(30000));
    ASSERT_EQ(child.readLine(), QByteArray("saved\n"));
    const auto hits = search.search("hello");
    child.kill();
    child.waitForFinished();
    ASSERT_TRUE(hits.ok());
    ASSERT_EQ(hits->size(), 1u);
    EXPECT_EQ(hits->front().snippet, "Hello!");
}
