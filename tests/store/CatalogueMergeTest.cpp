#include "CatalogueTestSupport.h"
#include "StoreTestSupport.h"

#include "store/StoreOperations.h"

// Matching is by exact name, first in store order; unnamed records never match.
TEST(CatalogueMerge, FindsTheFirstExactName)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr unnamed = context.insertAssistant();
    AssistantPtr first = createAssistant(context, "Tutor", "a", "");
    AssistantPtr second = createAssistant(context, "Tutor", "b", "");
    createAssistant(context, "tutor", "c", "");
    createAssistant(context, "Tutor ", "d", "");
    const auto all = fetchAllAssistants(context);

    EXPECT_EQ(findAssistantByName(all, "Tutor"), first);
    EXPECT_EQ(findAssistantByName({second, first}, "Tutor"), second);
    EXPECT_EQ(findAssistantByName(all, "TUTOR"), nullptr);
    EXPECT_EQ(findAssistantByName(all, "Tut"), nullptr);
    EXPECT_EQ(findAssistantByName(all, ""), nullptr); // the unnamed record has no name, not an empty one
    EXPECT_EQ(findAssistantByName({}, "Tutor"), nullptr);
}

// A stored record without an id gets one when its entry merges (that stored ids never
// change, through updates and forced deletions, is checked in CatalogueRefreshTest).
TEST(CatalogueMerge, GivesAMissingId)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr idless = context.insertAssistant();
    idless->setName("Idless");

    AssistantSeed seed;
    seed.name = "Idless";
    seed.personality = "p";
    seed.intro = "i";
    seed.profilePictureUrl = "https://example.com/a.png";
    seed.version = -7;
    mergeAssistantSeed(seed, fetchAllAssistants(context), context);
    ASSERT_TRUE(idless->id());
    EXPECT_FALSE(idless->id()->isNull());
    EXPECT_EQ(idless->version(), -7);
    EXPECT_EQ(fetchAllAssistants(context).size(), 1u);
}
