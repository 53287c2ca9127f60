#include "core/RequestErrors.h"
#include "openai/ChatWireRecords.h"
#include "openai/OpenAiRequests.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <typename Decode>
std::string failureOf(Decode decode)
{
    try {
        decode();
    } catch (const DecodingError& error) {
        return error.what();
    }
    return "(decoded)";
}

} // namespace

// The paths are spelled out only when decoding fails; they must still name
// the exact place.
TEST(WireDecodingErrors, NameThePlaceOfTheBadField)
{
    EXPECT_EQ(failureOf([] { OpenAiCompletionResponse::decode(R"({"id":"c"})"); }),
              R"(Missing required key "choices" at the top level)");
    EXPECT_EQ(failureOf([] {
                  OpenAiCompletionResponse::decode(
                      R"({"choices":[{"index":0,"delta":{}},{"delta":{"content":"x"}}]})");
              }),
              R"(Missing required key "index" at choices[1])");
    EXPECT_EQ(failureOf([] {
                  OpenAiCompletionResponse::decode(R"({"choices":[{"index":0,"delta":{"function_call":{"name":7}}}]})");
              }),
              "Expected a string at choices[0].delta.function_call.name");
    EXPECT_EQ(failureOf([] { OpenAiCompletionResponse::decode(R"({"choices":[{"index":0,"delta":[]}]})"); }),
              "Expected an object at choices[0].delta");
    EXPECT_EQ(failureOf([] { OpenAiCompletionResponse::decode("[]"); }), "Expected an object at the top level");

    EXPECT_EQ(failureOf([] {
                  OpenAiEmbeddingCreationResponse::decode(
                      R"({"data":[{"embedding":[0.5,1,"x"],"index":0,"object":"embedding"}]})");
              }),
              "Expected a 32-bit number at data[0].embedding[2]");
    EXPECT_EQ(failureOf([] { OpenAiModelsResponse::decode(R"({"data":[{"id":"a"},{"object":"model"}]})"); }),
              R"(Missing required key "id" at data[1])");
}

TEST(WireDecodingErrors, WellFormedRecordsStillDecode)
{
    const OpenAiCompletionResponse chunk = OpenAiCompletionResponse::decode(
        R"({"choices":[{"index":0,"delta":{"function_call":{"arguments":"{\"a\""}},"finish_reason":null}]})");
    ASSERT_EQ(chunk.choices.size(), 1);
    ASSERT_TRUE(chunk.choices[0].delta.function_call);
    EXPECT_FALSE(chunk.choices[0].delta.function_call->name);
    EXPECT_EQ(chunk.choices[0].delta.function_call->arguments, QStringLiteral("{\"a\""));

    const OpenAiEmbeddingCreationResponse embedding = OpenAiEmbeddingCreationResponse::decode(
        R"({"data":[{"embedding":[0.25,-1],"index":3,"object":"embedding"}]})");
    ASSERT_EQ(embedding.data.size(), 1);
    EXPECT_EQ(embedding.data[0].embedding, (QList<float>{0.25f, -1.0f}));
    EXPECT_EQ(embedding.data[0].index, 3);
}
