#include "core/Endpoints.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Endpoints, DefaultsAndOverrides)
{
    unsetenv("VORBEL_OPENAI_URL");
    unsetenv("VORBEL_CATALOGUE_URL");
    EXPECT_EQ(Endpoints::openAiBase(), QUrl("https://api.openai.com"));
    EXPECT_FALSE(Endpoints::catalogueBase().has_value());

    setenv("VORBEL_OPENAI_URL", "http://127.0.0.1:5555/proxy/", 1);
    EXPECT_EQ(Endpoints::join(Endpoints::openAiBase(), "/v1/models"),
              QUrl("http://127.0.0.1:5555/proxy/v1/models"));
    // A value that is no address falls back to the default rather than sending requests nowhere.
    setenv("VORBEL_OPENAI_URL", "not a url", 1);
    EXPECT_EQ(Endpoints::openAiBase(), QUrl("https://api.openai.com"));
    unsetenv("VORBEL_OPENAI_URL");
}
