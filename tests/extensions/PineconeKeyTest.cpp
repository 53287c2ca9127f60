#include "ExtensionTestSupport.h"

#include "extensions/MemoryExtension.h"

using PineconeKeyTest = ServiceTest;

TEST_F(PineconeKeyTest, AKeyHoldingALineBreakIsNeverSent)
{
    Settings::instance().setText(Settings::pineconeApiKeyKey, QStringLiteral("pc-key\r\nX-Injected: yes"));
    const QString invalidCredentials = "Your Pinecone credentials appear to be invalid. Please update in app settings.";
    EXPECT_EQ(callOffUiThread(executeResetMemories, std::nullopt), invalidCredentials);
    EXPECT_EQ(callOffUiThread(executeUpsertMemory, QString(R"({"memory":"likes tea"})")), invalidCredentials);
    EXPECT_TRUE(requestsTo("/vectors").isEmpty()); // the embedding requests carry no Pinecone key
}
