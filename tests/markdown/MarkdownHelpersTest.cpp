#include "markdown/HtmlTag.h"
#include "markdown/ImageAppearance.h"
#include "markdown/MarkdownUrl.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Markdown;

namespace {

TEST(HtmlTagTest, takesTheNameOfTheFirstTag)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<br>", "br"},
        {"<BR/>", "BR"},
        {"</span>", "span"},
        {"<img src=\"a.png\" alt=x>", "img"},
        {"<h1 class=\"t\">", "h1"},
        {"text <b>bold</b>", "b"},
    };
    for (const auto& [html, name] : cases) {
        const std::optional<HtmlTag> tag = HtmlTag::fromInlineHtml(html);
        ASSERT_TRUE(tag) << html;
        EXPECT_EQ(tag->name, name) << html;
    }

    for (const std::string html : {"", "plain text", "<!-- comment -->", "< br>", "<br", "<?php x ?>", "<>"})
        EXPECT_FALSE(HtmlTag::fromInlineHtml(html)) << html;

    // A long attribute run must neither crash nor fail to match.
    const std::string longTag = "<a title=\"" + std::string(200000, 'x') + "\">";
    ASSERT_TRUE(HtmlTag::fromInlineHtml(longTag));
    EXPECT_EQ(HtmlTag::fromInlineHtml(longTag)->name, "a");
}

TEST(ImageAppearanceTest, modeFragmentsPickTheScheme)
{
    // Shown in light, dark, and when the scheme is unknown.
    const std::tuple<const char*, bool, bool> cases[] = {
        {"https://x.org/a.png#gh-dark-mode-only", false, true},
        {"https://x.org/a.png#GH-Light-Mode-Only", true, false},
        {"https://x.org/a.png", true, true},
        {"https://x.org/a.png#section", true, true},
    };
    for (const auto& [url, light, dark] : cases) {
        EXPECT_EQ(isImageShown(QUrl(url), ColorScheme::Light), light) << url;
        EXPECT_EQ(isImageShown(QUrl(url), ColorScheme::Dark), dark) << url;
        EXPECT_TRUE(isImageShown(QUrl(url), ColorScheme::Unknown)) << url;
    }
}

TEST(MarkdownUrlTest, resolvesAgainstAnOptionalBase)
{
    const QUrl base("https://example.com/repo/README.md");
    // Without a base a relative destination stays relative; an empty destination, or
    // text that is not a URL, gives nothing to open.
    const std::tuple<const char*, std::optional<QUrl>, std::optional<QUrl>> cases[] = {
        {"https://example.com/a?b=c#d", std::nullopt, QUrl("https://example.com/a?b=c#d")},
        {"docs/page.html", std::nullopt, QUrl("docs/page.html")},
        {"docs/page.html", base, QUrl("https://example.com/repo/docs/page.html")},
        {"/root.png", base, QUrl("https://example.com/root.png")},
        {"https://other.org/x", base, QUrl("https://other.org/x")},
        {"#anchor", base, QUrl("https://example.com/repo/README.md#anchor")},
        {"", std::nullopt, std::nullopt},
        {"", base, std::nullopt},
        {"two words", std::nullopt, std::nullopt},
        {"http://[broken", std::nullopt, std::nullopt},
    };
    for (const auto& [written, from, expected] : cases)
        EXPECT_EQ(resolveUrl(written, from), expected) << written;
}

} // namespace
